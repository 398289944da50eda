#pragma once
// Decoding and case folding of code page 932 text through tables built once from ICU: decoding
// "windows-31j" and NFKC_Casefold for every 16-bit unit costs a few milliseconds once and makes
// the scan of 2,000 comments a matter of table lookups instead of library calls per character.
// Used by the search (store/Search); nothing here keeps state but the tables.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace store::fold {

inline constexpr char16_t kReplacement = u'\uFFFD';

// Appends the NFKC case folding of `in` to `out` (ICU).
void normalizeInto(std::u16string_view in, std::u16string& out);

// Appends the UTF-16 of code page 932 bytes to `out`. A lead byte at the end of `bytes` is left
// over (returns 1) unless `last`.
std::size_t decodeInto(std::string_view bytes, bool last, std::u16string& out);

class Tables {
public:
    static const Tables& get();

    // Per 16-bit unit: whether text may be cut before it without changing its folding (ICU's
    // "boundary before"), and where its own folding lies in the pool (length 0: unknown, fold
    // it through ICU).
    static constexpr std::uint32_t kBoundary = 0x80000000u;
    static std::uint32_t offsetOf(std::uint32_t e) { return e & 0xFFFFFFu; }
    static std::uint32_t lengthOf(std::uint32_t e) { return (e >> 24) & 0x3Fu; }
    std::vector<std::uint32_t> fold = std::vector<std::uint32_t>(0x10000, 0);
    // The half-width voiced and semi-voiced marks (U+FF9E, U+FF9F) are the only characters of
    // code page 932 that join the one before them. How a character meets a mark after it, found
    // from ICU for every character of code page 932 (kUnknown for the rest: fold it with its marks
    // through ICU). Whatever follows a mark that does not join it, a run of marks folds mark by
    // mark, which keeps a run of a million marks linear:
    //   kApart     the character folds as alone, then each mark;
    //   kComposes  the character and its first mark fold together (composedEntry), then each mark;
    //   kWraps     the marks go inside its folding: head (wrapEntry, without the trailing
    //              combining marks), then the marks, then the rest of its own folding.
    enum MarkJoin : std::uint8_t { kUnknown = 0, kApart = 1, kComposes = 2, kWraps = 3 };
    static bool isMark(char16_t c) { return c == 0xFF9E || c == 0xFF9F; }
    std::vector<std::uint8_t> markJoin = std::vector<std::uint8_t>(0x10000, kUnknown);
    // The folding of a kComposes character with a mark; of a kWraps character without its tail
    // (the tail: the rest of foldOf).
    std::uint32_t composedEntry(char16_t c, char16_t mark) const;
    std::uint32_t wrapEntry(char16_t c) const;
    std::u16string pool;

    std::array<char16_t, 256> single{};         // a byte that is not a lead byte
    std::vector<char16_t> pair;                 // (lead index * 256 + trail); 0: not a pair
    std::array<std::int16_t, 256> leadIndex{};  // -1: not a lead byte
    // For scanning files, per byte and per pair of bytes: kBoundary as above; kDirect with the
    // folded unit in the low 16 bits when the character folds to one unit, else the decoded unit
    // there. In singleFold kLead marks a lead byte with its lead index in the low bits; in pairFold
    // kPair marks two bytes that make one character. kMark: a half-width mark; markJoin of the
    // character at kJoinShift.
    static constexpr std::uint32_t kDirect = 0x20000000u;
    static constexpr std::uint32_t kMark = 0x10000000u;
    static constexpr int kJoinShift = 26;
    static std::uint8_t joinOf(std::uint32_t byteEntry) { return (byteEntry >> kJoinShift) & 3u; }
    static constexpr std::uint32_t kLead = 0x40000000u;
    static constexpr std::uint32_t kPair = 0x40000000u;
    std::array<std::uint32_t, 256> singleFold{};
    std::vector<std::uint32_t> pairFold;
    std::uint32_t replacementFold = 0;

    // The folding of one unit, from the pool or from ICU.
    std::u16string foldOf(char16_t c) const;

private:
    Tables();
    std::uint32_t entry(const std::u16string& folded);
    void buildDecoder();
    void classifyMarkJoins();
    std::vector<std::uint32_t> withMarks_ = std::vector<std::uint32_t>(0x20000, 0);  // at c << 1 | mark
};

}  // namespace store::fold
