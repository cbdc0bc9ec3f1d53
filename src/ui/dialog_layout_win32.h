// Centring and resizing for the launcher's dialogs, on real windows.
#pragma once

#include <vector>

#include "launcher/win32_api.h"
#include "ui/dialog_layout.h"

namespace zorv {

// Centres the dialog over its visible owner (or its parent's client area for
// a child), else in the work area of the nearest monitor, keeping it inside
// that work area. False when no monitor information could be had.
bool CenterDialog(HWND dialog);

// Makes a static text control as tall as its text at its width, moving what
// lies below it down and growing what encloses it, the dialog included.
void FitTextHeight(HWND dialog, int id);

// A dialog's state, handed over as the creation parameter: kept on
// WM_INITDIALOG, read back for every later message (null before it).
template <typename State>
State* DialogState(HWND dialog, UINT message, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
    return reinterpret_cast<State*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

// Keeps a resizable dialog's controls in place by its layout table, with a
// size grip and the opening size as the smallest.
class DialogLayout {
public:
    // While the dialog initialises, after it has been centred.
    void Init(HWND dialog, const LayoutEntry* table);
    void Update(int cx, int cy);
    // WM_SIZE and WM_GETMINMAXINFO; true when the message was dealt with.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND dialog_ = nullptr;
    std::vector<LayoutItem> items_;
    int initialWidth_ = 0;
    int initialHeight_ = 0;
    int minimumTrackWidth_ = -1;
    int minimumTrackHeight_ = -1;
    bool gripCreated_ = false;
};

}  // namespace zorv
