#include "launcher/system_library_win32.h"

namespace zorv {

FARPROC SystemLibraryFunction(const wchar_t* library, const char* name) {
    HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

}  // namespace zorv
