// Where the launcher's dialogs go: centred when they open, and their
// controls kept in place while a resizable one changes size. The arithmetic
// lives here; dialog_layout_win32 applies it to real windows.
#pragma once

#include <cstdint>

namespace zorv {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct Point {
    int x = 0;
    int y = 0;
};

// The top-left corner of a width x height window centred on reference and
// then pushed inside area: first off its right and bottom edges, then (when
// it is larger than the area) onto its left and top edges.
Point CenteredPosition(const Rect& reference, const Rect& area, int width, int height);

// How a control follows the dialog's client size.
enum LayoutFlag : std::uint32_t {
    layoutSizeX = 0x0001,
    layoutSizeY = 0x0002,
    layoutMoveX = 0x0004,
    layoutMoveY = 0x0008,
    layoutRepaint = 0x0010,
    layoutCentreX = 0x0020,
    layoutCentreY = 0x0040,
    layoutGrip = 0x4000,
};

// One line of a dialog's layout table; a table ends with kLayoutEnd.
struct LayoutEntry {
    std::int32_t id;
    std::uint32_t flags;
};
constexpr LayoutEntry kLayoutEnd = {-1, 0};

// The "Java Exception" dialog: the trace box and the frame grow, the texts
// widen, the lower ones and the buttons follow the bottom-right corner.
extern const LayoutEntry kExceptionDialogLayout[];

struct LayoutItem {
    std::int32_t id;
    std::uint32_t flags;
    Rect rect;  // client coordinates when the layout was recorded
};

// The control's rectangle for a client area of cx x cy, from its current
// rectangle and what was recorded at a client size of initialWidth x initialHeight.
Rect LaidOutRect(const LayoutItem& item, const Rect& current, int cx, int cy, int initialWidth, int initialHeight);

}  // namespace zorv
