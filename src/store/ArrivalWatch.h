#pragma once
// Comments that arrive in the received folder while a program runs. The suite's receiver may still
// be writing when a file appears, so a file counts only once it is whole: closed after writing or
// moved in, or, where that cannot be told (a writer that opened it before the watch began, a lost
// event queue, readers still holding it after its writer closed it), when its size and time have
// not changed for kSettleTime. Only names that match a category's pattern and that the loader
// would list (not hidden, not system, not a folder) count.
//
// The watch has no thread and no timer of its own: the caller waits on fd() and nextDeadline()
// in its event loop (a socket notifier and a single-shot timer, or poll(2)) and then calls
// process(). While nothing happens the caller sleeps. Linux inotify underneath.
//
// Where inotify cannot watch the folder (no watches left, no permission, or a network file system
// whose changes made elsewhere it never sees), the folder is listed every kPollInterval instead and
// a new file counts once its size and time have stood still, and a name whose device, inode, size
// or time differ from the last look stands for another file (one that grew is read again as one
// arriving); stderr is told once why. fd() is then
// -1 (or a descriptor that stays quiet, when the change comes later) and nextDeadline() always has
// a time. COMMENT_ARRIVALS_POLL set and not empty in the environment forces this mode, for tests.

#include "store/FileIdentity.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <vector>

namespace store {

struct Arrival {
    std::string path;  // received folder + name
    int category = 0;
};

struct ArrivalChanges {
    std::vector<Arrival> arrived;       // in the order they became whole
    // Paths whose file is gone: earlier arrivals, and files there when the watch began.
    std::vector<std::string> vanished;
    // Files there when the watch began, or counted already, that a writer has since closed: a list
    // read while they were still being written shows their first lines as they were then.
    std::vector<std::string> completed;
    bool empty() const { return arrived.empty() && vanished.empty() && completed.empty(); }
};

class ArrivalWatch {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kSettleTime{500};
    static constexpr std::chrono::seconds kPollInterval{2};

    // Starts watching `receivedDir`; the files it holds now are known and never count. A folder
    // that does not exist yet is waited for; what it holds when it appears counts.
    // With `followOpens` false, opens and closes without writing are not asked for until
    // followOpens() is called: a program about to read every received file would otherwise raise
    // two events a file, which cost its loading more than they tell. Meanwhile a writer is told
    // by its writes and its close alone.
    explicit ArrivalWatch(const std::string& receivedDir, bool followOpens = true);
    ~ArrivalWatch();
    ArrivalWatch(const ArrivalWatch&) = delete;
    ArrivalWatch& operator=(const ArrivalWatch&) = delete;

    // Readable when events wait; -1 when the folder is polled from the start.
    int fd() const { return fd_; }
    // Why the folder is polled; empty while inotify watches it.
    const std::string& pollReason() const { return pollReason_; }
    // When process() must run next even without events: a file whose size and time are settling,
    // or the next look at a polled folder.
    std::optional<Clock::time_point> nextDeadline() const;
    // Reads the waiting events and settles what is due at `now`.
    // With `maxReads` > 0 at most that many buffers of events are read: a caller that must stay
    // responsive takes a flood in pieces (the descriptor stays readable for the rest).
    ArrivalChanges process(Clock::time_point now = Clock::now(), int maxReads = 0);

    void followOpens();

    // The arrivals that are still there, in the order they came.
    std::vector<Arrival> arrivals() const;

private:
    struct Pending {
        int opens = 0;  // opened and not yet closed, as far as the events tell
        // A writer has closed it. The opens left may be readers (an indexer, a virus scanner, a
        // search), and inotify does not say which, so size and time decide, not their closes.
        bool written = false;
        std::optional<Clock::time_point> deadline;
        long long size = -1;
        long long mtimeNs = -1;
    };

    void watchFolder(Clock::time_point now, bool baseline);
    void folderGone(ArrivalChanges& changes);
    void rescan(Clock::time_point now, ArrivalChanges& changes);
    void handle(std::uint32_t mask, const std::string& name, Clock::time_point now, ArrivalChanges& changes);
    void settle(const std::string& name, Clock::time_point now, ArrivalChanges& changes);
    void decide(const std::string& name, ArrivalChanges& changes);
    void forget(const std::string& name, ArrivalChanges& changes);
    void schedule(Pending& p, const std::string& name, Clock::time_point now);
    std::uint32_t folderMask() const;
    bool cannotWatch(int error);
    void startPolling(const std::string& reason, Clock::time_point now);
    void poll(Clock::time_point now, ArrivalChanges& changes);

    std::string dir_;     // with a trailing slash
    std::string parent_;  // watched while the folder is missing
    std::string leaf_;
    int fd_ = -1;
    int dirWd_ = -1;
    int parentWd_ = -1;
    bool followOpens_ = true;
    std::string pollReason_;
    Clock::time_point nextPoll_{};
    bool folderSeen_ = false;                    // polling: the folder was there at the last look
    std::map<std::string, long long> unlisted_;  // polling: names the loader would not list, by ctime
    std::unordered_set<std::string> known_;      // there when the watch began
    // Polling: what stood under each known or counted name at the last look, so that a name used
    // again between two looks is told from the file it held before.
    std::unordered_map<std::string, FileIdentity> seen_;
    std::map<std::string, Pending> pending_;     // touched, not yet whole
    std::map<std::string, Arrival> counted_;     // arrived and still there
    std::vector<std::string> order_;             // names of counted_ in arrival order
};

// The category whose pattern `name` matches, or -1.
int categoryOfName(const std::string& name);

}  // namespace store
