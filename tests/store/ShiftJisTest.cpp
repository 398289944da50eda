#include "store/ShiftJis.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <iconv.h>

namespace {

// iconv as the conversions used it before they had tables: a character it cannot take becomes
// the replacement, one byte at a time.
std::string throughIconv(const char* to, const char* from, std::string in, const std::string& replacement)
{
    const iconv_t cd = iconv_open(to, from);
    std::string out;
    char* src = in.data();
    std::size_t left = in.size();
    while (left > 0) {
        char buf[64];
        char* dst = buf;
        std::size_t room = sizeof buf;
        const std::size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (r == static_cast<std::size_t>(-1) && (errno == EILSEQ || errno == EINVAL)) {
            out += replacement;
            ++src;
            --left;
        }
    }
    iconv_close(cd);
    return out;
}

using shiftjis::find;
using shiftjis::safeCut;

TEST(ShiftJisTest, LiteralsConvertToCodePage932Bytes)
{
    EXPECT_EQ(shiftjis::fromUtf8("　年月日"), "\x81\x40\x94\x4E\x8C\x8E\x93\xFA");
    EXPECT_EQ(shiftjis::fromUtf8("【無 題】"), "\x81\x79\x96\xB3\x20\x91\xE8\x81\x7A");
    EXPECT_EQ(shiftjis::fromUtf8("ｵｰﾌﾟﾝ"), "\xB5\xB0\xCC\xDF\xDD");  // half-width kana: one byte each
    EXPECT_EQ(shiftjis::toUtf8("\x8C\x8F"), "件");
}

TEST(ShiftJisTest, ConversionsAgreeWithIconvOnEveryCharacter)
{
    // Every one- and two-byte text, also broken ones and a lead byte before ASCII.
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        ASSERT_EQ(shiftjis::toUtf8(one), throughIconv("UTF-8", "CP932", one, "\xEF\xBF\xBD")) << b;
        for (int t = 0; t < 256; ++t) {
            const std::string two{static_cast<char>(b), static_cast<char>(t), 'A'};
            ASSERT_EQ(shiftjis::toUtf8(two), throughIconv("UTF-8", "CP932", two, "\xEF\xBF\xBD")) << b << " " << t;
        }
    }
    // Every character of the basic plane, and UTF-8 that is broken, overlong or a surrogate.
    for (char32_t c = 1; c < 0x10000; ++c) {
        std::string utf8;
        if (c < 0x80) {
            utf8 = std::string(1, static_cast<char>(c));
        } else if (c < 0x800) {
            utf8 = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            utf8 = {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        }
        ASSERT_EQ(shiftjis::fromUtf8(utf8 + "a"), throughIconv("CP932", "UTF-8", utf8 + "a", "?"))
            << static_cast<unsigned>(c);
    }
    for (const std::string broken : {"\xC0\xAF", "\xE3\x81", "\xED\xA0\x80", "\xF0\x9F\x98\x80", "\xFF"})
        EXPECT_EQ(shiftjis::fromUtf8(broken), throughIconv("CP932", "UTF-8", broken, "?"));
}

TEST(ShiftJisTest, LeadBytesAndCharacterSteps)
{
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

TEST(ShiftJisTest, SafeCutNeverSplitsADoubleByteCharacter)
{
    const std::string s = "ab\x94\x4E\x8C\x8E";
    EXPECT_EQ(safeCut(s, 6), s);
    EXPECT_EQ(safeCut(s, 5), "ab\x94\x4E");
    EXPECT_EQ(safeCut(s, 4), "ab\x94\x4E");
    EXPECT_EQ(safeCut(s, 3), "ab");
    EXPECT_EQ(safeCut(s, 0), "");
}

TEST(ShiftJisTest, SearchMatchesOnlyAtCharacterBoundaries)
{
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
