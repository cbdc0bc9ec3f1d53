// The settings linter behind "zorvtool check": reads an executable's INI file
// and embedded settings the way the launcher does and reports what would make
// it misbehave, with the line that causes it.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "launcher/environment.h"
#include "launcher/platform.h"

namespace zorv::tool {

enum class Severity { warning, error };

struct Finding {
    std::wstring file;  // the settings file, or the executable for its embedded settings
    int line = 0;       // 1-based; 0 when no line is to blame (a missing key)
    Severity severity = Severity::warning;
    std::wstring message;
};

struct CheckTarget {
    std::wstring executablePath;  // the launcher's path; its folder anchors relative entries
    std::wstring settingsPath;    // the INI file beside it
    std::wstring embeddedText;    // the embedded settings text, empty when there is none
    std::wstring embeddedName;    // how findings in the embedded text name their file
    // The system whose launcher reads the settings: how it joins, separates
    // and matches the paths they name.
    const SystemConventions* conventions = &kWindowsConventions;
};

// Every finding, in the order of the files' lines where one is to blame.
// Environment references are expanded through lookup, as the launcher would
// on this machine.
std::vector<Finding> CheckSettings(const CheckTarget& target, const EnvironmentLookup& lookup);

// A value of the INI file alone, as the profile functions read it.
std::wstring SettingsFileValue(const std::wstring& settingsPath, const std::wstring& section, const std::wstring& key);

// 0 without findings, 1 with warnings only, 2 with an error.
int CheckExitCode(const std::vector<Finding>& findings);

// "app.ini:12: warning: ..." lines for people; an array of
// {"file","line","severity","message"} objects for programs.
void WriteFindingsText(const std::vector<Finding>& findings, std::ostream& out);
void WriteFindingsJson(const std::vector<Finding>& findings, std::ostream& out);

// Levenshtein distance without regard to letter case, or limit + 1 for any
// distance above limit: such texts are compared no further than it takes to
// tell, and texts whose lengths differ by more than limit not at all.
std::size_t EditDistanceIgnoringCase(const std::wstring& a, const std::wstring& b, std::size_t limit);

}  // namespace zorv::tool
