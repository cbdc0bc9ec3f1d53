#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "ui/dialog_layout.h"

namespace zorv {
namespace {

TEST(CenteredPosition, CentresOnTheReferenceAndStaysInTheWorkArea) {
    const Rect workArea{0, 0, 1920, 1040};
    EXPECT_EQ(CenteredPosition(workArea, workArea, 400, 300).x, 760);
    EXPECT_EQ(CenteredPosition(workArea, workArea, 400, 300).y, 370);
    // Odd sizes: both halves truncate.
    Point odd = CenteredPosition(Rect{0, 0, 1001, 801}, workArea, 301, 201);
    EXPECT_EQ(odd.x, 500 - 150);
    EXPECT_EQ(odd.y, 400 - 100);
    // An owner near the right edge: pushed back inside.
    EXPECT_EQ(CenteredPosition(Rect{1700, 0, 1900, 100}, workArea, 400, 300).x, 1520);
    // Larger than the work area: onto its left and top edges.
    Point large = CenteredPosition(workArea, Rect{100, 50, 1920, 1040}, 2500, 1500);
    EXPECT_EQ(large.x, 100);
    EXPECT_EQ(large.y, 50);
    // A reference left of the area's origin (a second monitor) keeps its sign.
    EXPECT_EQ(CenteredPosition(Rect{-1001, 0, 0, 100}, Rect{-1920, 0, 0, 1040}, 200, 100).x, -600);
}

TEST(DialogLayout, ExceptionDialogFollowsTheClientSizeOneToOne) {
    // The dialog's controls as laid out at a client size of 550 x 480.
    const std::map<std::int32_t, Rect> opened = {
        {209, {16, 22, 534, 464}}, {210, {84, 56, 518, 88}},   {212, {32, 374, 518, 410}},
        {211, {32, 328, 518, 364}}, {208, {32, 108, 518, 312}}, {1, {306, 420, 406, 448}},
        {2, {418, 420, 518, 448}},
    };
    std::map<std::int32_t, Rect> grown;
    for (const LayoutEntry* entry = kExceptionDialogLayout; entry->id != kLayoutEnd.id; ++entry) {
        LayoutItem item{entry->id, entry->flags, opened.at(entry->id)};
        grown[entry->id] = LaidOutRect(item, item.rect, 650, 530, 550, 480);
    }
    ASSERT_EQ(grown.size(), 7u);
    auto delta = [&](std::int32_t id) {
        const Rect& a = opened.at(id);
        const Rect& b = grown.at(id);
        return std::vector<int>{b.left - a.left, b.top - a.top, b.right - a.right, b.bottom - a.bottom};
    };
    EXPECT_EQ(delta(208), (std::vector<int>{0, 0, 100, 50}));
    EXPECT_EQ(delta(209), (std::vector<int>{0, 0, 100, 50}));
    EXPECT_EQ(delta(210), (std::vector<int>{0, 0, 100, 0}));
    EXPECT_EQ(delta(211), (std::vector<int>{0, 50, 100, 50}));
    EXPECT_EQ(delta(212), (std::vector<int>{0, 50, 100, 50}));
    EXPECT_EQ(delta(1), (std::vector<int>{100, 50, 100, 50}));
    EXPECT_EQ(delta(2), (std::vector<int>{100, 50, 100, 50}));

    // Placement is from the recorded rectangle, so repeated sizes do not drift,
    // and centring keeps the recorded extent.
    LayoutItem centred{7, layoutCentreX | layoutMoveY, Rect{10, 10, 60, 30}};
    Rect placed = LaidOutRect(centred, Rect{99, 99, 99, 99}, 301, 200, 100, 100);
    EXPECT_EQ(placed.left, 125);
    EXPECT_EQ(placed.right, 175);
    EXPECT_EQ(placed.top, 110);
    EXPECT_EQ(placed.bottom, 130);
}

}  // namespace
}  // namespace zorv
