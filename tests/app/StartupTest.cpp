// Start-up of the real program against fake host libraries: the messages it shows, the calls it
// makes, its exit code, and the single-instance rule.

#include "app/InitHostInfo.h"
#include "host/HostInfo.h"
#include "support/Process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::readFile;

namespace {

const std::string kBin = COMMENT_BIN_DIR;
const std::string kFakes = COMMENT_FAKES_DIR;

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testsupport::makeTempDir();
        ASSERT_FALSE(dir.empty());
        fs::create_directories(dir + "/runtime");
        fs::create_directories(dir + "/suite/RecvData");
        fs::create_directories(dir + "/suite/Result/COMMENT");
        env = {{"BREVON_MESSAGE_LOG", dir + "/messages.log"},
               {"FAKE_BRVREG_LOG", dir + "/calls.log"},
               {"XDG_RUNTIME_DIR", dir + "/runtime"},
               {"BREVON_HOME", dir + "/suite"},
               {"BREVON_REGISTRY", dir + "/registry.ini"},
               {"QT_QPA_PLATFORM", "offscreen"},
               {"LD_LIBRARY_PATH", ""}};
    }
    void TearDown() override
    {
        // A failed check must not leave a viewer running (it would hold ctest's output open).
        for (auto& child : started)
            if (!child.wait(std::chrono::milliseconds(0))) {
                child.kill(SIGKILL);
                child.wait(10s);
            }
        fs::remove_all(dir);
    }

    testsupport::Child spawn(const std::map<std::string, std::string>& e)
    {
        started.push_back(testsupport::start(kBin + "/Comment", {}, e));
        return started.back();
    }

    int runToEnd(const std::string& program, const std::string& libraryPath = "")
    {
        auto e = env;
        e["LD_LIBRARY_PATH"] = libraryPath;
        auto child = testsupport::start(program, {}, e);
        const auto code = child.wait(30s);
        if (!code) {
            child.kill(SIGKILL);
            child.wait(5s);
            ADD_FAILURE() << "the program did not end";
            return -1;
        }
        return *code;
    }

    std::string messages() const { return readFile(dir + "/messages.log"); }
    std::string calls() const { return readFile(dir + "/calls.log"); }

    bool lockHeld() const { return testsupport::instanceLockHeld(dir + "/runtime"); }

    bool waitForLock(bool held, std::chrono::seconds timeout)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (lockHeld() == held)
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    std::string dir;
    std::map<std::string, std::string> env;
    std::vector<testsupport::Child> started;
};

TEST_F(Startup, MissingRegistryLibraryEndsWithItsMessage)
{
    // A copy of the program beside BRVMSG only: BRVREG is nowhere on the search path.
    fs::create_directories(dir + "/alone");
    fs::copy_file(kBin + "/Comment", dir + "/alone/Comment");
    fs::copy_file(kBin + "/libbrvmsg.so", dir + "/alone/libbrvmsg.so");
    EXPECT_EQ(runToEnd(dir + "/alone/Comment"), 0);
    EXPECT_EQ(messages(), "BrevonMessage\tDLL LOAD ERROR\tBRVREG.DLLが見つからない\t\t1\n");
}

TEST_F(Startup, EachMissingOperationIsNamedAndNothingIsWritten)
{
    for (const char* op : {"GetBrevonPath", "GetMutexName", "GetProgramName", "GetWindowName", "GetRegKeyName",
                           "GeneralRegReadInteger"}) {
        SCOPED_TRACE(op);
        fs::remove(dir + "/messages.log");
        fs::remove(dir + "/calls.log");
        EXPECT_EQ(runToEnd(kBin + "/Comment", kFakes + "/missing-" + op), 0);
        EXPECT_EQ(messages(), std::string("BrevonMessage\tGetProcAddress Error\t") + op + "関数が見つからない\t\t1\n");
        EXPECT_EQ(calls(), "");  // the lookup stops before any call
    }
}

TEST_F(Startup, FirstNonzeroCodeStopsTheChain)
{
    struct Case {
        const char* variable;
        const char* expectedCalls;
    };
    for (const Case c :
         {Case{"FAKE_MUTEX_CODE", "GetMutexName\n"}, Case{"FAKE_PROGRAM_CODE", "GetMutexName\nGetProgramName\n"},
          Case{"FAKE_WINDOW_CODE", "GetMutexName\nGetProgramName\nGetWindowName\n"},
          Case{"FAKE_PATH_CODE", "GetMutexName\nGetProgramName\nGetWindowName\nGetBrevonPath\n"}}) {
        SCOPED_TRACE(c.variable);
        fs::remove(dir + "/messages.log");
        fs::remove(dir + "/calls.log");
        env[c.variable] = "7";
        EXPECT_EQ(runToEnd(kBin + "/Comment", kFakes + "/configurable"), 0);
        env.erase(c.variable);
        EXPECT_EQ(messages(), "BrevonErrorMessage\tBRVREG.DLL\t7\n");
        EXPECT_EQ(calls(), c.expectedCalls);
        EXPECT_FALSE(fs::exists(dir + "/registry.ini"));
    }
}

TEST_F(Startup, SecondInstanceEndsSilentlyAndAKilledFirstDoesNotBlockTheNext)
{
    auto first = spawn(env);
    ASSERT_TRUE(waitForLock(true, 30s)) << "the first instance never took the instance lock";

    auto second = spawn(env);
    EXPECT_EQ(second.wait(30s), 0);
    EXPECT_EQ(messages(), "");
    EXPECT_FALSE(first.wait(0ms)) << "the first instance must be left running";

    first.kill(SIGKILL);
    first.wait(10s);
    EXPECT_TRUE(waitForLock(false, 10s));
    auto third = spawn(env);
    EXPECT_TRUE(waitForLock(true, 30s)) << "a crashed instance kept the next one from starting";
    EXPECT_FALSE(third.wait(0ms));
    third.kill(SIGKILL);
    third.wait(10s);
}

TEST_F(Startup, EndOfSessionClosesNormallyAndWritesTheSettings)
{
    // Received comments refuse a close by the user; the end of the session still ends the run
    // cleanly and leaves the comments for the next start.
    std::ofstream(dir + "/suite/RecvData/COMMENT.001") << "title\r\n";
    auto viewer = spawn(env);
    ASSERT_TRUE(waitForLock(true, 30s));
    viewer.kill(SIGTERM);
    EXPECT_EQ(viewer.wait(30s), 0);
    const std::string store = readFile(dir + "/registry.ini");
    EXPECT_NE(store.find("Version=3"), std::string::npos) << store;
    EXPECT_NE(store.find("Toolbar1\\DockedTo=Dock1"), std::string::npos) << store;
    EXPECT_TRUE(fs::exists(dir + "/suite/RecvData/COMMENT.001"));
    EXPECT_FALSE(lockHeld());
}

TEST_F(Startup, SuiteFolderWithAJapaneseNameIsFound)
{
    // 501 received notices against the default limit of 500: the start-up purge can only delete the
    // oldest if the program finds the folder the host names in code page 932.
    const std::string suite = dir + "/株式 ブレボン";
    fs::create_directories(suite + "/RecvData");
    for (int i = 0; i <= 500; ++i) {
        const std::string file = suite + "/RecvData/COMMENT." + std::to_string(1000 + i);
        std::ofstream(file) << "notice\r\n";
        fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(1000 - i));
    }
    env["BREVON_HOME"] = suite;
    auto viewer = spawn(env);
    ASSERT_TRUE(waitForLock(true, 30s));
    viewer.kill(SIGTERM);
    EXPECT_EQ(viewer.wait(30s), 0);
    EXPECT_FALSE(fs::exists(suite + "/RecvData/COMMENT.1000")) << "the oldest notice beyond the limit is purged";
    EXPECT_TRUE(fs::exists(suite + "/RecvData/COMMENT.1001"));
    EXPECT_EQ(messages(), "");
}

TEST_F(Startup, WithoutASuiteOneMessageSaysWhereItLookedAndCommentListLooksThereToo)
{
    // A new user: no BREVON_HOME, no ~/Brevon.
    const std::string home = dir + "/home";
    fs::create_directories(home);
    env["HOME"] = home;
    env["BREVON_HOME"] = "";
    const auto startAndEnd = [&] {
        auto viewer = spawn(env);
        ASSERT_TRUE(waitForLock(true, 30s));
        viewer.kill(SIGTERM);
        EXPECT_EQ(viewer.wait(30s), 0) << "the start goes on after the message";
    };
    const auto commentList = [&](std::string* out) {
        auto child = testsupport::start("/bin/sh", {"-c", "exec \"$0\" --saved >\"$1\" 2>&1", kBin + "/comment-list",
                                                    dir + "/list.txt"},
                                        env);
        const auto code = child.wait(30s);
        *out = readFile(dir + "/list.txt");
        return code.value_or(-1);
    };

    startAndEnd();
    EXPECT_EQ(messages(), "BrevonMessage\tBrevonコメント情報\t" + home +
                              "/Brevonが見つからない\tコメントはこのフォルダの RecvData と Result/COMMENT "
                              "から読みます。別のフォルダを使うには、環境変数 BREVON_HOME "
                              "にそのフォルダを指定して起動してください。\t2\n");
    std::string out;
    EXPECT_NE(commentList(&out), 0);
    EXPECT_NE(out.find("suite folder not found: " + home + "/Brevon\n"), std::string::npos) << out;

    fs::remove(dir + "/messages.log");
    fs::create_directories(home + "/Brevon/Result/COMMENT");
    std::ofstream(home + "/Brevon/Result/COMMENT/COMMENT.001") << "notice\r\n";
    startAndEnd();
    EXPECT_EQ(messages(), "");
    EXPECT_EQ(commentList(&out), 0);
    EXPECT_NE(out.find(home + "/Brevon/Result/COMMENT/COMMENT.001"), std::string::npos) << out;
}

// The probe runs the program's own start-up steps and prints what they found, one item a line.
TEST_F(Startup, SuitePathAndNameSlots)
{
    auto probe = [&](std::map<std::string, std::string> extra, int expectedCode = 0) {
        auto e = env;
        e["LD_LIBRARY_PATH"] = kFakes + "/configurable";
        e["BREVON_MESSAGE_LOG"] = dir + "/messages.log";
        for (const auto& [k, v] : extra)
            e[k] = v;
        const std::string out = dir + "/probe.txt";
        fs::remove(out);
        e["PROBE_OUT"] = out;
        auto child = testsupport::start(kBin + "/startup-probe", {}, e);
        EXPECT_EQ(child.wait(30s), expectedCode);
        return readFile(out);
    };
    const std::string withSlash = probe({{"FAKE_PATH", "/srv/brevon/"}});
    const std::string withoutSlash = probe({{"FAKE_PATH", "/srv/brevon"}});
    EXPECT_EQ(withSlash, withoutSlash);
    EXPECT_NE(withSlash.find("suite=/srv/brevon/\n"), std::string::npos) << withSlash;
    EXPECT_NE(withSlash.find("received=/srv/brevon/RecvData/\n"), std::string::npos);
    EXPECT_NE(withSlash.find("saved=/srv/brevon/Result/COMMENT/\n"), std::string::npos);
    EXPECT_NE(withSlash.find("data=/srv/brevon/Data/\n"), std::string::npos);

    // The host hands paths over in code page 932; the directories are this platform's file names.
    // "表" ends in the byte of "\", which must not be taken for a separator.
    const std::string japanese =
        probe({{"FAKE_PATH", "/srv/\x8a\x94\x8e\xae \x83\x75\x83\x8c\x83\x7b\x83\x93\x95\x5c"}});
    EXPECT_NE(japanese.find("received=/srv/株式 ブレボン表/RecvData/\n"), std::string::npos) << japanese;
    EXPECT_EQ(messages(), "");
    // A lead byte without its trail byte names no file: the start ends with a message that says so.
    EXPECT_EQ(probe({{"FAKE_PATH", "/srv/\x8a\x94\x8e"}}, 3), "");
    EXPECT_EQ(messages(),
              "BrevonMessage\tGetBrevonPath Error\tBrevonフォルダ名をファイル名に変換できない\t/srv/株\t1\n");
    fs::remove(dir + "/messages.log");

    const std::string full = probe({{"FAKE_MUTEX_SLOT", "full30"}});
    EXPECT_NE(full.find("mutex-length=30\n"), std::string::npos) << full;
    const std::string empty = probe({{"FAKE_MUTEX_SLOT", "empty"}});
    EXPECT_NE(empty.find("mutex-length=0\n"), std::string::npos) << empty;
    const std::string named = probe({{"FAKE_MUTEX_SLOT", "Probe"}, {"FAKE_AUTOMOUSEPOS", "258"}});
    EXPECT_NE(named.find("mutex=Probe\n"), std::string::npos) << named;
    EXPECT_NE(named.find("automousepos=2\n"), std::string::npos) << named;  // low byte only
    EXPECT_EQ(messages(), "");
}

}  // namespace
