#include "launcher/platform_win32.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <memory>

#include "resources/dialog_ids.h"
#include "resources/string_table.h"
#include "launcher/system_library_win32.h"
#include "runtime/runtime_not_found.h"
#include "ui/dialog_layout_win32.h"
#include "ui/hyperlink_control_win32.h"

namespace zorv {
namespace {

// What the dialog procedure reaches through the window's user data.
struct RuntimeNotFoundWindow {
    RuntimeNotFoundDialog& state;
    HyperLinkControl link;
};

std::wstring LoadText(unsigned id) {
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

// The folder browser's choice as a path; false when the user cancelled, the
// item is not a file-system folder, or the shell or COM cannot be loaded.
bool BrowseForFolder(HWND dialog, std::wstring& folder) {
    auto browse = SystemFunction<decltype(SHBrowseForFolderW)>(L"shell32.dll", "SHBrowseForFolderW");
    auto toPath = SystemFunction<decltype(SHGetPathFromIDListEx)>(L"shell32.dll", "SHGetPathFromIDListEx");
    auto initialize = SystemFunction<decltype(CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
    auto uninitialize = SystemFunction<decltype(CoUninitialize)>(L"ole32.dll", "CoUninitialize");
    auto release = SystemFunction<decltype(CoTaskMemFree)>(L"ole32.dll", "CoTaskMemFree");
    if (!browse || !toPath || !initialize || !uninitialize || !release) return false;
    // The new-style browser needs COM on this thread.
    HRESULT com = initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    std::wstring title = LoadText(IDS_BROWSE_FOR_JRE);
    BROWSEINFOW info = {};
    info.hwndOwner = dialog;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    PIDLIST_ABSOLUTE item = browse(&info);
    bool chosen = false;
    if (item != nullptr) {
        // Room for paths past MAX_PATH, which the plain conversion would refuse.
        const DWORD capacity = 32768;
        std::unique_ptr<wchar_t[]> path(new wchar_t[capacity]);
        path[0] = L'\0';
        chosen = toPath(item, path.get(), capacity, GPFIDL_DEFAULT) != FALSE;
        if (chosen) folder = path.get();
        release(item);
    }
    if (SUCCEEDED(com)) uninitialize();
    return chosen;
}

void OnBrowse(HWND dialog, RuntimeNotFoundWindow& window) {
    std::wstring folder;
    if (!BrowseForFolder(dialog, folder)) return;
    bool usable = window.state.TakeFolder(folder);
    EnableWindow(GetDlgItem(dialog, IDOK), usable ? TRUE : FALSE);
    SetDlgItemTextW(dialog, IDC_RUNTIME_VERDICT, window.state.verdict.c_str());
    // Shown last, so that whoever sees the folder sees OK's verdict on it too.
    SetDlgItemTextW(dialog, IDC_RUNTIME_FOLDER, folder.c_str());
}

void OnInitDialog(HWND dialog, RuntimeNotFoundWindow& window) {
    SendDlgItemMessageW(dialog, IDC_ERROR_ICON, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_HAND)), 0);
    HWND link = GetDlgItem(dialog, IDC_DOWNLOAD_LINK);
    window.link.SetNormalFont(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)));
    window.link.Attach(link);
    SetDlgItemTextW(dialog, IDC_RUNTIME_MESSAGE, window.state.message.c_str());
    // A longer version phrase, a larger font or another language needs more lines.
    FitTextHeight(dialog, IDC_RUNTIME_MESSAGE);
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    CenterDialog(dialog);
    // Browse, not the link: a stray Space must not open a web page.
    SetFocus(GetDlgItem(dialog, IDC_BROWSE));
}

INT_PTR CALLBACK RuntimeNotFoundProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    RuntimeNotFoundWindow* window = DialogState<RuntimeNotFoundWindow>(dialog, message, lParam);
    if (window == nullptr) return FALSE;
    if (message == WM_INITDIALOG) OnInitDialog(dialog, *window);
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
        case IDC_BROWSE:
            OnBrowse(dialog, *window);
            return TRUE;
        case IDOK:
            // Enter reaches the default button even while it is disabled.
            if (IsWindowEnabled(GetDlgItem(dialog, IDOK))) EndDialog(dialog, kDialogOk);
            return TRUE;
        case IDCANCEL:  // also Escape and the close box
            EndDialog(dialog, kDialogCancel);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void InitCommonControlsOnce() {
    static bool done = false;
    if (done) return;
    auto initialize = SystemFunction<decltype(InitCommonControlsEx)>(L"comctl32.dll", "InitCommonControlsEx");
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    done = initialize != nullptr && initialize(&classes) != FALSE;
}

int RunRuntimeNotFoundDialog(HWND owner, RuntimeNotFoundDialog& dialog) {
    InitCommonControlsOnce();
    RuntimeNotFoundWindow window{dialog, {}};
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_RUNTIME_NOT_FOUND), owner,
                                     RuntimeNotFoundProc, reinterpret_cast<LPARAM>(&window));
    return result == kDialogOk ? kDialogOk : kDialogCancel;
}

}  // namespace zorv
