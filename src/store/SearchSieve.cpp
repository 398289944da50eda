#include "store/Search.h"

#include "store/FoldTables.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

// The first look at a comment's bytes: which query words may occur in it, without folding it.

namespace store {

using fold::decodeInto;
using fold::kReplacement;
using fold::normalizeInto;
using fold::Tables;

// Per code page 932 character code (a byte, or lead << 8 | trail): bit w when its folding holds
// the key unit of word w (the unit of the word that fewest characters fold to), kJoins when it
// joins the character before it, kMark for a half-width mark, the character's Tables::MarkJoin at
// kJoinShift, kLoneLead when the pair is not one character and only the lead byte is consumed.
struct SearchQuery::Sieve {
    static constexpr std::uint16_t kJoins = 0x80, kLoneLead = 0x40, kMark = 0x100;
    static constexpr int kJoinShift = 9;
    static constexpr std::size_t kMaxWords = 6;  // more words are left to the full scan
    std::vector<std::uint16_t> codes = std::vector<std::uint16_t>(0x10000, 0);
    std::vector<char16_t> keys;
    std::uint8_t all = 0;
    std::uint16_t replacement = 0;
    // Per byte: bit w when the byte may be part of text that holds word w's key unit. One byte of
    // each such character (the trail byte of a pair), the mark of each composition that makes one,
    // and one byte of each character that can make seenIn fold a segment whole through ICU (which
    // may give any unit) are marked. Text lacking every marked byte of a word cannot hold the
    // word: a pass of one lookup a byte rules out most comments before the scan by characters.
    std::array<std::uint8_t, 256> bytes{};
    std::vector<std::pair<std::uint32_t, std::uint8_t>> composed;  // (code << 1 | mark, mask), sorted

    std::uint8_t maskOf(std::u16string_view folded) const
    {
        std::uint8_t m = 0;
        for (std::size_t k = 0; k < keys.size(); ++k)
            if (folded.find(keys[k]) != std::u16string_view::npos)
                m |= static_cast<std::uint8_t>(1u << k);
        return m;
    }

    explicit Sieve(const std::vector<std::u16string>& words)
    {
        const Tables& t = Tables::get();
        auto eachFolding = [&](auto visit) {
            for (std::size_t b = 0; b < 256; ++b)
                if (t.leadIndex[b] < 0)
                    visit(static_cast<std::uint16_t>(b), t.single[b]);
            for (std::size_t lead = 0; lead < 256; ++lead) {
                if (t.leadIndex[lead] < 0)
                    continue;
                for (std::size_t trail = 0; trail < 256; ++trail) {
                    const char16_t c = t.pair[static_cast<std::size_t>(t.leadIndex[lead]) * 256 + trail];
                    if (c)
                        visit(static_cast<std::uint16_t>(lead << 8 | trail), c);
                }
            }
        };
        std::u16string scratch;
        auto foldingOf = [&](char16_t c) -> std::u16string_view {
            const std::uint32_t f = t.fold[c];
            if (Tables::lengthOf(f) > 0)
                return std::u16string_view(t.pool).substr(Tables::offsetOf(f), Tables::lengthOf(f));
            scratch = t.foldOf(c);
            return scratch;
        };
        // The same for every query: counted once.
        static const std::vector<std::uint32_t> sources = [&] {
            std::vector<std::uint32_t> counts(0x10000, 0);  // how many characters fold to hold a unit
            eachFolding([&](std::uint16_t, char16_t c) {
                for (const char16_t u : foldingOf(c))
                    ++counts[u];
            });
            return counts;
        }();
        for (std::size_t w = 0; w < words.size() && w < kMaxWords; ++w) {
            char16_t key = words[w][0];
            for (const char16_t u : words[w])
                if (sources[u] < sources[key])
                    key = u;
            keys.push_back(key);
            all |= static_cast<std::uint8_t>(1u << w);
        }
        auto flags = [&](char16_t c) {
            return static_cast<std::uint16_t>(maskOf(foldingOf(c)) | ((t.fold[c] & Tables::kBoundary) ? 0 : kJoins) |
                                              (Tables::isMark(c) ? kMark : 0) | t.markJoin[c] << kJoinShift);
        };
        replacement = flags(kReplacement);
        for (std::size_t lead = 0; lead < 256; ++lead)
            if (t.leadIndex[lead] >= 0)
                for (std::size_t trail = 0; trail < 256; ++trail)
                    codes[lead << 8 | trail] = kLoneLead | replacement;
        eachFolding([&](std::uint16_t code, char16_t c) {
            codes[code] = flags(c);
            if (t.markJoin[c] != Tables::kComposes)
                return;
            for (std::uint32_t k = 0; k < 2; ++k) {
                const std::uint32_t e = t.composedEntry(c, static_cast<char16_t>(0xFF9E + k));
                composed.emplace_back(std::uint32_t{code} << 1 | k, maskOf(std::u16string_view(t.pool).substr(
                                                                        Tables::offsetOf(e), Tables::lengthOf(e))));
            }
        });
        std::sort(composed.begin(), composed.end());
        for (std::uint32_t code = 0; code < codes.size(); ++code) {
            const std::uint16_t v = codes[code];
            if (code < 0x100 ? t.leadIndex[code] >= 0 : t.leadIndex[code >> 8] < 0)
                continue;  // a lead byte is read as part of a pair; no pair begins with another byte
            // A lead byte without its trail is consumed alone; otherwise the last byte is there.
            const std::size_t byte = (v & kLoneLead) ? code >> 8 : code & 0xFFu;
            bytes[byte] |= static_cast<std::uint8_t>(v) & all;
            // Where the scan folds a segment whole through ICU: a character that joins the one
            // before it, other than a mark; a mark after a character the tables cannot say how it
            // meets one (for a lead byte consumed alone, only when a mark follows it).
            const bool unknownJoin = (v >> kJoinShift & 3u) == Tables::kUnknown;
            const std::size_t trail = code & 0xFFu;
            if (((v & kJoins) && !(v & kMark)) || (unknownJoin && (!(v & kLoneLead) || trail == 0xDE || trail == 0xDF)))
                bytes[byte] |= all;
        }
        for (std::size_t lead = 0; lead < 256; ++lead)
            if (t.leadIndex[lead] >= 0)
                bytes[lead] |= static_cast<std::uint8_t>(replacement);  // a lead byte that ends the text
        for (const auto& [key, mask] : composed)
            bytes[(key & 1u) ? 0xDF : 0xDE] |= mask;
        for (std::size_t b = 0; b < bytes.size(); ++b)
            if (bytes[b] != 0)
                marked.emplace_back(static_cast<unsigned char>(b), bytes[b]);
        if (marked.size() > kFewMarked)
            marked.clear();
    }

    // The marked bytes with their bits, when they are few (a query's words mostly mark a handful):
    // each is then looked for by the C library's memchr, many bytes a cycle, and a word is known to
    // be there at its first byte found. Empty when there are many.
    static constexpr std::size_t kFewMarked = 16;
    std::vector<std::pair<unsigned char, std::uint8_t>> marked;

    // bytesIn by the few marked bytes where there are few; the same bits.
    std::uint8_t markedIn(std::string_view text) const
    {
        if (marked.empty() || text.empty())
            return bytesIn(text);
        std::uint8_t m = 0;
        for (const auto& [byte, bits] : marked)
            if ((m | bits) != m && std::memchr(text.data(), byte, text.size()) != nullptr)
                m |= bits;
        return m;
    }

    // Bit w when some byte of `text` is marked for word w.
    std::uint8_t bytesIn(std::string_view text) const
    {
        const auto* b = reinterpret_cast<const unsigned char*>(text.data());
        std::uint8_t m0 = 0, m1 = 0, m2 = 0, m3 = 0;
        std::size_t i = 0;
        for (; i + 4 <= text.size(); i += 4) {
            m0 |= bytes[b[i]];
            m1 |= bytes[b[i + 1]];
            m2 |= bytes[b[i + 2]];
            m3 |= bytes[b[i + 3]];
        }
        for (; i < text.size(); ++i)
            m0 |= bytes[b[i]];
        return static_cast<std::uint8_t>(m0 | m1 | m2 | m3);
    }

    std::uint8_t composedMask(std::uint32_t code, std::uint8_t markByte) const
    {
        const std::uint32_t key = code << 1 | (markByte == 0xDF ? 1u : 0u);
        const auto it = std::lower_bound(composed.begin(), composed.end(), std::make_pair(key, std::uint8_t{0}));
        return it != composed.end() && it->first == key ? it->second : 0;
    }

    std::uint8_t foldedMask(std::string_view bytes) const
    {
        thread_local std::u16string decoded, folded;
        decoded.clear();
        folded.clear();
        decodeInto(bytes, true, decoded);
        normalizeInto(decoded, folded);
        return maskOf(folded);
    }

    // Bit w when the key unit of word w occurs in the folding of `bytes`. Segments are cut as the
    // scanner cuts them; a segment that ICU must fold is folded once, when it ends.
    std::uint8_t seenIn(std::string_view bytes) const
    {
        const Tables& t = Tables::get();
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t n = bytes.size();
        std::uint8_t seen = 0;
        std::size_t segment = 0, chars = 0;  // where the segment begins, its characters
        std::uint32_t headCode = 0;
        std::uint16_t head = 0;  // flags of its first character
        bool secondIsMark = false, whole = false;
        for (std::size_t i = 0; i < n;) {
            std::uint16_t v;
            std::uint32_t code = b[i];
            std::size_t length = 1;
            if (t.leadIndex[b[i]] < 0) {
                v = codes[b[i]];
            } else if (i + 1 < n) {
                code = static_cast<std::uint32_t>(b[i]) << 8 | b[i + 1];
                v = codes[code];
                length = (v & kLoneLead) ? 1 : 2;
            } else {
                v = replacement;
            }
            const unsigned join = head >> kJoinShift & 3u;
            bool starts = chars == 0 || !(v & kJoins);
            if (!starts && (v & kMark))
                starts = chars == 1 ? join == Tables::kApart || join == Tables::kWraps
                                    : chars == 2 && join == Tables::kComposes && secondIsMark;
            if (starts) {
                if (whole)
                    seen |= foldedMask(bytes.substr(segment, i - segment));
                segment = i;
                chars = 0;
                whole = false;
                head = v;
                headCode = code;
            } else if (chars == 1 && (v & kMark) && join == Tables::kComposes) {
                seen |= composedMask(headCode, b[i]);  // ｶ with ﾞ is ガ
            } else {
                whole = true;
            }
            if (chars == 1)
                secondIsMark = (v & kMark) != 0;
            ++chars;
            seen |= static_cast<std::uint8_t>(v);
            i += length;
        }
        if (whole)
            seen |= foldedMask(bytes.substr(segment));
        return seen;
    }
};

std::shared_ptr<const SearchQuery::Sieve> SearchQuery::makeSieve(const std::vector<std::u16string>& words)
{
    return std::make_shared<const Sieve>(words);
}

bool SearchQuery::mayOccurIn(std::string_view cp932, std::string_view extra) const
{
    if (!sieve_)
        return true;
    const std::uint8_t marked = sieve_->markedIn(cp932) | sieve_->markedIn(extra);
    if ((marked & sieve_->all) != sieve_->all)
        return false;
    const std::uint8_t seen = sieve_->seenIn(cp932) | (extra.empty() ? 0 : sieve_->seenIn(extra));
    return (seen & sieve_->all) == sieve_->all;
}

std::pair<std::uint8_t, std::uint8_t> SearchQuery::firstLookBytes(std::string_view cp932) const
{
    if (!sieve_)
        return {0, 0};
    return {sieve_->markedIn(cp932), sieve_->bytesIn(cp932)};
}

}  // namespace store
