#include "store/Purge.h"
#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace store;
using testsupport::exists;

namespace {

constexpr std::int64_t kBase = 1'700'000'000;

class PurgeTest : public ::testing::Test {
protected:
    void purge() { PurgeCommentFiles(suite.dirs, limits, flags); }

    testsupport::TempSuite suite;
    std::array<int, kCategoryCount> limits{500, 500, 500, 500};
    std::array<bool, kCategoryCount> flags{true, true, true, true};
};

TEST_F(PurgeTest, BothFoldersCountAgainstOneLimitAndTheOldestGoWherever)
{
    // Seven received, five saved; the two oldest of all twelve are one of each.
    std::vector<std::string> received, saved;
    for (int i = 0; i < 7; ++i)
        received.push_back(suite.received("COMMENT.r" + std::to_string(i), "x", kBase + 100 + i * 10));
    for (int i = 0; i < 5; ++i)
        saved.push_back(suite.saved("COMMENT.s" + std::to_string(i), "x", kBase + 105 + i * 10));
    testsupport::setMtime(received[3], kBase);
    testsupport::setMtime(saved[4], kBase + 2);
    limits[kNotices] = 10;
    purge();
    EXPECT_FALSE(exists(received[3]));
    EXPECT_FALSE(exists(saved[4]));
    int left = 0;
    for (const auto& p : received)
        left += exists(p);
    for (const auto& p : saved)
        left += exists(p);
    EXPECT_EQ(left, 10);
}

// The packed date has its top bit set from 2044 on; compared as a signed number those files were the
// oldest, and the newest comments went first.
TEST_F(PurgeTest, FilesFrom2044OnAreNewerThanThoseBefore)
{
    using testsupport::utcSeconds;
    const std::string y2043 = suite.saved("COMMENT.2043", "x", utcSeconds(2043, 6, 1));
    const std::string y2044 = suite.saved("COMMENT.2044", "x", utcSeconds(2044, 6, 1));
    const std::string y2100 = suite.saved("COMMENT.2100", "x", utcSeconds(2100, 6, 1));
    limits[kNotices] = 1;
    purge();
    EXPECT_FALSE(exists(y2043));
    EXPECT_FALSE(exists(y2044));
    EXPECT_TRUE(exists(y2100));
}

TEST_F(PurgeTest, DeletionFlagOffKeepsEverything)
{
    for (int i = 0; i < 6; ++i)
        suite.saved("CMARKET." + std::to_string(i), "x", kBase + i * 10);
    flags[kMarketFlash] = false;
    limits[kMarketFlash] = 0;
    purge();
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(exists(suite.dirs.saved + "CMARKET." + std::to_string(i)));
}

TEST_F(PurgeTest, AtOrBelowTheLimitNothingGoesAndLimitZeroEmptiesTheCategory)
{
    for (int i = 0; i < 3; ++i)
        suite.saved("CWEKEND." + std::to_string(i), "x", kBase + i * 10);
    for (int i = 0; i < 3; ++i)
        suite.received("CKES00" + std::to_string(i) + ".T", "x", kBase + i * 10);
    limits[kWeekend] = 3;
    limits[kEarnings] = 0;
    purge();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(exists(suite.dirs.saved + "CWEKEND." + std::to_string(i)));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(exists(suite.dirs.received + "CKES00" + std::to_string(i) + ".T"));
}

TEST_F(PurgeTest, NegativeLimitFromADamagedStoreDeletesNothing)
{
    for (int i = 0; i < 3; ++i)
        suite.saved("COMMENT." + std::to_string(i), "x", kBase + i * 10);
    limits[kNotices] = -5;
    purge();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(exists(suite.dirs.saved + "COMMENT." + std::to_string(i)));
}

TEST_F(PurgeTest, CategoriesNeverCountAgainstEachOther)
{
    for (int i = 0; i < 3; ++i)
        suite.saved("COMMENT." + std::to_string(i), "x", kBase + i * 10);
    for (int i = 0; i < 3; ++i)
        suite.saved("CMARKET." + std::to_string(i), "x", kBase + 5 + i * 10);
    limits = {3, 3, 3, 3};
    purge();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(exists(suite.dirs.saved + "COMMENT." + std::to_string(i)));
        EXPECT_TRUE(exists(suite.dirs.saved + "CMARKET." + std::to_string(i)));
    }
}

TEST_F(PurgeTest, HiddenFilesCountAndAnUndeletableOneIsSkippedWithoutReplacement)
{
    const auto hidden = suite.saved("CMARKET.h", "x", kBase + 10);
    testsupport::setDosAttrib(hidden, "0x2");
    const auto readOnly = suite.saved("CMARKET.ro", "x", kBase);  // oldest, cannot be deleted
    ::chmod(readOnly.c_str(), 0444);
    testsupport::makeDir(suite.dirs.saved + "CMARKET.dir");  // counts, cannot be deleted
    testsupport::setMtime(suite.dirs.saved + "CMARKET.dir", kBase + 5);
    const auto newer = suite.saved("CMARKET.new", "x", kBase + 20);
    const auto newest = suite.saved("CMARKET.newest", "x", kBase + 30);
    limits[kMarketFlash] = 2;
    purge();
    // Five entries, limit two: the three oldest are tried; only the hidden file can go.
    EXPECT_TRUE(exists(readOnly));
    EXPECT_TRUE(exists(suite.dirs.saved + "CMARKET.dir"));
    EXPECT_FALSE(exists(hidden));
    EXPECT_TRUE(exists(newer));
    EXPECT_TRUE(exists(newest));
}

TEST_F(PurgeTest, TakesEveryMatchingEntryBeyondAThousand)
{
    for (int i = 0; i < 1200; ++i) {
        auto& put = i % 2 ? suite.dirs.received : suite.dirs.saved;
        testsupport::TempSuite::put(put + "CWEKEND." + std::to_string(i), "x", kBase + i * 2);
    }
    limits[kWeekend] = 100;
    purge();
    int left = 0;
    for (int i = 0; i < 1200; ++i) {
        auto& dir = i % 2 ? suite.dirs.received : suite.dirs.saved;
        const bool kept = exists(dir + "CWEKEND." + std::to_string(i));
        EXPECT_EQ(kept, i >= 1100) << i;
        left += kept;
    }
    EXPECT_EQ(left, 100);
}

}  // namespace
