#include "comment-list/CommentList.h"
#include "comment-list/EntryForms.h"
#include "platform/FileFind.h"
#include "store/StoreTestSupport.h"
#include "support/IcuMissing.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::sjis;
using testsupport::utcSeconds;

namespace {

class CommentListTest : public ::testing::Test {
protected:
    int run(std::vector<std::string> args, const char* home = nullptr)
    {
        out.clear();
        err.clear();
        return commentlist::run(args, home, out, err);
    }
    testsupport::JapanTime japan;
    testsupport::TempSuite suite;
    commentlist::StringOut out, err;
};

TEST_F(CommentListTest, ListsReceivedCommentsByCategoryNewestFirstInUtf8)
{
    suite.received("CMARKET.1", sjis("速報一\r\n"), utcSeconds(2024, 5, 1, 0, 0, 0));
    suite.received("CMARKET.2", sjis("速報二\r\n"), utcSeconds(2024, 5, 2, 0, 0, 0));
    suite.received("COMMENT.1", sjis("連絡\r\n"), utcSeconds(2024, 4, 1, 0, 0, 0));
    suite.saved("COMMENT.9", sjis("保存済み\r\n"));
    EXPECT_EQ(run({"--suite", suite.dir.path()}), 0);
    EXPECT_EQ(out.str(), "連絡\t2024-04-01T09:00:00.000\t連絡\t" + suite.dirs.received +
                             "COMMENT.1\n"
                             "速報\t2024-05-02T09:00:00.000\t速報二\t" +
                             suite.dirs.received +
                             "CMARKET.2\n"
                             "速報\t2024-05-01T09:00:00.000\t速報一\t" +
                             suite.dirs.received + "CMARKET.1\n");
}

TEST_F(CommentListTest, FallsBackToSavedAndFiltersByCategoryFromTheEnvironmentSuite)
{
    suite.saved("CKES123.DAT", sjis("上方修正\r\n"), utcSeconds(2024, 5, 1, 0, 0, 0));
    suite.saved("COMMENT.1", sjis("連絡\r\n"));
    EXPECT_EQ(run({"--category", "3"}, suite.dir.path().c_str()), 0);
    EXPECT_EQ(out.str(), "決算\t2024-05-01T09:00:00.000\t上方修正  123件\t" + suite.dirs.saved + "CKES123.DAT\n");
    EXPECT_EQ(run({"--received"}, suite.dir.path().c_str()), 0);
    EXPECT_EQ(out.str(), "");
    // A received notice keeps the viewer in received mode: no saved earnings are listed then.
    suite.received("COMMENT.2", sjis("受信\r\n"));
    EXPECT_EQ(run({"--category", "3"}, suite.dir.path().c_str()), 0);
    EXPECT_EQ(out.str(), "");
}

TEST_F(CommentListTest, JsonEscapesAndCarriesCategoryAndLabel)
{
    suite.saved("CMARKET.1", sjis("\"引用\"\\\r\n"), utcSeconds(2024, 5, 1, 0, 0, 0));
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--saved", "--json"}), 0);
    EXPECT_NE(out.str().find("{\"category\":1,\"label\":\"速報\",\"time\":\"2024-05-01T09:00:00.000+09:00\","
                             "\"text\":\"\\\"引用\\\"\\\\\",\"path\":\"" +
                             suite.dirs.saved + "CMARKET.1\"}"),
              std::string::npos)
        << out.str();
}

// A comment must not drive the terminal its listing is printed to; JSON has its own escapes.
TEST_F(CommentListTest, ControlCharactersOfACommentAreWrittenEscaped)
{
    const std::string title = "\x1b[2J消去\x07\tタブ\x7f";
    suite.saved("CMARKET.\x1b", sjis(title + "\r\n"), utcSeconds(2024, 5, 1, 0, 0, 0));
    const std::string fields = "\\x1b[2J消去\\x07\\tタブ\\x7f\t" + suite.dirs.saved + "CMARKET.\\x1b\n";
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--saved"}), 0);
    EXPECT_EQ(out.str(), "速報\t2024-05-01T09:00:00.000\t" + fields);
    // The same in the lines of --watch.
    const store::TCmntInfo arrived{suite.dirs.saved + "CMARKET.\x1b", sjis(title), 0};
    EXPECT_TRUE(commentlist::entryLine(1, arrived, commentlist::Form::Lines).ends_with("\t" + fields));
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--saved", "--json"}), 0);
    EXPECT_NE(out.str().find("\"text\":\"\\u001b[2J消去\\u0007\\tタブ\x7f\""), std::string::npos) << out.str();
}

TEST_F(CommentListTest, MissingSuiteAndBadArgumentsFailWithAMessage)
{
    EXPECT_EQ(run({}), 2);
    EXPECT_NE(err.str().find("BREVON_HOME"), std::string::npos);
    EXPECT_EQ(run({"--suite", suite.dir / "absent"}), 2);
    EXPECT_NE(err.str().find("not found"), std::string::npos);
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--category", "4"}), 2);
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--category"}), 2);
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--received", "--saved"}), 2);
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--bogus"}), 2);
    EXPECT_EQ(err.str(), "comment-list: unknown option '--bogus'; try --help\n");
}

TEST_F(CommentListTest, SearchKeepsTheMatchingEntriesAndExitsLikeGrep)
{
    suite.saved("CMARKET.1", sjis("ＴＯＹＯＴＡ速報\r\n"), utcSeconds(2024, 5, 1, 0, 0, 0));
    suite.saved("CMARKET.2", sjis("見出し\r\n\r\n本文に toyota\r\n"), utcSeconds(2024, 5, 2, 0, 0, 0));
    suite.saved("CMARKET.3", sjis("日産\r\n"));
    const std::string dir = suite.dir.path();
    EXPECT_EQ(run({"--suite", dir, "--search", "Toyota"}), 0);
    EXPECT_EQ(out.str(), "速報\t2024-05-02T09:00:00.000\t見出し\t" + suite.dirs.saved +
                             "CMARKET.2\n"
                             "速報\t2024-05-01T09:00:00.000\tＴＯＹＯＴＡ速報\t" +
                             suite.dirs.saved + "CMARKET.1\n");
    EXPECT_EQ(run({"--suite", dir, "--json", "--search", "toyota　速報"}), 0);
    EXPECT_NE(out.str().find("CMARKET.1"), std::string::npos);
    EXPECT_EQ(out.str().find("CMARKET.2"), std::string::npos);

    // A pipe with a writer but no data: listed, and every read fails.
    const std::string pipe = suite.dirs.saved + "CMARKET.pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int writer = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
    suite.saved("CKES012.TXT", sjis("上方修正\r\n"), utcSeconds(2024, 4, 1, 0, 0, 0));
    EXPECT_EQ(run({"--suite", dir, "--search", "12件"}), 0);  // the count its list line shows
    EXPECT_EQ(out.str(), "決算\t2024-04-01T09:00:00.000\t上方修正   12件\t" + suite.dirs.saved + "CKES012.TXT\n");
    EXPECT_EQ(run({"--suite", dir, "--search", "nissan"}), 1);
    ::close(writer);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("1 file(s) could not be read"), std::string::npos) << err.str();
    EXPECT_EQ(run({"--suite", dir, "--search", "toyota", "--category", "0"}), 1);
    EXPECT_EQ(run({"--suite", dir, "--search"}), 2);
    EXPECT_EQ(run({"--suite", dir, "--search", " 　"}), 2);
    EXPECT_EQ(run({"--suite", dir, "--watch", "--search", "toyota"}), 2);
    EXPECT_EQ(run({"--suite", suite.dir / "absent", "--search", "toyota"}), 2);
}

// ICU missing or damaged: an error like any other, not a crash.
TEST_F(CommentListTest, WithoutICUSearchSaysWhyAndExitsWithTwo)
{
    suite.saved("COMMENT.1", sjis("トヨタ\r\n"));
    {
        const support::IcuMissing missing;
        EXPECT_EQ(run({"--suite", suite.dir.path(), "--search", "トヨタ"}), 2);
        EXPECT_EQ(err.str(), "comment-list: cannot search: cannot load libicuuc.so.99\n");
    }
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--search", "トヨタ"}), 0);
}

// Names that differ print differently, in a form a script can turn back into the exact bytes.
TEST_F(CommentListTest, EveryNameIsPrintedSoItsExactBytesCanBeTakenBack)
{
    for (const char* name : {"CMARKET.a\tb", "CMARKET.a b", "CMARKET.\xfe", "CMARKET.\xff", "CMARKET.\\x1b"})
        suite.saved(name, sjis("題\\x1b\r\n"), utcSeconds(2024, 5, 1, 0, 0, 0));
    const std::string dir = suite.dir.path();
    EXPECT_EQ(run({"--suite", dir, "--saved"}), 0);
    for (const char* name : {"CMARKET.a\\tb\n", "CMARKET.a b\n", "CMARKET.\\xfe\n", "CMARKET.\\xff\n", "CMARKET.\\\\x1b\n"})
        EXPECT_NE(out.str().find("\t題\\\\x1b\t" + suite.dirs.saved + name), std::string::npos) << name << out.str();
    EXPECT_EQ(run({"--suite", dir, "--saved", "--json"}), 0);
    EXPECT_NE(out.str().find("\"path\":\"" + suite.dirs.saved + "CMARKET.a\\tb\"}"), std::string::npos);
    const std::string bytes = suite.dirs.saved + "CMARKET.\xfe";
    EXPECT_NE(out.str().find("\"path\":\"" + suite.dirs.saved + "CMARKET.\xEF\xBF\xBD\",\"path_bytes\":\""),
              std::string::npos) << out.str();
    EXPECT_EQ(run({"--suite", dir, "--saved", "-0"}), 0);
    const std::string paths = out.str();
    EXPECT_NE(paths.find(std::string("\0", 1) + bytes + std::string("\0", 1)), std::string::npos);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), '\0'), 5);
}

TEST_F(CommentListTest, SaysHowManyCommentsTheListLeftOutOfEachCategory)
{
    for (int i = 0; i < store::kBlockSize + 3; ++i)
        suite.saved("CWEKEND." + std::to_string(i), "w");
    suite.saved("COMMENT.1", "n");
    EXPECT_EQ(run({"--suite", suite.dir.path()}), 0);
    const std::string lines = out.str();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), store::kBlockSize + 1);
    EXPECT_EQ(err.str(), "comment-list: 週末: 3 more comment(s) left out: the list holds 500 per category\n");
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--category", "2"}), 0);
    EXPECT_EQ(err.str(), "comment-list: 週末: 3 more comment(s) left out: the list holds 500 per category\n");
}

// The contract a script relies on, run as a script runs the tool: arguments, exit status, what
// goes to stdout and stderr, and output that cannot be written.
TEST_F(CommentListTest, KeepsTheCommandLineContractOfAUnixTool)
{
    enum Stdout { File, Full, Closed, GoneReader };
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // a part of stderr ("" for none at all)
        std::string out;  // the start of stdout
        Stdout to = File;
        bool ignorePipe = true;
    };
    suite.saved("CMARKET.1", sjis("速報\r\n"), utcSeconds(2024, 5, 1, 0, 0, 0));
    const std::string dir = suite.dir.path(), listed = "速報\t2024-05-01T09:00:00.000\t速報\t";
    const std::vector<Case> cases = {
        {{"--suite=" + dir, "--category=1", "--"}, 0, "", listed},
        {{"--version"}, 0, "", "comment-list (brevon-comment) "},
        {{"--bogus"}, 2, "comment-list: unknown option '--bogus'; try --help\n", ""},
        {{"--json=yes"}, 2, "option '--json' takes no value; try --help\n", ""},
        {{"--", "--json"}, 2, "unexpected argument '--json'", ""},
        {{"--category=4"}, 2, "bad category '4'", ""},
        {{"--json", "-0"}, 2, "exclude each other", ""},
        {{"--search", "\xff"}, 2, "not valid UTF-8", ""},
        {{"--suite", dir + "/absent"}, 2, "suite folder not found", ""},
        {{"--suite", dir + "/absent", "--search", "x"}, 2, "suite folder not found", ""},
        {{}, 2, "suite folder not found: " + dir + "/Brevon", ""},  // the viewer's default, ~/Brevon
        {{"--suite", dir}, 2, "cannot write the output: No space left on device\n", "", Full},
        {{"--help"}, 2, "cannot write the output", "", Full},
        {{"--suite", dir}, 2, "cannot write the output: standard output is closed\n", "", Closed},
        {{"--suite", dir}, 2, "cannot write the output: Broken pipe\n", "", GoneReader},
        {{"--suite", dir, "--watch"}, 2, "comment-list: the output is gone\n", "", GoneReader},
        {{"--suite", dir, "--watch"}, 128 + SIGPIPE, "", "", GoneReader, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0] + " .. to " + std::to_string(c.to));
        const std::string outFile = suite.dir / "out", errFile = suite.dir / "err";
        int pipeFds[2] = {-1, -1};
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            const int o = c.to == Full ? ::open("/dev/full", O_WRONLY) : ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(c.to == GoneReader ? pipeFds[1] : o, 1);
            if (c.to == Closed)
                ::close(1);
            ::close(pipeFds[0]);
            ::signal(SIGPIPE, c.ignorePipe ? SIG_IGN : SIG_DFL);
            std::vector<char*> argv{const_cast<char*>(COMMENT_BIN_DIR "/comment-list")};
            for (const std::string& a : c.args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            const std::string home = "HOME=" + dir;
            char* env[] = {const_cast<char*>("TZ=Asia/Tokyo"), const_cast<char*>(home.c_str()), nullptr};
            ::execve(argv[0], argv.data(), env);
            _exit(127);
        }
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), c.status);
        const std::string errText = testsupport::readFile(errFile);
        EXPECT_NE(errText.find(c.err), std::string::npos) << errText;  // one line at most
        EXPECT_EQ(std::count(errText.begin(), errText.end(), '\n'), c.err.empty() ? 0 : 1) << errText;
        if (c.to == File) {
            EXPECT_TRUE(testsupport::readFile(outFile).starts_with(c.out)) << testsupport::readFile(outFile);
        }
    }
}

TEST_F(CommentListTest, NeverChangesAFile)
{
    for (int i = 0; i < 600; ++i)
        suite.saved("CWEKEND." + std::to_string(i), "w", 1'700'000'000 + i);
    testsupport::writeFile(suite.dirs.saved + ".brevon-move.999999999.0.tmp", "left by a crash");
    const auto before = platform::findFiles(suite.dirs.saved, "*", platform::kAttrAnyFile);
    EXPECT_EQ(run({"--suite", suite.dir.path()}), 0);
    const auto after = platform::findFiles(suite.dirs.saved, "*", platform::kAttrAnyFile);
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].name, after[i].name);
        EXPECT_EQ(before[i].lastWrite.seconds, after[i].lastWrite.seconds);
    }
}

// The program's allocations from its huge-page region, spilling over to malloc (a search reads
// every file whole), against the same program without the region.
TEST_F(CommentListTest, TheProgramWithItsAllocationRegionPrintsWhatThePlainOneDoes)
{
    const std::string body = sjis("日経平均株価の動向について\r\n") + std::string(4000, 'x') + "\r\n";
    for (int i = 0; i < 2600; ++i)
        suite.received(std::string(i % 4 == 0 ? "COMMENT." : i % 4 == 1 ? "CMARKET." : i % 4 == 2 ? "CWEKEND." : "CKES") +
                           (i % 4 == 3 ? std::to_string(100 + i % 900) + "." : "") + std::to_string(i),
                       body, 1'700'000'000 + i);
    auto runProgram = [&](const std::string& program, const std::string& args) {
        const std::string command = "TZ=Asia/Tokyo " COMMENT_BIN_DIR "/" + program + " --suite " +
                                    suite.dir.path() + " " + args + " 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        std::string text;
        char buf[65536];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
            text.append(buf, n);
        return text + "\nstatus " + std::to_string(::pclose(pipe));
    };
    for (const std::string args : {"", "--json", "--search 日経"}) {
        SCOPED_TRACE(args);
        const std::string plain = runProgram("comment-list", args);
        EXPECT_GT(plain.size(), 100'000u);
        EXPECT_EQ(runProgram("comment-list-arena", args), plain);
    }
}

}  // namespace
