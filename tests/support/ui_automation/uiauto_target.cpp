// A program that misbehaves on request, for the automation's own test: the
// e2e verdicts ("no crash", "no other window") are only as good as the
// automation's eye for these cases.
//   boxes     two message boxes, one after the other, then exit code 3
//   window    a plain window; exits with 4 once it is closed
//   crash     writes through a null pointer
//   hang      never ends
//   code      exits with 0xC0000135, a code above INT_MAX
#include "launcher/win32_api.h"

#include <string>

namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(4);
    return DefWindowProcW(window, message, wParam, lParam);
}

int PlainWindow(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"UiautoTargetWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"UiautoTargetWindow", L"Target window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                100, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    std::wstring mode = commandLine;
    if (mode == L"boxes") {
        MessageBoxW(nullptr, L"first box\nsecond line", nullptr, MB_ICONERROR);
        MessageBoxW(nullptr, L"second box", L"Caption", MB_OK);
        return 3;
    }
    if (mode == L"window") return PlainWindow(instance);
    if (mode == L"crash") {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
        return 0;
    }
    if (mode == L"hang") {
        for (;;) Sleep(INFINITE);
    }
    if (mode == L"code") ExitProcess(0xC0000135u);
    return 2;
}
