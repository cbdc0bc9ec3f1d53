// Where the trace goes on Windows: ZORV_LAUNCHER_DEBUG=1 writes it to the
// console of the program that started the launcher, any other value names a
// file that the lines are appended to in UTF-8.
#include <memory>
#include <string>

#include "launcher/platform_win32.h"
#include "launcher/trace.h"
#include "launcher/unique_handle.h"

namespace zorv {
namespace {

// Each line is written at once, unbuffered: a start that ends in the VM's
// own exit, or in a crash, still leaves every line before it.
class HandleSink : public TraceSink {
public:
    // `owned` is closed with the sink; a borrowed standard handle is not.
    HandleSink(HANDLE handle, ScopedFile owned) : handle_(handle), owned_(std::move(owned)) {}
    void Write(const std::wstring& line) override { WriteText(handle_, line + L"\r\n", CP_UTF8); }

private:
    HANDLE handle_;
    ScopedFile owned_;
};

bool ReadVariable(const wchar_t* name, std::wstring& value) {
    DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0) return false;
    value.assign(needed, L'\0');
    DWORD length = GetEnvironmentVariableW(name, &value[0], needed);
    if (length == 0 || length >= needed) return false;
    value.resize(length);
    return true;
}

std::unique_ptr<TraceSink> ConsoleSink() {
    // A GUI program has no console of its own; the parent's is borrowed,
    // and a redirected standard output is used as it is.
    AttachConsole(ATTACH_PARENT_PROCESS);
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE) return std::make_unique<HandleSink>(output, ScopedFile());
    ScopedFile console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    if (!console) return nullptr;
    HANDLE handle = console.get();
    return std::make_unique<HandleSink>(handle, std::move(console));
}

std::unique_ptr<TraceSink> FileSink(const std::wstring& path) {
    ScopedFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    HANDLE handle = file.get();
    return std::make_unique<HandleSink>(handle, std::move(file));
}

}  // namespace

std::unique_ptr<Trace> OpenLauncherTrace() {
    std::wstring value;
    if (!ReadVariable(L"ZORV_LAUNCHER_DEBUG", value) || value.empty()) return nullptr;
    std::unique_ptr<TraceSink> sink = value == L"1" ? ConsoleSink() : FileSink(value);
    // A sink that cannot be opened leaves the start exactly as without a trace.
    if (sink == nullptr) return nullptr;
    return std::make_unique<Trace>(std::move(sink));
}

}  // namespace zorv
