#pragma once
// Filling one category's block of the comment table from the received or saved directory.

#include "store/Categories.h"
#include "store/CommentTable.h"
#include "store/MessageSink.h"
#include "settings/SettingsRecord.h"

#include <array>
#include <cstddef>

namespace store {

// Rewrites block k from entry 1 and sets its count: at most 500 entries, newest first, equal
// times in listing order (by name). Hidden and system files and folders are not listed.
// When a 501st file is met while k's deletion flag is off and its limit is below 501, the
// retention notice is shown; with the flag on (the purge will make room) or a limit above the
// table's size (nothing was exceeded) loading stops at 500 silently.
// Throws std::out_of_range for k outside 0..3, before touching the table.
void LoadCategory(CommentTable& table, const CommentDirs& dirs, bool receivedMode, int k,
                  const settings::SettingsRecord& settings, MessageSink& sink);

// Says through `sink` (one message naming the folder and why) when the received directory exists
// but cannot be listed: its comments would otherwise look like none. True when it said so.
bool ReportUnreadableReceived(const CommentDirs& dirs, MessageSink& sink);

// LoadCategory for the four categories in index order, from one listing of the directory. Returns
// how many names of the listing match each category's pattern, whatever the filter and the limit
// left out: a caller that says what the list has no room for needs no listing of its own.
std::array<std::size_t, kCategoryCount> LoadCategories(CommentTable& table, const CommentDirs& dirs, bool receivedMode,
                                                       const settings::SettingsRecord& settings, MessageSink& sink);

}  // namespace store
