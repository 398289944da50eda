#include "platform/ShellFileOperation.h"

#include "platform/FileFind.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <unordered_set>
#include <utility>

namespace platform {
namespace {

constexpr std::string_view kTempPrefix = ".brevon-move.";
constexpr std::string_view kTempSuffix = ".tmp";
// ".brevon-move.<pid>.src.<name>": a source held under a private name just before its removal.
constexpr std::string_view kHeldMark = ".src.";

MoveStepHook& moveStepHook()
{
    static MoveStepHook hook;
    return hook;
}

int step(MoveStep s, const std::string& source)
{
    const MoveStepHook& hook = moveStepHook();
    return hook ? hook(s, source) : 0;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int syncDirectory(const std::string& dir)
{
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return errno;
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

// The shell creates missing target folders without asking when told not to confirm.
int makeDirectories(const std::string& dir)
{
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    const std::string parent = parentOf(dir);
    if (parent != dir)
        if (int e = makeDirectories(parent))
            return e;
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

std::string temporaryNameIn(const std::string& dir)
{
    static std::atomic<unsigned> counter{0};
    return dir + "/" + std::string(kTempPrefix) + std::to_string(::getpid()) + "." + std::to_string(counter++) +
           std::string(kTempSuffix);
}

// Copies to the end of the file and checks that this is the size the file had when it was opened:
// the kernel's copy may stop early (it copies 0 bytes between some file systems, or at a size limit)
// and a file that grew or shrank meanwhile is not the one that was looked at.
int copyContents(int in, int out, off_t size, const std::string& source)
{
    off_t copied = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 20, 0);
        if (n > 0) {
            copied += n;
            if (int e = step(MoveStep::Copying, source))
                return e;
            continue;
        }
        if (n == 0)
            break;  // the end, or a stop short of it: the buffer carries on from the offsets
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return errno;
        break;  // no kernel copy between these file systems: copy through a buffer
    }
    std::array<char, 1 << 16> buf;
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += w;
        }
        copied += n;
        if (int e = step(MoveStep::Copying, source))
            return e;
    }
    return copied == size ? 0 : kErrorSourceChanged;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Nothing was written to the file since `was`: same size and times. (A rename changes the change
// time, so after the source's rename only the size and the write time are compared.)
bool sameContent(const struct stat& now, const struct stat& was, bool withChangeTime)
{
    return now.st_size == was.st_size && now.st_mtim.tv_sec == was.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == was.st_mtim.tv_nsec &&
           (!withChangeTime ||
            (now.st_ctim.tv_sec == was.st_ctim.tv_sec && now.st_ctim.tv_nsec == was.st_ctim.tv_nsec));
}

// The name a source is held under while it is checked before its removal: in its own folder, hidden
// from every comment pattern, and telling the next start its process and its own name.
std::string heldNameOf(const std::string& path)
{
    return parentOf(path) + "/" + std::string(kTempPrefix) + std::to_string(::getpid()) + std::string(kHeldMark) +
           baseName(path);
}

// Puts a held file back under `name` without replacing a file that has arrived there meanwhile;
// false when one has (the held file then stays for the next start).
bool putBack(int dirFd, const char* held, const char* name)
{
    if (::renameat2(dirFd, held, dirFd, name, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: a link refuses an existing name as well.
    if (::linkat(dirFd, held, dirFd, name, 0) != 0)
        return false;
    ::unlinkat(dirFd, held, 0);
    return true;
}

// Removes `path` only when it still names the file open as `fd`, unchanged since `was`. Removing the
// name after a look at it would delete whatever a receiving program put there in between; so the
// name is first taken to a private one, and what that holds is compared: only the file looked at is
// removed, anything else goes back. 0, kErrorSourceChanged or an errno value.
int removeIfStillTheSame(const std::string& path, int fd, const struct stat& was)
{
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return errno;
    if (!sameContent(now, was, true))
        return kErrorSourceChanged;
    const std::string held = heldNameOf(path);
    if (::rename(path.c_str(), held.c_str()) != 0)
        return errno == ENOENT ? kErrorSourceChanged : errno;
    struct stat heldSt {};
    const bool same = ::lstat(held.c_str(), &heldSt) == 0 && sameFile(heldSt, was) && ::fstat(fd, &now) == 0 &&
                      sameContent(now, was, false);
    if (same && ::unlink(held.c_str()) == 0)
        return 0;
    const int error = same ? errno : kErrorSourceChanged;
    putBack(AT_FDCWD, held.c_str(), path.c_str());
    return error;
}

// Copy, sync, rename over the target, sync its folder; only then, and only when the source is still
// the file that was copied, remove it. Any failure keeps the source.
int moveAcrossFileSystems(const std::string& source, const std::string& target)
{
    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in)
        return errno;
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EISDIR;

    const std::string targetDir = parentOf(target);
    const std::string temp = temporaryNameIn(targetDir);
    Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out)
        return errno;
    auto fail = [&](int error) {
        out.reset();
        ::unlink(temp.c_str());
        return error;
    };
    if (int e = copyContents(in.get(), out.get(), st.st_size, source))
        return fail(e);
    // The comment's time is its last-write time: a move must keep it, as the platform's does.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    // The attributes before the mode: without root, a read-only copy takes no attribute any more.
    char attrib[256];
    const ssize_t alen = ::fgetxattr(in.get(), "user.DOSATTRIB", attrib, sizeof attrib);
    if (alen > 0)
        ::fsetxattr(out.get(), "user.DOSATTRIB", attrib, static_cast<std::size_t>(alen), 0);
    if (::fchmod(out.get(), st.st_mode & 07777) != 0 || ::futimens(out.get(), times) != 0)
        return fail(errno);
    if (::fsync(out.get()) != 0)
        return fail(errno);
    if (int e = step(MoveStep::SyncingFile, source))
        return fail(e);
    out.reset();
    if (int e = step(MoveStep::Renaming, source))
        return fail(e);
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return fail(errno);
    // Until the folder is on disk the copy may vanish with a power cut: the source must stay. The copy
    // stays too; the next start removes the received one where both hold the same bytes.
    if (int e = syncDirectory(targetDir))
        return e;
    if (int e = step(MoveStep::SyncingFolder, source))
        return e;
    if (int e = step(MoveStep::RemovingSource, source))
        return e;
    const int removed = removeIfStillTheSame(source, in.get(), st);
    if (removed == 0)
        syncDirectory(parentOf(source));
    return removed;
}

int moveOne(const std::string& source, const std::string& target)
{
    struct stat src {
    }, dst{};
    if (::lstat(source.c_str(), &src) != 0)
        return errno;
    if (::stat(target.c_str(), &dst) == 0) {
        if (sameFile(src, dst))
            return kErrorSameFile;  // rename(2) would keep both names; leave it
        if (S_ISDIR(dst.st_mode))
            return EISDIR;
    }
    // The folder is made only when the rename finds it missing: a batch into one existing folder
    // would otherwise look it up again for every file.
    if (::rename(source.c_str(), target.c_str()) == 0)
        return 0;
    if (errno == ENOENT) {
        if (int e = makeDirectories(parentOf(target)))
            return e;
        if (::rename(source.c_str(), target.c_str()) == 0)
            return 0;
    }
    if (errno != EXDEV)
        return errno;
    return moveAcrossFileSystems(source, target);
}

int deleteOne(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;  // the batch carries comment files only
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

std::string join(const std::string& dir, std::string_view name)
{
    std::string path = dir;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path.append(name);
    return path;
}

// Reads until the buffer is full or the file ends; -1 on an error.
ssize_t readFull(int fd, char* buf, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buf + got, size - got);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

bool sameBytes(int a, int b)
{
    std::array<char, 1 << 16> x, y;
    for (;;) {
        const ssize_t n = readFull(a, x.data(), x.size());
        const ssize_t m = readFull(b, y.data(), y.size());
        if (n < 0 || n != m)
            return false;
        if (n == 0)
            return true;
        if (std::memcmp(x.data(), y.data(), static_cast<std::size_t>(n)) != 0)
            return false;
    }
}

}  // namespace

void appendMultiPath(std::string& list, std::string_view path)
{
    if (!list.empty())
        list.pop_back();  // the list's final NUL
    list.append(path);
    list.push_back('\0');
    list.push_back('\0');
}

std::vector<std::string> splitMultiPath(std::string_view list)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < list.size() && list[at] != '\0') {
        const std::size_t end = list.find('\0', at);
        const std::size_t stop = end == std::string_view::npos ? list.size() : end;
        out.emplace_back(list.substr(at, stop - at));
        at = stop + 1;
    }
    return out;
}

FileOpResult shFileOperation(const ShFileOpStruct& op)
{
    FileOpResult result;
    const std::vector<std::string> sources = splitMultiPath(op.from);
    auto record = [&](const std::string& source, const std::string& target, int error) {
        if (error != 0)
            result.failures.push_back({source, target, error});
    };

    if (op.func == kFoDelete) {
        for (const auto& s : sources)
            record(s, {}, deleteOne(s));
    } else if (op.func == kFoMove) {
        const std::vector<std::string> targets = splitMultiPath(op.to);
        for (std::size_t i = 0; i < sources.size(); ++i) {
            std::string target;
            if (op.flags & kFofMultiDestFiles) {
                if (i >= targets.size()) {
                    record(sources[i], {}, EINVAL);
                    continue;
                }
                target = targets[i];
            } else if (!targets.empty()) {
                // One destination for several files is the folder that receives them. For one file
                // it is the new name: a folder there fails (as it does with paired targets) rather
                // than swallowing the comment where no list shows it.
                target = targets[0];
                if (sources.size() > 1) {
                    target += '/';
                    target += baseName(sources[i]);
                }
            } else {
                record(sources[i], {}, EINVAL);
                continue;
            }
            record(sources[i], target, moveOne(sources[i], target));
        }
    } else {
        for (const auto& s : sources)
            record(s, {}, EINVAL);
    }
    if (!result.failures.empty()) {
        const int first = result.failures.front().error;
        result.code = first == kErrorSameFile ? 0x71 : first == kErrorSourceChanged ? 0x20 : first;
    }
    return result;
}

bool deleteFile(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR))
        return false;
    return ::unlink(path.c_str()) == 0;
}

namespace {

// The process number and the rest of a name ".brevon-move.<pid>.<rest>"; nullopt for other names.
std::optional<std::pair<long, std::string_view>> splitMoveName(std::string_view name)
{
    if (!name.starts_with(kTempPrefix))
        return std::nullopt;
    name.remove_prefix(kTempPrefix.size());
    std::size_t digits = 0;
    while (digits < name.size() && digits < 10 && name[digits] >= '0' && name[digits] <= '9')
        ++digits;
    if (digits == 0 || digits >= name.size() || name[digits] != '.')
        return std::nullopt;
    return std::pair{std::strtol(std::string(name.substr(0, digits)).c_str(), nullptr, 10), name.substr(digits)};
}

// ".<counter>.tmp" of a copy's temporary.
bool isTemporaryRest(std::string_view rest)
{
    if (!rest.ends_with(kTempSuffix) || rest.size() <= 1 + kTempSuffix.size())
        return false;
    const std::string_view counter = rest.substr(1, rest.size() - 1 - kTempSuffix.size());
    return std::all_of(counter.begin(), counter.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The same bytes under two names of one folder.
bool sameBytesAt(int dirFd, const char* a, const char* b)
{
    Fd x(::openat(dirFd, a, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    Fd y(::openat(dirFd, b, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat xs {
    }, ys{};
    return x && y && ::fstat(x.get(), &xs) == 0 && ::fstat(y.get(), &ys) == 0 && S_ISREG(xs.st_mode) &&
           S_ISREG(ys.st_mode) && xs.st_size == ys.st_size && sameBytes(x.get(), y.get());
}

}  // namespace

bool isMoveTemporaryName(std::string_view name)
{
    const auto split = splitMoveName(name);
    return split && isTemporaryRest(split->second);
}

void removeInterruptedMoves(const std::string& directory)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
    if (!dir)
        return;
    std::vector<std::string> stale;
    std::vector<std::pair<std::string, std::string>> held;  // private name, own name
    while (dirent* e = ::readdir(dir.get())) {
        const std::string_view name = e->d_name;
        const auto split = splitMoveName(name);
        if (!split)
            continue;
        const auto [pid, rest] = *split;
        // A move still running in a live process owns its names.
        if (pid > 0 && pid != ::getpid() && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
            continue;
        if (isTemporaryRest(rest))
            stale.emplace_back(name);
        else if (rest.starts_with(kHeldMark) && rest.size() > kHeldMark.size())
            held.emplace_back(name, rest.substr(kHeldMark.size()));
    }
    const int fd = dirfd(dir.get());
    for (const auto& name : stale)
        ::unlinkat(fd, name.c_str(), 0);
    // A source killed while held goes back to its name; where its copy arrived whole, the clean-up
    // of the received folder then finishes the move. Where another file took the name meanwhile, a
    // held file with the same bytes is a duplicate; one with other bytes waits for a later start.
    for (const auto& [name, own] : held)
        if (!putBack(fd, name.c_str(), own.c_str()) && errno == EEXIST && sameBytesAt(fd, name.c_str(), own.c_str()))
            ::unlinkat(fd, name.c_str(), 0);
    if (!held.empty())
        ::fsync(fd);
}

int finishInterruptedMoves(const std::string& sourceDir, const std::string& targetDir,
                           const std::function<bool(std::string_view name)>& isCandidate)
{
    // Only names in both folders are looked at: opening every received file to learn that its
    // namesake is missing would cost the start two system calls a comment.
    const auto candidates = [&](const std::string& folder) {
        std::vector<std::string> names = namesIn(folder);
        std::erase_if(names, [&](const std::string& n) { return !isCandidate(n) || isMoveTemporaryName(n); });
        return names;
    };
    std::vector<std::string> names = candidates(sourceDir);
    if (names.empty())
        return 0;
    const std::vector<std::string> kept = candidates(targetDir);
    const std::unordered_set<std::string_view> inTarget(kept.begin(), kept.end());
    std::erase_if(names, [&](const std::string& name) { return !inTarget.contains(name); });
    int removed = 0;
    for (const std::string& name : names) {
        const std::string source = join(sourceDir, name), target = join(targetDir, name);
        // Non-blocking: a pipe that happens to carry a comment's name must not hang the start.
        Fd in(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        Fd kept(::open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {
        }, kt{};
        if (!in || !kept || ::fstat(in.get(), &st) != 0 || ::fstat(kept.get(), &kt) != 0)
            continue;
        // One file under both names (one folder, or a hard link) is no interrupted move.
        if (!S_ISREG(st.st_mode) || !S_ISREG(kt.st_mode) || sameFile(st, kt) || st.st_size != kt.st_size)
            continue;
        if (!sameBytes(in.get(), kept.get()))
            continue;
        if (removeIfStillTheSame(source, in.get(), st) == 0)
            ++removed;
    }
    if (removed > 0)
        syncDirectory(sourceDir);
    return removed;
}

void setMoveStepHook(MoveStepHook hook) { moveStepHook() = std::move(hook); }

std::string describeFileOpError(int error)
{
    if (error == kErrorSameFile)
        return "source and target are the same file";
    if (error == kErrorSourceChanged)
        return "the file changed while it was moved; both copies kept";
    return std::strerror(error);
}

}  // namespace platform
