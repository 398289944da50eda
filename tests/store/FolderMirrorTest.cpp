// What the mirror of a folder tells of the files under each name: the rules the window, the search
// panel and comment-list --watch share.

#include "store/FolderMirror.h"
#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace std::chrono_literals;
using store::FolderMirror;
using store::MirrorChanges;
using testsupport::sjis;

namespace {

// Waits as a program's event loop would for `span`, collecting what changed in order.
MirrorChanges follow(FolderMirror& mirror, std::chrono::milliseconds span)
{
    MirrorChanges all;
    const auto end = FolderMirror::Clock::now() + span;
    for (auto now = FolderMirror::Clock::now(); now < end; now = FolderMirror::Clock::now()) {
        auto until = end;
        if (const auto d = mirror.nextDeadline(); d && *d < until)
            until = *d;
        pollfd p{mirror.fd(), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::max<long long>(std::chrono::ceil<std::chrono::milliseconds>(until - now).count(), 0)));
        MirrorChanges c = mirror.process();
        for (auto [to, from] : {std::pair{&all.added, &c.added}, {&all.replaced, &c.replaced}, {&all.completed, &c.completed}})
            to->insert(to->end(), from->begin(), from->end());
        all.gone.insert(all.gone.end(), c.gone.begin(), c.gone.end());
    }
    return all;
}

class FolderMirrorTest : public ::testing::Test {
protected:
    testsupport::TempSuite suite;
    testsupport::TempDir outside;
    std::string in(const std::string& name) const { return suite.dirs.received + name; }
};

TEST_F(FolderMirrorTest, FilesThereAtTheStartAreToldGoneReplacedAndCompletedWithTheirNewLines)
{
    suite.received("COMMENT.001", sjis("消える\r\n"));
    suite.received("CMARKET.002", sjis("古い速報\r\n"));
    suite.received("CMARKET.003", sjis("書きかけ"));
    const auto before = store::identityOf(in("CMARKET.002"));
    FolderMirror mirror(suite.dirs.received);

    ASSERT_EQ(std::remove(in("COMMENT.001").c_str()), 0);
    testsupport::writeFile(outside / "new", sjis("新しい速報\r\n"));
    ASSERT_EQ(std::rename((outside / "new").c_str(), in("CMARKET.002").c_str()), 0);
    const int fd = ::open(in("CMARKET.003").c_str(), O_WRONLY | O_APPEND);
    ASSERT_EQ(::write(fd, "\r\n", 2), 2);
    ::close(fd);
    const MirrorChanges c = follow(mirror, 200ms);

    EXPECT_EQ(c.gone, std::vector<std::string>{in("COMMENT.001")});
    EXPECT_TRUE(c.added.empty());
    ASSERT_EQ(c.replaced.size(), 1u);
    EXPECT_EQ(c.replaced[0].listText, sjis("新しい速報"));
    EXPECT_EQ(c.replaced[0].category, 1);
    EXPECT_NE(c.replaced[0].identity, *before);
    EXPECT_EQ(c.replaced[0].identity, *store::identityOf(in("CMARKET.002")));
    ASSERT_EQ(c.completed.size(), 1u);
    EXPECT_EQ(c.completed[0].path, in("CMARKET.003"));
}

// A receiver that creates the file first and appends to it later, and a copy removed at once.
TEST_F(FolderMirrorTest, AFileClosedEmptyWaitsForItsTextAndOneGoneBeforeItWasReadIsNeverTold)
{
    FolderMirror mirror(suite.dirs.received);
    ::close(::open(in("COMMENT.001").c_str(), O_WRONLY | O_CREAT, 0644));
    EXPECT_TRUE(follow(mirror, 100ms).added.empty());
    const int fd = ::open(in("COMMENT.001").c_str(), O_WRONLY | O_APPEND);
    EXPECT_TRUE(follow(mirror, 700ms).added.empty()) << "its writer holds it";
    const std::string text = sjis("連絡です\r\n");
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
    testsupport::writeFile(in("CMARKET.001"), "copied");
    ASSERT_EQ(std::remove(in("CMARKET.001").c_str()), 0);

    const MirrorChanges c = follow(mirror, 700ms);
    ASSERT_EQ(c.added.size(), 1u);
    EXPECT_EQ(c.added[0].path, in("COMMENT.001"));
    EXPECT_EQ(c.added[0].listText, sjis("連絡です"));
    EXPECT_TRUE(c.gone.empty() && c.replaced.empty() && c.completed.empty());
}

TEST_F(FolderMirrorTest, APollTellsANameKeptAndWrittenAgainBetweenTwoLooks)
{
    struct ForcePolling {
        ForcePolling() { ::setenv("COMMENT_ARRIVALS_POLL", "1", 1); }
        ~ForcePolling() { ::unsetenv("COMMENT_ARRIVALS_POLL"); }
    } force;
    suite.received("COMMENT.001", sjis("一通目\r\n"));
    testing::internal::CaptureStderr();
    FolderMirror mirror(suite.dirs.received);
    testing::internal::GetCapturedStderr();
    // Kept (moved to the saved folder) and another written under its name within the 2 s.
    ASSERT_EQ(std::rename(in("COMMENT.001").c_str(), (suite.dirs.saved + "COMMENT.001").c_str()), 0);
    testsupport::writeFile(in("COMMENT.001"), sjis("二通目です\r\n"));
    const MirrorChanges c = follow(mirror, 3s);
    EXPECT_EQ(c.gone, std::vector<std::string>{in("COMMENT.001")});
    ASSERT_EQ(c.added.size() + c.replaced.size(), 1u);
    EXPECT_EQ((c.added.empty() ? c.replaced : c.added)[0].listText, sjis("二通目です"));
}

}  // namespace
