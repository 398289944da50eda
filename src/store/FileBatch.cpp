#include "store/FileBatch.h"

#include "platform/FileFind.h"

namespace store {

FileBatch::FileBatch(BatchCommand command, std::string savedDir) : command_(command), savedDir_(std::move(savedDir)) {}

std::string saveTargetFor(const std::string& savedDir, std::string_view sourcePath)
{
    const auto slash = sourcePath.find_last_of('/');
    return savedDir + std::string(slash == std::string_view::npos ? sourcePath : sourcePath.substr(slash + 1));
}

void FileBatch::add(std::string_view sourcePath)
{
    platform::appendMultiPath(sources_, sourcePath);
    if (command_ == BatchCommand::Save)
        platform::appendMultiPath(targets_, saveTargetFor(savedDir_, sourcePath));
    ++count_;
}

unsigned FileBatch::flags() const
{
    unsigned f = platform::kFofFilesOnly;
    if (command_ == BatchCommand::Save && count_ > 1)
        f |= platform::kFofMultiDestFiles;
    return f | platform::kFofNoConfirmation;
}

platform::ShFileOpStruct FileBatch::operation() const
{
    platform::ShFileOpStruct op;
    op.func = command_ == BatchCommand::Save ? platform::kFoMove : platform::kFoDelete;
    // An empty list is still a list: its terminating NUL.
    op.from = sources_.empty() ? std::string(1, '\0') : sources_;
    if (command_ == BatchCommand::Save)
        op.to = targets_.empty() ? std::string(1, '\0') : targets_;
    op.flags = flags();
    return op;
}

platform::FileOpResult FileBatch::run(const FileOperation& op) const { return op(operation()); }

int purgeBeyondLimits(CommentTable& table, const settings::SettingsRecord& settings)
{
    int cleared = 0;
    for (int k = 0; k < kCategoryCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const int limit = settings.maxCmntInfo[i];
        if (!settings.delCmntInfo[i] || limit < 0 || table.count(k) <= limit)
            continue;
        for (int j = limit + 1; j <= table.count(k); ++j) {
            platform::deleteFile(table.entry(k, j).path);
            table.clearEntry(k, j);
            ++cleared;
        }
        table.setCount(k, limit);
    }
    return cleared;
}

void cleanUpInterruptedMoves(const CommentDirs& dirs)
{
    platform::removeInterruptedMoves(dirs.saved);
    platform::removeInterruptedMoves(dirs.received);
    // A save killed between the copy's arrival and the source's removal leaves the comment in both
    // folders, and the start would offer an already kept comment again: finish that move. A saved
    // namesake with other bytes is another comment, and both stay.
    platform::finishInterruptedMoves(dirs.received, dirs.saved, [](std::string_view name) {
        for (int k = 0; k < kCategoryCount; ++k)
            if (platform::matchesWildcard(filePattern(k), name))
                return true;
        return false;
    });
}

}  // namespace store
