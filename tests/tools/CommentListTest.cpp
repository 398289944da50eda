#include "comment-list/CommentList.h"
#include "platform/FileFind.h"
#include "store/StoreTestSupport.h"
#include "support/IcuMissing.h"

#include <gtest/gtest.h>

#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::sjis;
using testsupport::utcSeconds;

namespace {

class CommentListTest : public ::testing::Test {
protected:
    int run(std::vector<std::string> args, const char* home = nullptr)
    {
        out.str("");
        err.str("");
        return commentlist::run(args, home, out, err);
    }
    testsupport::JapanTime japan;
    testsupport::TempSuite suite;
    std::ostringstream out, err;
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
    EXPECT_NE(out.str().find("{\"category\":1,\"label\":\"速報\",\"time\":\"2024-05-01T09:00:00.000\","
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
    const std::string fields = "\\x1b[2J消去\\x07 タブ\\x7f\t" + suite.dirs.saved + "CMARKET.\\x1b\n";
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--saved"}), 0);
    EXPECT_EQ(out.str(), "速報\t2024-05-01T09:00:00.000\t" + fields);
    // The same in the lines of --watch.
    const store::TCmntInfo arrived{suite.dirs.saved + "CMARKET.\x1b", sjis(title), 0};
    EXPECT_TRUE(commentlist::entryLine(1, arrived, false).ends_with("\t" + fields));
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--saved", "--json"}), 0);
    EXPECT_NE(out.str().find("\"text\":\"\\u001b[2J消去\\u0007\\tタブ\x7f\""), std::string::npos) << out.str();
}

TEST_F(CommentListTest, MissingSuiteAndBadArgumentsFailWithAMessage)
{
    EXPECT_EQ(run({}), 1);
    EXPECT_NE(err.str().find("BREVON_HOME"), std::string::npos);
    EXPECT_EQ(run({"--suite", suite.dir / "absent"}), 1);
    EXPECT_NE(err.str().find("not found"), std::string::npos);
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--category", "4"}), 2);
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--category"}), 2);
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--received", "--saved"}), 2);
    EXPECT_EQ(run({"--suite", suite.dir.path(), "--bogus"}), 2);
    EXPECT_NE(err.str().find("usage:"), std::string::npos);
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

}  // namespace
