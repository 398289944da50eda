#pragma once
// Comments that arrive in the received folder while a program runs. The suite's receiver may still
// be writing when a file appears, so a file counts only once it is whole: closed after writing or
// moved in, or, where that cannot be told (a writer that opened it before the watch began, a lost
// event queue), when its size and time have not changed for kSettleTime. Only names that match a
// category's pattern and that the loader would list (not hidden, not system, not a folder) count.
//
// The watch has no thread and no timer of its own: the caller waits on fd() and nextDeadline()
// in its event loop (a socket notifier and a single-shot timer, or poll(2)) and then calls
// process(). While nothing happens the caller sleeps. Linux inotify underneath.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
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
    std::vector<std::string> vanished;  // paths of earlier arrivals that are gone again
    bool empty() const { return arrived.empty() && vanished.empty(); }
};

class ArrivalWatch {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kSettleTime{500};

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

    // Readable when events wait; -1 when the system gives no watch (nothing will ever arrive).
    int fd() const { return fd_; }
    // When process() must run next even without events: a file whose size and time are settling.
    std::optional<Clock::time_point> nextDeadline() const;
    // Reads the waiting events and settles what is due at `now`.
    ArrivalChanges process(Clock::time_point now = Clock::now());

    void followOpens();

    // The arrivals that are still there, in the order they came.
    std::vector<Arrival> arrivals() const;

private:
    struct Pending {
        int opens = 0;  // opened and not yet closed, as far as the events tell
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

    std::string dir_;     // with a trailing slash
    std::string parent_;  // watched while the folder is missing
    std::string leaf_;
    int fd_ = -1;
    int dirWd_ = -1;
    int parentWd_ = -1;
    bool followOpens_ = true;
    std::unordered_set<std::string> known_;      // there when the watch began
    std::map<std::string, Pending> pending_;     // touched, not yet whole
    std::map<std::string, Arrival> counted_;     // arrived and still there
    std::vector<std::string> order_;             // names of counted_ in arrival order
};

// The category whose pattern `name` matches, or -1.
int categoryOfName(const std::string& name);

}  // namespace store
