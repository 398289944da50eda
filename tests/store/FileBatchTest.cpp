#include "store/FileBatch.h"
#include "store/Loader.h"
#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace store;
using testsupport::exists;
using testsupport::readFile;

namespace {

// Records each call of the platform operation and then really runs it.
struct RecordingOperation {
    std::vector<platform::ShFileOpStruct> calls;
    FileOperation fn()
    {
        return [this](const platform::ShFileOpStruct& op) {
            calls.push_back(op);
            return platform::shFileOperation(op);
        };
    }
};

class FileBatchTest : public ::testing::Test {
protected:
    testsupport::TempSuite suite;
    RecordingOperation recorder;
};

TEST_F(FileBatchTest, SaveOfOneFileUses0x90AndPairsTheTargetInTheSavedFolder)
{
    FileBatch batch(BatchCommand::Save, suite.dirs.saved);
    batch.add(suite.dirs.received + "COMMENT.1");
    const auto op = batch.operation();
    EXPECT_EQ(op.func, platform::kFoMove);
    EXPECT_EQ(op.flags, 0x90u);
    EXPECT_EQ(op.from, suite.dirs.received + "COMMENT.1" + std::string(2, '\0'));
    EXPECT_EQ(op.to, suite.dirs.saved + "COMMENT.1" + std::string(2, '\0'));
}

TEST_F(FileBatchTest, SaveOfTwoOrMoreUses0x91AndDeleteAlways0x90WithoutTargets)
{
    FileBatch save(BatchCommand::Save, suite.dirs.saved);
    save.add("/a/CMARKET.1");
    save.add("/b/COMMENT.2");
    EXPECT_EQ(save.flags(), 0x91u);
    EXPECT_EQ(save.operation().to,
              suite.dirs.saved + "CMARKET.1" + '\0' + suite.dirs.saved + "COMMENT.2" + '\0' + '\0');

    FileBatch del(BatchCommand::Delete, suite.dirs.saved);
    del.add("/a/CMARKET.1");
    del.add("/b/COMMENT.2");
    del.add("/b/COMMENT.3");
    EXPECT_EQ(del.flags(), 0x90u);
    EXPECT_EQ(del.operation().func, platform::kFoDelete);
    EXPECT_TRUE(del.operation().to.empty());
}

TEST_F(FileBatchTest, TakesEveryChosenPathPastTheOriginal51201Bytes)
{
    FileBatch batch(BatchCommand::Save, suite.dirs.saved);
    const std::string dir = "/very/long/suite/folder/name/for/the/received/comments/RecvData/";
    for (int i = 0; i < 2000; ++i)
        batch.add(dir + "CMARKET." + std::to_string(i));
    const auto op = batch.operation();
    EXPECT_GT(op.from.size(), 51'201u * 2);
    const auto sources = platform::splitMultiPath(op.from);
    const auto targets = platform::splitMultiPath(op.to);
    ASSERT_EQ(sources.size(), 2000u);
    ASSERT_EQ(targets.size(), 2000u);
    EXPECT_EQ(sources[1999], dir + "CMARKET.1999");
    EXPECT_EQ(targets[1999], suite.dirs.saved + "CMARKET.1999");
}

TEST_F(FileBatchTest, SaveMovesEveryFileInOneCallReplacingSameNamedTargets)
{
    const auto a = suite.received("COMMENT.1", "new notice");
    const auto b = suite.received("CMARKET.2", "flash");
    suite.saved("COMMENT.1", "old notice");
    FileBatch batch(BatchCommand::Save, suite.dirs.saved);
    batch.add(a);
    batch.add(b);
    const auto result = batch.run(recorder.fn());
    EXPECT_EQ(recorder.calls.size(), 1u);
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(readFile(suite.dirs.saved + "COMMENT.1"), "new notice");
    EXPECT_EQ(readFile(suite.dirs.saved + "CMARKET.2"), "flash");
    EXPECT_FALSE(exists(a));
    EXPECT_FALSE(exists(b));
}

TEST_F(FileBatchTest, MissingSourceComesBackAsAFailureWhileTheRestIsDone)
{
    const auto a = suite.saved("COMMENT.1");
    const auto c = suite.saved("COMMENT.3");
    FileBatch batch(BatchCommand::Delete, suite.dirs.saved);
    batch.add(a);
    batch.add(suite.dirs.saved + "COMMENT.2");
    batch.add(c);
    const auto result = batch.run(recorder.fn());
    EXPECT_EQ(recorder.calls.size(), 1u);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].source, suite.dirs.saved + "COMMENT.2");
    EXPECT_FALSE(exists(a));
    EXPECT_FALSE(exists(c));
}

TEST_F(FileBatchTest, SaveIntoASavedFolderOnAnotherFileSystemReplacesTargetsAndKeepsTimes)
{
    testsupport::OtherFileSystem other(suite.dir.path(), suite.dir / "other");
    if (!other.available())
        GTEST_SKIP() << "moves across file systems not tested: " << other.whyNot();
    const std::string saved = other.path() + "/Result/COMMENT/";  // created by the move
    const auto a = suite.received("CWEKEND.1", "weekend", 1'650'000'000);
    const auto b = suite.received("CKES001.T", "earnings", 1'650'000'100);
    FileBatch first(BatchCommand::Save, saved);
    first.add(a);
    EXPECT_TRUE(first.run(recorder.fn()).failures.empty());
    suite.received("CWEKEND.1", "weekend again", 1'650'000'200);
    FileBatch second(BatchCommand::Save, saved);
    second.add(a);
    second.add(b);
    EXPECT_TRUE(second.run(recorder.fn()).failures.empty());
    EXPECT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(readFile(saved + "CWEKEND.1"), "weekend again");
    EXPECT_EQ(readFile(saved + "CKES001.T"), "earnings");
    EXPECT_EQ(testsupport::mtimeSeconds(saved + "CWEKEND.1"), 1'650'000'200);
    EXPECT_FALSE(exists(a));
    EXPECT_FALSE(exists(b));
}

// A save killed after the copy arrived but before the source went leaves the comment in both
// folders; the next start would offer an already kept comment again.
TEST_F(FileBatchTest, StartUpFinishesMovesWhoseCopyArrivedAndKeepsDifferingNamesakes)
{
    const auto kept = suite.received("COMMENT.1", "same bytes");
    suite.saved("COMMENT.1", "same bytes");
    const auto newer = suite.received("CMARKET.1", "a new flash");
    suite.saved("CMARKET.1", "an old flash");
    const auto other = suite.received("README.TXT", "same");
    suite.saved("README.TXT", "same");
    cleanUpInterruptedMoves(suite.dirs);
    EXPECT_FALSE(exists(kept));
    EXPECT_EQ(readFile(suite.dirs.saved + "COMMENT.1"), "same bytes");
    EXPECT_EQ(readFile(newer), "a new flash");
    EXPECT_EQ(readFile(suite.dirs.saved + "CMARKET.1"), "an old flash");
    EXPECT_TRUE(exists(other));
}

class RetentionAtSwitchTest : public FileBatchTest {
protected:
    void loadSaved()
    {
        for (int k = 0; k < kCategoryCount; ++k)
            LoadCategory(*table, suite.dirs, false, k, settings, sink);
    }
    settings::SettingsRecord settings;
    testsupport::RecordingSink sink;
    std::unique_ptr<CommentTable> table = std::make_unique<CommentTable>();
};

TEST_F(RetentionAtSwitchTest, KeepsTheNewestAsManyAsTheLimitWhereDeletionIsOn)
{
    for (int i = 0; i < 5; ++i)
        suite.saved("COMMENT." + std::to_string(i), "n", 1'700'000'000 + i * 10);
    for (int i = 0; i < 5; ++i)
        suite.saved("CMARKET." + std::to_string(i), "m", 1'700'000'000 + i * 10);
    settings.maxCmntInfo = {2, 2, 2, 2};
    settings.delCmntInfo = {true, false, true, true};
    loadSaved();
    EXPECT_EQ(purgeBeyondLimits(*table, settings), 3);
    EXPECT_EQ(table->count(kNotices), 2);
    EXPECT_EQ(table->entry(kNotices, 1).path, suite.dirs.saved + "COMMENT.4");
    EXPECT_EQ(table->entry(kNotices, 2).path, suite.dirs.saved + "COMMENT.3");
    for (int n = 3; n <= 5; ++n) {
        EXPECT_TRUE(table->entry(kNotices, n).path.empty());
        EXPECT_TRUE(table->entry(kNotices, n).listText.empty());
        EXPECT_EQ(table->entry(kNotices, n).time, 0);
    }
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(exists(suite.dirs.saved + "COMMENT." + std::to_string(i)), i >= 3) << i;
    // Deletion off: the market flash keeps all five, whatever its limit.
    EXPECT_EQ(table->count(kMarketFlash), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(exists(suite.dirs.saved + "CMARKET." + std::to_string(i)));
}

TEST_F(RetentionAtSwitchTest, FailedDeletionStillClearsTheEntryAndANegativeLimitDeletesNothing)
{
    for (int i = 0; i < 3; ++i)
        suite.saved("CWEKEND." + std::to_string(i), "w", 1'700'000'000 + i * 10);
    for (int i = 0; i < 3; ++i)
        suite.saved("CKES00" + std::to_string(i) + ".T", "k", 1'700'000'000 + i * 10);
    ::chmod((suite.dirs.saved + "CWEKEND.0").c_str(), 0444);
    settings.maxCmntInfo = {500, 500, 1, -1};
    loadSaved();
    EXPECT_EQ(purgeBeyondLimits(*table, settings), 2);
    EXPECT_EQ(table->count(kWeekend), 1);
    EXPECT_TRUE(exists(suite.dirs.saved + "CWEKEND.0"));  // read-only: DeleteFile fails, ignored
    EXPECT_FALSE(exists(suite.dirs.saved + "CWEKEND.1"));
    EXPECT_EQ(table->count(kEarnings), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(exists(suite.dirs.saved + "CKES00" + std::to_string(i) + ".T"));
}

}  // namespace
