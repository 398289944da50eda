#include "store/ArrivalWatch.h"

#include "platform/FileFind.h"
#include "store/Categories.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace store {
namespace {

constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_OPEN | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE |
                                        IN_CLOSE_NOWRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE |
                                        IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Events that tell even of a known file: it is gone or replaced, or the folder itself is.
constexpr std::uint32_t kLeaveOrSelfEvents = IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE | IN_DELETE_SELF |
                                             IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW | IN_ISDIR;

std::string withoutSlash(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
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
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0)
        watchFolder(Clock::now(), true);
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

void ArrivalWatch::watchFolder(Clock::time_point now, bool baseline)
{
    // The watch comes before the listing, so that nothing falls between the two.
    dirWd_ = inotify_add_watch(fd_, dir_.c_str(),
                               followOpens_ ? kFolderEvents : kFolderEvents & ~(IN_OPEN | IN_CLOSE_NOWRITE));
    if (dirWd_ < 0) {
        if (parentWd_ < 0)
            parentWd_ = inotify_add_watch(fd_, parent_.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
        return;
    }
    if (parentWd_ >= 0) {
        inotify_rm_watch(fd_, parentWd_);
        parentWd_ = -1;
    }
    // Names alone: which files were there is all the watch needs, and a look at each would cost a
    // system call a file while the loader reads the same folder.
    for (const std::string& name : platform::namesIn(dir_)) {
        if (categoryOfName(name) < 0)
            continue;
        if (baseline)
            known_.insert(name);
        else
            schedule(pending_[name], name, now);  // a folder that appeared with files in it
    }
}

void ArrivalWatch::folderGone(ArrivalChanges& changes)
{
    for (const std::string& name : std::vector<std::string>(order_))
        forget(name, changes);
    known_.clear();
    pending_.clear();
    if (dirWd_ >= 0)
        inotify_rm_watch(fd_, dirWd_);
    dirWd_ = -1;
}

std::optional<ArrivalWatch::Clock::time_point> ArrivalWatch::nextDeadline() const
{
    std::optional<Clock::time_point> next;
    for (const auto& [name, p] : pending_) {
        if (p.deadline && (!next || *p.deadline < *next))
            next = p.deadline;
    }
    return next;
}

ArrivalChanges ArrivalWatch::process(Clock::time_point now)
{
    ArrivalChanges changes;
    if (fd_ < 0)
        return changes;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;  // EAGAIN: nothing more waits
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            const std::string name = e->len > 0 ? std::string(e->name) : std::string();
            // Reads of the files listed when the watch began (this program loading them at
            // start-up: two events a file) are most of what comes; they change nothing.
            if (!(e->mask & kLeaveOrSelfEvents) && e->wd == dirWd_ && known_.count(name))
                continue;
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
    if (known_.count(name))
        return;  // listed when the watch began; rewriting it brings nothing new
    if (counted_.count(name)) {
        // Made hidden, say: what the loader would no longer list stops counting.
        if ((mask & IN_ATTRIB) && !platform::findFile(dir_, name, 0))
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
            decide(name, changes);
            return;
        }
        schedule(p, name, now);
    } else if (mask & (IN_CREATE | IN_MODIFY | IN_ATTRIB)) {
        schedule(p, name, now);
    } else if (fresh || (p.opens == 0 && !p.deadline)) {
        // Only read by someone (this program showing it, say): nothing is being written.
        if (p.opens == 0)
            pending_.erase(name);
    }
}

void ArrivalWatch::schedule(Pending& p, const std::string& name, Clock::time_point now)
{
    struct stat st{};
    if (::stat((dir_ + name).c_str(), &st) == 0) {
        p.size = st.st_size;
        p.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    }
    p.deadline = now + kSettleTime;
}

void ArrivalWatch::settle(const std::string& name, Clock::time_point now, ArrivalChanges& changes)
{
    Pending& p = pending_[name];
    if (p.opens > 0) {
        p.deadline.reset();  // a writer still has it open: its close decides
        return;
    }
    struct stat st{};
    if (::stat((dir_ + name).c_str(), &st) != 0) {
        pending_.erase(name);
        return;
    }
    const long long mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    if (st.st_size != p.size || mtimeNs != p.mtimeNs) {
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
    if (k < 0 || !platform::findFile(dir_, name, 0))
        return;  // hidden, system or a folder: not listed, so not counted
    Arrival a{dir_ + name, k};
    counted_.emplace(name, a);
    order_.push_back(name);
    changes.arrived.push_back(std::move(a));
}

void ArrivalWatch::forget(const std::string& name, ArrivalChanges& changes)
{
    known_.erase(name);
    pending_.erase(name);
    const auto it = counted_.find(name);
    if (it == counted_.end())
        return;
    changes.vanished.push_back(it->second.path);
    counted_.erase(it);
    std::erase(order_, name);
}

void ArrivalWatch::rescan(Clock::time_point now, ArrivalChanges& changes)
{
    // Events were lost: look at the folder itself, and let size and time tell what is whole.
    for (const std::string& name : std::vector<std::string>(order_)) {
        if (!platform::findFile(dir_, name, 0))
            forget(name, changes);
    }
    for (auto& [name, p] : pending_) {
        p.opens = 0;
        schedule(p, name, now);
    }
    for (const platform::FoundFile& f : platform::findFiles(dir_, "*", platform::kAttrAnyFile, false)) {
        if (categoryOfName(f.name) >= 0 && !known_.count(f.name) && !counted_.count(f.name) &&
            !pending_.count(f.name))
            schedule(pending_[f.name], f.name, now);
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
