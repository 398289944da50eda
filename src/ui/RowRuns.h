#pragma once
// Which lines a keep/delete batch or a vanished file takes out of the list, as runs of
// neighbouring rows: each run is one removal from the model, since removing line by line updated
// every selection range each time (over a second for a save-all of 2,000). No widgets here.

#include <vector>

namespace ui {

// Rows [start, start + count).
struct RowRun {
    int start = 0;
    int count = 0;
    bool operator==(const RowRun&) const = default;
};

// Ascending, distinct rows as runs, the last run first: removed in that order, each leaves the
// rows of the runs still to go where they were.
std::vector<RowRun> runsFromLast(const std::vector<int>& rows);

struct RowRemoval {
    std::vector<RowRun> runs;  // the last run first
    int caret = -1;            // the caret's row afterwards; -1 when no line is left
};

// A batch over the selected rows of a list of `selected.size()` lines, or over the caret's row when
// none is selected: a caret moved off the chosen lines is not a choice. A caret whose line went
// keeps its row number, or takes the last line when fewer are left; one whose line stays stays on it.
RowRemoval removeSelectedRows(const std::vector<bool>& selected, int caret);

}  // namespace ui
