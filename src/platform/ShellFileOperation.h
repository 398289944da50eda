#pragma once
// Stand-in for SHFileOperationA (FO_MOVE with paired targets, FO_DELETE) and DeleteFileA.
//
// A move never loses a file: on one file system it is a rename(2); across file systems the file
// is copied to a dot-named temporary in the target folder (which no comment pattern matches),
// synced, renamed over the target, the folder synced, and only then the source removed: renamed to
// a private name in its folder first, and removed there only when that is the file that was copied,
// whole and unchanged (anything else goes back); a source that a process still has open for writing
// stays whole where it is (a read lease taken before the copy and kept until the removal tells).
// A crash at any instant leaves the file whole at its
// source (or its private name) or at its target, for a moment at both; the next start removes a
// temporary left behind and puts a held source back (removeInterruptedMoves), then removes a source
// whose copy arrived whole (finishInterruptedMoves).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr unsigned kFoMove = 1;
inline constexpr unsigned kFoDelete = 3;
inline constexpr unsigned kFofMultiDestFiles = 0x01;
inline constexpr unsigned kFofNoConfirmation = 0x10;
inline constexpr unsigned kFofFilesOnly = 0x80;

// Path lists in the platform's multi-path form: each path followed by a NUL, one more NUL at the
// end. They grow as needed.
struct ShFileOpStruct {
    unsigned func = kFoMove;
    std::string from;
    std::string to;
    unsigned flags = 0;
};

// errno values, plus kErrorSameFile when source and target are one file (left alone),
// kErrorSourceChanged when the source was replaced or written to during a copy across file systems
// (the source stays, and the copy too unless its length differs from the size the file had), and
// kErrorStillWritten when a process still has the source open for writing across file systems
// (it stays where it is; a copy made before the writer came back stays beside it).
inline constexpr int kErrorSameFile = -1;
inline constexpr int kErrorSourceChanged = -2;
inline constexpr int kErrorStillWritten = -3;

struct FileOpFailure {
    std::string source;
    std::string target;  // empty for a delete
    int error = 0;
};

struct FileOpResult {
    int code = 0;  // 0 when every file was moved or deleted
    std::vector<FileOpFailure> failures;
};

FileOpResult shFileOperation(const ShFileOpStruct& op);

// DeleteFileA: fails for directories and read-only files, as the platform does.
bool deleteFile(const std::string& path);

// Removes the temporaries of moves that a crash interrupted and puts their held sources back under
// their own names (those of running processes stay).
void removeInterruptedMoves(const std::string& directory);

// Finishes moves that a crash interrupted after the copy arrived: a regular file of `sourceDir`
// accepted by `isCandidate` whose namesake in `targetDir` holds the same bytes is removed. Files
// whose namesake differs stay as they are. Returns the number removed.
int finishInterruptedMoves(const std::string& sourceDir, const std::string& targetDir,
                           const std::function<bool(std::string_view name)>& isCandidate);

// Test seam for the steps of a move across file systems: called after each copied chunk, before
// the file sync's, the rename's and the folder sync's outcome is used, and before the source is
// taken away. A nonzero result is taken as that step's error.
enum class MoveStep { Copying, SyncingFile, Renaming, SyncingFolder, RemovingSource };
using MoveStepHook = std::function<int(MoveStep, const std::string& source)>;
void setMoveStepHook(MoveStepHook hook);
bool isMoveTemporaryName(std::string_view name);

void appendMultiPath(std::string& list, std::string_view path);
std::vector<std::string> splitMultiPath(std::string_view list);

// Short text for a failure's error, e.g. "No such file or directory".
std::string describeFileOpError(int error);

}  // namespace platform
