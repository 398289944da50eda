#pragma once
// Code page 932 (Shift-JIS) byte strings: character boundaries, safe cuts, boundary-aware
// search, and conversion of the UTF-8 literals in the source.

#include <cstddef>
#include <string>
#include <string_view>

namespace shiftjis {

// First byte of a double-byte character: 0x81..0x9F or 0xE0..0xFC.
constexpr bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Index just past the character that starts at `at`. A lead byte at the end stands alone.
inline std::size_t nextChar(std::string_view s, std::size_t at)
{
    if (at >= s.size())
        return s.size();
    return (isLeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size()) ? at + 2 : at + 1;
}

// The longest prefix of at most `maxBytes` bytes that does not split a double-byte character.
std::string_view safeCut(std::string_view s, std::size_t maxBytes);

// Position of `needle` starting at a character boundary of `s`, at or after `from`
// (which must itself be a boundary), or npos. A trail byte is never taken for a lead.
std::size_t find(std::string_view s, std::string_view needle, std::size_t from = 0);
inline bool contains(std::string_view s, std::string_view needle) { return find(s, needle) != std::string_view::npos; }

// UTF-8 <-> code page 932. Characters without a counterpart become "?" (or U+FFFD).
std::string fromUtf8(std::string_view utf8);
std::string toUtf8(std::string_view cp932);
// toUtf8 appended to `out`, for callers that assemble many texts into one.
void appendUtf8(std::string& out, std::string_view cp932);
// toUtf8 by iconv alone, without the tables that stand in for it: the twin they are held to.
std::string toUtf8ThroughIconv(std::string_view cp932);

}  // namespace shiftjis
