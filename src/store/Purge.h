#pragma once
// Applying the retention limits to the comment files on disk.

#include "store/Categories.h"

#include <array>
#include <string>

namespace store {

// One entry of the purge list.
struct TFRec {
    std::string path;
    double time = 0;  // MS-DOS packed local date-time, the unsigned 32-bit value
};

// For each category whose deletion flag is on: counts the matching entries of the received and
// saved directories together (hidden files and folders included) and deletes the oldest beyond
// the limit. Both folders count against one limit, so comments not yet kept can go too.
// Failed deletions are skipped; a negative limit deletes nothing. Nothing is reported.
void PurgeCommentFiles(const CommentDirs& dirs, const std::array<int, kCategoryCount>& limits,
                       const std::array<bool, kCategoryCount>& deletionFlags);

}  // namespace store
