// What the window makes of its arrivals watch beyond plain arrivals: a comment listed while the
// receiver was still writing it, and a folder that inotify cannot watch.

#include "ui/Arrivals.h"
#include "ui/MainWindowFixture.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

using ArrivalsWatchTest = MainWindowFixture;

TEST_F(ArrivalsWatchTest, ALineListedBeforeItsFileWasWholeIsReadAgainWhenItsWriterClosesIt)
{
    const std::string path = suite + "RecvData/COMMENT.001";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string head = platform::cp932("連絡"), rest = platform::cp932("です\r\n");
    ASSERT_EQ(::write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    TForm1& w = open();
    ASSERT_TRUE(w.receivedMode());
    ASSERT_TRUE(lines().value(0).endsWith(QStringLiteral("連絡")));

    ASSERT_EQ(::write(fd, rest.data(), rest.size()), static_cast<ssize_t>(rest.size()));
    ::close(fd);
    QSignalSpy shown(w.arrivals(), &Arrivals::shown);
    ASSERT_TRUE(shown.wait(3000));
    ASSERT_EQ(lines().size(), 1);
    EXPECT_TRUE(lines()[0].endsWith(QStringLiteral("連絡です"))) << lines()[0].toStdString();
}

TEST_F(ArrivalsWatchTest, ALineThatF5ListedBeforeItsFileWasWholeIsReadAgainWhenItsWriterClosesIt)
{
    TForm1& w = open();
    ASSERT_FALSE(w.receivedMode());
    const std::string path = suite + "RecvData/CMARKET.001";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string head = platform::cp932("速報"), rest = platform::cp932("です\r\n");
    ASSERT_EQ(::write(fd, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    writeComment(suite + "RecvData/COMMENT.001", "連絡\r\n", 0);
    QSignalSpy shown(w.arrivals(), &Arrivals::shown);
    ASSERT_TRUE(shown.wait(3000));
    w.arrivals()->ArrivalsBtClick();
    ASSERT_TRUE(w.receivedMode());
    ASSERT_EQ(lines().value(1), QStringLiteral("速報"));

    ASSERT_EQ(::write(fd, rest.data(), rest.size()), static_cast<ssize_t>(rest.size()));
    ::close(fd);
    ASSERT_TRUE(shown.wait(3000));
    EXPECT_EQ(lines(), (QStringList{lines().value(0), QStringLiteral("速報です")}));
}

TEST_F(ArrivalsWatchTest, ACommandLeavesOutALineWhoseNameHoldsAnotherFileReadsItAgainAndSaysSo)
{
    writeComment(suite + "RecvData/COMMENT.001", "連絡\r\n", 10);
    writeComment(suite + "RecvData/COMMENT.002", "古い連絡\r\n", 20);
    TForm1& w = open();
    ASSERT_EQ(lines().size(), 2);
    // Another program writes over the second before the window has heard of it.
    writeComment(root + "/other", "新しい連絡\r\n", 0);
    std::filesystem::rename(root + "/other", suite + "RecvData/COMMENT.002");
    w.ListBox1->selectAll();
    w.ToolbarButton4Click();
    EXPECT_FALSE(std::filesystem::exists(suite + "RecvData/COMMENT.001"));
    EXPECT_TRUE(std::filesystem::exists(suite + "RecvData/COMMENT.002"));
    ASSERT_EQ(lines().size(), 1);
    EXPECT_TRUE(lines()[0].endsWith(QStringLiteral("新しい連絡")));
    EXPECT_TRUE(w.receivedMode());
    EXPECT_NE(messages().find("1件のコメントは一覧に表示した後でファイルが変わったため、処理しませんでした"), std::string::npos)
        << messages();
}

TEST_F(ArrivalsWatchTest, AFolderLookedAtEveryTwoSecondsStillCountsArrivalsInSavedMode)
{
    ::setenv("COMMENT_ARRIVALS_POLL", "1", 1);
    TForm1& w = open();
    ::unsetenv("COMMENT_ARRIVALS_POLL");
    ASSERT_FALSE(w.receivedMode());
    writeComment(suite + "RecvData/COMMENT.001", "連絡\r\n", 0);
    QSignalSpy shown(w.arrivals(), &Arrivals::shown);
    ASSERT_TRUE(shown.wait(4000));
    EXPECT_EQ(w.arrivals()->pendingCount(), 1);
}

}  // namespace
