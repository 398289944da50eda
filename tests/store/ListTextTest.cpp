#include "store/ListText.h"
#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace store;
using testsupport::sjis;

namespace {

class ListTextTest : public ::testing::Test {
protected:
    // The list text of a file with `utf8` content (CR LF lines) named `name`, for category k.
    std::string listTextOf(int k, const std::string& name, std::string_view utf8)
    {
        const std::string path = dir / name;
        testsupport::writeFile(path, sjis(utf8));
        std::string text = "previous";
        EXPECT_TRUE(ReadListText(k, path, text, sink));
        return shiftjis::toUtf8(text);
    }
    testsupport::TempDir dir;
    testsupport::RecordingSink sink;
};

TEST(NormalizeLineTest, FullWidthBlanksBecomeTwoBlanksAndOuterBlanksGo)
{
    EXPECT_EQ(NormalizeLine(sjis("　見出し　")), sjis("見出し"));
    EXPECT_EQ(NormalizeLine(sjis("株価　速報")), sjis("株価  速報"));
    EXPECT_EQ(NormalizeLine("   a b   "), "a b");
    EXPECT_EQ(NormalizeLine(sjis("　 　")), "");
    EXPECT_EQ(NormalizeLine(""), "");
    EXPECT_EQ(NormalizeLine("\tx\t"), "\tx\t");  // only half-width blanks are trimmed
}

TEST(NormalizeLineTest, TrailByteFollowedByAtSignIsNoFullWidthBlank)
{
    const std::string line = sjis("堰@");  // 89 81 40
    EXPECT_EQ(NormalizeLine(line), line);
}

TEST(NormalizeLineTest, CutsKeepAtMost255BytesAndNeverSplitACharacter)
{
    // After a full-width blank: the rest is cut to 255 bytes; here the 255th byte would be the
    // lead byte of a double-byte character, so 254 remain.
    const std::string rest = std::string(254, 'a') + sjis("年年");
    const std::string cut = NormalizeLine(sjis("x　") + rest);
    EXPECT_EQ(cut, "x  " + std::string(254, 'a'));
    // A leading blank: the first drop keeps 255 bytes of the rest, later drops only shorten it.
    const std::string lead = NormalizeLine("  " + std::string(300, 'b'));
    EXPECT_EQ(lead, std::string(254, 'b'));
    const std::string leadKanji = NormalizeLine(" " + std::string(254, 'c') + sjis("月"));
    EXPECT_EQ(leadKanji, std::string(254, 'c'));
}

TEST_F(ListTextTest, MarketFlashIsTheFirstNonBlankLine)
{
    EXPECT_EQ(listTextOf(kMarketFlash, "CMARKET.1", "\r\n　　\r\n  日経平均　続伸  \r\n二行目\r\n"), "日経平均  続伸");
}

TEST_F(ListTextTest, NoticeWithDateLinePutsTheDateIntoA22ByteColumn)
{
    // "2024年5月1日" is 12 bytes: padded to 22, then two blanks and the title.
    EXPECT_EQ(listTextOf(kNotices, "COMMENT.1", "お知らせ\r\n2024年5月1日\r\n本文\r\n"),
              "2024年5月1日" + std::string(10, ' ') + "  お知らせ");
    EXPECT_EQ(listTextOf(kWeekend, "CWEKEND.1", "2024年5月4日(土)\r\n週末の相場\r\n"),
              "2024年5月4日(土)" + std::string(6, ' ') + "  週末の相場");
}

TEST_F(ListTextTest, NoticeWithoutDateLineJoinsBothLinesAfterAnEmptyDateColumn)
{
    EXPECT_EQ(listTextOf(kNotices, "COMMENT.2", "第一\r\n第二\r\n"), std::string(24, ' ') + "第一第二");
}

TEST_F(ListTextTest, LongDateLineIsNotCutAndTwoDateLinesKeepTheSecond)
{
    const std::string longDate = "令和6年(2024年)5月1日 水曜日";  // longer than 22 bytes
    EXPECT_EQ(listTextOf(kNotices, "COMMENT.3", "題\r\n" + longDate + "\r\n"), longDate + "  題");
    EXPECT_EQ(listTextOf(kNotices, "COMMENT.4", "1年2月3日\r\n4年5月6日\r\n"),
              "4年5月6日" + std::string(13, ' ') + "  ");
}

TEST_F(ListTextTest, DateSearchIgnoresTrailBytesThatLookLikeDateCharacters)
{
    // "鉛N" holds the bytes of "年" across a character boundary; "煙時" those of "月".
    EXPECT_EQ(listTextOf(kNotices, "COMMENT.5", "鉛N煙時日\r\n題\r\n"), std::string(24, ' ') + "鉛N煙時日題");
}

TEST_F(ListTextTest, NoticeWithOneLineIsThatLineAlone)
{
    EXPECT_EQ(listTextOf(kNotices, "COMMENT.6", "\r\n2024年5月1日\r\n\r\n"), "2024年5月1日");
}

TEST_F(ListTextTest, BlankOrEmptyFilesShowTheUntitledMarkerOrTheCountAlone)
{
    EXPECT_EQ(listTextOf(kNotices, "COMMENT.7", ""), "【無 題】");
    EXPECT_EQ(listTextOf(kMarketFlash, "CMARKET.7", "\r\n　\r\n   \r\n"), "【無 題】");
    EXPECT_EQ(listTextOf(kWeekend, "CWEKEND.7", "\n\n"), "【無 題】");
    EXPECT_EQ(listTextOf(kEarnings, "CKES007.TXT", "\r\n"), "    7件");
}

TEST_F(ListTextTest, EarningsShowTitleAndTheCountFromTheName)
{
    EXPECT_EQ(listTextOf(kEarnings, "CKES123.DAT", "上方修正\r\n二行目\r\n"), "上方修正  123件");
    EXPECT_EQ(listTextOf(kEarnings, "ckes045.dat", "下方修正"), "下方修正   45件");
}

TEST_F(ListTextTest, EarningsNameWithoutADigitCountKeepsTheCountColumnBlank)
{
    EXPECT_EQ(listTextOf(kEarnings, "CKESABC.DAT", "修正"), "修正       ");
    EXPECT_EQ(earningsCount("CKES1A3.X"), -1);
    EXPECT_EQ(earningsCount("CKES000.X"), 0);
}

TEST_F(ListTextTest, LoneCarriageReturnsAndLineFeedsEndLinesAndCtrlZEndsTheText)
{
    EXPECT_EQ(listTextOf(kNotices, "COMMENT.8", "題\r2024年1月2日\n本文"),
              "2024年1月2日" + std::string(10, ' ') + "  題");
    EXPECT_EQ(listTextOf(kNotices, "COMMENT.9",
                         "題\r\n\x1A"
                         "2024年1月2日\r\n"),
              "題");
}

TEST_F(ListTextTest, ALineThatGoesOnPastTheFirstReadIsReadWhole)
{
    const std::string title(700, 'a');
    EXPECT_EQ(listTextOf(kNotices, "COMMENT.10", "\r\n" + title + "\r\n2024年1月2日\r\n"),
              "2024年1月2日" + std::string(10, ' ') + "  " + title);
}

TEST_F(ListTextTest, FileThatCannotBeOpenedIsReportedAndListedUntitled)
{
    std::string text = "text of the previous file";
    EXPECT_FALSE(ReadListText(kMarketFlash, dir / "CMARKET.gone", text, sink));
    EXPECT_EQ(text, untitledMarker());
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "ｵｰﾌﾟﾝｴﾗｰ");
    EXPECT_EQ(sink.messages[0].text, dir / "CMARKET.gone" + "のオープンに失敗しました");
    EXPECT_EQ(sink.messages[0].text2, "読み込みを中止します。");
    EXPECT_EQ(sink.messages[0].kind, kMessageError);

    text = "previous";
    EXPECT_FALSE(ReadListText(kEarnings, dir / "CKES012.gone", text, sink));
    EXPECT_EQ(shiftjis::toUtf8(text), "   12件");
}

TEST_F(ListTextTest, MessageShowsAJapaneseFolderNameReadably)
{
    const std::string path = dir / "株式 ブレボン表/CMARKET.gone";  // file names are UTF-8 here
    std::string text;
    EXPECT_FALSE(ReadListText(kMarketFlash, path, text, sink));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].text, path + "のオープンに失敗しました");
}

TEST_F(ListTextTest, FileThatCannotBeReadIsReportedAndListedUntitled)
{
    testsupport::makeDir(dir / "COMMENT.folder");  // opens, but every read fails
    std::string text = "previous";
    EXPECT_FALSE(ReadListText(kNotices, dir / "COMMENT.folder", text, sink));
    EXPECT_EQ(text, untitledMarker());
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].title, "読み込みｴﾗｰ");
    EXPECT_EQ(sink.messages[0].text, dir / "COMMENT.folder" + "の読み込みに失敗しました");
    EXPECT_EQ(sink.messages[0].kind, kMessageError);
}

TEST_F(ListTextTest, StopsReadingAfterTheSecondNonBlankLine)
{
    // A pipe that holds only the head and stays open: one read too many finds no data and fails.
    const std::string path = dir / "COMMENT.pipe";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int writer = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    const std::string head = sjis("\r\n題\r\n2024年1月2日\r\n");
    ASSERT_EQ(::write(writer, head.data(), head.size()), static_cast<ssize_t>(head.size()));
    std::string text;
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);  // by name, a pipe is no comment
    EXPECT_TRUE(ReadListText(kNotices, path, reader, text, sink));
    ::close(reader);
    ::close(writer);
    EXPECT_EQ(shiftjis::toUtf8(text), "2024年1月2日" + std::string(10, ' ') + "  題");
    EXPECT_TRUE(sink.messages.empty());
}

// A damaged file of one 100 MB line made the list hold (and repaint) the whole line, and the start
// took seconds; only the line's head is kept, cut on a character boundary.
TEST_F(ListTextTest, AnEndlessLineIsListedByItsHeadCutOnACharacter)
{
    const std::string path = dir / "CMARKET.BIG";
    std::string body = "x";
    for (int i = 0; i < 1000; ++i)
        body += sjis("株");  // 2 bytes each: the 1024th byte is a lead byte
    body += std::string(4 << 20, 'y') + "\r\nsecond\r\n";
    testsupport::writeFile(path, body);
    std::string text;
    EXPECT_TRUE(ReadListText(kMarketFlash, path, text, sink));
    EXPECT_EQ(text.size(), kListLineLimit - 1);
    EXPECT_EQ(text, body.substr(0, kListLineLimit - 1));
}

// A file without line ends (here 20 GB of nothing, which costs no disk) is listed from its first
// megabyte instead of being read for minutes; a pipe under a comment's name is a file that cannot
// be opened, not one whose open waits for a writer.
TEST_F(ListTextTest, FilesWithoutEndOrPipesAreNeverWaitedFor)
{
    const std::string sparse = dir / "CMARKET.SPARSE";
    testsupport::writeFile(sparse, "title");
    ASSERT_EQ(::truncate(sparse.c_str(), std::int64_t{20} << 30), 0);
    std::string text;
    EXPECT_TRUE(ReadListText(kMarketFlash, sparse, text, sink));
    EXPECT_EQ(text.substr(0, 5), "title");

    const std::string pipe = dir / "COMMENT.002";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(ReadListText(kNotices, pipe, text, sink));
    EXPECT_EQ(text, untitledMarker());
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].text, pipe + "のオープンに失敗しました");
}

}  // namespace
