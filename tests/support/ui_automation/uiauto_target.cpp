// A program that misbehaves on request, for the automation's own test: the
// e2e verdicts ("no crash", "no other window") are only as good as the
// automation's eye for these cases.
//   boxes     two message boxes, one after the other, then exit code 3
//   window    a plain window; exits with 4 once it is closed
//   crash     writes through a null pointer
//   hang      never ends
//   code      exits with 0xC0000135, a code above INT_MAX
//   dialog    a sizable dialog like the launcher's; exits with the id of the
//             button that ended it
#include "launcher/win32_api.h"
#include "uiauto_target_ids.h"

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

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

struct DialogState {
    SIZE minimum = {};
};

// The same browser the launcher opens: new style, folders only, no callback.
void BrowseForFolder(HWND dialog) {
    BROWSEINFOW browse = {};
    browse.hwndOwner = dialog;
    browse.lpszTitle = L"Browse for folder";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (chosen == nullptr) return;
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) {
        SetDlgItemTextW(dialog, UIAUTO_TARGET_FOLDER, path);
        EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
    }
    CoTaskMemFree(chosen);
}

void OpenLink(HWND dialog) {
    wchar_t target[512] = {};
    GetDlgItemTextW(dialog, UIAUTO_TARGET_LINK, target, 512);
    ShellExecuteW(dialog, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
}

// The grip keeps to the bottom-right corner and hides while maximised.
void PlaceGrip(HWND dialog, WPARAM sizeKind) {
    HWND grip = GetDlgItem(dialog, UIAUTO_TARGET_GRIP);
    RECT client, own;
    GetClientRect(dialog, &client);
    GetWindowRect(grip, &own);
    int width = own.right - own.left, height = own.bottom - own.top;
    SetWindowPos(grip, nullptr, client.right - width, client.bottom - height, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(grip, sizeKind == SIZE_MAXIMIZED ? SW_HIDE : SW_SHOW);
}

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    switch (message) {
        case WM_INITDIALOG: {
            state = reinterpret_cast<DialogState*>(lParam);
            SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
            RECT window;
            GetWindowRect(dialog, &window);
            state->minimum = {window.right - window.left, window.bottom - window.top};
            SetDlgItemTextW(dialog, UIAUTO_TARGET_TRACE, L"first line\r\n\tsecond line");
            PlaceGrip(dialog, SIZE_RESTORED);
            return TRUE;
        }
        case WM_GETMINMAXINFO:
            if (state != nullptr) reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {state->minimum.cx, state->minimum.cy};
            return TRUE;
        case WM_SIZE:
            PlaceGrip(dialog, wParam);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case UIAUTO_TARGET_BROWSE: BrowseForFolder(dialog); return TRUE;
                case UIAUTO_TARGET_LINK:
                    if (HIWORD(wParam) == STN_CLICKED) OpenLink(dialog);
                    return TRUE;
                case IDOK:
                case IDCANCEL: EndDialog(dialog, LOWORD(wParam)); return TRUE;
            }
            break;
    }
    return FALSE;
}

int Dialog(HINSTANCE instance) {
    OleInitialize(nullptr);
    DialogState state;
    INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(UIAUTO_TARGET_DIALOG), nullptr, DialogProcedure,
                                     reinterpret_cast<LPARAM>(&state));
    OleUninitialize();
    return static_cast<int>(result);
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
    if (mode == L"dialog") return Dialog(instance);
    return 2;
}
