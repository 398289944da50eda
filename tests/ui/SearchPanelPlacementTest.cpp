// Where the search panel opens: worked numbers, no QApplication.

#include "ui/SearchPanelPlacement.h"

#include <gtest/gtest.h>

namespace {

const QSize kPanel(566, 390);

TEST(SearchPanelPlacement, BesideTheWindowOnTheRightWhereTheScreenHasRoom)
{
    // 800 + 566 = 1366 columns of 1600.
    EXPECT_EQ(ui::placeSearchPanel({0, 0, 800, 600}, {0, 200, 800, 400}, {0, 0, 1600, 900}, kPanel),
              QRect(800, 0, 566, 390));
    // Ending on the screen's last column still fits: 1034 + 566 = 1600.
    EXPECT_EQ(ui::placeSearchPanel({0, 0, 1034, 600}, {0, 200, 1034, 400}, {0, 0, 1600, 900}, kPanel),
              QRect(1034, 0, 566, 390));
}

TEST(SearchPanelPlacement, OnTheLeftWhenOnlyThereIsRoomAndKeptOnTheScreenDownwards)
{
    // 1000 + 500 leaves 100 columns on the right; 1000 - 566 = 434 on the left. The top edge
    // would put the bottom at 700 + 390 = 1090 > 900: it rises to 900 - 390 = 510.
    EXPECT_EQ(ui::placeSearchPanel({1000, 700, 500, 150}, {1000, 760, 500, 90}, {0, 0, 1600, 900}, kPanel),
              QRect(434, 510, 566, 390));
}

TEST(SearchPanelPlacement, WithoutRoomBesideItCoversOnlyTheLowerHalfOfTheCommentView)
{
    // A window filling 1280x800: the view 1262x460 from (0, 300); half of it is 230 rows.
    EXPECT_EQ(ui::placeSearchPanel({0, 0, 1280, 800}, {0, 300, 1262, 460}, {0, 0, 1280, 800}, kPanel),
              QRect(696, 530, 566, 230));
    // A view narrower than the panel: the panel takes its width.
    EXPECT_EQ(ui::placeSearchPanel({0, 0, 1280, 800}, {100, 300, 400, 460}, {0, 0, 1280, 800}, kPanel),
              QRect(100, 530, 400, 230));
}

}  // namespace
