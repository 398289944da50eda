// The real program against damaged settings stores and suites: it starts, lists what it can, closes
// normally (SIGTERM ends the run as a close does: settings written, exit code 0) and loses no file.

#include "support/Process.h"

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::readFile;

namespace {

const std::string kBin = COMMENT_BIN_DIR;
const std::string kKey = "Software\\Brevon\\Comment";

// Code page 932 texts used in file contents and expected list texts.
const std::string kYearMonthDay = "2024\x94\x4e"
                                  "1\x8c\x8e"
                                  "2\x93\xfa";

class DamagedInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = testsupport::makeTempDir();
        ASSERT_FALSE(dir.empty());
        suite = dir + "/suite/";
        fs::create_directories(dir + "/runtime");
        fs::create_directories(suite + "RecvData");
        fs::create_directories(suite + "Result/COMMENT");
        fs::create_directories(suite + "Data");
        env = {{"BREVON_MESSAGE_LOG", dir + "/messages.log"},
               {"XDG_RUNTIME_DIR", dir + "/runtime"},
               {"BREVON_HOME", suite},
               {"BREVON_REGISTRY", dir + "/registry.ini"},
               {"QT_QPA_PLATFORM", "offscreen"},
               {"LD_LIBRARY_PATH", ""}};
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }

    // One comment file with a title line and a date line, last written `minutesAgo` minutes ago.
    void comment(const std::string& path, const std::string& title, int minutesAgo)
    {
        std::ofstream(path, std::ios::binary) << title << "\r\n" << kYearMonthDay << "\r\nbody\r\n";
        age(path, minutesAgo);
    }
    static void age(const std::string& path, int minutesAgo)
    {
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    }

    void setValue(const std::string& key, const std::string& name, const std::string& data)
    {
        auto child = testsupport::start(kBin + "/brvreg", {"add", key, name, data}, env);
        ASSERT_EQ(child.wait(30s), 0) << "brvreg add " << key << " " << name;
    }
    std::string store() const { return readFile(dir + "/registry.ini"); }
    std::string messages() const { return readFile(dir + "/messages.log"); }

    // The value as the program left it (the INI keeps every value as text).
    std::string value(const std::string& subKey, const std::string& name) const
    {
        const std::string s = store();
        const std::string prefix = "Brevon\\Comment\\" + (subKey.empty() ? "" : subKey + "\\") + name + "=";
        const auto at = s.find("\n" + prefix);
        if (at == std::string::npos)
            return "<absent>";
        const auto start = at + 1 + prefix.size();
        return s.substr(start, s.find('\n', start) - start);
    }

    bool lockHeld() const { return testsupport::instanceLockHeld(dir + "/runtime"); }

    // Waits until process `pid` has a handler for SIGTERM: its caught-signal mask says so.
    static bool waitCatchesSigterm(int pid, std::chrono::seconds timeout)
    {
        for (const auto end = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(10ms)) {
            std::ifstream status("/proc/" + std::to_string(pid) + "/status");
            for (std::string line; std::getline(status, line);)
                if (line.starts_with("SigCgt:") && (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1)
                    return true;
        }
        return false;
    }

    // Starts the program (through `wrapper` when given), waits until it holds the instance lock,
    // ends it with SIGTERM and returns its exit code. A program that never takes the lock or does
    // not end is a failure.
    // `started`, when given, tells that the start has got far enough: SIGTERM during the start-up
    // load stops the loading.
    int startAndClose(std::vector<std::string> wrapper = {}, std::chrono::seconds startTimeout = 60s,
                      const std::function<bool()>& started = {})
    {
        std::string program = this->program;
        std::vector<std::string> args;
        if (!wrapper.empty()) {
            args.assign(wrapper.begin() + 1, wrapper.end());
            args.push_back(program);
            program = wrapper.front();
        }
        auto child = testsupport::start(program, args, env);
        const auto until = std::chrono::steady_clock::now() + startTimeout;
        while (!lockHeld()) {
            if (auto code = child.wait(50ms)) {
                ADD_FAILURE() << "the program ended by itself with " << *code;
                return *code;
            }
            if (std::chrono::steady_clock::now() > until) {
                child.kill(SIGKILL);
                child.wait(10s);
                ADD_FAILURE() << "the program never took its instance lock";
                return -1;
            }
        }
        while (started && !started() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(50ms);
        // The signal handler is set up right after the lock.
        if (!waitCatchesSigterm(child.pid, 10s)) {
            child.kill(SIGKILL);
            child.wait(10s);
            ADD_FAILURE() << "the program never caught SIGTERM";
            return -1;
        }
        child.kill(SIGTERM);
        const auto code = child.wait(startTimeout);
        if (!code) {
            child.kill(SIGKILL);
            child.wait(10s);
            ADD_FAILURE() << "the program did not close on SIGTERM";
            return -1;
        }
        return *code;
    }

    // What the list shows, from comment-list (tab-separated: category, time, list text, path).
    std::string listed(const std::string& args)
    {
        const std::string out = dir + "/listed.txt";
        const std::string command = "BREVON_HOME='" + suite + "' '" + kBin + "/comment-list' " + args + " >'" + out +
                                    "' 2>'" + dir + "/listed.err'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return readFile(out);
    }

    std::string dir, suite;
    std::string program = kBin + "/Comment";
    std::map<std::string, std::string> env;
};

TEST_F(DamagedInput, OutOfRangeSettingsStartWithUsableValuesAndAreWrittenBackSane)
{
    comment(suite + "Result/COMMENT/CMARKET.001", "flash one", 10);
    comment(suite + "Result/COMMENT/CMARKET.002", "flash two", 5);
    comment(suite + "Result/COMMENT/COMMENT.001", "notice", 5);
    for (const auto& [dispMode, fontSize, expectedFont] :
         {std::tuple{"99", "abc", "12"}, {"-1", "1000000", "30"}, {"2147483647", "-5", "9"}}) {
        SCOPED_TRACE(std::string("DispMode ") + dispMode + ", FontSize " + fontSize);
        setValue(kKey, "Version", "3");
        setValue(kKey, "DispMode", dispMode);
        setValue(kKey, "FontSize", fontSize);
        setValue(kKey, "Width", "-400");
        setValue(kKey, "Height", "99999999");
        setValue(kKey, "clTitleBack", "garbage");
        ASSERT_EQ(startAndClose(), 0);
        EXPECT_EQ(value("", "Version"), "3");
        EXPECT_EQ(value("", "DispMode"), "0") << "a category outside 0..3 shows the first";
        EXPECT_EQ(value("", "FontSize"), expectedFont);
        EXPECT_EQ(messages(), "");
    }
    EXPECT_EQ(fs::file_size(suite + "Result/COMMENT/CMARKET.002"), fs::file_size(suite + "Result/COMMENT/CMARKET.001"));
}

TEST_F(DamagedInput, NegativeAndHugeRetentionLimitsDeleteNothing)
{
    // Deletion on for every category: a negative limit must not turn into "delete everything", and a
    // huge one never exceeds the table.
    std::vector<std::string> files;
    for (int i = 0; i < 12; ++i) {
        for (const char* prefix : {"COMMENT.", "CMARKET.", "CWEKEND."}) {
            files.push_back(suite + "Result/COMMENT/" + prefix + std::to_string(100 + i));
            comment(files.back(), "kept " + std::to_string(i), 60 + i);
        }
        files.push_back(suite + "Result/COMMENT/CKES" + std::to_string(100 + i) + ".DAT");
        comment(files.back(), "earnings", 60 + i);
    }
    setValue(kKey, "Version", "3");
    const char* limits[] = {"-1", "-2147483648", "2147483647", "1000000000"};
    for (int k = 0; k < 4; ++k) {
        setValue(kKey, "MaxCmntInfo" + std::to_string(k), limits[k]);
        setValue(kKey, "DelCmntInfo" + std::to_string(k), "1");
    }
    ASSERT_EQ(startAndClose(), 0);
    for (const auto& f : files)
        EXPECT_TRUE(fs::exists(f)) << f << " was deleted";
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(value("", "MaxCmntInfo" + std::to_string(k)), limits[k]) << "the limits are written back as read";
    EXPECT_EQ(messages(), "");
}

TEST_F(DamagedInput, DamagedToolbarLayoutLeavesEveryToolbarInADockOrFloating)
{
    comment(suite + "Result/COMMENT/COMMENT.001", "notice", 5);
    setValue(kKey, "Version", "3");
    setValue(kKey, "Top", "10");  // a stored window place: the stored layout is loaded, not the designed one
    setValue(kKey + "\\Default.Left\\Toolbar1", "Rev", "3");  // presets exist: the live layout is not rewritten
    const std::string tb1 = kKey + "\\Toolbar1", tb2 = kKey + "\\Toolbar2", tb3 = kKey + "\\Toolbar3";
    setValue(tb1, "Rev", "4");  // an unknown revision: left as designed
    setValue(tb1, "DockedTo", "Dock3");
    setValue(tb2, "Rev", "3");
    setValue(tb2, "DockedTo", "NoSuchDock");
    setValue(tb2, "Visible", "-7");
    setValue(tb2, "DockRow", "abc");
    setValue(tb2, "DockPos", "99999999999999");
    setValue(tb3, "Rev", "3");
    setValue(tb3, "DockedTo", "Dock2");
    setValue(tb3, "DockRow", "2147483647");
    setValue(tb3, "DockPos", "-2147483648");
    setValue(tb3, "FloatLeft", "1e9");
    ASSERT_EQ(startAndClose(), 0);

    EXPECT_EQ(value("Toolbar1", "DockedTo"), "Dock1");
    EXPECT_EQ(value("Toolbar2", "DockedTo"), "Dock1") << "a dock that does not exist leaves the toolbar's place";
    EXPECT_EQ(value("Toolbar2", "Visible"), "1");
    EXPECT_EQ(value("Toolbar3", "DockedTo"), "Dock2");
    for (const char* tb : {"Toolbar1", "Toolbar2", "Toolbar3"}) {
        EXPECT_EQ(value(tb, "Rev"), "3") << tb;
        const std::string row = value(tb, "DockRow"), pos = value(tb, "DockPos");
        EXPECT_TRUE(!row.empty() && row.find_first_not_of("0123456789") == std::string::npos) << tb << " row " << row;
        EXPECT_TRUE(!pos.empty() && pos.find_first_not_of("0123456789") == std::string::npos) << tb << " pos " << pos;
    }
    EXPECT_EQ(messages(), "");
}

TEST_F(DamagedInput, HugeBinaryAndUnnamableFilesAreListedAndKept)
{
    const std::string recv = suite + "RecvData/";
    // 100 MB in one line without a line end, the newest, so it is the one shown at start.
    {
        std::ofstream big(recv + "COMMENT.BIG", std::ios::binary);
        const std::string block(1 << 20, 'x');
        big << "HUGE";
        for (int i = 0; i < 100; ++i)
            big << block;
    }
    age(recv + "COMMENT.BIG", 0);
    // Random bytes, NULs included.
    {
        std::mt19937 rng(7);
        std::string bytes(64 * 1024, '\0');
        for (char& c : bytes)
            c = static_cast<char>(rng());
        std::ofstream(recv + "CMARKET.BIN", std::ios::binary) << bytes;
        age(recv + "CMARKET.BIN", 3);
    }
    // Names whose bytes code page 932 cannot carry (a lead byte without its trail byte, 0xFF).
    comment(recv + "CWEKEND.\x81", "lone lead byte", 4);
    comment(recv + std::string("CKES\xff\xfe\x80.DAT"), "bad count", 5);
    comment(recv + "COMMENT.OK", "plain notice", 6);
    const auto sizeBefore = fs::file_size(recv + "COMMENT.BIG");

    ASSERT_EQ(startAndClose({}, 180s), 0);

    const std::string list = listed("--received");
    EXPECT_NE(list.find("\tHUGE"), std::string::npos) << list.substr(0, 500);
    EXPECT_NE(list.find("plain notice"), std::string::npos) << list;
    EXPECT_NE(list.find("lone lead byte"), std::string::npos) << list;
    EXPECT_NE(list.find("bad count"), std::string::npos) << list;
    EXPECT_NE(list.find("CMARKET.BIN"), std::string::npos) << list;
    for (const char* name : {"COMMENT.BIG", "CMARKET.BIN", "CWEKEND.\x81", "CKES\xff\xfe\x80.DAT", "COMMENT.OK"})
        EXPECT_TRUE(fs::exists(recv + name)) << name;
    EXPECT_EQ(fs::file_size(recv + "COMMENT.BIG"), sizeBefore);
    EXPECT_EQ(messages(), "");
}

TEST_F(DamagedInput, UnreadableAndVanishingFilesAreReportedAndTheRestListed)
{
    const std::string recv = suite + "RecvData/";
    comment(recv + "COMMENT.001", "readable notice", 10);
    comment(recv + "CMARKET.LOCKED", "locked flash", 9);
    fs::permissions(recv + "CMARKET.LOCKED", fs::perms::none);

    // Root reads every file, so the program runs as an unprivileged user there.
    std::vector<std::string> wrapper;
    if (geteuid() == 0) {
        wrapper = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        if (!fs::exists(wrapper.front()))
            GTEST_SKIP() << "root without setpriv cannot make a file unreadable to the program";
        // The build may lie below a folder only root may enter (a clone in /root): that user runs a
        // copy of the program and its libraries (found beside it) from the test's own folder.
        fs::create_directories(dir + "/bin");
        for (const char* f : {"Comment", "libbrvreg.so", "libbrvmsg.so"})
            fs::copy_file(kBin + "/" + f, dir + "/bin/" + f);
        program = dir + "/bin/Comment";
        for (const char* f : {"/messages.log", "/registry.ini"})
            std::ofstream(dir + f).close();
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.path() != recv + "CMARKET.LOCKED")
                fs::permissions(e.path(), fs::perms::all);
        fs::permissions(dir, fs::perms::all);
        std::vector<std::string> probe(wrapper.begin() + 1, wrapper.end());
        probe.insert(probe.end(), {"/usr/bin/test", "-x", program});
        auto reachable = testsupport::start(wrapper.front(), probe, {});
        if (reachable.wait(30s) != 0)
            GTEST_SKIP() << "user 65534 cannot reach " << program << " (is " << dir
                         << " below a folder it may not enter?): no place to run the unprivileged part from";
    }
    // Weekend comments that come and go while the program lists and reads them: some are listed and
    // gone when read. Whatever the timing, the start must not stop or lose the other files.
    std::atomic<bool> done{false};
    std::thread churn([&] {
        for (int round = 0; !done; ++round) {
            const std::string f = recv + "CWEKEND." + std::to_string(round % 40);
            if (round % 80 < 40)
                std::ofstream(f) << "weekend\r\n";
            else
                fs::remove(f);
        }
    });
    // The message log is UTF-8: "のオープンに失敗しました" after the path that could not be opened.
    const std::string openFailed = "CMARKET.LOCKED\xe3\x81\xae\xe3\x82\xaa\xe3\x83\xbc\xe3\x83\x97\xe3\x83\xb3";
    const int code = startAndClose(wrapper, 60s, [&] { return messages().find(openFailed) != std::string::npos; });
    done = true;
    churn.join();
    ASSERT_EQ(code, 0);

    EXPECT_NE(messages().find(openFailed), std::string::npos)
        << messages();
    EXPECT_EQ(value("", "Version"), "3") << "the settings were written at the close";
    EXPECT_TRUE(fs::exists(recv + "CMARKET.LOCKED"));
    EXPECT_TRUE(fs::exists(recv + "COMMENT.001"));
    EXPECT_NE(listed("--received --category 0").find("readable notice"), std::string::npos);
}

TEST_F(DamagedInput, SuiteFolderThatIsAFileStartsEmptyAndCloses)
{
    std::ofstream(dir + "/not-a-folder") << "a file where the suite folder should be\n";
    env["BREVON_HOME"] = dir + "/not-a-folder";
    ASSERT_EQ(startAndClose(), 0);
    EXPECT_EQ(value("", "Version"), "3");
    EXPECT_EQ(readFile(dir + "/not-a-folder"), "a file where the suite folder should be\n");
    // One message says that no suite folder is there, and none that its RecvData cannot be read.
    const std::string shown = messages();
    EXPECT_NE(shown.find(dir + "/not-a-folderが見つからない"), std::string::npos) << shown;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << shown;
}

}  // namespace
