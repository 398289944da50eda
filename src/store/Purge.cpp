#include "store/Purge.h"

#include "platform/FileFind.h"
#include "platform/ShellFileOperation.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace store {

void PurgeCommentFiles(const CommentDirs& dirs, const std::array<int, kCategoryCount>& limits,
                       const std::array<bool, kCategoryCount>& deletionFlags)
{
    if (std::none_of(deletionFlags.begin(), deletionFlags.end(), [](bool on) { return on; }))
        return;
    // Nearly always every category is within its limit: counting names, one listing per folder,
    // shows that without looking at a single file.
    const platform::DirectoryListing received(dirs.received), saved(dirs.saved);
    for (int k = 0; k < kCategoryCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (!deletionFlags[i])
            continue;
        const int limit = limits[i];
        if (limit < 0)
            continue;  // only a damaged store says so; better keep everything
        // Names can only over-count (an entry may vanish before it is looked at).
        if (received.count(filePattern(k)) + saved.count(filePattern(k)) <= static_cast<std::size_t>(limit))
            continue;

        std::vector<TFRec> list;
        for (const std::string* dir : {&dirs.received, &dirs.saved}) {
            // Ordered by time below, where files of equal time may go either way: no name sort.
            for (auto& f : platform::findFiles(*dir, filePattern(k), platform::kAttrAnyFile, false)) {
                // Unsigned, as packed: taken as signed, every year from 2044 on (bit 31) would sort
                // as the oldest and the newest comments would go first.
                const std::uint32_t dos = platform::toDosDateTime(f.lastWrite);
                list.push_back(TFRec{*dir + f.name, static_cast<double>(dos)});
            }
        }
        if (list.size() <= static_cast<std::size_t>(limit))
            continue;

        const std::size_t surplus = list.size() - static_cast<std::size_t>(limit);
        std::nth_element(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(surplus - 1), list.end(),
                         [](const TFRec& a, const TFRec& b) { return a.time < b.time; });
        // The oldest `surplus` entries now lie before the nth: delete exactly those, oldest
        // first; one that cannot be deleted stays and no newer file goes in its place.
        std::sort(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(surplus),
                  [](const TFRec& a, const TFRec& b) { return a.time < b.time; });
        for (std::size_t j = 0; j < surplus; ++j)
            platform::deleteFile(list[j].path);
    }
}

}  // namespace store
