// Stands in for the web browser while a test watches what a program opens:
// the tests register it as the prefix's handler of http and https, so that
// ShellExecuteW "open" of an address starts
//   open_recorder.exe LOG ADDRESS
// which appends ADDRESS to LOG as one UTF-8 line and ends.
#include "launcher/win32_api.h"

#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 3) return 2;
    std::wstring line;
    for (int i = 2; i < count; ++i) line += (i > 2 ? L" " : L"") + std::wstring(arguments[i]);
    line += L'\n';
    int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], size, nullptr, nullptr);
    // Appending in one write keeps lines whole when two opens overlap.
    HANDLE log = CreateFileW(arguments[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    LocalFree(arguments);
    if (log == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(log, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(log);
    return ok ? 0 : 1;
}
