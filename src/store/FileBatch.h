#pragma once
// The file side of the keep and delete commands: one batch of chosen files handed to the
// platform's file operation in one call, and the retention purge at the switch to saved mode.

#include "platform/ShellFileOperation.h"
#include "store/CommentTable.h"
#include "settings/SettingsRecord.h"

#include <functional>
#include <string>
#include <string_view>

namespace store {

enum class BatchCommand { Save, Delete };

// The platform operation the batch runs through; tests put a recorder here.
using FileOperation = std::function<platform::FileOpResult(const platform::ShFileOpStruct&)>;

class FileBatch {
public:
    // savedDir ends in "/"; a save moves each file there under its own name.
    FileBatch(BatchCommand command, std::string savedDir);

    // Adds one chosen path; call in ascending list order. Every path is kept: the lists grow.
    void add(std::string_view sourcePath);

    int size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // The operation as handed to the platform: lists in multi-path form, and the flags:
    // FOF_FILESONLY | FOF_NOCONFIRMATION (0x90), plus FOF_MULTIDESTFILES (0x91) for a save of
    // two or more files.
    platform::ShFileOpStruct operation() const;
    unsigned flags() const;

    // One call for the whole batch. Per-file failures come back for the window to report.
    platform::FileOpResult run(const FileOperation& op = platform::shFileOperation) const;

private:
    BatchCommand command_;
    std::string savedDir_;
    std::string sources_;
    std::string targets_;
    int count_ = 0;
};

// The saved-directory path a save moves `sourcePath` to.
std::string saveTargetFor(const std::string& savedDir, std::string_view sourcePath);

// At the switch to saved mode, after the four saved blocks are loaded: for each category whose
// deletion flag is on, delete the files of the entries past its limit (the oldest, since blocks
// are newest first), clear those entries and lower the count to the limit. Failed deletions are
// ignored. A negative limit (damaged store) deletes nothing. Returns the entries cleared.
int purgeBeyondLimits(CommentTable& table, const settings::SettingsRecord& settings);

// Removes temporaries of moves that a crash interrupted and finishes the moves whose copy arrived
// whole (the received file goes where its saved namesake holds the same bytes); call once at
// start-up.
void cleanUpInterruptedMoves(const CommentDirs& dirs);

}  // namespace store
