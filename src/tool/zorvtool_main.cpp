#include "tool/sample_ini.h"
#include "tool/settings_reference.h"
#include "tool/tool_commands.h"

#include <cstring>
#include <iostream>

namespace {

using zorv::tool::Arguments;

struct Command {
    const char* name;
    int (*run)(const Arguments&, std::ostream&, std::ostream&);
    const char* usage;
};

int PrintWithoutArguments(const Arguments& args, std::ostream& out, std::ostream& err, const char* name,
                          void (*write)(std::ostream&)) {
    if (!args.empty()) {
        err << "usage: zorvtool " << name << "\n";
        return zorv::tool::kToolUsageError;
    }
    write(out);
    return zorv::tool::kToolSucceeded;
}

const Command kCommands[] = {
    {"embed", zorv::tool::EmbedCommand,
     "embed LAUNCHER.exe SETTINGS.ini --upgrade-code CODE (-o OUT.exe | --res OUT.res | --rc OUT.rc)"},
    {"icon", zorv::tool::IconCommand, "icon OUT.exe APP.ico"},
    {"version", zorv::tool::VersionCommand,
     "version OUT.exe [--product-name NAME] [--version A.B.C.D] [--company NAME] [--description TEXT]"},
    {"manifest", zorv::tool::ManifestCommand,
     "manifest OUT.exe [--execution-level asInvoker|highestAvailable|requireAdministrator]\n"
     "                            [--dpi-awareness unaware|system|permonitorv2] [--long-path-aware yes|no]"},
    {"subsystem", zorv::tool::SubsystemCommand, "subsystem OUT.exe (console | gui)"},
    {"show", zorv::tool::ShowCommand, "show (OUT.exe | OUT.res) [--upgrade-code CODE]"},
    {"check", zorv::tool::CheckCommand, "check (APP.exe | APP.ini | FOLDER) [--json]"},
    // The settings reference in Markdown, as docs/settings.md holds it.
    {"reference", [](const Arguments& args, std::ostream& out, std::ostream& err) {
         return PrintWithoutArguments(args, out, err, "reference", zorv::tool::WriteSettingsReference);
     }, "reference > docs/settings.md"},
    // A settings file naming every key, commented out below its explanation.
    {"sample-ini", [](const Arguments& args, std::ostream& out, std::ostream& err) {
         return PrintWithoutArguments(args, out, err, "sample-ini", zorv::tool::WriteSampleIni);
     }, "sample-ini > sample.ini"},
};

int PrintUsage(std::ostream& to) {
    to << "usage: zorvtool COMMAND ...\n";
    for (const Command& command : kCommands) to << "  zorvtool " << command.usage << "\n";
    return zorv::tool::kToolUsageError;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return PrintUsage(std::cerr);
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        PrintUsage(std::cout);
        return zorv::tool::kToolSucceeded;
    }
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) != 0) continue;
        return command.run(Arguments(argv + 2, argv + argc), std::cout, std::cerr);
    }
    std::cerr << "zorvtool: unknown command \"" << argv[1] << "\"\n";
    return PrintUsage(std::cerr);
}
