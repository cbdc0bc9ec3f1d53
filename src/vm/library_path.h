// Native library path and the environment the VM and the application see.
#pragma once

#include <string>

namespace zorv {

// The text whose expansion becomes the search path ("Path" on Windows,
// "PATH" on Linux, named by `variable`): the system path (with a ";" added
// when missing), the runtime's bin folder, then the old search path.
std::wstring ProcessPathTemplate(const std::wstring& systemPath, const std::wstring& jvmLibraryPath,
                                 const wchar_t* variable);

// The text whose expansion becomes the "-Djava.library.path=" value. The
// configured value runs straight into the executable folder, as it always has.
std::wstring LibraryPathTemplate(const std::wstring& libraryPath, const std::wstring& executableFolder,
                                 const std::wstring& jvmLibraryPath, const wchar_t* variable);

}  // namespace zorv
