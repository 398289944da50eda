#include "store/ArrivalWatch.h"

#include "platform/FileFind.h"
#include "store/Categories.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

namespace store {
namespace {

constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_OPEN | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE |
                                        IN_CLOSE_NOWRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE | IN_DELETE_SELF |
                                        IN_MOVE_SELF | IN_ONLYDIR;
// Events that tell even of a known file: it is gone or replaced, or the folder itself is.
constexpr std::uint32_t kLeaveOrSelfEvents =
    IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW | IN_ISDIR;

std::string withoutSlash(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

long long nanoseconds(const timespec& t) { return static_cast<long long>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

// inotify sees only what this machine's kernel does to a file: on these a file written by another
// host raises no event at all.
const char* networkFileSystem(const std::string& path)
{
    struct statfs fs {};
    if (::statfs(path.c_str(), &fs) != 0)
        return nullptr;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969UL: return "NFS";
    case 0xFF534D42UL: return "CIFS";
    case 0xFE534D42UL: return "SMB2";
    case 0x517BUL: return "SMB";
    case 0x65735546UL: return "FUSE";
    case 0x01021997UL: return "9P";
    default: return nullptr;
    }
}

}  // namespace

int categoryOfName(const std::string& name)
{
    for (int k = 0; k < kCategoryCount; ++k) {
        if (platform::matchesWildcard(filePattern(k), name))
            return k;
    }
    return -1;
}

ArrivalWatch::ArrivalWatch(const std::string& receivedDir, bool followOpens) : followOpens_(followOpens)
{
    const std::string folder = withoutSlash(receivedDir.empty() ? "." : receivedDir);
    dir_ = folder + "/";
    const auto slash = folder.rfind('/');
    parent_ = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    leaf_ = slash == std::string::npos ? folder : folder.substr(slash + 1);
    const Clock::time_point now = Clock::now();
    if (const char* force = std::getenv("COMMENT_ARRIVALS_POLL"); force && *force) {
        startPolling("COMMENT_ARRIVALS_POLL is set", now);
    } else {
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0)
            startPolling(std::string("no inotify instance (") + std::strerror(errno) + ")", now);
    }
    watchFolder(now, true);
    if (!pollReason_.empty() && fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

ArrivalWatch::~ArrivalWatch()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void ArrivalWatch::followOpens()
{
    if (followOpens_)
        return;
    followOpens_ = true;
    if (dirWd_ < 0)
        return;
    // The same folder keeps its watch descriptor and gets the wider mask. A folder replaced
    // meanwhile gets a new one, dropped again: the old watch's events tell of the replacement.
    const int wd = inotify_add_watch(fd_, dir_.c_str(), kFolderEvents);
    if (wd >= 0 && wd != dirWd_)
        inotify_rm_watch(fd_, wd);
}

std::uint32_t ArrivalWatch::folderMask() const
{
    return followOpens_ ? kFolderEvents : kFolderEvents & ~(IN_OPEN | IN_CLOSE_NOWRITE);
}

bool ArrivalWatch::cannotWatch(int error)
{
    if (error == ENOSPC)
        startPolling("no inotify watches left (fs.inotify.max_user_watches)", Clock::now());
    else if (error == EACCES)
        startPolling("inotify may not watch it (EACCES)", Clock::now());
    return !pollReason_.empty();
}

void ArrivalWatch::startPolling(const std::string& reason, Clock::time_point now)
{
    if (!pollReason_.empty())
        return;
    pollReason_ = reason;
    std::fprintf(stderr, "Arrivals in %s are looked for every %lld s: %s.\n", dir_.c_str(),
                 static_cast<long long>(kPollInterval.count()), reason.c_str());
    // A descriptor the caller already waits on stays open, quiet.
    if (fd_ >= 0 && dirWd_ >= 0)
        inotify_rm_watch(fd_, dirWd_);
    if (fd_ >= 0 && parentWd_ >= 0)
        inotify_rm_watch(fd_, parentWd_);
    dirWd_ = parentWd_ = -1;
    nextPoll_ = now + kPollInterval;
}

void ArrivalWatch::watchFolder(Clock::time_point now, bool baseline)
{
    if (pollReason_.empty()) {
        const char* network = networkFileSystem(dir_);
        if (!network)
            network = networkFileSystem(parent_);
        if (network)
            startPolling(std::string("a network file system (") + network + "), which inotify does not see", now);
    }
    if (!pollReason_.empty()) {
        struct stat st {};
        folderSeen_ = ::stat(dir_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    } else {
        // The watch comes before the listing, so that nothing falls between the two.
        dirWd_ = inotify_add_watch(fd_, dir_.c_str(), folderMask());
        if (dirWd_ < 0) {
            if (cannotWatch(errno)) {
                watchFolder(now, baseline);
                return;
            }
            if (parentWd_ < 0) {
                parentWd_ = inotify_add_watch(fd_, parent_.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
                if (parentWd_ < 0 && cannotWatch(errno))
                    watchFolder(now, baseline);
            }
            return;
        }
        if (parentWd_ >= 0) {
            inotify_rm_watch(fd_, parentWd_);
            parentWd_ = -1;
        }
    }
    // Names alone: which files were there is all the watch needs, and a look at each would cost a
    // system call a file while the loader reads the same folder.
    for (const std::string& name : platform::namesIn(dir_)) {
        if (categoryOfName(name) < 0)
            continue;
        if (baseline) {
            known_.insert(name);
            // A poll cannot ask the kernel what changed: it compares with what it saw.
            if (!pollReason_.empty()) {
                if (const auto id = identityOf(dir_ + name))
                    seen_[name] = *id;
            }
        } else
            schedule(pending_[name], name, now);  // a folder that appeared with files in it
    }
}

void ArrivalWatch::folderGone(ArrivalChanges& changes)
{
    for (const std::string& name : std::vector<std::string>(order_))
        forget(name, changes);
    for (const std::string& name : std::vector<std::string>(known_.begin(), known_.end()))
        forget(name, changes);
    pending_.clear();
    unlisted_.clear();
    if (dirWd_ >= 0)
        inotify_rm_watch(fd_, dirWd_);
    dirWd_ = -1;
}

std::optional<ArrivalWatch::Clock::time_point> ArrivalWatch::nextDeadline() const
{
    std::optional<Clock::time_point> next;
    if (!pollReason_.empty())
        next = nextPoll_;
    for (const auto& [name, p] : pending_) {
        if (p.deadline && (!next || *p.deadline < *next))
            next = p.deadline;
    }
    return next;
}

ArrivalChanges ArrivalWatch::process(Clock::time_point now, int maxReads)
{
    ArrivalChanges changes;
    if (!pollReason_.empty() && now >= nextPoll_) {
        nextPoll_ = now + kPollInterval;
        poll(now, changes);
    }
    alignas(inotify_event) char buffer[16384];
    for (int reads = 0; fd_ >= 0 && (maxReads <= 0 || reads < maxReads); ++reads) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;  // EAGAIN: nothing more waits
        // Polled since: the descriptor the caller waits on is drained (the removed watches' last
        // events), or it would stay readable and wake the caller without end.
        for (ssize_t at = 0; at < n && pollReason_.empty();) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            const std::string name = e->len > 0 ? std::string(e->name) : std::string();
            // Reads of the files listed when the watch began (this program loading them at
            // start-up: two events a file) are most of what comes; they change nothing.
            if (!(e->mask & kLeaveOrSelfEvents) && e->wd == dirWd_ && known_.count(name)) {
                if (e->mask & IN_CLOSE_WRITE)
                    changes.completed.push_back(dir_ + name);  // listed before its writer was done
                continue;
            }
            if (e->mask & IN_Q_OVERFLOW) {
                rescan(now, changes);
            } else if (e->wd == parentWd_ && parentWd_ >= 0) {
                if (name == leaf_ && dirWd_ < 0)
                    watchFolder(now, false);
            } else if (e->wd == dirWd_ && dirWd_ >= 0) {
                if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                    folderGone(changes);
                    watchFolder(now, false);  // it may be back already, or is waited for
                } else if (!name.empty() && !(e->mask & IN_ISDIR) && categoryOfName(name) >= 0) {
                    handle(e->mask, name, now, changes);
                }
            }
        }
    }
    std::vector<std::string> due;
    for (const auto& [name, p] : pending_) {
        if (p.deadline && *p.deadline <= now)
            due.push_back(name);
    }
    for (const std::string& name : due)
        settle(name, now, changes);
    return changes;
}

void ArrivalWatch::handle(std::uint32_t mask, const std::string& name, Clock::time_point now, ArrivalChanges& changes)
{
    if (mask & (IN_DELETE | IN_MOVED_FROM)) {
        forget(name, changes);
        return;
    }
    if (mask & IN_MOVED_TO) {
        // Moved in whole, possibly over a file of the same name: that one is gone.
        forget(name, changes);
        decide(name, changes);
        return;
    }
    if (known_.count(name) || counted_.count(name)) {
        // Known files never count again, but a list may show what they held before their writer
        // was done (a settled pause, or read at the start).
        if (mask & IN_CLOSE_WRITE)
            changes.completed.push_back(dir_ + name);
        // Made hidden, say: what the loader would no longer list stops counting.
        if (counted_.count(name) && (mask & IN_ATTRIB) && !platform::findFile(dir_, name, 0))
            forget(name, changes);
        return;
    }
    const bool fresh = !pending_.count(name);
    Pending& p = pending_[name];
    if (mask & IN_OPEN)
        ++p.opens;
    if (mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE))
        p.opens = std::max(0, p.opens - 1);
    if (mask & IN_CLOSE_WRITE) {
        if (p.opens == 0) {
            // Made empty and closed: a receiver that creates first and appends afterwards comes
            // back, and its open holds the file back again. One that stays empty counts settled.
            struct stat st {};
            if (::stat((dir_ + name).c_str(), &st) == 0 && st.st_size == 0) {
                schedule(p, name, now);
                return;
            }
            decide(name, changes);
            return;
        }
        p.written = true;
        schedule(p, name, now);
    } else if (mask & (IN_CREATE | IN_MODIFY | IN_ATTRIB)) {
        schedule(p, name, now);
    } else if (p.opens == 0 && p.written) {
        decide(name, changes);  // the last reader of a file its writer had closed
    } else if (fresh || (p.opens == 0 && !p.deadline)) {
        // Only read by someone (this program showing it, say): nothing is being written.
        if (p.opens == 0)
            pending_.erase(name);
    }
}

void ArrivalWatch::schedule(Pending& p, const std::string& name, Clock::time_point now)
{
    struct stat st {};
    if (::stat((dir_ + name).c_str(), &st) == 0) {
        p.size = st.st_size;
        p.mtimeNs = nanoseconds(st.st_mtim);
    }
    p.deadline = now + kSettleTime;
}

void ArrivalWatch::settle(const std::string& name, Clock::time_point now, ArrivalChanges& changes)
{
    Pending& p = pending_[name];
    if (p.opens > 0 && !p.written) {
        p.deadline.reset();  // a writer still has it open: its close decides
        return;
    }
    struct stat st {};
    if (::stat((dir_ + name).c_str(), &st) != 0) {
        pending_.erase(name);
        return;
    }
    if (st.st_size != p.size || nanoseconds(st.st_mtim) != p.mtimeNs) {
        schedule(p, name, now);
        return;
    }
    decide(name, changes);
}

void ArrivalWatch::decide(const std::string& name, ArrivalChanges& changes)
{
    pending_.erase(name);
    if (known_.count(name) || counted_.count(name))
        return;
    const int k = categoryOfName(name);
    if (k < 0 || !platform::findFile(dir_, name, 0)) {
        // Hidden, system or a folder: not listed, so not counted. A poll looks again only once
        // its attributes have changed.
        struct stat st {};
        if (!pollReason_.empty() && ::stat((dir_ + name).c_str(), &st) == 0)
            unlisted_[name] = nanoseconds(st.st_ctim);
        return;
    }
    Arrival a{dir_ + name, k};
    if (!pollReason_.empty()) {
        if (const auto id = identityOf(a.path))
            seen_[name] = *id;
    }
    counted_.emplace(name, a);
    order_.push_back(name);
    changes.arrived.push_back(std::move(a));
}

void ArrivalWatch::forget(const std::string& name, ArrivalChanges& changes)
{
    pending_.erase(name);
    seen_.erase(name);
    if (known_.erase(name) > 0) {
        changes.vanished.push_back(dir_ + name);
        return;
    }
    const auto it = counted_.find(name);
    if (it == counted_.end())
        return;
    changes.vanished.push_back(it->second.path);
    counted_.erase(it);
    std::erase(order_, name);
}

void ArrivalWatch::rescan(Clock::time_point now, ArrivalChanges& changes)
{
    // Events were lost, perhaps those of the folder's own removal: a folder made again under the
    // same name is another one, whose watch has a new descriptor, and the old watch is dead.
    if (dirWd_ < 0) {
        watchFolder(now, false);  // its making may have been lost too
        return;
    }
    const int wd = inotify_add_watch(fd_, dir_.c_str(), folderMask());
    if (wd != dirWd_) {
        folderGone(changes);
        watchFolder(now, false);
        return;
    }
    // The same folder: look at it, and let size and time tell what is whole.
    for (const std::string& name : std::vector<std::string>(order_)) {
        if (!platform::findFile(dir_, name, 0))
            forget(name, changes);
    }
    std::unordered_set<std::string> here;
    for (std::string& name : platform::namesIn(dir_))
        here.insert(std::move(name));
    for (const std::string& name : std::vector<std::string>(known_.begin(), known_.end())) {
        if (!here.count(name))
            forget(name, changes);
    }
    for (auto& [name, p] : pending_) {
        p.opens = 0;
        schedule(p, name, now);
    }
    for (const platform::FoundFile& f : platform::findFiles(dir_, "*", platform::kAttrAnyFile, false)) {
        if (categoryOfName(f.name) >= 0 && !known_.count(f.name) && !counted_.count(f.name) && !pending_.count(f.name))
            schedule(pending_[f.name], f.name, now);
    }
}

void ArrivalWatch::poll(Clock::time_point now, ArrivalChanges& changes)
{
    struct stat st {};
    const bool there = ::stat(dir_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (!there) {
        if (folderSeen_)
            folderGone(changes);
        folderSeen_ = false;
        return;
    }
    if (!folderSeen_) {
        watchFolder(now, false);  // made since the last look: what it holds counts
        return;
    }
    // Names alone, as at the start: a look at each file would cost a call a file every two seconds.
    std::unordered_set<std::string> here;
    for (std::string& name : platform::namesIn(dir_)) {
        if (categoryOfName(name) >= 0)
            here.insert(std::move(name));
    }
    for (const std::string& name : std::vector<std::string>(order_)) {
        if (!here.count(name))
            forget(name, changes);
    }
    for (const std::string& name : std::vector<std::string>(known_.begin(), known_.end())) {
        if (!here.count(name))
            forget(name, changes);
    }
    // A name kept (moved away) and written again between two looks holds another file: the one
    // listed is gone, and the one there now is pending like any new file. One look a file, as
    // the listing itself costs.
    std::vector<std::string> changed;
    for (const auto& [name, before] : seen_) {
        const auto id = identityOf(dir_ + name);
        if (id && *id != before)
            changed.push_back(name);
    }
    for (const std::string& name : changed)
        forget(name, changes);
    std::erase_if(pending_, [&here](const auto& entry) { return !here.count(entry.first); });
    std::erase_if(unlisted_, [&here](const auto& entry) { return !here.count(entry.first); });
    for (const std::string& name : here) {
        if (known_.count(name) || counted_.count(name) || pending_.count(name))
            continue;
        if (const auto it = unlisted_.find(name); it != unlisted_.end()) {
            struct stat file {};
            if (::stat((dir_ + name).c_str(), &file) != 0 || nanoseconds(file.st_ctim) == it->second)
                continue;
            unlisted_.erase(it);
        }
        schedule(pending_[name], name, now);
    }
}

std::vector<Arrival> ArrivalWatch::arrivals() const
{
    std::vector<Arrival> out;
    for (const std::string& name : order_)
        out.push_back(counted_.at(name));
    return out;
}

}  // namespace store
