// Outer bounds stored at close and read at the next start.

#include "ui/Placement.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowBounds, AMaximisedWindowReopensMaximisedAndRestoresInsideTheWorkArea)
{
    // A panel along the bottom edge, and one along the left edge.
    for (const ui::Bounds work : {ui::Bounds{0, 0, 1280, 770}, ui::Bounds{40, 0, 1240, 800}}) {
        const ui::ScreenInfo screen{1280, 800, work.width};
        const ui::Bounds stored = ui::maximisedBounds(work);
        const ui::Placement p = ui::placeWindow(stored.top, stored.left, stored.width, stored.height, screen);
        EXPECT_TRUE(p.maximized);
        EXPECT_FALSE(p.centred);  // the toolbar arrangement is loaded, not replaced by the designed one
        const ui::Bounds normal = ui::normalBounds(p, work);
        EXPECT_GE(normal.left, work.left);
        EXPECT_GE(normal.top, work.top);
        EXPECT_LE(normal.left + normal.width, work.left + work.width);
        EXPECT_LE(normal.top + normal.height, work.top + work.height);
    }
}

TEST(WindowBounds, AWindowLargerThanTheWorkAreaShrinksToItAndKeepsItsPlace)
{
    const ui::ScreenInfo screen{1280, 800, 1280};
    const ui::Placement p = ui::placeWindow(50, 60, 1000, 900, screen);
    EXPECT_FALSE(p.maximized);
    EXPECT_EQ(ui::normalBounds(p, {0, 0, 1280, 770}), (ui::Bounds{60, 50, 1000, 770}));
    EXPECT_EQ(ui::normalBounds(ui::placeWindow(50, 60, 800, 560, screen), {0, 0, 1280, 770}),
              (ui::Bounds{60, 50, 800, 560}));
}

TEST(Placement, StoredPlaceScreenLimitsAndMaximising)
{
    const ui::ScreenInfo bottomBar{1024, 768, 1024};
    auto p = ui::placeWindow(-4, -4, 1032, 776, bottomBar);
    EXPECT_EQ(p.top, 0);
    EXPECT_EQ(p.left, 0);
    EXPECT_TRUE(p.maximized);
    EXPECT_FALSE(p.centred);

    p = ui::placeWindow(0, 0, 0, 0, bottomBar);
    EXPECT_EQ(p.width, 716);
    EXPECT_EQ(p.height, 537);
    EXPECT_TRUE(p.centred);
    EXPECT_FALSE(p.maximized);

    p = ui::placeWindow(2000, 5, 800, 500, bottomBar);
    EXPECT_EQ(p.top, 268);

    const ui::ScreenInfo sideBar{1024, 768, 960};
    EXPECT_FALSE(ui::placeWindow(5, 5, 1024, 700, sideBar).maximized);
    EXPECT_TRUE(ui::placeWindow(5, 5, 900, 768, sideBar).maximized);

    EXPECT_EQ(ui::clampFontSize(40), 30);
    EXPECT_EQ(ui::clampFontSize(5), 9);
    EXPECT_EQ(ui::clampFontSize(10), 10);
    EXPECT_EQ(ui::listHeight(0, 600), 200);
}

TEST(WindowBounds, WhereTheCompositorPlacesThePositionStaysAndTheSizeIsTheWindowsOwn)
{
    const ui::Bounds stored{120, 80, 900, 600};
    // The window reports a position the compositor did not tell; only its size is taken.
    EXPECT_EQ(ui::boundsToStore({0, 0, 900, 600}, stored, true), (ui::Bounds{120, 80, 900, 600}));
    EXPECT_EQ(ui::boundsToStore({0, 0, 700, 500}, stored, true), (ui::Bounds{120, 80, 700, 500}));
    EXPECT_EQ(ui::boundsToStore({10, 20, 700, 500}, stored, false), (ui::Bounds{10, 20, 700, 500}));

    // Position 0, 0 with a stored size is a window that was there before: its arrangement is loaded.
    const ui::ScreenInfo screen{1280, 800, 1280};
    EXPECT_FALSE(ui::placeWindow(0, 0, 900, 600, screen, true).centred);
    EXPECT_TRUE(ui::placeWindow(0, 0, 900, 600, screen, false).centred);
    EXPECT_TRUE(ui::placeWindow(0, 0, 0, 0, screen, true).centred);
}

}  // namespace
