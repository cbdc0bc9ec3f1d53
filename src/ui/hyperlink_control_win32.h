// A static text control turned into a link: drawn in the browser's link
// colours with an underlined font, a hand pointer and a tooltip naming the
// target; a click, Enter or Space opens the target through the shell.
#pragma once

#include <string>

#include "launcher/unique_handle.h"
#include "launcher/win32_api.h"
#include "ui/hyperlink_colour.h"

namespace zorv {

class HyperLinkControl {
public:
    HyperLinkControl() = default;
    HyperLinkControl(const HyperLinkControl&) = delete;
    HyperLinkControl& operator=(const HyperLinkControl&) = delete;
    ~HyperLinkControl();

    // Before attaching: the font to draw with (not owned), for example the
    // one the dialog gave the control.
    void SetNormalFont(HFONT font) { normalFont_ = font; }
    // Takes over the control; its text is label and target unless set.
    bool Attach(HWND control);
    // Opens the target; true when the shell took it.
    bool Navigate();

    HWND Control() const { return control_; }
    bool Visited() const { return visited_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // Mouse and cursor messages (relayed to the tooltip): true, with the
    // result, when the previous procedure must not see the message.
    bool HandleMouse(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    LRESULT CallPrevious(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateLinkFont();
    void ComputeLinkRect();
    void AddTool();
    void ReadColours();
    void Paint(HDC dc);
    bool OverLink(POINT clientPoint) const;
    const std::wstring& Shown() const { return label_.empty() ? target_ : label_; }
    HFONT ShownFont() const { return linkFont_ ? linkFont_.get() : normalFont_; }
    UINT TextFormat() const;
    void Detach();

    HWND control_ = nullptr;
    WNDPROC previous_ = nullptr;
    HWND tooltip_ = nullptr;
    std::wstring label_;
    std::wstring target_;
    RECT linkRect_ = {0, 0, 0, 0};
    HCURSOR hand_ = nullptr;
    // The font the dialog gave, or ownNormalFont_ when it gave none.
    HFONT normalFont_ = nullptr;
    ScopedFont ownNormalFont_;
    ScopedFont linkFont_;
    RgbColour linkColour_ = kDefaultLinkColour;
    RgbColour visitedColour_ = kDefaultVisitedColour;
    bool paintLabel_ = true;
    bool visited_ = false;
};

}  // namespace zorv
