#include "ui/dialog_layout_win32.h"

#include <string>

namespace zorv {
namespace {

constexpr int kSizeGripId = 0xE801;
constexpr DWORD kSizeGripStyle = 0x5402001C;  // child, visible, clip siblings, group, bottom-right size grip

bool IsChild(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0; }

Rect FromWin32(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

bool ChildRect(HWND dialog, HWND control, Rect& rect) {
    RECT r;
    if (!GetWindowRect(control, &r)) return false;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    rect = FromWin32(r);
    return true;
}

void MoveTo(HWND window, const Rect& rect) {
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// The height a static control's text takes, wrapped the way the control wraps it.
int TextHeight(HWND control, int width) {
    int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    length = GetWindowTextW(control, &text[0], length + 1);
    HDC dc = GetDC(control);
    if (dc == nullptr) return 0;
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, width, 0};
    DrawTextW(dc, text.c_str(), length, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return needed.bottom;
}

}  // namespace

void FitTextHeight(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    Rect box;
    if (control == nullptr || !ChildRect(dialog, control, box)) return;
    const int grow = TextHeight(control, box.right - box.left) - (box.bottom - box.top);
    if (grow <= 0) return;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        Rect r;
        if (!ChildRect(dialog, child, r)) continue;
        if (child != control && r.top >= box.bottom) {
            r.top += grow;
        } else if (r.bottom < box.bottom) {
            continue;  // beside the text, not below it
        }
        r.bottom += grow;
        MoveTo(child, r);
    }
    RECT outer;
    GetWindowRect(dialog, &outer);
    SetWindowPos(dialog, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top + grow,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CenterDialog(HWND dialog) {
    HWND reference = IsChild(dialog) ? GetParent(dialog) : GetWindow(dialog, GW_OWNER);
    Rect area;
    Rect referenceRect;
    if (IsChild(dialog)) {
        RECT client;
        GetClientRect(reference, &client);
        area = referenceRect = FromWin32(client);
    } else {
        if (reference != nullptr && (!IsWindowVisible(reference) || IsIconic(reference))) reference = nullptr;
        HMONITOR monitor = MonitorFromWindow(reference != nullptr ? reference : dialog, MONITOR_DEFAULTTONEAREST);
        MONITORINFO info;
        info.cbSize = sizeof info;
        if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) return false;
        area = FromWin32(info.rcWork);
        RECT owner;
        referenceRect = reference != nullptr && GetWindowRect(reference, &owner) ? FromWin32(owner) : area;
    }
    RECT window;
    GetWindowRect(dialog, &window);
    Point corner = CenteredPosition(referenceRect, area, window.right - window.left, window.bottom - window.top);
    return SetWindowPos(dialog, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

void DialogLayout::Init(HWND dialog, const LayoutEntry* table) {
    dialog_ = dialog;
    // No WS_CLIPCHILDREN: a group box paints only its frame and relies on its
    // parent for what lies inside it, which clipping would leave unpainted.
    if (!IsChild(dialog)) {
        SetWindowLongW(dialog, GWL_EXSTYLE, GetWindowLongW(dialog, GWL_EXSTYLE) | WS_EX_DLGMODALFRAME);
        if (SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0) == 0) SendMessageW(dialog, WM_SETICON, ICON_SMALL, 0);
    }

    if (gripCreated_ && !items_.empty() && (items_.front().flags & layoutGrip) != 0) {
        DestroyWindow(GetDlgItem(dialog, kSizeGripId));
    }
    gripCreated_ = false;
    items_.clear();
    minimumTrackWidth_ = minimumTrackHeight_ = -1;

    RECT client;
    GetClientRect(dialog, &client);
    initialWidth_ = client.right;
    initialHeight_ = client.bottom;

    if (GetDlgItem(dialog, kSizeGripId) == nullptr) {
        // Laid over the whole client area, the grip settles in its corner.
        CreateWindowExW(0, L"SCROLLBAR", nullptr, kSizeGripStyle, 0, 0, client.right, client.bottom, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSizeGripId)), GetModuleHandleW(nullptr), nullptr);
        HWND grip = GetDlgItem(dialog, kSizeGripId);
        Rect rect;
        if (grip != nullptr && ChildRect(dialog, grip, rect)) {
            gripCreated_ = true;
            items_.push_back(LayoutItem{kSizeGripId, layoutMoveX | layoutMoveY | layoutRepaint | layoutGrip, rect});
        }
    }

    if (IsChild(dialog)) {
        minimumTrackWidth_ = client.right;
        minimumTrackHeight_ = client.bottom;
    } else {
        RECT window;
        GetWindowRect(dialog, &window);
        minimumTrackWidth_ = window.right - window.left;
        minimumTrackHeight_ = window.bottom - window.top;
    }

    for (const LayoutEntry* entry = table; entry->id != kLayoutEnd.id; ++entry) {
        LayoutItem item{entry->id, entry->flags, Rect{}};
        HWND control = GetDlgItem(dialog, entry->id);
        if (control != nullptr) ChildRect(dialog, control, item.rect);
        items_.push_back(item);
    }
}

void DialogLayout::Update(int cx, int cy) {
    if (dialog_ == nullptr) return;
    if (IsChild(dialog_) && minimumTrackWidth_ >= 0) {
        if (cx < minimumTrackWidth_) cx = minimumTrackWidth_;
        if (cy < minimumTrackHeight_) cy = minimumTrackHeight_;
    }
    bool visible = IsWindowVisible(dialog_) != FALSE;
    if (visible) SendMessageW(dialog_, WM_SETREDRAW, FALSE, 0);
    for (const LayoutItem& item : items_) {
        HWND control = GetDlgItem(dialog_, item.id);
        Rect current;
        // A control that does not exist keeps its line but is never moved.
        if (control == nullptr || !ChildRect(dialog_, control, current)) continue;
        Rect placed = LaidOutRect(item, current, cx, cy, initialWidth_, initialHeight_);
        if ((item.flags & layoutRepaint) != 0) InvalidateRect(control, nullptr, TRUE);
        if (item.flags != 0) {
            SetWindowPos(control, nullptr, placed.left, placed.top, placed.Width(), placed.Height(),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (visible) SendMessageW(dialog_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool DialogLayout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETMINMAXINFO) {
        if (minimumTrackWidth_ < 0) return false;
        MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = minimumTrackWidth_;
        info->ptMinTrackSize.y = minimumTrackHeight_;
        return true;
    }
    if (message != WM_SIZE || wParam == SIZE_MINIMIZED) return false;
    if (gripCreated_) {
        HWND grip = GetDlgItem(dialog_, kSizeGripId);
        if (wParam == SIZE_MAXIMIZED) ShowWindow(grip, SW_HIDE);
        if (wParam == SIZE_RESTORED) ShowWindow(grip, SW_SHOW);
    }
    Update(LOWORD(lParam), HIWORD(lParam));
    return true;
}

}  // namespace zorv
