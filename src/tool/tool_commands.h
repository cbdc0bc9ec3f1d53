// The commands of zorvtool, the packager's program. Portable: no Windows API,
// so the same source builds natively on Linux and on Windows.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zorv::tool {

// Exit codes every command shares; "check" adds 1 for warnings and 2 for
// errors found in the settings.
constexpr int kToolSucceeded = 0;
constexpr int kToolUsageError = 64;
constexpr int kToolInputRefused = 65;
constexpr int kToolWriteFailed = 74;

using Arguments = std::vector<std::string>;

// Arguments exclude the program name and the command's own name.
int EmbedCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int IconCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int VersionCommand(const Arguments& args, std::ostream& out, std::ostream& err);
// Execution level, DPI awareness and long path awareness in MANIFEST 1;
// without a switch it prints them.
int ManifestCommand(const Arguments& args, std::ostream& out, std::ostream& err);
// Turns a launcher into the console kind or the GUI kind by its header alone.
int SubsystemCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int ShowCommand(const Arguments& args, std::ostream& out, std::ostream& err);
int CheckCommand(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace zorv::tool
