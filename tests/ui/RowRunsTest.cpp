// The lines a keep/delete batch takes out of the list, and where the caret lands.

#include "ui/RowRuns.h"

#include <gtest/gtest.h>

namespace {

using ui::RowRun;

std::vector<bool> chosen(int count, std::initializer_list<int> rows)
{
    std::vector<bool> selected(static_cast<std::size_t>(count), false);
    for (int r : rows)
        selected[static_cast<std::size_t>(r)] = true;
    return selected;
}

TEST(RowRuns, RunsAtTheStartMiddleAndEndGoLastFirstAndTheCaretTakesTheLastLineLeft)
{
    const ui::RowRemoval r = ui::removeSelectedRows(chosen(10, {0, 1, 2, 5, 7, 8, 9}), 5);
    EXPECT_EQ(r.runs, (std::vector<RowRun>{{7, 3}, {5, 1}, {0, 3}}));
    EXPECT_EQ(r.caret, 2);  // three lines are left
}

TEST(RowRuns, TheCaretKeepsItsRowNumberWhileEnoughLinesAreLeft)
{
    const ui::RowRemoval r = ui::removeSelectedRows(chosen(10, {1, 4}), 4);
    EXPECT_EQ(r.runs, (std::vector<RowRun>{{4, 1}, {1, 1}}));
    EXPECT_EQ(r.caret, 4);
}

TEST(RowRuns, WithNothingSelectedTheCaretLineGoesAndTheLastMovesTheCaretBack)
{
    const ui::RowRemoval r = ui::removeSelectedRows(chosen(2, {}), 1);
    EXPECT_EQ(r.runs, (std::vector<RowRun>{{1, 1}}));
    EXPECT_EQ(r.caret, 0);
}

TEST(RowRuns, AnUnselectedCaretBesideChosenLinesStaysOnItsLineAndAnEmptiedListHasNoCaret)
{
    const ui::RowRemoval r = ui::removeSelectedRows(chosen(3, {0, 2}), 1);
    EXPECT_EQ(r.runs, (std::vector<RowRun>{{2, 1}, {0, 1}}));
    EXPECT_EQ(r.caret, 0);
    EXPECT_EQ(ui::removeSelectedRows(chosen(2, {0, 1}), 1).caret, -1);
}

}  // namespace
