// Why a call to the system failed, in terms every system shares.
#pragma once

#include <cstdint>

namespace zorv {

// What the launcher tells apart about a refused call.
enum class ErrorKind : std::uint8_t {
    none,
    notFound,          // no such file
    pathNotFound,      // a folder on the way is missing
    accessDenied,      // the user may not, or the file is read-only
    alreadyExists,     // a folder or file of that name is there
    notSupported,      // this system cannot do it
    libraryNotLoaded,  // a library, or one it needs, did not load
    symbolMissing,     // the library has no such export
    failed,            // anything else
};

struct SystemError {
    ErrorKind kind = ErrorKind::none;
    // The system's own number (GetLastError, an HRESULT, errno) where the
    // messages show it; 0 where the kind says all there is.
    std::uint32_t code = 0;

    bool Failed() const { return kind != ErrorKind::none; }
    bool Is(ErrorKind other) const { return kind == other; }
};

// The number a message or trace shows: the system's own, else the number
// Windows gives the kind, so that messages read the same on every system.
std::uint32_t ErrorNumber(const SystemError& error);

// A Win32 error code (GetLastError) with the kind it stands for; none for 0.
SystemError FromWin32Code(std::uint32_t code);

}  // namespace zorv
