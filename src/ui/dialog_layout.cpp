#include "ui/dialog_layout.h"

namespace zorv {

const LayoutEntry kExceptionDialogLayout[] = {
    {209, layoutSizeX | layoutSizeY},  // the frame
    {210, layoutSizeX},                // the introductory text
    {212, layoutSizeX | layoutMoveY},  // the warning
    {211, layoutSizeX | layoutMoveY},  // the instruction
    {208, layoutSizeX | layoutSizeY},  // the trace
    {1, layoutMoveX | layoutMoveY},    // Ignore
    {2, layoutMoveX | layoutMoveY},    // Stop
    kLayoutEnd,
};

namespace {

// One axis: left/right or top/bottom, by the axis's three flags.
void LayOutAxis(std::uint32_t flags, std::uint32_t centre, std::uint32_t size, std::uint32_t move, int storedStart,
                int storedEnd, int newSize, int initialSize, int& start, int& end) {
    if ((flags & centre) != 0) {
        int extent = storedEnd - storedStart;
        start = (newSize - extent) / 2;
        end = start + extent;
    } else if ((flags & (size | move)) != 0) {
        end = storedEnd + newSize - initialSize;
        if ((flags & move) != 0) start = storedStart + newSize - initialSize;
    }
}

int Place(int position, int extent, int areaStart, int areaEnd) {
    if (position + extent > areaEnd) position = areaEnd - extent;
    if (position < areaStart) position = areaStart;
    return position;
}

}  // namespace

Point CenteredPosition(const Rect& reference, const Rect& area, int width, int height) {
    Point corner;
    corner.x = Place((reference.left + reference.right) / 2 - width / 2, width, area.left, area.right);
    corner.y = Place((reference.top + reference.bottom) / 2 - height / 2, height, area.top, area.bottom);
    return corner;
}

Rect LaidOutRect(const LayoutItem& item, const Rect& current, int cx, int cy, int initialWidth, int initialHeight) {
    Rect result = current;
    LayOutAxis(item.flags, layoutCentreX, layoutSizeX, layoutMoveX, item.rect.left, item.rect.right, cx, initialWidth,
               result.left, result.right);
    LayOutAxis(item.flags, layoutCentreY, layoutSizeY, layoutMoveY, item.rect.top, item.rect.bottom, cy, initialHeight,
               result.top, result.bottom);
    return result;
}

}  // namespace zorv
