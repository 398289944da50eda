#include "store/ArrivalWatch.h"
#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace std::chrono_literals;
using store::ArrivalChanges;
using store::ArrivalWatch;

namespace {

// Waits as a program's event loop would (fd and deadline, no busy loop) for `span`, collecting
// what changed.
ArrivalChanges watchFor(ArrivalWatch& watch, std::chrono::milliseconds span)
{
    ArrivalChanges all;
    const auto end = ArrivalWatch::Clock::now() + span;
    for (auto now = ArrivalWatch::Clock::now(); now < end; now = ArrivalWatch::Clock::now()) {
        auto until = end;
        if (const auto d = watch.nextDeadline(); d && *d < until)
            until = *d;
        pollfd p{watch.fd(), POLLIN, 0};
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
        ::poll(&p, 1, static_cast<int>(std::max<long long>(ms, 0)));
        ArrivalChanges c = watch.process();
        all.arrived.insert(all.arrived.end(), c.arrived.begin(), c.arrived.end());
        all.vanished.insert(all.vanished.end(), c.vanished.begin(), c.vanished.end());
        all.completed.insert(all.completed.end(), c.completed.begin(), c.completed.end());
    }
    return all;
}

class ArrivalWatchTest : public ::testing::Test {
protected:
    testsupport::TempSuite suite;
    testsupport::TempDir outside;
};

TEST_F(ArrivalWatchTest, AFileWrittenInPiecesCountsOnceWhenItsWriterClosesIt)
{
    ArrivalWatch watch(suite.dirs.received);
    ASSERT_GE(watch.fd(), 0);
    const std::string path = suite.dirs.received + "COMMENT.001";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "title\r\n", 7), 7);
    // A pause longer than the settling time: the open writer still holds it back.
    EXPECT_TRUE(watchFor(watch, 800ms).arrived.empty());
    ASSERT_EQ(::write(fd, "body\r\n", 6), 6);
    EXPECT_TRUE(watchFor(watch, 100ms).arrived.empty());
    ::close(fd);
    const auto start = ArrivalWatch::Clock::now();
    ArrivalChanges c;
    while (c.arrived.empty() && ArrivalWatch::Clock::now() - start < 2s)
        c = watchFor(watch, 20ms);
    ASSERT_EQ(c.arrived.size(), 1u);
    EXPECT_EQ(c.arrived[0].path, path);
    EXPECT_EQ(c.arrived[0].category, 0);
    EXPECT_LT(ArrivalWatch::Clock::now() - start, 200ms);  // the close itself tells, no settling
    EXPECT_TRUE(watchFor(watch, 600ms).arrived.empty());   // and only once
}

// Start-up reads every received file with the opens left out of the watch; writers are still told
// apart, by their close before and by their open after.
TEST_F(ArrivalWatchTest, AWatchThatFollowsOpensOnlyAfterTheLoadCountsEachWriterAtItsClose)
{
    ArrivalWatch watch(suite.dirs.received, false);
    const std::string early = suite.dirs.received + "COMMENT.001", late = suite.dirs.received + "COMMENT.002";
    int fd = ::open(early.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "title\r\n", 7), 7);
    ::close(fd);
    watch.followOpens();
    fd = ::open(late.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "title\r\n", 7), 7);
    ArrivalChanges c = watchFor(watch, 800ms);
    ASSERT_EQ(c.arrived.size(), 1u);
    EXPECT_EQ(c.arrived[0].path, early);
    ::close(fd);
    c = watchFor(watch, 100ms);
    ASSERT_EQ(c.arrived.size(), 1u);
    EXPECT_EQ(c.arrived[0].path, late);
}

TEST_F(ArrivalWatchTest, MovedInCountsAtOnceAndAHardLinkAfterItsSizeAndTimeSettle)
{
    ArrivalWatch watch(suite.dirs.received);
    testsupport::writeFile(outside / "a", "x");
    testsupport::writeFile(outside / "b", "y");
    ASSERT_EQ(std::rename((outside / "a").c_str(), (suite.dirs.received + "CMARKET.1").c_str()), 0);
    ArrivalChanges c = watchFor(watch, 100ms);
    ASSERT_EQ(c.arrived.size(), 1u);
    EXPECT_EQ(c.arrived[0].category, 1);

    // A link gives no close: nothing can tell whether it is whole but its settling.
    ASSERT_EQ(::link((outside / "b").c_str(), (suite.dirs.received + "CKES123.TXT").c_str()), 0);
    EXPECT_TRUE(watchFor(watch, 350ms).arrived.empty());
    c = watchFor(watch, 400ms);
    ASSERT_EQ(c.arrived.size(), 1u);
    EXPECT_EQ(c.arrived[0].category, 3);
    EXPECT_EQ(watch.arrivals().size(), 2u);
}

TEST_F(ArrivalWatchTest, HiddenFilesFoldersOtherNamesAndFilesThereAtTheStartDoNotCount)
{
    suite.received("COMMENT.OLD", "there before");
    ArrivalWatch watch(suite.dirs.received);
    testsupport::writeFile(outside / "h", "hidden");
    testsupport::setDosAttrib(outside / "h", "0x2");
    ASSERT_EQ(std::rename((outside / "h").c_str(), (suite.dirs.received + "CWEKEND.1").c_str()), 0);
    testsupport::writeFile(suite.dirs.received + "README.TXT", "other");
    testsupport::writeFile(suite.dirs.received + "CKES12.TXT", "one digit short");
    testsupport::makeDir(suite.dirs.received + "CMARKET.DIR");
    testsupport::writeFile(suite.dirs.received + "COMMENT.OLD", "rewritten");
    EXPECT_TRUE(watchFor(watch, 700ms).arrived.empty());

    // Unhidden, it is listed and so counts.
    testsupport::setDosAttrib(suite.dirs.received + "CWEKEND.1", "0x20");
    EXPECT_EQ(watchFor(watch, 700ms).arrived.size(), 1u);
}

TEST_F(ArrivalWatchTest, FilesThatVanishStopCountingAndAFolderMadeLaterIsWatched)
{
    const std::string later = suite.dir / "Later/";
    ArrivalWatch watch(suite.dirs.received);
    ArrivalWatch waiting(later);
    suite.received("COMMENT.1", "x");
    ASSERT_EQ(watchFor(watch, 100ms).arrived.size(), 1u);
    ASSERT_EQ(std::remove((suite.dirs.received + "COMMENT.1").c_str()), 0);
    const ArrivalChanges c = watchFor(watch, 100ms);
    ASSERT_EQ(c.vanished.size(), 1u);
    EXPECT_EQ(c.vanished[0], suite.dirs.received + "COMMENT.1");
    EXPECT_TRUE(watch.arrivals().empty());

    testsupport::makeDir(later);
    testsupport::writeFile(later + "CMARKET.1", "x");
    EXPECT_EQ(watchFor(waiting, 700ms).arrived.size(), 1u);
}

// A list read while a writer was still at it shows the file as it was then: the writer's close
// tells that its line is due again, whether the file was there at the start or counted by a pause.
TEST_F(ArrivalWatchTest, AFileListedBeforeItsWriterWasDoneIsReportedCompleteAtTheClose)
{
    const std::string early = suite.dirs.received + "COMMENT.001", paused = suite.dirs.received + "COMMENT.002";
    const int first = ::open(early.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(first, 0);
    ArrivalWatch watch(suite.dirs.received, false);
    const int second = ::open(paused.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(second, 0);
    ASSERT_EQ(::write(second, "t", 1), 1);
    ASSERT_EQ(watchFor(watch, 800ms).arrived.size(), 1u);  // its open was not followed: the pause tells
    ASSERT_EQ(::write(first, "title\r\n", 7), 7);
    ASSERT_EQ(::write(second, "itle\r\n", 6), 6);
    ::close(first);
    ::close(second);
    const ArrivalChanges c = watchFor(watch, 100ms);
    EXPECT_TRUE(c.arrived.empty());
    EXPECT_EQ(c.completed, (std::vector<std::string>{early, paused}));
}

TEST_F(ArrivalWatchTest, WithoutInotifyTheFolderIsLookedAtEveryTwoSecondsAndStderrToldOnce)
{
    struct ForcePolling {
        ForcePolling() { ::setenv("COMMENT_ARRIVALS_POLL", "1", 1); }
        ~ForcePolling() { ::unsetenv("COMMENT_ARRIVALS_POLL"); }
    } force;
    suite.received("COMMENT.OLD", "there before");
    testing::internal::CaptureStderr();
    ArrivalWatch watch(suite.dirs.received);
    EXPECT_EQ(watch.fd(), -1);
    ASSERT_TRUE(watch.nextDeadline());
    EXPECT_LE(*watch.nextDeadline() - ArrivalWatch::Clock::now(), ArrivalWatch::kPollInterval);

    suite.received("CMARKET.1", "x");
    ArrivalChanges c = watchFor(watch, 2600ms);
    ASSERT_EQ(c.arrived.size(), 1u);
    EXPECT_EQ(c.arrived[0].path, suite.dirs.received + "CMARKET.1");
    ASSERT_EQ(std::remove((suite.dirs.received + "CMARKET.1").c_str()), 0);
    c = watchFor(watch, 2100ms);
    EXPECT_EQ(c.vanished, std::vector<std::string>{suite.dirs.received + "CMARKET.1"});
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(suite.dirs.received + " are looked for every 2 s: COMMENT_ARRIVALS_POLL is set.\n"),
              std::string::npos)
        << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

}  // namespace
