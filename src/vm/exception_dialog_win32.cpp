#include "launcher/platform_win32.h"
#include "resources/dialog_ids.h"
#include "ui/dialog_layout_win32.h"

namespace zorv {
namespace {

struct ExceptionWindow {
    std::wstring text;
    DialogLayout layout;
};

// The edit control breaks lines only at CR LF, and its text would end at the
// first NUL; the trace is shown whole whatever Java put in it.
std::wstring ForEditControl(const std::wstring& trace) {
    std::wstring text;
    text.reserve(trace.size() + trace.size() / 32);
    for (std::size_t i = 0; i < trace.size(); ++i) {
        wchar_t c = trace[i];
        if (c == L'\n' && (i == 0 || trace[i - 1] != L'\r')) text += L'\r';
        text += c == L'\0' ? L'\xFFFD' : c;
    }
    return text;
}

void OnInitDialog(HWND dialog, ExceptionWindow& window) {
    SendDlgItemMessageW(dialog, IDC_ERROR_ICON, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_HAND)), 0);
    HWND trace = GetDlgItem(dialog, IDC_TRACE);
    // The limit only concerns typing, but a trace past 32K characters must
    // not be cut when the text is set either.
    SendMessageW(trace, EM_SETLIMITTEXT, 0, 0);
    SetWindowTextW(trace, window.text.c_str());
    SendMessageW(trace, EM_SETREADONLY, TRUE, 0);
    CenterDialog(dialog);
    window.layout.Init(dialog, kExceptionDialogLayout);
    // The focus goes to Ignore, not into the trace with all of it selected.
    SetFocus(GetDlgItem(dialog, IDOK));
}

INT_PTR CALLBACK ExceptionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ExceptionWindow* window = DialogState<ExceptionWindow>(dialog, message, lParam);
    if (window == nullptr) return FALSE;
    if (message == WM_INITDIALOG) {
        OnInitDialog(dialog, *window);
        return FALSE;
    }
    if (message == WM_SIZE || message == WM_GETMINMAXINFO) {
        if (!window->layout.HandleMessage(message, wParam, lParam)) return FALSE;
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        if (LOWORD(wParam) == IDOK) EndDialog(dialog, kDialogIgnore);
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, kDialogStop);  // Stop, Escape and the close box
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int RunExceptionDialog(HWND owner, const std::wstring& traceText) {
    InitCommonControlsOnce();
    ExceptionWindow window{ForEditControl(traceText), {}};
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_EXCEPTION), owner, ExceptionProc,
                                     reinterpret_cast<LPARAM>(&window));
    return result == kDialogIgnore ? kDialogIgnore : kDialogStop;
}

}  // namespace zorv
