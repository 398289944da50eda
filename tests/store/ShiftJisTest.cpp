#include "store/ShiftJis.h"

#include <gtest/gtest.h>

namespace {

using shiftjis::find;
using shiftjis::safeCut;

TEST(ShiftJisTest, LiteralsConvertToCodePage932Bytes) {
    EXPECT_EQ(shiftjis::fromUtf8("　年月日"), "\x81\x40\x94\x4E\x8C\x8E\x93\xFA");
    EXPECT_EQ(shiftjis::fromUtf8("【無 題】"), "\x81\x79\x96\xB3\x20\x91\xE8\x81\x7A");
    EXPECT_EQ(shiftjis::fromUtf8("ｵｰﾌﾟﾝ"), "\xB5\xB0\xCC\xDF\xDD");  // half-width kana: one byte each
    EXPECT_EQ(shiftjis::toUtf8("\x8C\x8F"), "件");
}

TEST(ShiftJisTest, LeadBytesAndCharacterSteps) {
    EXPECT_TRUE(shiftjis::isLeadByte(0x81));
    EXPECT_TRUE(shiftjis::isLeadByte(0x9F));
    EXPECT_TRUE(shiftjis::isLeadByte(0xE0));
    EXPECT_TRUE(shiftjis::isLeadByte(0xFC));
    EXPECT_FALSE(shiftjis::isLeadByte(0xA0));
    EXPECT_FALSE(shiftjis::isLeadByte(0xB5));  // half-width katakana
    EXPECT_FALSE(shiftjis::isLeadByte(0x40));
    const std::string s = "a\x94\x4E\xB5";
    EXPECT_EQ(shiftjis::nextChar(s, 0), 1u);
    EXPECT_EQ(shiftjis::nextChar(s, 1), 3u);
    EXPECT_EQ(shiftjis::nextChar(s, 3), 4u);
    EXPECT_EQ(shiftjis::nextChar("\x94", 0), 1u);  // a lead byte at the end stands alone
}

TEST(ShiftJisTest, SafeCutNeverSplitsADoubleByteCharacter) {
    const std::string s = "ab\x94\x4E\x8C\x8E";
    EXPECT_EQ(safeCut(s, 6), s);
    EXPECT_EQ(safeCut(s, 5), "ab\x94\x4E");
    EXPECT_EQ(safeCut(s, 4), "ab\x94\x4E");
    EXPECT_EQ(safeCut(s, 3), "ab");
    EXPECT_EQ(safeCut(s, 0), "");
}

TEST(ShiftJisTest, SearchMatchesOnlyAtCharacterBoundaries) {
    // "堰@" is 89 81 40: the naive byte search finds a full-width blank (81 40) at 1.
    const std::string blankInside = shiftjis::fromUtf8("堰@");
    ASSERT_EQ(blankInside, "\x89\x81\x40");
    EXPECT_EQ(find(blankInside, "\x81\x40"), std::string::npos);
    // "鉛N" is 89 94 4E: a false "年".
    EXPECT_EQ(find(shiftjis::fromUtf8("鉛N"), "\x94\x4E"), std::string::npos);
    EXPECT_EQ(find(shiftjis::fromUtf8("鉛年"), "\x94\x4E"), 2u);
    EXPECT_EQ(find(shiftjis::fromUtf8("ｱ年"), "\x94\x4E"), 1u);  // after a single-byte kana
    EXPECT_EQ(find("abc", "c"), 2u);
}

}  // namespace
