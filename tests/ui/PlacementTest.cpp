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

}  // namespace
