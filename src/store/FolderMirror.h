#pragma once
// One listed folder as the programs that show it see it: every file known by what stands under
// its name (device, inode, size, time), with its category and list text, kept current from the
// ArrivalWatch (inotify, or a listing every 2 s). The window's arrivals, its saved list, the search
// panel and comment-list --watch all take the folder's changes from here, so that they agree on
// when a file is whole, when a name holds another file and when a file is gone.
//
// A file is read once, when it is reported; what is reported is gone again only through `gone`.

#include "store/ArrivalWatch.h"
#include "store/FileIdentity.h"
#include "store/MessageSink.h"

#include <optional>
#include <string>
#include <vector>

namespace store {

struct MirrorEntry {
    std::string path;
    int category = 0;
    FileIdentity identity;
    std::string listText;  // code page 932
    double time = 0;       // last-write time, local date-time value
};

struct MirrorChanges {
    std::vector<MirrorEntry> added;      // new files, whole, in the order they became so
    std::vector<std::string> gone;       // files gone: there at the start, or reported since
    std::vector<MirrorEntry> replaced;   // another whole file under a name that held one
    std::vector<MirrorEntry> completed;  // a file read while its writer was still at it, now whole
    bool empty() const { return added.empty() && gone.empty() && replaced.empty() && completed.empty(); }
};

class FolderMirror {
public:
    using Clock = ArrivalWatch::Clock;

    // Starts following `dir`; what it holds now is the start and is not reported as added.
    // `sink` (none: silence) hears of a reported file that cannot be read; it is reported all the
    // same, with the list text of a file without lines.
    explicit FolderMirror(const std::string& dir, bool followOpens = true, MessageSink* sink = nullptr);

    // As ArrivalWatch: wait on fd() and nextDeadline(), then call process().
    int fd() const { return watch_.fd(); }
    const std::string& pollReason() const { return watch_.pollReason(); }
    std::optional<Clock::time_point> nextDeadline() const { return watch_.nextDeadline(); }
    void followOpens() { watch_.followOpens(); }
    MirrorChanges process(Clock::time_point now = Clock::now(), int maxReads = 0);

    // The file under `path` as it stands now, read as category k: nothing when nothing is there.
    // Opened without blocking; a pipe, a device or a file that cannot be opened is told to `sink`
    // and read as a file without lines.
    static std::optional<MirrorEntry> read(const std::string& path, int k, MessageSink& sink);

private:
    ArrivalWatch watch_;
    MessageSink* sink_;
};

}  // namespace store
