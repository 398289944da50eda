#include "store/Icu.h"
#include "store/Search.h"
#include "store/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using store::SearchQuery;
using testsupport::sjis;

namespace {

bool found(std::string_view query, std::string_view textUtf8)
{
    return store::matchesText(SearchQuery::fromUtf8(query), sjis(textUtf8));
}

TEST(SearchMatch, IgnoresCaseAndWidthBothWays)
{
    EXPECT_TRUE(found("toyota", "ＴＯＹＯＴＡ自動車の決算"));
    EXPECT_TRUE(found("ＴｏＹｏＴａ", "toyota"));
    EXPECT_TRUE(found("カブ", "ｶﾌﾞ式市場"));
    EXPECT_TRUE(found("ｶﾌﾞ", "カブ式市場"));
    EXPECT_TRUE(found("123", "前年比１２３％"));
    EXPECT_TRUE(found("平成", "㍻元年"));
    EXPECT_FALSE(found("カフ", "ｶﾌﾞ"));  // the voiced mark makes another character
    EXPECT_FALSE(found("トヨタ", "トヨ タ"));
}

TEST(SearchMatch, NeverMatchesPartOfADoubleByteCharacter)
{
    // "ア" is 0x83 0x41 and "ソ" 0x83 0x5C: their trail bytes are "A" and "\".
    EXPECT_FALSE(found("a", "ア"));
    EXPECT_FALSE(found("A", "アイウ"));
    EXPECT_FALSE(found("\\", "ソニー"));
    EXPECT_TRUE(found("a", "アa"));
}

TEST(SearchMatch, EveryWordMustOccurWhateverTheBlanks)
{
    EXPECT_TRUE(found("トヨタ 決算", "決算期のトヨタ"));
    EXPECT_TRUE(found("  トヨタ　　決算 ", "決算期のトヨタ"));
    EXPECT_FALSE(found("トヨタ　決算", "トヨタの新車"));
    EXPECT_FALSE(found(" 　", "何でも"));  // nothing to look for finds nothing
    // More words than the quick first look keeps track of: the last ones still count.
    EXPECT_TRUE(found("a b c d e f g h", "hgfedcba"));
    EXPECT_FALSE(found("a b c d e f g h", "gfedcba"));
}

TEST(SearchMatch, OnlyHalfAndFullWidthBlanksAndTabsMakeABlankQuery)
{
    EXPECT_TRUE(store::isBlankQuery(u""));
    EXPECT_TRUE(store::isBlankQuery(u" \u3000\t "));
    EXPECT_FALSE(store::isBlankQuery(u" \u3000a"));
    EXPECT_FALSE(store::isBlankQuery(u"\u00a0"));  // not one of the three: it is searched for
}

TEST(SearchMatch, OccurrencesAreFoundWhereverTheTextIsCutForScanning)
{
    // The text is scanned in pieces of 64 Ki units: one match straddles the first cut, one has
    // its voiced mark just after the second.
    std::u16string text(65536 - 3, u'x');
    text += u"ＴＯＹＯＴＡ";
    text.append(65536 * 2 - text.size() - 1, u'y');
    text += u"ｶﾞ";
    const auto ranges = store::findOccurrences(SearchQuery::fromUtf8("toyota ガ"), text);
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].begin, 65536u - 3);
    EXPECT_EQ(ranges[0].end, 65536u + 3);
    EXPECT_EQ(ranges[1].begin, 65536u * 2 - 1);
    EXPECT_EQ(ranges[1].end, 65536u * 2 + 1);
}

TEST(SearchMatch, OccurrencesCoverWholeCharactersOfTheText)
{
    const std::u16string text = u"ＴＯＹＯＴＡとｶﾌﾞ、toyota";
    const auto ranges = store::findOccurrences(SearchQuery::fromUtf8("toyota カブ"), text);
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0].begin, 0u);
    EXPECT_EQ(ranges[0].end, 6u);
    EXPECT_EQ(ranges[1].begin, 7u);
    EXPECT_EQ(ranges[1].end, 10u);  // ｶ, ﾌ and the voiced mark
    EXPECT_EQ(ranges[2].begin, 11u);
    EXPECT_EQ(ranges[2].end, 17u);
}

class SearchFiles : public ::testing::Test {
protected:
    testsupport::TempSuite suite;
};

TEST_F(SearchFiles, FindsWordsAcrossTheBlocksOfALargeFile)
{
    // The half-width "ｶ" ends the first 256 KiB block, its voiced mark begins the next one; the
    // second word lies near the end.
    std::string bytes(256 * 1024 - 1, 'x');
    bytes += "\xB6\xDE";  // ｶﾞ
    bytes += std::string(300 * 1024, 'y') + sjis("決算");
    const std::string path = suite.saved("CMARKET.big", bytes);
    EXPECT_EQ(store::matchFile(SearchQuery::fromUtf8("xガy 決算"), path), store::FileMatch::Match);
    EXPECT_EQ(store::matchFile(SearchQuery::fromUtf8("xカy"), path), store::FileMatch::NoMatch);
    EXPECT_EQ(store::matchFile(SearchQuery::fromUtf8("x"), suite.dirs.saved + "CMARKET.gone"),
              store::FileMatch::Unreadable);
}

TEST_F(SearchFiles, ASmallFileIsGivenUpWhenTheSearchIsCancelled)
{
    const std::string path = suite.saved("CMARKET.1", std::string(64 * 1024, '\xDE') + sjis("決算"));
    EXPECT_EQ(store::matchFile(SearchQuery::fromUtf8("決算"), path, [] { return true; }), store::FileMatch::Cancelled);
    EXPECT_EQ(store::matchFile(SearchQuery::fromUtf8("決算"), path, [] { return false; }), store::FileMatch::Match);
}

TEST_F(SearchFiles, FolderSearchSkipsAndCountsFilesThatCannotBeRead)
{
    suite.saved("COMMENT.1", sjis("題\r\nトヨタの決算\r\n"), 1'700'000'000);
    suite.saved("CKES012.TXT", sjis("上方修正\r\nﾄﾖﾀ\r\n"), 1'700'000'100);
    suite.saved("CMARKET.1", sjis("日産\r\n"));
    suite.received("CMARKET.2", sjis("トヨタ\r\n"));  // another folder
    // A pipe with a writer but no data: opens, and every read fails.
    const std::string pipe = suite.dirs.saved + "CWEKEND.pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int writer = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);

    std::vector<store::SearchHit> hits;
    const auto outcome = store::searchFolder(suite.dirs, false, SearchQuery::fromUtf8("トヨタ"),
                                             [&](const store::SearchHit& h) { hits.push_back(h); });
    ::close(writer);
    EXPECT_EQ(outcome.searched, 4u);
    EXPECT_EQ(outcome.unreadable, 1u);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].category, store::kNotices);
    EXPECT_EQ(hits[0].path, suite.dirs.saved + "COMMENT.1");
    EXPECT_EQ(hits[1].category, store::kEarnings);
    EXPECT_EQ(shiftjis::toUtf8(hits[1].listText), "上方修正   12件");

    // The count an earnings comment's list line shows comes from its name, not its text.
    hits.clear();
    store::searchFolder(suite.dirs, false, SearchQuery::fromUtf8("１２件 修正"),
                        [&](const store::SearchHit& h) { hits.push_back(h); });
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].category, store::kEarnings);

    int polls = 0;
    const auto stopped = store::searchFolder(
        suite.dirs, false, SearchQuery::fromUtf8("トヨタ"), [](const store::SearchHit&) {},
        [&] { return ++polls > 1; });
    EXPECT_TRUE(stopped.cancelled);
}

}  // namespace
