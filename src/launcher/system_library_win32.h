// Libraries that only a splash, a dialog or a link needs (GDI+, the common
// controls, COM, the shell) are loaded when one first needs them, never by
// the loader: a plain start then maps none of them, nor what they pull in.
#pragma once

#include "launcher/win32_api.h"

namespace zorv {

// A function of a library in the system folder, loaded on first use and kept
// for the life of the process; null when either cannot be had, which each
// caller treats as that feature's own failure. Loaded by name, so that the
// manifest's side-by-side choice (common controls 6) still applies, but never
// from the application's folder or the PATH.
FARPROC SystemLibraryFunction(const wchar_t* library, const char* name);

// The same, as the function's own type: SystemFunction<decltype(ShellExecuteW)>.
template <typename Function>
Function* SystemFunction(const wchar_t* library, const char* name) {
    // Through the generic function pointer type, which converts to any other
    // without a warning about incompatible casts.
    using Generic = void (*)();
    return reinterpret_cast<Function*>(reinterpret_cast<Generic>(SystemLibraryFunction(library, name)));
}

}  // namespace zorv
