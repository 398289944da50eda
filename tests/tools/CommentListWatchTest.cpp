// comment-list --watch as a script runs it: the real program, its output read as it comes.

#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
using testsupport::sjis;

namespace {

struct Watcher {
    pid_t pid = -1;
    std::string outPath;

    // `launcher`, when given, runs the tool: its command and arguments, the tool's path after them.
    Watcher(const std::string& suite, const std::string& outFile, std::vector<std::string> extra,
            std::vector<std::string> launcher = {})
        : outPath(outFile)
    {
        std::vector<std::string> args = launcher;
        for (const std::string& a :
             {std::string(COMMENT_BIN_DIR "/comment-list"), std::string("--suite"), suite, std::string("--watch")})
            args.push_back(a);
        args.insert(args.end(), extra.begin(), extra.end());
        pid = fork();
        if (pid == 0) {
            const int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, 1);
            const int err = ::open((outFile + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(err, 2);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Watcher()
    {
        if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    std::string output() const { return testsupport::readFile(outPath); }
    std::string errors() const { return testsupport::readFile(outPath + ".err"); }
    // Waits until `done()` holds, looking every 10 ms.
    template <typename Done> static bool waitFor(Done done, std::chrono::milliseconds span = 10s)
    {
        for (auto end = std::chrono::steady_clock::now() + span; std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(10ms))
            if (done())
                return true;
        return false;
    }
    // Waits until the output has `lines` lines.
    bool waitLines(int lines, std::chrono::milliseconds span = 10s) const
    {
        return waitFor(
            [&] {
                const std::string out = output();
                return std::count(out.begin(), out.end(), '\n') >= lines;
            },
            span);
    }
    // True while the tool itself (not the launcher before its exec) sleeps in poll(2): whatever it
    // did before (a watch added, the listing that follows it) is done.
    bool idle() const
    {
        std::error_code error;
        const std::string proc = "/proc/" + std::to_string(pid);
        if (std::filesystem::read_symlink(proc + "/exe", error).filename() != "comment-list")
            return false;
        std::ifstream call(proc + "/syscall");
        long number = -1;
        call >> number;  // "running" (or a process gone) leaves -1
#ifdef SYS_poll
        if (number == SYS_poll)
            return true;
#endif
        return number == SYS_ppoll;
    }
    // Waits until the tool waits for events with nothing left to do.
    bool waitIdle() const
    {
        return waitFor([&] { return idle(); });
    }
    // Waits until the tool has its inotify watch, on the folder of inode `ino` if given (its
    // descriptor's fdinfo lists one), and is back waiting for events.
    bool waitWatching(std::optional<ino_t> ino = std::nullopt) const
    {
        std::string wanted = "inotify wd:";
        if (ino) {
            char hex[32];
            std::snprintf(hex, sizeof hex, " ino:%lx ", static_cast<unsigned long>(*ino));
            wanted = hex;
        }
        return waitFor([&] {
            std::error_code error;
            const std::string fdinfo = "/proc/" + std::to_string(pid) + "/fdinfo";
            for (const auto& entry : std::filesystem::directory_iterator(fdinfo, error)) {
                // A descriptor may close meanwhile: its fdinfo then cannot be opened or read.
                std::string info;
                try {
                    info = testsupport::readFile(entry.path());
                } catch (const std::exception&) {
                    continue;
                }
                // The fdinfo first: idle after it means idle after the watch was added.
                if (info.find(wanted) != std::string::npos)
                    return idle();
            }
            return false;
        });
    }
    int stop(int signal)
    {
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

class CommentListWatch : public ::testing::Test {
protected:
    testsupport::JapanTime japan;
    testsupport::TempSuite suite;
    testsupport::TempDir scratch;
};

TEST_F(CommentListWatch, PrintsEachArrivalOnceWholeAndEndsCleanlyOnSigterm)
{
    suite.received("COMMENT.OLD", sjis("前からある\r\n"));
    Watcher w(suite.dir.path(), scratch / "out", {});
    ASSERT_TRUE(w.waitWatching());
    const std::string path = suite.dirs.received + "CMARKET.1";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    const std::string text = sjis("速報です\r\n");
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    // Longer than a file takes to settle: one still open for writing must not count even so.
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(w.output(), "");
    ::close(fd);
    ASSERT_TRUE(w.waitLines(1));
    const std::string line = w.output();
    EXPECT_TRUE(line.starts_with("速報\t")) << line;
    EXPECT_TRUE(line.ends_with("\t速報です\t" + path + "\n")) << line;
    EXPECT_EQ(w.stop(SIGTERM), 0);
}

TEST_F(CommentListWatch, JsonGivesOneObjectPerLineFilteredByCategoryAndSigintEndsIt)
{
    Watcher w(suite.dir.path(), scratch / "out", {"--json", "--category", "3"});
    ASSERT_TRUE(w.waitWatching());
    testsupport::writeFile(scratch / "a", sjis("連絡\r\n"));
    testsupport::writeFile(scratch / "b", sjis("上方修正\r\n"));
    ASSERT_EQ(std::rename((scratch / "a").c_str(), (suite.dirs.received + "COMMENT.1").c_str()), 0);
    ASSERT_EQ(std::rename((scratch / "b").c_str(), (suite.dirs.received + "CKES123.DAT").c_str()), 0);
    ASSERT_TRUE(w.waitLines(1));
    // Nothing to wait for: a line for COMMENT.1, which the filter holds back, would come by now.
    std::this_thread::sleep_for(100ms);
    const std::string out = w.output();
    EXPECT_TRUE(out.starts_with("{\"category\":3,\"label\":\"決算\",\"time\":\"")) << out;
    EXPECT_TRUE(out.ends_with("\"text\":\"上方修正  123件\",\"path\":\"" + suite.dirs.received + "CKES123.DAT\"}\n"))
        << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    EXPECT_EQ(w.stop(SIGINT), 0);
}

// The window's rule: a receiver that makes the file empty and appends later gives one line with
// the text, and a copy removed at once gives none.
TEST_F(CommentListWatch, PrintsAFileMadeEmptyOnceItsTextIsThereAndNothingForACopyRemovedAtOnce)
{
    Watcher w(suite.dir.path(), scratch / "out", {});
    ASSERT_TRUE(w.waitWatching());
    const std::string path = suite.dirs.received + "CMARKET.1";
    ::close(::open(path.c_str(), O_WRONLY | O_CREAT, 0644));
    // "At once": gone before the tool looks. Held still meanwhile, as a busy machine may hold it;
    // otherwise it might look between the close and the removal, and rightly print the copy.
    ASSERT_EQ(::kill(w.pid, SIGSTOP), 0);
    testsupport::writeFile(suite.dirs.received + "COMMENT.1", sjis("すぐ消える\r\n"));
    std::filesystem::remove(suite.dirs.received + "COMMENT.1");
    ASSERT_EQ(::kill(w.pid, SIGCONT), 0);
    std::this_thread::sleep_for(100ms);
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    const std::string text = sjis("速報です\r\n");
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
    ASSERT_TRUE(w.waitLines(1));
    std::this_thread::sleep_for(700ms);  // longer than a file takes to settle: no second line
    const std::string out = w.output();
    EXPECT_TRUE(out.ends_with("\t速報です\t" + path + "\n")) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_EQ(w.errors(), "");
}

// An indexer or a virus scanner reads what the receiver writes, and may close it last.
TEST_F(CommentListWatch, AFileCountsWhenItsWriterClosesItWhileAReaderStillHoldsIt)
{
    Watcher w(suite.dir.path(), scratch / "out", {});
    ASSERT_TRUE(w.waitWatching());
    const std::string path = suite.dirs.received + "CMARKET.1";
    const int writer = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    const std::string text = sjis("速報です\r\n");
    ASSERT_EQ(::write(writer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    const int reader = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    ::close(writer);
    std::this_thread::sleep_for(700ms);  // longer than a file takes to settle
    ::close(reader);
    ASSERT_TRUE(w.waitLines(1));
    EXPECT_TRUE(w.output().ends_with("\t速報です\t" + path + "\n")) << w.output();
}

// The queue of a stopped watcher overflows while the received folder is removed and made again:
// the events that told of it are lost, and the old folder's watch with it.
TEST_F(CommentListWatch, AfterItsEventQueueOverflowedItWatchesTheReceivedFolderMadeAgain)
{
    long long queueLimit = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queueLimit;
    if (queueLimit <= 0 || queueLimit > (1 << 22))
        GTEST_SKIP() << "max_queued_events is " << queueLimit << ": too many events to flood in a test";
    Watcher w(suite.dir.path(), scratch / "out", {});
    ASSERT_TRUE(w.waitWatching());
    ASSERT_EQ(::kill(w.pid, SIGSTOP), 0);
    const std::string flood = suite.dirs.received + "FLOOD";
    testsupport::writeFile(flood, "x");
    for (long long i = 0; i < queueLimit / 2 + 100; ++i)  // an open and a close: two events
        ::close(::open(flood.c_str(), O_RDONLY));
    std::filesystem::remove_all(suite.dirs.received);
    std::filesystem::create_directory(suite.dirs.received);
    ASSERT_EQ(::kill(w.pid, SIGCONT), 0);
    struct stat remade {};
    ASSERT_EQ(::stat(suite.dirs.received.c_str(), &remade), 0);
    ASSERT_TRUE(w.waitWatching(remade.st_ino));
    testsupport::writeFile(scratch / "a", sjis("連絡\r\n"));
    ASSERT_EQ(std::rename((scratch / "a").c_str(), (suite.dirs.received + "COMMENT.1").c_str()), 0);
    ASSERT_TRUE(w.waitLines(1));
    EXPECT_TRUE(w.output().ends_with(suite.dirs.received + "COMMENT.1\n")) << w.output();
}

// A user namespace of its own lets a test take inotify watches away from the tool alone.
std::vector<std::string> withInotifyWatches(int limit)
{
    return {"unshare", "-U",
            "-r",      "sh",
            "-c",      "echo " + std::to_string(limit) + " > /proc/sys/user/max_inotify_watches && exec \"$0\" \"$@\""};
}

#define SKIP_WITHOUT_USER_NAMESPACE()                                                                                  \
    if (std::system("unshare -U -r true 2>/dev/null") != 0)                                                            \
    GTEST_SKIP() << "no user namespace here (unshare -U -r) to lower the inotify watch limit in"

TEST_F(CommentListWatch, WithNoInotifyWatchLeftItLooksAtTheFolderEveryTwoSecondsAndSaysWhyOnce)
{
    SKIP_WITHOUT_USER_NAMESPACE();
    Watcher w(suite.dir.path(), scratch / "out", {}, withInotifyWatches(0));
    ASSERT_TRUE(w.waitIdle());
    testsupport::writeFile(suite.dirs.received + "CWEKEND.1", sjis("週末\r\n"));
    ASSERT_TRUE(w.waitLines(1, 6s)) << w.errors();
    EXPECT_TRUE(w.output().ends_with("\t週末\t" + suite.dirs.received + "CWEKEND.1\n")) << w.output();
    EXPECT_EQ(w.errors(), "Arrivals in " + suite.dirs.received +
                              " are looked for every 2 s: no inotify watches left (fs.inotify.max_user_watches).\n");
}

// The last watch goes to the parent while the folder is away; made again, the folder gets none.
TEST_F(CommentListWatch, AFolderMadeAgainWhenNoWatchIsLeftIsLookedAtWithoutSpinning)
{
    SKIP_WITHOUT_USER_NAMESPACE();
    Watcher w(suite.dir.path(), scratch / "out", {}, withInotifyWatches(1));
    ASSERT_TRUE(w.waitWatching());
    struct stat parent {};
    ASSERT_EQ(::stat(suite.dir.path().c_str(), &parent), 0);
    std::filesystem::remove(suite.dirs.received);
    ASSERT_TRUE(w.waitWatching(parent.st_ino));
    std::filesystem::create_directory(suite.dirs.received);
    ASSERT_TRUE(w.waitFor([&] { return w.errors().find("every 2 s") != std::string::npos && w.idle(); })) << w.errors();
    testsupport::writeFile(suite.dirs.received + "CWEKEND.1", sjis("週末\r\n"));
    ASSERT_TRUE(w.waitLines(1, 6s)) << w.errors();
    // Its CPU time (user and system, in clock ticks) in all: the descriptor it waits on is quiet.
    std::istringstream stat(testsupport::readFile("/proc/" + std::to_string(w.pid) + "/stat"));
    std::string field;
    long long ticks = 0;
    for (int n = 1; n <= 15 && stat >> field; ++n)
        ticks += n >= 14 ? std::stoll(field) : 0;
    EXPECT_LT(ticks, ::sysconf(_SC_CLK_TCK) / 2);
}

}  // namespace
