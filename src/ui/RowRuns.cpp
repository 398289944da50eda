#include "ui/RowRuns.h"

#include <algorithm>
#include <cstddef>

namespace ui {

std::vector<RowRun> runsFromLast(const std::vector<int>& rows)
{
    std::vector<RowRun> runs;
    for (std::size_t end = rows.size(); end > 0;) {
        std::size_t first = end - 1;
        while (first > 0 && rows[first - 1] == rows[first] - 1)
            --first;
        runs.push_back({rows[first], rows[end - 1] - rows[first] + 1});
        end = first;
    }
    return runs;
}

RowRemoval removeSelectedRows(const std::vector<bool>& selected, int caret)
{
    const int count = static_cast<int>(selected.size());
    std::vector<int> rows;
    for (int row = 0; row < count; ++row) {
        if (selected[static_cast<std::size_t>(row)])
            rows.push_back(row);
    }
    RowRemoval removal;
    if (rows.empty() && caret >= 0 && caret < count)
        rows.push_back(caret);
    removal.runs = runsFromLast(rows);
    const int left = count - static_cast<int>(rows.size());
    if (!std::binary_search(rows.begin(), rows.end(), caret)) {
        // A caret the user moved off the chosen lines stays on its own line.
        removal.caret = caret - static_cast<int>(std::lower_bound(rows.begin(), rows.end(), caret) - rows.begin());
        return removal;
    }
    removal.caret = left > caret ? caret : left - 1;
    return removal;
}

}  // namespace ui
