// fault-harness: crash trials of the save-all batch.
//
// Each trial fills a received folder with 2,000 comment files (500 per category, random sizes and
// bytes, set last-write times) beside a few files that are not part of the batch, starts
// fault-driver's save-all into a saved folder on another tmpfs (or the same one with --same-fs),
// kills it with SIGKILL at a random moment of the batch, runs the clean-up of the next start and
// checks: every file is whole (same bytes, same time) in at least one folder and in one only,
// nothing is torn under its final name, no temporary is left, nothing else changed. The next
// start's save-all is then run to its end and must leave every file in the saved folder.
//
// With --read-only-halfway the target file system is remounted read-only once half the files have
// arrived instead of killing the driver: every file that stayed must be reported, none lost.
//
// As root the folders are tmpfs mounts in a private mount namespace that ends with the process.
// Without root (or with --no-mount) they are plain folders: the received one under the current
// folder and, across file systems, the saved one in /dev/shm, when that is another file system.
// Read-only targets need a remount, so root. Exit 0 when every trial passed, 1 when one failed,
// 77 (skip, with the reason) when the trials cannot run here.

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSkip = 77;
constexpr std::string_view kTempPrefix = ".brevon-move.";

struct Options {
    int trials = 50;
    int files = 2000;
    bool sameFs = false;
    bool readOnlyHalfway = false;
    bool noMount = false;
    unsigned seed = 0;
    std::string driver = FAULT_DRIVER_PATH;
    bool verbose = false;
};

struct FileSpec {
    std::string name;
    std::string bytes;
    timespec mtime{};
};

struct Totals {
    int trials = 0;
    int killedMidBatch = 0;       // the kill came before the batch ended
    int trialsWithTemporary = 0;  // a temporary was there when the driver died
    int trialsWithBoth = 0;       // a file was in both folders when the driver died
    int bothAfterStart = 0;       // files in both folders after the next start's clean-up
    int lost = 0;
    int torn = 0;
    int temporariesLeft = 0;
    int otherChanges = 0;
    int failures = 0;  // trials with any fault
};

[[noreturn]] void die(const std::string& what)
{
    std::fprintf(stderr, "fault-harness: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(2);
}

std::string readAll(const std::string& path, bool* ok = nullptr)
{
    std::string out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (ok)
        *ok = fd >= 0;
    if (fd < 0)
        return out;
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && ok)
                *ok = false;
            break;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

void writeFile(const std::string& path, const FileSpec& wanted)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        die("create " + path);
    for (std::size_t done = 0; done < wanted.bytes.size();) {
        const ssize_t n = ::write(fd, wanted.bytes.data() + done, wanted.bytes.size() - done);
        if (n <= 0)
            die("write " + path);
        done += static_cast<std::size_t>(n);
    }
    const timespec times[2] = {wanted.mtime, wanted.mtime};
    if (::futimens(fd, times) != 0)
        die("set time of " + path);
    ::close(fd);
}

std::vector<std::string> entriesOf(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return names;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(d);
    return names;
}

void emptyFolder(const std::string& dir)
{
    for (const auto& name : entriesOf(dir))
        fs::remove_all(dir + name);
}

bool isTemporary(const std::string& name) { return name.rfind(kTempPrefix, 0) == 0; }

// Text-like comment bodies: a title line, a date line, then random bytes of every value (the batch
// must not care what a file holds). Sizes mostly small, some large, so kills land inside copies too.
std::vector<FileSpec> makeComments(int count, std::mt19937& rng)
{
    static const char* const kPrefixes[] = {"COMMENT.", "CMARKET.", "CWEKEND.", "CKES"};
    std::vector<FileSpec> out;
    std::uniform_int_distribution<int> smallSize(0, 12000), byte(0, 255), seconds(0, 86400 * 365);
    const int perCategory = (count + 3) / 4;
    for (int i = 0; i < count; ++i) {
        const int k = i % 4, n = i / 4;
        char name[32];
        if (k == 3)
            std::snprintf(name, sizeof name, "CKES%03d.%03d", n % 1000, n / 1000);
        else
            std::snprintf(name, sizeof name, "%s%04d", kPrefixes[k], n);
        FileSpec wanted;
        wanted.name = name;
        wanted.bytes = "Title " + wanted.name +
                       "\r\n2024\x94\x4e"
                       "1\x8c\x8e"
                       "2\x93\xfa\r\n";
        const int size = (n % 97 == 0) ? 300000 + smallSize(rng) : smallSize(rng);
        wanted.bytes.reserve(static_cast<std::size_t>(size) + wanted.bytes.size());
        for (int b = 0; b < size; ++b)
            wanted.bytes.push_back(static_cast<char>(byte(rng)));
        wanted.mtime.tv_sec = 1600000000 + seconds(rng);
        wanted.mtime.tv_nsec = 0;
        out.push_back(std::move(wanted));
    }
    (void)perCategory;
    return out;
}

class Harness {
public:
    explicit Harness(const Options& options) : opt_(options), rng_(options.seed) {}

    int run();

private:
    void mountFolders();
    bool makePlainFolders();
    void unmountFolders();
    void prepareTrial();
    pid_t startDriver(int* readyFd, const std::string& outFile);
    std::optional<int> waitDriver(pid_t pid);
    int runDriverToEnd(const std::string& command, const std::string& outFile);
    double calibrate();
    bool killTrial(int trial, double batchSeconds);
    bool readOnlyTrial(int trial);
    // Checks the two folders against the fixture; false and a line per fault when one is found.
    bool checkWhole(const std::string& when, bool expectAllSaved, std::set<std::string>* stillReceived = nullptr);
    void setReadOnly(bool readOnly);
    void fault(const std::string& text);

    Options opt_;
    std::mt19937 rng_;
    std::string base_, recvMount_, savedMount_, received_, saved_, work_, savedBase_;
    bool mounted_ = false;
    std::string whyNot_;
    std::vector<FileSpec> comments_;
    std::map<std::string, FileSpec> bystandersReceived_, bystandersSaved_;
    std::map<std::string, const FileSpec*> byName_;
    Totals totals_;
    bool trialFailed_ = false;
};

void Harness::fault(const std::string& text)
{
    std::printf("  FAULT: %s\n", text.c_str());
    trialFailed_ = true;
}

void Harness::mountFolders()
{
    if (::unshare(CLONE_NEWNS) != 0)
        die("unshare the mount namespace");
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        die("make mounts private");
    char tmpl[] = "/tmp/brevon-faults.XXXXXX";
    if (!::mkdtemp(tmpl))
        die("make a temporary folder");
    base_ = tmpl;
    recvMount_ = base_ + "/recv-fs";
    savedMount_ = opt_.sameFs ? recvMount_ : base_ + "/saved-fs";
    work_ = base_ + "/work/";
    fs::create_directories(recvMount_);
    fs::create_directories(savedMount_);
    fs::create_directories(work_);
    if (::mount("tmpfs", recvMount_.c_str(), "tmpfs", 0, "size=1g") != 0)
        die("mount tmpfs on " + recvMount_);
    if (!opt_.sameFs && ::mount("tmpfs", savedMount_.c_str(), "tmpfs", 0, "size=1g") != 0)
        die("mount tmpfs on " + savedMount_);
    mounted_ = true;
    received_ = recvMount_ + "/suite/RecvData/";
    saved_ = savedMount_ + (opt_.sameFs ? "/suite/Result/COMMENT/" : "/COMMENT/");
    fs::create_directories(received_);
    fs::create_directories(saved_);
}

// Folders on the file systems at hand: the received one here, the saved one in /dev/shm when it lies
// on another file system (or beside the received one with --same-fs).
bool Harness::makePlainFolders()
{
    std::string tmpl = fs::current_path().string() + "/brevon-faults.XXXXXX";
    if (!::mkdtemp(tmpl.data()))
        die("make a temporary folder in " + fs::current_path().string());
    base_ = tmpl;
    work_ = base_ + "/work/";
    received_ = base_ + "/suite/RecvData/";
    fs::create_directories(work_);
    fs::create_directories(received_);
    if (opt_.sameFs) {
        saved_ = base_ + "/suite/Result/COMMENT/";
    } else {
        struct stat here {
        }, shm{};
        if (::stat(base_.c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 || shm.st_dev == here.st_dev) {
            whyNot_ = "no second file system without mounting: /dev/shm is missing or on the same one as " +
                      fs::current_path().string();
            return false;
        }
        char shmTmpl[] = "/dev/shm/brevon-faults.XXXXXX";
        if (!::mkdtemp(shmTmpl))
            die("make a temporary folder in /dev/shm");
        savedBase_ = shmTmpl;
        saved_ = savedBase_ + "/COMMENT/";
    }
    fs::create_directories(saved_);
    return true;
}

void Harness::unmountFolders()
{
    if (mounted_) {
        ::umount2(recvMount_.c_str(), MNT_DETACH);
        if (!opt_.sameFs)
            ::umount2(savedMount_.c_str(), MNT_DETACH);
    }
    std::error_code ec;
    fs::remove_all(base_, ec);
    if (!savedBase_.empty())
        fs::remove_all(savedBase_, ec);
}

void Harness::setReadOnly(bool readOnly)
{
    const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    // A remount to read-only is refused while a file is open for writing: retry between files.
    for (int tries = 0; tries < 200000; ++tries) {
        if (::mount("tmpfs", savedMount_.c_str(), "tmpfs", flags, "size=1g") == 0)
            return;
        if (errno != EBUSY)
            die("remount " + savedMount_);
        ::usleep(20);
    }
    die("remount " + savedMount_ + " (always busy)");
}

void Harness::prepareTrial()
{
    emptyFolder(received_);
    emptyFolder(saved_);
    for (const auto& c : comments_)
        writeFile(received_ + c.name, c);
    for (const auto& [name, wanted] : bystandersReceived_)
        writeFile(received_ + name, wanted);
    for (const auto& [name, wanted] : bystandersSaved_)
        writeFile(saved_ + name, wanted);
}

pid_t Harness::startDriver(int* readyFd, const std::string& outFile)
{
    int ready[2] = {-1, -1};
    if (readyFd && ::pipe(ready) != 0)
        die("pipe");
    const pid_t pid = ::fork();
    if (pid < 0)
        die("fork");
    if (pid == 0) {
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::close(out);
        }
        if (readyFd) {
            ::close(ready[0]);
            ::dup2(ready[1], 3);
            if (ready[1] != 3)
                ::close(ready[1]);
            ::setenv("FAULT_READY_FD", "3", 1);
        }
        // Leaks at a kill are not the question here.
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        execl(opt_.driver.c_str(), opt_.driver.c_str(), "save-all", received_.c_str(), saved_.c_str(),
              static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    if (readyFd) {
        ::close(ready[1]);
        *readyFd = ready[0];
    }
    return pid;
}

std::optional<int> Harness::waitDriver(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            die("waitpid");
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return std::nullopt;
}

int Harness::runDriverToEnd(const std::string& command, const std::string& outFile)
{
    if (command == "save-all") {
        const auto code = waitDriver(startDriver(nullptr, outFile));
        return code.value_or(-1);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        execl(opt_.driver.c_str(), opt_.driver.c_str(), command.c_str(), received_.c_str(), saved_.c_str(),
              static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    return waitDriver(pid).value_or(-1);
}

// The batch's duration from the ready signal to the driver's end, over one undisturbed run.
double Harness::calibrate()
{
    prepareTrial();
    int readyFd = -1;
    const pid_t pid = startDriver(&readyFd, work_ + "calibrate.out");
    char byte;
    if (::read(readyFd, &byte, 1) != 1) {
        std::fprintf(stderr, "fault-harness: the driver ended before its batch (see %s)\n", opt_.driver.c_str());
        std::exit(2);
    }
    ::close(readyFd);
    const auto start = Clock::now();
    const auto code = waitDriver(pid);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (code != 0) {
        std::fprintf(stderr, "fault-harness: an undisturbed save-all failed:\n%s",
                     readAll(work_ + "calibrate.out").c_str());
        std::exit(1);
    }
    return seconds;
}

bool Harness::checkWhole(const std::string& when, bool expectAllSaved, std::set<std::string>* stillReceived)
{
    bool ok = true;
    std::map<std::string, int> wholeCopies;
    auto checkFolder = [&](const std::string& dir, const std::map<std::string, FileSpec>& bystanders, bool isReceived) {
        std::set<std::string> seenBystanders;
        for (const auto& name : entriesOf(dir)) {
            const std::string path = dir + name;
            if (isTemporary(name)) {
                fault(when + ": temporary left: " + path);
                ++totals_.temporariesLeft;
                ok = false;
                continue;
            }
            const FileSpec* wanted = nullptr;
            bool bystander = false;
            if (auto b = bystanders.find(name); b != bystanders.end()) {
                wanted = &b->second;
                bystander = true;
                seenBystanders.insert(name);
            } else if (auto c = byName_.find(name); c != byName_.end()) {
                wanted = c->second;
            }
            if (!wanted) {
                fault(when + ": unexpected entry: " + path);
                ++totals_.otherChanges;
                ok = false;
                continue;
            }
            bool read = false;
            const std::string bytes = readAll(path, &read);
            struct stat st {};
            const bool statted = ::stat(path.c_str(), &st) == 0;
            if (!read || bytes != wanted->bytes) {
                fault(when + ": torn: " + path + " holds " + std::to_string(bytes.size()) + " bytes, not " +
                      std::to_string(wanted->bytes.size()));
                if (bystander)
                    ++totals_.otherChanges;
                else
                    ++totals_.torn;
                ok = false;
                continue;
            }
            if (!statted || st.st_mtim.tv_sec != wanted->mtime.tv_sec || !S_ISREG(st.st_mode)) {
                fault(when + ": last-write time changed: " + path);
                ++totals_.otherChanges;
                ok = false;
                continue;
            }
            if (!bystander) {
                ++wholeCopies[name];
                if (isReceived && stillReceived)
                    stillReceived->insert(path);
                if (expectAllSaved && isReceived) {
                    fault(when + ": still in the received folder after a full save-all: " + path);
                    ok = false;
                }
            }
        }
        for (const auto& [name, wanted] : bystanders)
            if (!seenBystanders.count(name)) {
                fault(when + ": a file outside the batch is gone: " + dir + name);
                ++totals_.otherChanges;
                ok = false;
            }
    };
    checkFolder(received_, bystandersReceived_, true);
    checkFolder(saved_, bystandersSaved_, false);
    for (const auto& c : comments_) {
        const int copies = wholeCopies[c.name];
        if (copies == 0) {
            fault(when + ": lost: " + c.name);
            ++totals_.lost;
            ok = false;
        }
        // The start finishes a move whose copy arrived: the comment is not offered again.
        if (copies > 1) {
            fault(when + ": in both folders: " + c.name);
            ++totals_.bothAfterStart;
            ok = false;
        }
    }
    return ok;
}

bool Harness::killTrial(int trial, double batchSeconds)
{
    prepareTrial();
    std::uniform_real_distribution<double> delay(0.0, batchSeconds * 1.1);
    const double killAfter = delay(rng_);
    int readyFd = -1;
    const pid_t pid = startDriver(&readyFd, work_ + "driver.out");
    char byte;
    const bool ready = ::read(readyFd, &byte, 1) == 1;
    ::close(readyFd);
    if (ready)
        std::this_thread::sleep_for(std::chrono::duration<double>(killAfter));
    ::kill(pid, SIGKILL);
    const auto code = waitDriver(pid);
    if (!ready) {
        fault("the driver ended before its batch");
        return false;
    }
    if (!code)
        ++totals_.killedMidBatch;
    else if (*code != 0)
        fault("the driver ended with " + std::to_string(*code) + ":\n" + readAll(work_ + "driver.out"));

    bool sawTemporary = false;
    for (const auto& dir : {received_, saved_})
        for (const auto& name : entriesOf(dir))
            sawTemporary = sawTemporary || isTemporary(name);
    totals_.trialsWithTemporary += sawTemporary;
    const auto savedNames = entriesOf(saved_);
    const std::set<std::string> inSaved(savedNames.begin(), savedNames.end());
    bool sawBoth = false;
    for (const auto& name : entriesOf(received_))
        sawBoth = sawBoth || (byName_.count(name) && inSaved.count(name));
    totals_.trialsWithBoth += sawBoth;

    // The next start: clean-up first, then the state is what the user finds.
    if (runDriverToEnd("clean-up", work_ + "cleanup.out") != 0)
        fault("clean-up failed");
    checkWhole("after kill at " + std::to_string(killAfter * 1000).substr(0, 6) + " ms", false);

    // The user saves everything again: nothing may stay behind.
    const int again = runDriverToEnd("save-all", work_ + "again.out");
    if (again != 0)
        fault("the next save-all ended with " + std::to_string(again) + ":\n" + readAll(work_ + "again.out"));
    checkWhole("after the next save-all", true);
    if (opt_.verbose)
        std::printf("trial %d: kill after %.2f ms, %s\n", trial, killAfter * 1000,
                    code ? "batch had ended" : "mid-batch");
    return !trialFailed_;
}

bool Harness::readOnlyTrial(int trial)
{
    prepareTrial();
    int readyFd = -1;
    const pid_t pid = startDriver(&readyFd, work_ + "driver.out");
    char byte;
    const bool ready = ::read(readyFd, &byte, 1) == 1;
    ::close(readyFd);
    // Half the files in the saved folder (plus the files that were there before): the driver is
    // stopped while its target turns read-only, so the moment falls inside the batch every time.
    const std::size_t half = static_cast<std::size_t>(opt_.files) / 2 + bystandersSaved_.size();
    while (ready && entriesOf(saved_).size() < half)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    std::optional<int> code;
    bool exited = false;
    auto stop = [&] {
        ::kill(pid, SIGSTOP);
        int status = 0;
        while (::waitpid(pid, &status, WUNTRACED) < 0)
            if (errno != EINTR)
                die("waitpid");
        if (WIFSTOPPED(status))
            return true;
        exited = true;
        if (WIFEXITED(status))
            code = WEXITSTATUS(status);
        return false;
    };
    // A remount to read-only is refused while a file is open for writing: let the copy go on a little.
    while (!exited && stop()) {
        const bool done = ::mount("tmpfs", savedMount_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1g") == 0;
        if (!done && errno != EBUSY)
            die("remount " + savedMount_);
        ::kill(pid, SIGCONT);
        if (done)
            break;
        ::usleep(50);
    }
    if (!exited)
        code = waitDriver(pid);
    const std::string out = readAll(work_ + "driver.out");
    if (!ready || code != 1)
        fault("the driver should end with 1 after failures, ended with " + (code ? std::to_string(*code) : "a signal"));

    std::set<std::string> reported;
    for (std::size_t at = 0; (at = out.find("FAILED\t", at)) != std::string::npos;) {
        const std::size_t start = at + 7, end = out.find('\t', start);
        reported.insert(out.substr(start, end - start));
        at = end;
    }
    setReadOnly(false);
    if (runDriverToEnd("clean-up", work_ + "cleanup.out") != 0)
        fault("clean-up failed");
    std::set<std::string> stillReceived;
    checkWhole("after the target turned read-only", false, &stillReceived);
    // Every file that stayed was reported. (A reported one may be gone: its copy had arrived whole,
    // and the start finished the move.)
    if (!std::includes(reported.begin(), reported.end(), stillReceived.begin(), stillReceived.end()))
        fault("reported " + std::to_string(reported.size()) + " failures, but " + std::to_string(stillReceived.size()) +
              " files stayed in the received folder");
    if (reported.empty())
        fault("the target turned read-only after the batch had ended: nothing was tested");
    std::printf("read-only trial %d: %zu files moved, %zu reported as failed and still received\n", trial,
                static_cast<std::size_t>(opt_.files) - stillReceived.size(), reported.size());

    const int again = runDriverToEnd("save-all", work_ + "again.out");
    if (again != 0)
        fault("the next save-all ended with " + std::to_string(again));
    checkWhole("after the next save-all", true);
    return !trialFailed_;
}

int Harness::run()
{
    const bool mount = ::geteuid() == 0 && !opt_.noMount;
    if (opt_.readOnlyHalfway && !mount) {
        std::printf("SKIPPED: a target that turns read-only needs a tmpfs remount, so root without --no-mount\n");
        return kSkip;
    }
    if (::access(opt_.driver.c_str(), X_OK) != 0)
        die("driver " + opt_.driver);
    if (mount) {
        mountFolders();
    } else if (!makePlainFolders()) {
        unmountFolders();
        std::printf("SKIPPED: %s\n", whyNot_.c_str());
        return kSkip;
    }

    comments_ = makeComments(opt_.files, rng_);
    for (const auto& c : comments_)
        byName_[c.name] = &c;
    auto bystander = [&](const std::string& name, const std::string& text) {
        FileSpec s;
        s.name = name;
        s.bytes = text;
        s.mtime.tv_sec = 1500000000;
        return s;
    };
    // Not comment files, a hidden comment file (never listed) and saved comments outside the batch.
    bystandersReceived_["README.TXT"] = bystander("README.TXT", "not a comment\r\n");
    bystandersReceived_["COMMENTS"] = bystander("COMMENTS", "no dot, no pattern\r\n");
    bystandersSaved_["COMMENT.OLD"] = bystander("COMMENT.OLD", "kept last year\r\n");
    bystandersSaved_["CKES999.OLD"] = bystander("CKES999.OLD", "kept last year\r\n");

    std::printf("crash trials: %d files, %s, %s, seed %u, driver %s\n", opt_.files,
                opt_.sameFs ? "one file system" : "two file systems",
                mounted_ ? "tmpfs mounts" : ("folders " + received_ + " and " + saved_).c_str(), opt_.seed,
                opt_.driver.c_str());
    std::fflush(stdout);
    const double batchSeconds = opt_.readOnlyHalfway ? 0 : calibrate();
    if (!opt_.readOnlyHalfway)
        std::printf("an undisturbed batch takes %.1f ms\n", batchSeconds * 1000);

    const auto started = Clock::now();
    for (int t = 1; t <= opt_.trials; ++t) {
        trialFailed_ = false;
        const bool ok = opt_.readOnlyHalfway ? readOnlyTrial(t) : killTrial(t, batchSeconds);
        ++totals_.trials;
        if (!ok) {
            ++totals_.failures;
            std::printf("trial %d FAILED\n", t);
        }
        std::fflush(stdout);
    }
    unmountFolders();

    const double took = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("RESULT\ttrials %d\tkilled mid-batch %d\twith a temporary at the kill %d\twith a file in both "
                "folders at the kill %d\tin both folders after the next start %d\tfiles lost %d\tfiles torn "
                "%d\ttemporaries left %d\tother changes %d\tfailed trials %d\t%.0f s\n",
                totals_.trials, totals_.killedMidBatch, totals_.trialsWithTemporary, totals_.trialsWithBoth,
                totals_.bothAfterStart, totals_.lost, totals_.torn, totals_.temporariesLeft, totals_.otherChanges,
                totals_.failures, took);
    return totals_.failures == 0 ? 0 : 1;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: fault-harness [--trials N] [--files N] [--same-fs] [--read-only-halfway] [--no-mount]\n"
                 "                     [--seed S] [--driver PATH] [--verbose]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    Options opt;
    opt.seed = static_cast<unsigned>(std::random_device{}());
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::exit(usage());
            }
            return argv[++i];
        };
        if (a == "--trials")
            opt.trials = std::atoi(value().c_str());
        else if (a == "--files")
            opt.files = std::atoi(value().c_str());
        else if (a == "--seed")
            opt.seed = static_cast<unsigned>(std::strtoul(value().c_str(), nullptr, 10));
        else if (a == "--driver")
            opt.driver = value();
        else if (a == "--same-fs")
            opt.sameFs = true;
        else if (a == "--read-only-halfway")
            opt.readOnlyHalfway = true;
        else if (a == "--no-mount")
            opt.noMount = true;
        else if (a == "--verbose")
            opt.verbose = true;
        else
            return usage();
    }
    if (opt.trials < 1 || opt.files < 4)
        return usage();
    return Harness(opt).run();
}
