#include "docking/DockGeometry.h"

#include <gtest/gtest.h>

#include <climits>

using namespace docking;

namespace {

std::vector<int> positions(const RowLayoutResult& r)
{
    std::vector<int> p;
    for (const BarPlacement& b : r.placements)
        p.push_back(b.pos);
    return p;
}

std::vector<int> rows(const std::vector<DockBar>& bars)
{
    std::vector<int> r;
    for (const DockBar& b : bars)
        r.push_back(b.row);
    return r;
}

}  // namespace

TEST(LayoutRows, RowLongerThanDockIsPulledBackButNeverBeforeItsStart)
{
    std::vector<DockBar> bars{{0, 0, 100, 25}, {0, 50, 60, 25}, {0, 300, 80, 25}};
    const RowLayoutResult r = layoutRows(bars, 200, false, false);
    EXPECT_EQ(positions(r), (std::vector<int>{0, 100, 160}));
    // Without write-back the tool windows keep the pushed-apart positions, not the fitted ones.
    EXPECT_EQ(bars[1].pos, 100);
    EXPECT_EQ(bars[2].pos, 300);

    std::vector<DockBar> again{{0, 0, 100, 25}, {0, 50, 60, 25}, {0, 300, 80, 25}};
    layoutRows(again, 200, false, true);
    EXPECT_EQ(again[2].pos, 160);
}

TEST(LayoutRows, NegativePositionsJoinTheEndOfTheRowAndPlacementsStackRows)
{
    std::vector<DockBar> bars{{1, -1, 50, 20}, {0, 10, 40, 25}, {0, -8, 30, 25}, {0, -1, 20, 25}};
    const RowLayoutResult r = layoutRows(bars, 500, false, false);
    EXPECT_EQ(r.order, (std::vector<std::size_t>{1, 2, 3, 0}));
    EXPECT_EQ(positions(r), (std::vector<int>{0, 10, 50, 80}));
    EXPECT_EQ(r.rowThickness, (std::vector<int>{25, 20}));
    EXPECT_EQ(r.placements[0].offset, 29);
    EXPECT_EQ(r.placements[0].thickness, 24);
    EXPECT_EQ(r.thickness, 29 + 24);
}

TEST(LayoutRows, EmptyRowsCloseAndThinRowsAreAtLeastEight)
{
    std::vector<DockBar> bars{{0, 0, 40, 5}, {2, 0, 40, 5}, {5, 0, 40, 5}};
    const RowLayoutResult r = layoutRows(bars, 300, false, false);
    EXPECT_EQ(rows(bars), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(r.rowThickness, (std::vector<int>{8, 8, 8}));
    EXPECT_EQ(r.placements[1].thickness, 12);
    EXPECT_EQ(r.thickness, 36);
}

// A damaged stored layout can give any 32-bit row; found by fuzzing, where closing the gap row by row
// took billions of passes.
TEST(LayoutRows, HugeAndNegativeRowsCloseUpAtOnce)
{
    std::vector<DockBar> bars{{2147483647, 0, 40, 5}, {3, 0, 40, 5}, {-4, 0, 40, 5}, {3, 50, 40, 5}};
    closeEmptyRows(bars);
    EXPECT_EQ(rows(bars), (std::vector<int>{2, 1, 0, 1}));
}

// Row -1 wrote before the row list (a heap overflow at every start); position 2147483647 plus a
// length overflowed.
TEST(LayoutRows, DamagedStoredRowsAndPositionsLandInTheFirstRowAndFitTheDock)
{
    std::vector<DockBar> bars{{-1, 0, 100, 25}, {INT_MIN, INT_MAX, 60, 25}, {INT_MAX, INT_MAX, 80, 25}};
    const RowLayoutResult r = layoutRows(bars, 200, false, true);
    EXPECT_EQ(rows(bars), (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(positions(r), (std::vector<int>{0, 140, 120}));
    EXPECT_EQ(bars[1].pos, 140);
}

TEST(LayoutRows, FullSizeToolWindowGetsARowOfItsOwnSpanningTheDock)
{
    std::vector<DockBar> bars{{0, 40, 50, 20}, {0, 10, 60, 20, true}, {1, 0, 30, 20}};
    const RowLayoutResult r = layoutRows(bars, 300, false, false);
    EXPECT_EQ(rows(bars), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(r.placements[1].pos, 0);
    EXPECT_EQ(r.placements[1].length, 300);
    EXPECT_EQ(r.placements[0].offset, 24);
}

TEST(LayoutRows, HiddenToolWindowsKeepTheirPlaceAndTakeNoRoom)
{
    std::vector<DockBar> bars{{0, 70, 50, 20, false, false}, {1, 5, 50, 20, false, false}};
    const RowLayoutResult r = layoutRows(bars, 300, false, true);
    EXPECT_TRUE(r.empty);
    EXPECT_EQ(rows(bars), (std::vector<int>{0, 1}));
    EXPECT_EQ(bars[0].pos, 70);

    // A hidden one beside a visible one keeps its row from closing and is not placed.
    bars[1].visible = true;
    const RowLayoutResult shown = layoutRows(bars, 300, false, false);
    EXPECT_FALSE(shown.placements[0].placed);
    EXPECT_EQ(shown.rowThickness, (std::vector<int>{0, 20}));
    EXPECT_EQ(shown.placements[1].offset, 0);
}

TEST(LayoutRows, LimitToOneRowPutsEveryToolWindowInRowZeroOneAfterAnother)
{
    std::vector<DockBar> bars{{0, 0, 40, 20}, {1, 0, 40, 20}, {2, 0, 40, 20}};
    const RowLayoutResult r = layoutRows(bars, 300, true, false);
    EXPECT_EQ(rows(bars), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(positions(r), (std::vector<int>{0, 40, 80}));
}

TEST(RowAtOffset, BoundariesWithinFivePixelsOpenANewRow)
{
    const std::vector<int> t{25, 0, 20};  // rows 0..29 and 29..53; the empty row is skipped
    EXPECT_EQ(rowAtOffset(t, 0), (RowHit{0, true}));
    EXPECT_EQ(rowAtOffset(t, 4), (RowHit{0, true}));
    EXPECT_EQ(rowAtOffset(t, 5), (RowHit{0, false}));
    EXPECT_EQ(rowAtOffset(t, 23), (RowHit{0, false}));
    EXPECT_EQ(rowAtOffset(t, 24), (RowHit{2, true}));
    EXPECT_EQ(rowAtOffset(t, 33), (RowHit{2, true}));
    EXPECT_EQ(rowAtOffset(t, 34), (RowHit{2, false}));
    EXPECT_EQ(rowAtOffset(t, 48), (RowHit{3, true}));
    EXPECT_EQ(rowAtOffset(t, 58), (RowHit{3, false}));
    EXPECT_EQ(rowAtOffset({}, 100), (RowHit{0, false}));
}

TEST(MulDiv, RoundsHalfAwayFromZeroAndGivesMinusOneForZeroDivisor)
{
    EXPECT_EQ(mulDiv(32, 5, 10), 16);
    EXPECT_EQ(mulDiv(1, 1, 2), 1);
    EXPECT_EQ(mulDiv(32, 1, 3), 11);
    EXPECT_EQ(mulDiv(-1, 1, 2), -1);
    EXPECT_EQ(mulDiv(5, 5, 0), -1);
}

TEST(HotZone, ReachesBeyondTheDockInProportionToTheGrabPoint)
{
    const Rect dock{0, 0, 200, 30};
    const Grab topLeft{{0, 0}, {132, 28}};
    const Grab bottomRight{{132, 28}, {132, 28}};
    const Size outline{133, 29};
    EXPECT_TRUE(inHotZone(dock, dpTop, {-32, -20}, topLeft, outline));
    EXPECT_FALSE(inHotZone(dock, dpTop, {-33, 0}, topLeft, outline));
    EXPECT_FALSE(inHotZone(dock, dpTop, {0, -21}, topLeft, outline));
    EXPECT_TRUE(inHotZone(dock, dpTop, {199, 29}, topLeft, outline));
    EXPECT_FALSE(inHotZone(dock, dpTop, {200, 0}, topLeft, outline));
    EXPECT_TRUE(inHotZone(dock, dpTop, {231, 49}, bottomRight, outline));
    EXPECT_FALSE(inHotZone(dock, dpTop, {232, 0}, bottomRight, outline));
    EXPECT_FALSE(inHotZone(dock, dpTop, {0, 50}, bottomRight, outline));
}

TEST(HotZone, VerticalDocksKeepTheCursorInsideVerticallyAndEmptyDocksGetOnePixel)
{
    const Rect left{0, 40, 0, 400};  // an empty left dock
    const Grab grab{{5, 10}, {132, 28}};
    const Size outline{34, 113};
    EXPECT_TRUE(inHotZone(left, dpLeft, {0, 100}, grab, outline));
    EXPECT_TRUE(inHotZone(left, dpLeft, {-30, 100}, grab, outline));
    EXPECT_FALSE(inHotZone(left, dpLeft, {2, 100}, grab, outline));
    EXPECT_FALSE(inHotZone(left, dpLeft, {0, 39}, grab, outline));
}

TEST(Outline, KeepsTheGrabPointsProportionUnderTheCursor)
{
    const Grab grab{{66, 14}, {132, 28}};
    EXPECT_EQ(placeOutline({100, 100}, {133, 29}, grab), (Rect{34, 86, 167, 115}));
    // A vertical outline of another size puts the same proportion under the cursor.
    EXPECT_EQ(placeOutline({100, 100}, {34, 113}, grab), (Rect{83, 44, 117, 157}));
}

TEST(Outline, FloatingOutlineStaysReachableOnTheWorkArea)
{
    const Rect work{0, 0, 800, 600};
    EXPECT_EQ(keepFloatingReachable({-500, 100, -400, 150}, work, 3, 14), (Rect{-92, 100, 8, 150}));
    EXPECT_EQ(keepFloatingReachable({900, 700, 1000, 750}, work, 3, 14), (Rect{792, 592, 892, 642}));
    // The caption may hide above the top only as far as the frame and caption less 4 pixels.
    EXPECT_EQ(keepFloatingReachable({10, -50, 110, 0}, work, 3, 14), (Rect{10, -13, 110, 37}));
    EXPECT_EQ(keepFloatingReachable({10, -50, 110, 0}, work, 3, 0), (Rect{10, 1, 110, 51}));
    EXPECT_EQ(clampToRect({-5, 900}, work), (Point{0, 599}));
}

TEST(DropPlace, CentreLineChoosesTheRowAndEdgesOpenNewRows)
{
    const std::vector<int> t{25};
    EXPECT_EQ(dropPlace(t, {40, 0, 173, 29}, false, false, {0}), (DropPlace{0, 40, std::nullopt}));
    EXPECT_EQ(dropPlace(t, {40, -12, 173, 17}, false, false, {0}), (DropPlace{0, 40, 0}));
    EXPECT_EQ(dropPlace(t, {40, 30, 173, 59}, false, false, {0}), (DropPlace{1, 40, std::nullopt}));
    // A full-size toolbar dropped into an occupied row gets a new row after it.
    EXPECT_EQ(dropPlace(t, {40, 0, 173, 29}, false, true, {0}), (DropPlace{1, 40, 1}));
    // Before the row's start it stands at 0, ahead of a tool window already there.
    EXPECT_EQ(dropPlace(t, {-20, 0, 113, 29}, false, false, {0}), (DropPlace{0, 0, std::nullopt, true}));
    EXPECT_EQ(dropPlace(t, {0, 0, 133, 29}, false, false, {0}), (DropPlace{0, 0, std::nullopt, false}));
    // Vertical docks measure across with left and right, along with top.
    EXPECT_EQ(dropPlace(t, {0, 70, 29, 183}, true, false, {0}), (DropPlace{0, 70, std::nullopt}));
}

namespace {

// A form with an empty left dock and a top dock of one row, its client area one bound line down; the
// toolbar, 133 x 29 docked, was grabbed at (4, 14).
struct DropScene {
    DragSituation drag{{0, 0}, {{4, 14}, {132, 28}}, false, false, false, {139, 45}, {0, 0, 1024, 768}, 3, 14};
    std::vector<DropDock> docks{{{0, 130, 0, 700}, dpLeft, {34, 113}, {0, 130}, {}, {}},
                                {{100, 100, 700, 130}, dpTop, {133, 29}, {100, 101}, {25}, {0}}};

    DropChoice at(Point cursor, std::vector<std::size_t>* asked = nullptr)
    {
        drag.cursor = cursor;
        return chooseDrop(drag, docks, [asked](std::size_t i) {
            if (asked)
                asked->push_back(i);
            return true;
        });
    }
};

}  // namespace

TEST(ChooseDrop, OverADockTheOutlineGivesItsRowAndPosition)
{
    DropScene s;
    std::vector<std::size_t> asked;
    EXPECT_EQ(s.at({300, 115}, &asked), (DropChoice{1, {296, 101, 429, 130}, {0, 196, std::nullopt}}));
    EXPECT_EQ(asked, (std::vector<std::size_t>{1}));  // only the dock under the cursor is asked
    // The outline begins 8 pixels before the row: the toolbar goes first, ahead of the one at 0.
    EXPECT_EQ(s.at({96, 115}), (DropChoice{1, {92, 101, 225, 130}, {0, 0, std::nullopt, true}}));
    // Its centre line near the dock's top edge opens a new first row.
    EXPECT_EQ(s.at({300, 105}).place, (DropPlace{0, 196, 0}));
}

TEST(ChooseDrop, AwayFromTheDocksItFloatsWhereTheCursorKeptOnTheWorkAreaPutsIt)
{
    DropScene s;
    EXPECT_EQ(s.at({500, 500}), (DropChoice{std::nullopt, {496, 478, 635, 523}, {}}));
    // Beyond the screen's corner: the cursor is held at (1023, 0), the caption kept reachable.
    EXPECT_EQ(s.at({2000, -50}).outline, (Rect{1016, -13, 1155, 32}));
    // Ctrl floats it over a dock too; a toolbar that cannot float has no outline there.
    s.drag.floatOnly = true;
    EXPECT_EQ(s.at({300, 115}).dock, std::nullopt);
    s.drag.cannotFloat = true;
    EXPECT_EQ(s.at({300, 115}), DropChoice{});
    // A dock that refuses is passed over as if it were not there.
    s.drag.floatOnly = false;
    s.drag.cannotFloat = false;
    s.drag.cursor = {300, 115};
    EXPECT_EQ(chooseDrop(s.drag, s.docks, [](std::size_t) { return false; }).dock, std::nullopt);
}

// Under a compositor that keeps window places to itself a floating toolbar can only be docked.
TEST(ChooseDrop, AToolbarThatCannotBePlacedFloatingDocksOrStaysWhereItIs)
{
    DropScene s;
    s.drag.floatPlaceFixed = true;
    EXPECT_EQ(s.at({500, 500}), DropChoice{});
    EXPECT_EQ(s.at({300, 115}), (DropChoice{1, {296, 101, 429, 130}, {0, 196, std::nullopt}}));
}
