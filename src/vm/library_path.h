// Native library path and the environment the VM and the application see.
#pragma once

#include <string>
#include <vector>

namespace zorv {

class Platform;
struct SystemConventions;
struct VmSettings;

// The text whose expansion becomes the search path ("Path" on Windows,
// "PATH" on Linux, named by `variable`): the system path (with a ";" added
// when missing), the runtime's bin folder, then the old search path.
std::wstring ProcessPathTemplate(const std::wstring& systemPath, const std::wstring& jvmLibraryPath,
                                 const wchar_t* variable);

// The text whose expansion becomes the "-Djava.library.path=" value: the
// configured value, a ";" unless it ends with one of `separators` already,
// then the executable's folder, the current folder, the search path and the
// runtime's lib folder.
std::wstring LibraryPathTemplate(const std::wstring& libraryPath, const std::wstring& executableFolder,
                                 const std::wstring& jvmLibraryPath, const SystemConventions& conventions);

// Sets the variables the VM and the application see (ZORV_JVM_PATH,
// ZORV_JVM_HOME, the search path), adds the "System Path" folders to the
// library search, and the "-Djava.library.path=" option when "Library Path"
// is set.
void PrepareLibraryPath(Platform& platform, const VmSettings& vm, const std::wstring& executable,
                        const std::wstring& jvmLibraryPath, std::vector<std::string>& vmOptions);

}  // namespace zorv
