// One owner type for every kind of OS handle: move-only, closes on reset and
// destruction, and leaves GetLastError as it was so callers can still read it.
#pragma once

#include "launcher/win32_api.h"

namespace zorv {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Type get() const { return value_; }
    bool valid() const { return value_ != Traits::Invalid(); }
    explicit operator bool() const { return valid(); }
    Type release() {
        Type value = value_;
        value_ = Traits::Invalid();
        return value;
    }
    void reset(Type value = Traits::Invalid()) {
        if (valid()) {
            DWORD error = GetLastError();
            Traits::Close(value_);
            SetLastError(error);
        }
        value_ = value;
    }

private:
    Type value_ = Traits::Invalid();
};

// The handle kinds that one function closes; their invalid value is null.
template <typename T, auto CloseFunction>
struct ClosedBy {
    using Type = T;
    static Type Invalid() { return Type{}; }
    static void Close(Type value) { CloseFunction(value); }
};

// CreateFileW and FindFirstFileW report failure as INVALID_HANDLE_VALUE rather than null.
template <auto CloseFunction>
struct ClosedByInvalidAsMinusOne : ClosedBy<HANDLE, CloseFunction> {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
};

using ScopedHandle = UniqueHandle<ClosedBy<HANDLE, CloseHandle>>;
using ScopedFile = UniqueHandle<ClosedByInvalidAsMinusOne<CloseHandle>>;
using ScopedFind = UniqueHandle<ClosedByInvalidAsMinusOne<FindClose>>;
using ScopedRegistryKey = UniqueHandle<ClosedBy<HKEY, RegCloseKey>>;
using ScopedView = UniqueHandle<ClosedBy<const void*, UnmapViewOfFile>>;
using ScopedModule = UniqueHandle<ClosedBy<HMODULE, FreeLibrary>>;
// GDI objects the launcher creates, and the memory device contexts it draws into.
using ScopedBitmap = UniqueHandle<ClosedBy<HBITMAP, DeleteObject>>;
using ScopedFont = UniqueHandle<ClosedBy<HFONT, DeleteObject>>;
using ScopedMemoryDc = UniqueHandle<ClosedBy<HDC, DeleteDC>>;

}  // namespace zorv
