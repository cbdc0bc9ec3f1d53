#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "tool/embedded_text.h"
#include "tool/input_file.h"
#include "tool/settings_check.h"
#include "tool/settings_reference.h"
#include "tool/tool_commands.h"
#include "tool/tool_text.h"

namespace zorv::tool {
namespace {

namespace fs = std::filesystem;

bool HasExtension(const fs::path& path, const char* extension) {
    std::string found = path.extension().u8string();
    std::transform(found.begin(), found.end(), found.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return found == extension;
}

#ifdef _WIN32
const SystemConventions& kToolSystem = kWindowsConventions;
#else
const SystemConventions& kToolSystem = kLinuxConventions;
#endif

// The system whose launcher reads the settings: the executable's header
// tells; without one, an ".exe" is a Windows launcher and anything else one
// of the system zorvtool runs on.
const SystemConventions& LauncherSystem(const fs::path& executable) {
    unsigned char header[4] = {};
    InputFile file;
    std::size_t got = 0;
    if (file.Open(executable) == InputRead::read) file.Read(header, sizeof header, got);
    const std::string start(header, header + got);
    if (start == "\x7F" "ELF") return kLinuxConventions;
    if (start.compare(0, 2, "MZ") == 0 || HasExtension(executable, ".exe")) return kWindowsConventions;
    return kToolSystem;
}

// An executable and its settings file, named as the launcher names them.
CheckTarget TargetFor(const fs::path& executable, const fs::path& settings) {
    CheckTarget target;
    std::error_code error;
    target.executablePath = WidePath(fs::absolute(executable, error));
    target.settingsPath = WidePath(settings);
    target.embeddedName = WidePath(executable) + L" (embedded)";
    target.conventions = &LauncherSystem(executable);
    return target;
}

fs::path WithExtension(fs::path path, const char* extension) { return path.replace_extension(extension); }

// The launcher of an INI file: the ".exe" beside it, else a Linux launcher
// named like it without extension, else the one this system would have.
fs::path LauncherOf(const fs::path& settings) {
    std::error_code error;
    const fs::path windows = WithExtension(settings, ".exe");
    const fs::path linuxLauncher = WithExtension(settings, "");
    if (fs::exists(windows, error)) return windows;
    if (fs::is_regular_file(linuxLauncher, error) || &kToolSystem == &kLinuxConventions) return linuxLauncher;
    return windows;
}

// A folder holds every *.exe with its INI beside it, and every INI without
// one with its launcher.
std::vector<CheckTarget> TargetsIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    std::vector<CheckTarget> targets;
    for (const fs::path& file : files) {
        if (HasExtension(file, ".exe") && fs::exists(WithExtension(file, ".ini"), error)) {
            targets.push_back(TargetFor(file, WithExtension(file, ".ini")));
        } else if (HasExtension(file, ".ini") && !fs::exists(WithExtension(file, ".exe"), error)) {
            targets.push_back(TargetFor(LauncherOf(file), file));
        }
    }
    return targets;
}

bool LookUpEnvironment(const std::wstring& name, std::wstring& value) {
    const char* found = std::getenv(ToUtf8(name).c_str());
    if (found == nullptr) return false;
    value = FromUtf8(found);
    return true;
}

void AddEmbeddedLayer(CheckTarget& target, std::vector<Finding>& findings) {
    std::error_code error;
    if (!fs::exists(FileSystemPath(target.executablePath), error)) return;
    std::wstring upgradeCode = SettingsFileValue(target.settingsPath, L"Product Information", L"Upgrade Code");
    switch (ReadEmbeddedSettingsText(target.executablePath, upgradeCode, target.embeddedText)) {
        case EmbeddedRead::undecipherable:
            findings.push_back({target.embeddedName, 0, Severity::error,
                                L"the embedded settings do not open with the INI file's \"Upgrade Code\": the launcher "
                                L"reads them as garbage"});
            break;
        case EmbeddedRead::notAnImage:
            findings.push_back({target.embeddedName, 0, Severity::warning,
                                L"the executable is no PE image; its embedded settings are not checked"});
            break;
        default:
            break;
    }
}

}  // namespace

int CheckCommand(const Arguments& args, std::ostream& out, std::ostream& err) {
    bool json = false;
    std::vector<std::string> paths;
    for (const std::string& arg : args) {
        if (arg == "--json")
            json = true;
        else
            paths.push_back(arg);
    }
    if (paths.size() != 1 || paths[0].empty() || paths[0][0] == '-') {
        err << "usage: zorvtool check (APP.exe | APP.ini | FOLDER) [--json]\n";
        return kToolUsageError;
    }
    fs::path path = fs::u8path(paths[0]);
    std::error_code error;
    std::vector<CheckTarget> targets;
    if (fs::is_directory(path, error)) {
        targets = TargetsIn(path);
    } else if (HasExtension(path, ".ini") && fs::exists(path, error)) {
        targets.push_back(TargetFor(LauncherOf(path), path));
    } else if (fs::exists(path, error)) {
        targets.push_back(TargetFor(path, WithExtension(path, ".ini")));
    }
    if (targets.empty()) {
        err << "zorvtool: no executable or settings file at \"" << paths[0] << "\"\n";
        return kToolInputRefused;
    }
    std::vector<Finding> findings;
    for (CheckTarget& target : targets) {
        // The Linux launcher reads no embedded settings.
        if (target.conventions == &kWindowsConventions) AddEmbeddedLayer(target, findings);
        std::vector<Finding> found = CheckSettings(target, LookUpEnvironment);
        findings.insert(findings.end(), found.begin(), found.end());
    }
    if (json) {
        WriteFindingsJson(findings, out);
    } else {
        WriteFindingsText(findings, out);
        if (findings.empty()) out << paths[0] << ": no findings\n";
    }
    return CheckExitCode(findings);
}

}  // namespace zorv::tool
