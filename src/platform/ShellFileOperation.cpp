#include "platform/ShellFileOperation.h"

#include "platform/FileFind.h"
#include "platform/StopRequest.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <climits>
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
// ".brevon-move.<pid>.<counter>.src": a source held under a private name just before its removal,
// its own name kept beside it in ".brevon-move.<pid>.<counter>.name". Both names are short whatever
// the comment's name, which may itself be as long as a name can be.
constexpr std::string_view kHeldSuffix = ".src";
constexpr std::string_view kNameSuffix = ".name";
// ".brevon-move.<pid>.src.<name>": how earlier versions held a source; a crash may have left one.
constexpr std::string_view kOldHeldMark = ".src.";

std::atomic<unsigned>& nameCounter()
{
    static std::atomic<unsigned> counter{0};
    return counter;
}

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

// ".brevon-move.<pid>.<counter>" in `dir`, a stem no other move of any process uses.
std::string privateStemIn(const std::string& dir)
{
    return dir + "/" + std::string(kTempPrefix) + std::to_string(::getpid()) + "." + std::to_string(nameCounter()++);
}

std::string temporaryNameIn(const std::string& dir) { return privateStemIn(dir) + std::string(kTempSuffix); }

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

// Writes the own name of a source about to be held, so that the next start can put it back should
// this process die while it is held; 0 or an errno value.
int writeOwnName(const std::string& file, const std::string& name)
{
    Fd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd)
        return errno;
    for (std::size_t done = 0; done < name.size();) {
        const ssize_t n = ::write(fd.get(), name.data() + done, name.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::unlink(file.c_str());
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0) {
        const int error = errno;
        ::unlink(file.c_str());
        return error;
    }
    return 0;
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
    // The held name and the note of the own name are taken from one stem; the note is written
    // first, so that a held source never lacks it.
    const std::string stem = privateStemIn(parentOf(path));
    const std::string held = stem + std::string(kHeldSuffix), note = stem + std::string(kNameSuffix);
    if (int e = writeOwnName(note, baseName(path)))
        return e;
    if (::rename(path.c_str(), held.c_str()) != 0) {
        const int error = errno == ENOENT ? kErrorSourceChanged : errno;
        ::unlink(note.c_str());
        return error;
    }
    struct stat heldSt {};
    const bool same = ::lstat(held.c_str(), &heldSt) == 0 && sameFile(heldSt, was) && ::fstat(fd, &now) == 0 &&
                      sameContent(now, was, false);
    int error = 0;
    if (!same || ::unlink(held.c_str()) != 0) {
        error = same ? errno : kErrorSourceChanged;
        if (!putBack(AT_FDCWD, held.c_str(), path.c_str()))
            return error;  // the note stays with the held file for the next start
    }
    ::unlink(note.c_str());
    return error;
}

// The files that processes of this machine have open for writing, as far as this process may look
// at them: /proc/<pid>/fd holds a link per descriptor, whose mode bits are the mode it was opened in.
// Looked at again when older than a second, so a long batch does not pay for it per file.
class OpenForWriting {
public:
    bool contains(const struct stat& file)
    {
        const auto now = std::chrono::steady_clock::now();
        if (!taken_ || now - takenAt_ > std::chrono::seconds(1)) {
            take();
            takenAt_ = now;
            taken_ = true;
        }
        return files_.contains({file.st_dev, file.st_ino});
    }

private:
    struct Key {
        dev_t dev;
        ino_t ino;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const { return std::hash<ino_t>()(k.ino) * 31 + std::hash<dev_t>()(k.dev); }
    };

    void take()
    {
        files_.clear();
        std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
        if (!proc)
            return;
        const std::string self = std::to_string(::getpid());
        while (dirent* p = ::readdir(proc.get())) {
            const std::string_view pid = p->d_name;
            if (pid.empty() || pid == self || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
                continue;
            const std::string fdDir = "/proc/" + std::string(pid) + "/fd/";
            std::unique_ptr<DIR, int (*)(DIR*)> fds(::opendir(fdDir.c_str()), ::closedir);
            if (!fds)
                continue;  // gone, or not ours to look at
            while (dirent* f = ::readdir(fds.get())) {
                if (f->d_name[0] == '.')
                    continue;
                const std::string link = fdDir + f->d_name;
                struct stat l {}, t{};
                if (::lstat(link.c_str(), &l) == 0 && (l.st_mode & S_IWUSR) && ::stat(link.c_str(), &t) == 0 &&
                    S_ISREG(t.st_mode))
                    files_.insert({t.st_dev, t.st_ino});
            }
        }
    }

    std::unordered_set<Key, KeyHash> files_;
    std::chrono::steady_clock::time_point takenAt_;
    bool taken_ = false;
};

// Whether a process still has the source open for writing: a comment the receiver is still writing
// must not be removed once copied, or its later bytes go into a file no folder holds.
//
// A read lease answers for every process of the machine: it is refused while any has the file open
// for writing, and broken when one opens it for writing while it is held (that open waits until the
// lease is let go, which is at once). It is held from before the copy
// until the source is gone. Where no lease can be had (another user's file without CAP_LEASE, a file
// system without leases: NFS, many FUSE ones), the descriptors of the processes this one may look at
// are searched instead; a writer this process may not look at, or one on another machine, is not
// seen there, and only the check that the file did not change during the copy remains.
// The kernel tells of a writer's open by a signal, and holds that open until the lease is let go:
// it is let go at once, so the writer never waits; stillHeld() then sees it gone.
extern "C" void onLeaseBroken(int, siginfo_t* info, void*)
{
    const int saved = errno;
    ::fcntl(info->si_fd, F_SETLEASE, F_UNLCK);  // async-signal-safe
    errno = saved;
}

constexpr int kLeaseSignal = SIGURG;  // ignored by default: no other part of the program uses it

void handleLeaseBreaks()
{
    static const bool installed = [] {
        struct sigaction action = {};
        action.sa_sigaction = onLeaseBroken;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        return ::sigaction(kLeaseSignal, &action, nullptr) == 0;
    }();
    (void)installed;
}

class WriterCheck {
public:
    WriterCheck(int fd, const struct stat& st, OpenForWriting& others)
    {
        handleLeaseBreaks();
        ::fcntl(fd, F_SETSIG, kLeaseSignal);  // with the descriptor in the signal's information
        if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
            fd_ = fd;
            return;
        }
        writer_ = errno == EAGAIN || others.contains(st);
    }
    ~WriterCheck()
    {
        if (fd_ >= 0)
            ::fcntl(fd_, F_SETLEASE, F_UNLCK);
    }
    WriterCheck(const WriterCheck&) = delete;
    WriterCheck& operator=(const WriterCheck&) = delete;

    bool writerAtStart() const { return writer_; }
    // False once a writer has opened the file since the lease was taken.
    bool stillHeld() const { return fd_ < 0 || ::fcntl(fd_, F_GETLEASE) == F_RDLCK; }

private:
    int fd_ = -1;
    bool writer_ = false;
};

// Copy, sync, rename over the target, sync its folder; only then, and only when the source is still
// the file that was copied and nobody writes to it, remove it. Any failure keeps the source.
int moveAcrossFileSystems(const std::string& source, const std::string& target, OpenForWriting& others)
{
    // Non-blocking: a pipe under a comment's name must not hang the batch.
    Fd in(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!in)
        return errno;
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    const WriterCheck writers(in.get(), st, others);
    if (writers.writerAtStart())
        return kErrorStillWritten;

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
    if (!writers.stillHeld())
        return fail(kErrorStillWritten);
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
    // Asked again: a writer that opened the source since the first look has broken the lease.
    // cppcheck-suppress identicalConditionAfterEarlyExit
    if (!writers.stillHeld())
        return kErrorStillWritten;  // the copy stays beside it, as for any change during the move
    const int removed = removeIfStillTheSame(source, in.get(), st);
    if (removed == 0)
        syncDirectory(parentOf(source));
    return removed;
}

int moveOne(const std::string& source, const std::string& target, OpenForWriting& others)
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
    return moveAcrossFileSystems(source, target, others);
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
        if (stopRequested())
            return false;  // the program is ending: the next start compares again
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

    OpenForWriting others;
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
            record(sources[i], target, moveOne(sources[i], target, others));
        }
    } else {
        for (const auto& s : sources)
            record(s, {}, EINVAL);
    }
    if (!result.failures.empty()) {
        const int first = result.failures.front().error;
        result.code = first == kErrorSameFile ? 0x71 : first < 0 ? 0x20 : first;
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

// ".<counter><suffix>": a copy's temporary (".tmp"), a held source (".src") or its own name (".name").
bool isCounterRest(std::string_view rest, std::string_view suffix)
{
    if (!rest.starts_with('.') || !rest.ends_with(suffix) || rest.size() <= 1 + suffix.size())
        return false;
    const std::string_view counter = rest.substr(1, rest.size() - 1 - suffix.size());
    return std::all_of(counter.begin(), counter.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isTemporaryRest(std::string_view rest) { return isCounterRest(rest, kTempSuffix); }

// The own name noted beside a held source; empty when the note is missing or holds no plain name.
std::string ownNameFrom(int dirFd, const std::string& note)
{
    Fd fd(::openat(dirFd, note.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::string name(NAME_MAX + 1, '\0');
    const ssize_t n = readFull(fd.get(), name.data(), name.size());
    if (n <= 0 || n > NAME_MAX)
        return {};
    name.resize(static_cast<std::size_t>(n));
    if (name == "." || name == ".." || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
        return {};
    return name;
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
    std::vector<std::string> heldStems, notes;
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
        else if (isCounterRest(rest, kHeldSuffix))
            heldStems.emplace_back(name.substr(0, name.size() - kHeldSuffix.size()));
        else if (isCounterRest(rest, kNameSuffix))
            notes.emplace_back(name);
        else if (rest.starts_with(kOldHeldMark) && rest.size() > kOldHeldMark.size())
            held.emplace_back(name, rest.substr(kOldHeldMark.size()));
    }
    const int fd = dirfd(dir.get());
    for (const auto& name : stale)
        ::unlinkat(fd, name.c_str(), 0);
    // A held source without a readable note of its name stays hidden rather than guessed at.
    for (const std::string& stem : heldStems) {
        std::string own = ownNameFrom(fd, stem + std::string(kNameSuffix));
        if (!own.empty())
            held.emplace_back(stem + std::string(kHeldSuffix), std::move(own));
    }
    // A source killed while held goes back to its name; where its copy arrived whole, the clean-up
    // of the received folder then finishes the move. Where another file took the name meanwhile, a
    // held file with the same bytes is a duplicate; one with other bytes waits for a later start.
    for (const auto& [name, own] : held)
        if (!putBack(fd, name.c_str(), own.c_str()) && errno == EEXIST && sameBytesAt(fd, name.c_str(), own.c_str()))
            ::unlinkat(fd, name.c_str(), 0);
    if (!held.empty())
        ::fsync(fd);
    // A note goes once its held source has gone back (or never got there).
    for (const std::string& note : notes) {
        const std::string source = note.substr(0, note.size() - kNameSuffix.size()) + std::string(kHeldSuffix);
        struct stat st {};
        if (::fstatat(fd, source.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
            ::unlinkat(fd, note.c_str(), 0);
    }
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
    if (error == kErrorStillWritten)
        return "the file is still being written; it stays where it is";
    return std::strerror(error);
}

}  // namespace platform
