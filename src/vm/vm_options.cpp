#include "vm/vm_options.h"

#include "launcher/file_locations.h"
#include "launcher/launcher_settings.h"
#include "launcher/text.h"
#include "launcher/trace.h"
#include "launcher/command_line.h"
#include "resources/string_table.h"
#include "runtime/error_reporting.h"
#include "vm/class_data_sharing.h"
#include "vm/class_path.h"
#include "vm/memory_options.h"

namespace zorv {
namespace {

constexpr std::size_t npos = std::wstring::npos;

// The closing quote of the stretch opened at open, a doubled one included;
// npos when the stretch is never closed.
std::size_t ClosingQuote(const std::wstring& text, std::size_t open) {
    if (open + 1 >= text.size()) return npos;
    std::size_t close = text.find(L'"', open + 1);
    if (close == npos) return npos;
    if (close + 1 < text.size() && text[close + 1] == L'"') ++close;
    return close;
}

// Options the java command takes with their value as the next argument; the VM
// takes them only in the joined form. -p is java's short name of --module-path.
struct JoinedOption {
    const wchar_t* written;
    const wchar_t* passed;
};
const JoinedOption kJoinedOptions[] = {
    {L"--add-opens", L"--add-opens"},
    {L"--add-exports", L"--add-exports"},
    {L"--add-reads", L"--add-reads"},
    {L"--add-modules", L"--add-modules"},
    {L"--module-path", L"--module-path"},
    {L"-p", L"--module-path"},
    {L"--upgrade-module-path", L"--upgrade-module-path"},
    {L"--patch-module", L"--patch-module"},
    {L"--limit-modules", L"--limit-modules"},
    {L"--enable-native-access", L"--enable-native-access"},
};

// Options only the java command's own argument parser knows. A name ending in
// ":", "=" or "@" stands for every option that begins with it.
struct CommandOption {
    const wchar_t* name;
    const wchar_t* useInstead;
};
const wchar_t kJavaCommand[] = L"the java command";
const CommandOption kCommandOptions[] = {
    {L"-jar", L"\"Main Jar\" in [Java Runtime Environment]"},
    {L"-m", L"\"Main Module\" in [Java Runtime Environment]"},
    {L"--module", L"\"Main Module\" in [Java Runtime Environment]"},
    {L"--module=", L"\"Main Module\" in [Java Runtime Environment]"},
    {L"-cp", L"\"Class Path\" in [Class Path]"},
    {L"-classpath", L"\"Class Path\" in [Class Path]"},
    {L"--class-path", L"\"Class Path\" in [Class Path]"},
    {L"--class-path=", L"\"Class Path\" in [Class Path]"},
    {L"-splash:", L"\"Splash Screen\" in [Display]"},
    {L"@", L"the file's options in \"Virtual Machine Parameters\""},
    {L"--source", L"a compiled class as \"Main Class\""},
    {L"--source=", L"a compiled class as \"Main Class\""},
    {L"-version", kJavaCommand},
    {L"--version", kJavaCommand},
    {L"-showversion", kJavaCommand},
    {L"--show-version", kJavaCommand},
    {L"-fullversion", kJavaCommand},
    {L"--full-version", kJavaCommand},
    {L"-help", kJavaCommand},
    {L"-h", kJavaCommand},
    {L"--help", kJavaCommand},
    {L"-?", kJavaCommand},
    {L"-X", kJavaCommand},
    {L"--help-extra", kJavaCommand},
    {L"--dry-run", kJavaCommand},
    {L"--list-modules", kJavaCommand},
    {L"--describe-module", kJavaCommand},
    {L"-d", kJavaCommand},
    {L"--validate-modules", kJavaCommand},
    {L"-XshowSettings", kJavaCommand},
    {L"-XshowSettings:", kJavaCommand},
    {L"--disable-@files", kJavaCommand},
};

bool NamesOption(const wchar_t* name, const std::wstring& option) {
    const std::wstring pattern = name;
    const wchar_t last = pattern.back();
    if (last != L':' && last != L'=' && last != L'@') return option == pattern;
    return option.compare(0, pattern.size(), pattern) == 0;
}

}  // namespace

std::size_t FindOptionSeparator(const std::wstring& text, std::size_t pos) {
    // Looks only as far as the next space or quote each round, so splitting a
    // long parameter text stays linear.
    const std::size_t n = text.size();
    for (;;) {
        std::size_t next = text.find_first_of(L" \"", pos);
        if (next == npos) return n;
        if (text[next] == L' ') return next;
        std::size_t close = ClosingQuote(text, next);
        if (close == npos) {
            std::size_t space = text.find(L' ', next);
            return space == npos ? n : space;
        }
        pos = close + 1;
        if (pos >= n) return n;
    }
}

std::vector<std::wstring> TokeniseVmOptions(const std::wstring& text, std::vector<std::size_t>* starts) {
    std::vector<std::wstring> options;
    std::size_t pos = 0;
    while (pos <= text.size() && !text.empty()) {
        std::size_t separator = FindOptionSeparator(text, pos);
        options.push_back(text.substr(pos, separator - pos));
        if (starts != nullptr) starts->push_back(pos);
        pos = separator;
        while (pos < text.size() && text[pos] == L' ') ++pos;
        if (pos == text.size()) break;
    }
    return options;
}

std::wstring RemoveQuotes(std::wstring option) {
    std::size_t quote = option.find(L'"');
    while (quote != npos) {
        std::size_t close = ClosingQuote(option, quote);
        if (close == npos) break;
        std::wstring inner = option.substr(quote + 1, close - quote - 1);
        option = option.substr(0, quote) + inner + option.substr(close + 1);
        std::size_t resume = quote + inner.size();
        if (resume >= option.size()) break;
        quote = option.find(L'"', resume);
    }
    return option;
}

std::vector<VmParameter> ReadVmParameters(const std::vector<std::wstring>& tokens) {
    std::vector<VmParameter> parameters;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        VmParameter parameter;
        parameter.firstToken = i;
        parameter.written = RemoveQuotes(tokens[i]);
        parameter.passed = parameter.written;
        // "-server" and "-client" choose the VM library, which "JVM Type" has chosen already.
        if (parameter.written.empty() || parameter.written == L"-server" || parameter.written == L"-client")
            parameter.fate = VmParameter::Fate::dropped;
        for (const CommandOption& option : kCommandOptions) {
            if (!NamesOption(option.name, parameter.written)) continue;
            parameter.fate = VmParameter::Fate::refused;
            parameter.useInstead = option.useInstead;
            break;
        }
        for (const JoinedOption& option : kJoinedOptions) {
            if (parameter.written != option.written) continue;
            if (i + 1 == tokens.size()) {
                parameter.fate = VmParameter::Fate::missingValue;
                break;
            }
            std::wstring value = RemoveQuotes(tokens[++i]);
            parameter.written += L" " + value;
            parameter.passed = std::wstring(option.passed) + L"=" + value;
            break;
        }
        parameters.push_back(std::move(parameter));
    }
    return parameters;
}

namespace {

void ProcessVmParameter(Platform& platform, std::wstring option, std::vector<std::wstring>& working,
                        VmStart& vmStart) {
    if (IsPercentMemoryOption(option)) RewritePercentMemoryOption(option, platform.processes().QueryMemory());
    if (StartsWith(option, L"-Xss")) vmStart.threadStackSize = StackSizeFromOption(option);
    working.push_back(std::move(option));
}

bool AddVmParameters(Platform& platform, const std::wstring& parameters, WindowHandle owner,
                     std::vector<std::wstring>& working, VmStart& vmStart) {
    Trace* trace = platform.trace;
    for (VmParameter& parameter : ReadVmParameters(TokeniseVmOptions(parameters))) {
        if (parameter.fate == VmParameter::Fate::refused || parameter.fate == VmParameter::Fate::missingValue) {
            ShowError(platform, owner,
                      parameter.fate == VmParameter::Fate::refused
                          ? FormatMessageText(platform, IDS_COMMAND_OPTION,
                                              {parameter.written, std::wstring(parameter.useInstead)})
                          : FormatMessageText(platform, IDS_OPTION_WITHOUT_VALUE, {parameter.written}));
            return false;
        }
        if (parameter.fate == VmParameter::Fate::dropped) {
            if (trace) trace->Line(L"vm: parameter \"" + parameter.written + L"\" left out");
            continue;
        }
        if (trace && parameter.passed != parameter.written)
            trace->Line(L"vm: parameter \"" + parameter.written + L"\" passed as \"" + parameter.passed + L"\"");
        ProcessVmParameter(platform, std::move(parameter.passed), working, vmStart);
    }
    return true;
}

std::wstring ExpandedFileName(Platform& platform, const std::wstring& name) {
    return name.empty() ? name : platform.environment().ExpandEnvironment(name);
}

// "Cmd"'s arguments come after the command line's.
void AddExtraArguments(Platform& platform, const std::wstring& text, std::vector<std::wstring>& arguments) {
    if (text.empty()) return;
    for (std::wstring& piece : SplitArguments(platform.environment().ExpandEnvironment(text))) {
        if (!piece.empty()) arguments.push_back(std::move(piece));
    }
}

}  // namespace

std::wstring ExpandPathList(Platform& platform, const std::wstring& value, const std::wstring& executablePath,
                            bool ofModules) {
    std::wstring list;
    for (const std::wstring& piece : SplitAtSemicolons(value)) {
        std::wstring entry = platform.environment().ExpandEnvironment(piece);
        if (entry.find(L'*') != npos || !IsAbsolutePath(entry, platform.Conventions())) {
            std::wstring found;
            ExpandClassPathEntry(platform, entry, executablePath, found);
            // A folder's "." and ".." on a module path would make every folder
            // beside it, the parent included, a folder of modules.
            for (const std::wstring& item : SplitAtSemicolons(found)) {
                if (ofModules && (item.size() < 2 || item.compare(item.size() - 2, 2, L"\\.") == 0 ||
                                  (item.size() >= 3 && item.compare(item.size() - 3, 3, L"\\..") == 0)))
                    continue;
                list += item + L";";
            }
        } else {
            list += entry;
            list += L';';
        }
    }
    return list;
}

std::wstring JavaCommandText(const std::wstring& launchTarget, const std::vector<std::wstring>& arguments) {
    std::wstring text = launchTarget;
    for (const std::wstring& argument : arguments) text += L" " + argument;
    return text;
}

StageOutcome AssembleVmOptions(Platform& platform, const VmOptionSources& sources, WindowHandle owner,
                               VmStart& vmStart) {
    const StartSettings& start = sources.start;
    const std::wstring& executablePath = sources.files.executable;
    // Without a class path the VM still starts, and main gets the command line's arguments.
    vmStart.arguments = start.arguments;
    // As with java -jar, the jar comes first; the class path may follow it.
    std::wstring classPath = start.mainJar.empty() ? std::wstring() : start.mainJar + L";";
    classPath += ExpandPathList(platform, start.classPath, executablePath, false);
    if (start.embeddedJar) classPath = executablePath + L";" + classPath;
    if (classPath.empty() && start.mainModule.empty()) {
        ShowError(platform, owner, IDS_NO_CLASS_PATH);
        return StageOutcome::Proceed();
    }

    std::vector<std::wstring> working;
    working.push_back(L"-Djava.class.path=" + platform.files().VmPathList(classPath));
    std::wstring modulePath = ExpandPathList(platform, start.modulePath, executablePath, true);
    if (!modulePath.empty()) {
        modulePath.pop_back();
        working.push_back(L"--module-path=" + platform.files().VmPathList(modulePath));
    }
    if (!start.mainModule.empty())
        working.push_back(L"-Djdk.module.main=" + start.mainModule.substr(0, start.mainModule.find(L'/')));
    working.push_back(L"-Dsun.java.launcher=SUN_STANDARD");
    const std::size_t launcherOptions = working.size();
    if (!AddVmParameters(platform, sources.vm.parameters, owner, working, vmStart))
        return StageOutcome::EndWithCode(kStartFailed);
    if (sources.vm.classDataSharing) AddClassDataSharingOptions(platform, sources, working, launcherOptions, vmStart);

    std::vector<std::string>& options = vmStart.options;
    const std::size_t commandPosition = options.size() + launcherOptions;
    for (const std::wstring& entry : working) {
        if (entry == L"-Dsun.java2d.dpiaware=true") platform.desktop().MakeProcessDpiAware();
        std::wstring expanded = platform.environment().ExpandEnvironment(entry);
        // An empty option is one the VM refuses to start with.
        if (expanded.empty()) {
            if (platform.trace) platform.trace->Line(L"vm: parameter \"" + entry + L"\" expands to nothing, left out");
            continue;
        }
        options.push_back(platform.environment().ToAnsi(expanded));
    }

    vmStart.output = sources.output;
    vmStart.output.outputFile = ExpandedFileName(platform, sources.output.outputFile);
    vmStart.output.errorFile = ExpandedFileName(platform, sources.output.errorFile);
    AddExtraArguments(platform, start.extraArgumentsText, vmStart.arguments);
    // Formed from the arguments as main gets them, which no expansion may change.
    options.insert(
        options.begin() + static_cast<std::ptrdiff_t>(commandPosition),
        platform.environment().ToAnsi(L"-Dsun.java.command=" + JavaCommandText(start.launchTarget, vmStart.arguments)));
    return StageOutcome::Proceed();
}

}  // namespace zorv
