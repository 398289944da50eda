#include "store/FolderMirror.h"

#include "platform/FileTime.h"
#include "store/ListText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unordered_set>

namespace store {

FolderMirror::FolderMirror(const std::string& dir, bool followOpens, MessageSink* sink)
    : watch_(dir, followOpens), sink_(sink)
{
}

std::optional<MirrorEntry> FolderMirror::read(const std::string& path, int k, MessageSink& sink)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd >= 0 ? ::fstat(fd, &st) != 0 : ::stat(path.c_str(), &st) != 0)
        st = {};
    if (fd < 0 && errno == ENOENT)
        return std::nullopt;
    if (fd >= 0 && !S_ISREG(st.st_mode)) {
        // A pipe or a device under a comment's name: listed as a file that cannot be read.
        ::close(fd);
        fd = -1;
    }
    MirrorEntry e;
    e.path = path;
    e.category = k;
    e.identity = identityOf(st);
    e.time = platform::toLocalDateTime(platform::lastWriteTime(st));
    ReadListText(k, path, fd, e.listText, sink);
    if (fd >= 0)
        ::close(fd);
    return e;
}

MirrorChanges FolderMirror::process(Clock::time_point now, int maxReads)
{
    const ArrivalChanges c = watch_.process(now, maxReads);
    MirrorChanges out;
    if (c.empty())
        return out;
    SilentSink silent;
    MessageSink* sink = sink_ ? sink_ : &silent;
    // The batch says which names came and went, not in which order: what stands there now decides.
    std::unordered_set<std::string> vanished(c.vanished.begin(), c.vanished.end());
    for (const Arrival& a : c.arrived) {
        std::optional<MirrorEntry> e = read(a.path, a.category, *sink);
        if (!e)
            continue;  // gone again already: it was never there for anyone
        if (vanished.erase(a.path) > 0)
            out.replaced.push_back(std::move(*e));
        else
            out.added.push_back(std::move(*e));
    }
    for (const std::string& path : c.vanished) {
        if (vanished.count(path))
            out.gone.push_back(path);
    }
    for (const std::string& path : c.completed) {
        if (vanished.count(path))
            continue;
        const auto slash = path.find_last_of('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (std::optional<MirrorEntry> e = read(path, categoryOfName(name), *sink))
            out.completed.push_back(std::move(*e));
    }
    return out;
}

}  // namespace store
