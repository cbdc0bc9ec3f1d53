#include "ui/hyperlink_control_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>

#include "launcher/system_library_win32.h"

namespace zorv {
namespace {

const wchar_t kInstanceProperty[] = L"ZorvHyperLinkControl";
const wchar_t kColourKey[] = L"Software\\Microsoft\\Internet Explorer\\Settings";

COLORREF ToColorRef(const RgbColour& colour) { return RGB(colour.red, colour.green, colour.blue); }

void ReadColour(HKEY key, const wchar_t* name, RgbColour& colour) {
    unsigned char data[kLinkColourValueBytes];
    DWORD size = sizeof data;
    DWORD type = 0;
    // A value too long for the buffer fails here and leaves the colour alone.
    if (RegQueryValueExW(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS) return;
    RgbColour read;
    if (LinkColourFromRegistry(type, data, size, read)) colour = read;
}

}  // namespace

HyperLinkControl::~HyperLinkControl() { Detach(); }

bool HyperLinkControl::Attach(HWND control) {
    if (control == nullptr || control_ != nullptr) return false;
    control_ = control;

    wchar_t className[16] = L"";
    GetClassNameW(control, className, 16);
    if (lstrcmpiW(className, L"static") == 0) {
        LONG style = GetWindowLongW(control, GWL_STYLE);
        SetWindowLongW(control, GWL_STYLE, style | SS_NOTIFY);
        // Pictures and frames keep drawing themselves; the link covers them.
        LONG type = style & 0xFF;
        if ((type >= SS_ICON && type <= SS_WHITEFRAME) || (type >= SS_ETCHEDHORZ && type <= SS_ETCHEDFRAME) ||
            type == SS_OWNERDRAW || type == SS_BITMAP || type == SS_ENHMETAFILE)
            paintLabel_ = false;
    }
    hand_ = LoadCursorW(nullptr, IDC_HAND);
    if (paintLabel_) {
        if (normalFont_ == nullptr) {
            LOGFONTW description;
            if (SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof description, &description, 0)) {
                ownNormalFont_.reset(CreateFontIndirectW(&description));
                normalFont_ = ownNormalFont_.get();
            }
        }
        if (!linkFont_) CreateLinkFont();
    }
    tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, control, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (label_.empty()) {
        int length = GetWindowTextLengthW(control);
        if (length > 0) {
            std::unique_ptr<wchar_t[]> text(new wchar_t[length + 1]);
            int read = GetWindowTextW(control, text.get(), length + 1);
            label_.assign(text.get(), read);
        }
    }

    SetPropW(control, kInstanceProperty, this);
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HyperLinkControl::WindowProc)));

    ComputeLinkRect();
    if (target_.empty() && !label_.empty()) target_ = label_;
    if (!target_.empty()) AddTool();
    if (paintLabel_) ReadColours();
    InvalidateRect(control, nullptr, TRUE);
    return true;
}

void HyperLinkControl::Detach() {
    if (control_ == nullptr) return;
    if (previous_ != nullptr) SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    RemovePropW(control_, kInstanceProperty);
    if (tooltip_ != nullptr) DestroyWindow(tooltip_);
    ownNormalFont_.reset();
    linkFont_.reset();
    tooltip_ = nullptr;
    normalFont_ = nullptr;
    previous_ = nullptr;
    control_ = nullptr;
}

void HyperLinkControl::CreateLinkFont() {
    LOGFONTW description;
    HGDIOBJ source = normalFont_ != nullptr ? static_cast<HGDIOBJ>(normalFont_) : GetStockObject(SYSTEM_FONT);
    if (GetObjectW(source, sizeof description, &description) == 0) return;
    description.lfUnderline = TRUE;
    linkFont_.reset(CreateFontIndirectW(&description));
}

UINT HyperLinkControl::TextFormat() const {
    LONG style = GetWindowLongW(control_, GWL_STYLE) & 0xFF;
    UINT format = DT_WORDBREAK;
    if (style == SS_CENTER) format |= DT_CENTER;
    else if (style == SS_RIGHT) format |= DT_RIGHT;
    return format;
}

void HyperLinkControl::ComputeLinkRect() {
    if (label_.empty() && target_.empty()) return;
    RECT client;
    GetClientRect(control_, &client);
    linkRect_ = client;
    if (!paintLabel_) return;
    HDC dc = GetDC(control_);
    if (dc == nullptr) return;
    HGDIOBJ oldFont = SelectObject(dc, ShownFont());
    RECT measured = client;
    const std::wstring& text = Shown();
    UINT format = TextFormat();
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, format | DT_CALCRECT);
    SelectObject(dc, oldFont);
    ReleaseDC(control_, dc);
    int slack = client.right - measured.right;
    if ((format & DT_CENTER) != 0) OffsetRect(&measured, slack / 2, 0);
    if ((format & DT_RIGHT) != 0) OffsetRect(&measured, slack, 0);
    linkRect_ = measured;
}

void HyperLinkControl::AddTool() {
    if (tooltip_ == nullptr) return;
    SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
    // Every system the launcher runs on (Windows 8 and later) takes the newer record.
    TOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = control_;
    tool.uId = 1;
    tool.rect = linkRect_;
    tool.hinst = GetModuleHandleW(nullptr);
    tool.lpszText = const_cast<wchar_t*>(target_.c_str());
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void HyperLinkControl::ReadColours() {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kColourKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) return;
    ScopedRegistryKey key(opened);
    ReadColour(key.get(), L"Anchor Color", linkColour_);
    ReadColour(key.get(), L"Anchor Color Visited", visitedColour_);
}

bool HyperLinkControl::Navigate() {
    if (target_.empty()) return false;
    auto execute = SystemFunction<decltype(ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
    if (execute == nullptr) return false;
    HINSTANCE result = execute(nullptr, L"open", target_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32) return false;
    visited_ = true;
    InvalidateRect(control_, nullptr, TRUE);
    return true;
}

bool HyperLinkControl::OverLink(POINT clientPoint) const {
    return !target_.empty() && PtInRect(&linkRect_, clientPoint);
}

void HyperLinkControl::Paint(HDC dc) {
    RECT client;
    GetClientRect(control_, &client);
    HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(control_), WM_CTLCOLORSTATIC,
                                                         reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control_)));
    if (brush != nullptr) FillRect(dc, &client, brush);

    SetBkMode(dc, TRANSPARENT);
    COLORREF colour = ToColorRef(visited_ ? visitedColour_ : linkColour_);
    if (!IsWindowEnabled(control_)) colour = GetSysColor(COLOR_GRAYTEXT);
    COLORREF oldColour = SetTextColor(dc, colour);
    HGDIOBJ oldFont = SelectObject(dc, ShownFont());
    const std::wstring& text = Shown();
    RECT area = linkRect_;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, TextFormat());
    if (GetFocus() == control_) DrawFocusRect(dc, &linkRect_);
    SetTextColor(dc, oldColour);
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK HyperLinkControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HyperLinkControl* self = static_cast<HyperLinkControl*>(GetPropW(window, kInstanceProperty));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT HyperLinkControl::CallPrevious(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(previous_, control_, message, wParam, lParam);
}

bool HyperLinkControl::HandleMouse(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && tooltip_ != nullptr) {
        MSG relayed = {control_, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
        relayed.pt.x = static_cast<short>(LOWORD(GetMessagePos()));
        relayed.pt.y = static_cast<short>(HIWORD(GetMessagePos()));
        SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (message) {
        case WM_MOUSEMOVE:
            if (OverLink(at)) SetCursor(hand_);
            return false;
        case WM_SETCURSOR: {
            POINT cursor;
            GetCursorPos(&cursor);
            ScreenToClient(control_, &cursor);
            if (!OverLink(cursor)) return false;
            SetCursor(hand_);
            result = TRUE;
            return true;
        }
        case WM_LBUTTONDOWN:
            if (PtInRect(&linkRect_, at)) {
                SetFocus(control_);
                SetCapture(control_);
            }
            return false;
        case WM_LBUTTONUP:
            if (GetCapture() == control_) ReleaseCapture();
            // A press that ends outside the link opens nothing.
            if (PtInRect(&linkRect_, at)) Navigate();
            return false;
        default:
            return false;
    }
}

LRESULT HyperLinkControl::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleMouse(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_CHAR:
            if (wParam == VK_RETURN || wParam == VK_SPACE) {
                Navigate();
                return 0;
            }
            break;
        case WM_GETDLGCODE: {
            // Enter would otherwise go to the dialog's default button before
            // it ever became a character for the link.
            const MSG* key = reinterpret_cast<const MSG*>(lParam);
            bool enter = key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN;
            return DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            if (paintLabel_) InvalidateRect(control_, nullptr, TRUE);
            break;
        case WM_ERASEBKGND:
            if (paintLabel_) return 1;
            break;
        case WM_PAINT:
            if (paintLabel_) {
                PAINTSTRUCT paint;
                HDC dc = BeginPaint(control_, &paint);
                Paint(dc);
                EndPaint(control_, &paint);
                return 0;
            }
            break;
        case WM_PRINTCLIENT:
            if (paintLabel_) {
                Paint(reinterpret_cast<HDC>(wParam));
                return 0;
            }
            break;
        case WM_SIZE:
            ComputeLinkRect();
            InvalidateRect(control_, nullptr, TRUE);
            break;
        case WM_SETFONT: {
            ownNormalFont_.reset();
            normalFont_ = reinterpret_cast<HFONT>(wParam);
            if (linkFont_) CreateLinkFont();
            ComputeLinkRect();
            if (LOWORD(lParam) != 0) InvalidateRect(control_, nullptr, TRUE);
            return 0;
        }
        case WM_ENABLE:
            InvalidateRect(control_, nullptr, TRUE);
            break;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(normalFont_);
        case WM_DESTROY: {
            LRESULT result = CallPrevious(message, wParam, lParam);
            Detach();
            return result;
        }
        default:
            break;
    }
    return CallPrevious(message, wParam, lParam);
}

}  // namespace zorv
