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

const Command kCommands[] = {
    {"embed", zorv::tool::EmbedCommand,
     "embed LAUNCHER.exe SETTINGS.ini --upgrade-code CODE (-o OUT.exe | --res OUT.res | --rc OUT.rc)"},
    {"icon", zorv::tool::IconCommand, "icon OUT.exe APP.ico"},
    {"version", zorv::tool::VersionCommand,
     "version OUT.exe [--product-name NAME] [--version A.B.C.D] [--company NAME] [--description TEXT]"},
    {"show", zorv::tool::ShowCommand, "show OUT.exe"},
    {"check", zorv::tool::CheckCommand, "check (APP.exe | FOLDER) [--json]"},
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
