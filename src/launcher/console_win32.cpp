// What makes the launcher a console program: the shell waits for it, the
// application has the console's (or the caller's redirected) standard
// handles, and the runtime installs its own Ctrl+C, Ctrl+Break and close
// handlers as it does under java.exe. The launcher's own messages go to
// standard error in the words of the desktop launcher's windows.
#include <string>

#include "launcher/platform_win32.h"

namespace zorv {

void WriteText(HANDLE handle, const std::wstring& text, unsigned codePage) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = ToCodePage(text, codePage);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void WriteConsoleError(const std::wstring& text) {
    // The system's line ends, and one after the text however many it had.
    std::wstring lines;
    const std::size_t end = text.find_last_not_of(L"\r\n");
    for (std::size_t i = 0; end != std::wstring::npos && i <= end; ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) lines += L'\r';
        lines += text[i];
    }
    // Redirected, the text takes the ANSI code page, as the runtime's own
    // System.err does then: one file, one encoding.
    WriteText(GetStdHandle(STD_ERROR_HANDLE), lines + L"\r\n", CP_ACP);
}

}  // namespace zorv
