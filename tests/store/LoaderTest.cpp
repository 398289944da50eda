#include "store/ListText.h"
#include "store/Loader.h"
#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>

using namespace store;
using testsupport::sjis;
using testsupport::utcSeconds;

namespace {

class LoaderTest : public ::testing::Test {
protected:
    void load(bool received, int k) { LoadCategory(*table, suite.dirs, received, k, settings, sink); }
    std::string text(int k, int n) const { return shiftjis::toUtf8(table->entry(k, n).listText); }

    testsupport::JapanTime japan;
    testsupport::TempSuite suite;
    testsupport::RecordingSink sink;
    settings::SettingsRecord settings;
    std::unique_ptr<CommentTable> table = std::make_unique<CommentTable>();
};

TEST_F(LoaderTest, NoMatchingFileOrNoFolderGivesNoEntriesAndNoMessage)
{
    suite.received("CMARKET.1");
    load(true, kNotices);
    EXPECT_EQ(table->count(kNotices), 0);
    CommentDirs missing{suite.dir / "nowhere/", suite.dir / "nowhere/"};
    LoadCategory(*table, missing, false, kMarketFlash, settings, sink);
    EXPECT_EQ(table->count(kMarketFlash), 0);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(LoaderTest, EntriesCarryPathLocalTimeAndListTextNewestFirst)
{
    suite.saved("CMARKET.a", sjis("古い\r\n"), utcSeconds(2024, 1, 1, 0, 0, 0));
    suite.saved("CMARKET.b", sjis("新しい\r\n"), utcSeconds(2024, 3, 1, 0, 0, 0));
    suite.saved("CMARKET.c", sjis("中間\r\n"), utcSeconds(2024, 2, 1, 0, 0, 0));
    suite.received("CMARKET.z", sjis("受信\r\n"));  // the other folder
    load(false, kMarketFlash);
    ASSERT_EQ(table->count(kMarketFlash), 3);
    EXPECT_EQ(text(kMarketFlash, 1), "新しい");
    EXPECT_EQ(text(kMarketFlash, 2), "中間");
    EXPECT_EQ(text(kMarketFlash, 3), "古い");
    EXPECT_EQ(table->entry(kMarketFlash, 1).path, suite.dirs.saved + "CMARKET.b");
    // 2024-03-01 00:00 UTC is 09:00 in Japan: day 45352 and 9/24.
    EXPECT_DOUBLE_EQ(table->entry(kMarketFlash, 1).time, 45352 + 9.0 / 24);
}

TEST_F(LoaderTest, EqualTimesKeepTheListingOrderByName)
{
    for (const char* name : {"CWEKEND.d", "CWEKEND.B", "cwekend.c", "CWEKEND.a"})
        suite.received(name, name, 1'700'000'000);
    suite.received("CWEKEND.new", "newest", 1'700'000'100);
    load(true, kWeekend);
    ASSERT_EQ(table->count(kWeekend), 5);
    const char* expected[] = {"newest", "CWEKEND.a", "CWEKEND.B", "cwekend.c", "CWEKEND.d"};
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(text(kWeekend, n), expected[n - 1]) << n;
}

TEST_F(LoaderTest, HiddenSystemFilesAndFoldersAreNotListedButReadOnlyFilesAre)
{
    const auto hidden = suite.received("COMMENT.h");
    const auto system = suite.received("COMMENT.s");
    const auto readOnly = suite.received("COMMENT.r");
    suite.received("COMMENT.n");
    testsupport::makeDir(suite.dirs.received + "COMMENT.dir");
    testsupport::setDosAttrib(hidden, "0x2");
    testsupport::setDosAttrib(system, "0x4");
    ::chmod(readOnly.c_str(), 0444);
    load(true, kNotices);
    ASSERT_EQ(table->count(kNotices), 2);
    EXPECT_EQ(table->entry(kNotices, 1).path, suite.dirs.received + "COMMENT.n");
    EXPECT_EQ(table->entry(kNotices, 2).path, readOnly);
}

TEST_F(LoaderTest, ReloadRewritesTheBlockFromEntryOne)
{
    for (int i = 0; i < 5; ++i)
        suite.saved("CKES00" + std::to_string(i) + ".X", "t", 1'700'000'000 + i);
    load(false, kEarnings);
    ASSERT_EQ(table->count(kEarnings), 5);
    for (int i = 1; i < 5; ++i)
        ::unlink((suite.dirs.saved + "CKES00" + std::to_string(i) + ".X").c_str());
    load(false, kEarnings);
    ASSERT_EQ(table->count(kEarnings), 1);
    EXPECT_EQ(text(kEarnings, 1), "t    0件");
}

TEST_F(LoaderTest, CategoryOutsideTheTableIsRefused)
{
    EXPECT_THROW(load(false, 4), std::out_of_range);
    EXPECT_THROW(load(false, -1), std::out_of_range);
}

class TableLimitTest : public LoaderTest {
protected:
    void SetUp() override
    {
        // 501 files; names sort so that the 501st listed is the newest.
        for (int i = 0; i < 501; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "CMARKET.%03d", i);
            suite.saved(name, name, 1'700'000'000 + i);
        }
    }
};

TEST_F(TableLimitTest, The501stFileWarnsWhenDeletionIsOffAndTheLimitIsExceeded)
{
    settings.delCmntInfo[kMarketFlash] = false;
    settings.maxCmntInfo[kMarketFlash] = 500;
    load(false, kMarketFlash);
    EXPECT_EQ(table->count(kMarketFlash), 500);
    EXPECT_EQ(text(kMarketFlash, 1), "CMARKET.499");  // the 501st listed got no entry
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "速報コメントの読み込みを中止します");
    EXPECT_EQ(sink.messages[0].text, "速報コメントが保存設定件数を超えました。");
    EXPECT_EQ(sink.messages[0].text2, "不要な速報コメントを削除するか、保存設定にて保存数を調整して下さい。");
    EXPECT_EQ(sink.messages[0].kind, kMessageRetentionNotice);
}

TEST_F(TableLimitTest, The501stFileStopsSilentlyWhenDeletionIsOnOrTheLimitIsAbove500)
{
    settings.delCmntInfo[kMarketFlash] = true;
    load(false, kMarketFlash);
    EXPECT_EQ(table->count(kMarketFlash), 500);
    settings.delCmntInfo[kMarketFlash] = false;
    settings.maxCmntInfo[kMarketFlash] = 501;
    load(false, kMarketFlash);
    EXPECT_EQ(table->count(kMarketFlash), 500);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(LoaderTest, ExactlyFiveHundredFilesFillTheBlockWithoutAWarning)
{
    settings.delCmntInfo[kNotices] = false;
    settings.maxCmntInfo[kNotices] = 10;
    for (int i = 0; i < 500; ++i)
        suite.saved("COMMENT." + std::to_string(i));
    load(false, kNotices);
    EXPECT_EQ(table->count(kNotices), 500);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(LoaderTest, LoadingTheFourCategoriesFromOneListingMatchesLoadingEachOnItsOwn)
{
    // Every category, names in mixed case, near misses of the patterns, a hidden file, a folder,
    // and one category past the table's size with the notice due.
    suite.received("COMMENT.1", sjis("連絡\r\n"), 1'700'000'300);
    suite.received("comment.2", sjis("連絡二\r\n"), 1'700'000'100);
    suite.received("CWEKEND.x", sjis("週末\r\n"));
    suite.received("CKES123.4", sjis("決算\r\n"));
    suite.received("CKES12.4", sjis("決算ではない\r\n"));
    suite.received("COMMENTS", sjis("拡張子なし\r\n"));
    testsupport::setDosAttrib(suite.received("CWEKEND.h"), "0x2");
    testsupport::makeDir(suite.dirs.received + "CKES999.dir");
    for (int i = 0; i < 501; ++i)
        suite.received("CMARKET." + std::to_string(i), "m", 1'700'000'000 + i);
    settings.delCmntInfo[kMarketFlash] = false;

    for (int k = 0; k < kCategoryCount; ++k)
        load(true, k);
    const auto eachOnItsOwn = std::move(table);
    const auto messagesEach = sink.messages;
    sink.messages.clear();
    table = std::make_unique<CommentTable>();
    LoadCategories(*table, suite.dirs, true, settings, sink);

    for (int k = 0; k < kCategoryCount; ++k) {
        ASSERT_EQ(table->count(k), eachOnItsOwn->count(k)) << k;
        for (int n = 1; n <= table->count(k); ++n) {
            EXPECT_EQ(table->entry(k, n).path, eachOnItsOwn->entry(k, n).path) << k << " " << n;
            EXPECT_EQ(table->entry(k, n).listText, eachOnItsOwn->entry(k, n).listText) << k << " " << n;
            EXPECT_EQ(table->entry(k, n).time, eachOnItsOwn->entry(k, n).time) << k << " " << n;
        }
    }
    EXPECT_EQ(table->count(kNotices), 2);
    EXPECT_EQ(table->count(kMarketFlash), 500);
    EXPECT_EQ(table->count(kWeekend), 1);
    EXPECT_EQ(table->count(kEarnings), 1);
    ASSERT_EQ(sink.messages.size(), 1u);
    ASSERT_EQ(messagesEach.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, messagesEach[0].title);
}

}  // namespace
