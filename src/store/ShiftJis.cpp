#include "store/ShiftJis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <stdexcept>

namespace shiftjis {
namespace {

#include "Cp932Tables.inc"

constexpr std::uint16_t kNone = 0xFFFF;

// One converter per direction and thread, reset before each use: opening one per call cost more
// than converting a list text.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        // (iconv_t)-1 is iconv_open's documented failure value; there is no other way to test for it.
        if (cd_ == reinterpret_cast<iconv_t>(-1))  // NOLINT(performance-no-int-to-ptr)
            throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string convert(std::string_view in, std::string_view replacement)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        std::string out;
        out.reserve(in.size() * 2);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buf[1024];
        while (srcLeft > 0) {
            char* dst = buf;
            std::size_t dstLeft = sizeof buf;
            const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, static_cast<std::size_t>(dst - buf));
            if (r == static_cast<std::size_t>(-1) && (errno == EILSEQ || errno == EINVAL)) {
                out.append(replacement);  // an unmappable or broken character: skip one byte
                ++src;
                --srcLeft;
            }
        }
        return out;
    }

private:
    iconv_t cd_;
};

constexpr bool asciiIsItself()
{
    for (unsigned b = 0; b < 0x80; ++b)
        if (kSingle[b] != b)
            return false;
    return true;
}
// glibc's code page 932 leaves ASCII as it is; the byte copy below relies on that.
constexpr bool kAsciiIsItself = asciiIsItself();

// Text in the tables converts by lookup: a list of 2,000 comments spent more in iconv than in
// reading the files. Anything they leave out (a broken or unmapped character) returns false, and
// the whole text goes through iconv, whose answer the tables were taken from.
// Each character's UTF-8 bytes, first byte lowest, with their count in the top byte; 0 where the
// table has no character. A conversion is then a lookup and a store, not a cascade per byte.
constexpr std::uint32_t packedUtf8(std::uint16_t cp)
{
    if (cp == kNone)
        return 0;
    if (cp < 0x80)
        return cp | 1u << 24;
    if (cp < 0x800)
        return (0xC0u | cp >> 6) | (0x80u | (cp & 0x3Fu)) << 8 | 2u << 24;
    return (0xE0u | cp >> 12) | (0x80u | (cp >> 6 & 0x3Fu)) << 8 | (0x80u | (cp & 0x3Fu)) << 16 | 3u << 24;
}

constexpr std::array<std::uint32_t, 256> singleUtf8()
{
    std::array<std::uint32_t, 256> t{};
    for (std::size_t b = 0; b < t.size(); ++b)
        t[b] = packedUtf8(kSingle[b]);
    return t;
}
constexpr auto kSingleUtf8 = singleUtf8();

using PairRows = std::array<std::array<std::uint32_t, 256>, std::size(kPairs)>;
constexpr PairRows pairsUtf8()
{
    PairRows t{};
    for (std::size_t row = 0; row < t.size(); ++row)
        for (std::size_t b = 0; b < 256; ++b)
            t[row][b] = packedUtf8(kPairs[row][b]);
    return t;
}
constexpr auto kPairsUtf8 = pairsUtf8();

// Converts `in` into `o`, which has room for in.size() * 3 + 3 bytes; returns the end, or null
// where the tables have no character.
char* tableToUtf8Into(std::string_view in, char* o)
{
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned b = p[i];
        if (kAsciiIsItself && b < 0x80) {
            // A run of ASCII (digits, blanks, Latin letters) is copied eight bytes at a time.
            for (std::uint64_t w; n - i >= 8 && (std::memcpy(&w, p + i, 8), (w & 0x8080808080808080) == 0); i += 8, o += 8)
                std::memcpy(o, &w, 8);
            for (; i < n && p[i] < 0x80; ++i)
                *o++ = static_cast<char>(p[i]);
            continue;
        }
        std::uint32_t packed = kSingleUtf8[b];
        if (packed != 0) {
            ++i;
        } else {
            if (i + 1 >= n)
                return nullptr;
            packed = kPairsUtf8[kLeadRow[b]][p[i + 1]];
            if (packed == 0)
                return nullptr;
            i += 2;
        }
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(o, &packed, 4);  // the fourth byte, the count, is overwritten by what follows
        } else {
            o[0] = static_cast<char>(packed);
            o[1] = static_cast<char>(packed >> 8);
            o[2] = static_cast<char>(packed >> 16);
        }
        o += packed >> 24;
    }
    return o;
}

// Appends to `out`; on false `out` is left longer than it was, and the caller cuts it back.
bool tableToUtf8(std::string_view in, std::string& out)
{
    // A list line is converted on the stack: making room in the string first zero-filled three
    // times its length, which cost as much as converting it.
    constexpr std::size_t kShort = 256;
    if (in.size() <= kShort) {
        char buf[kShort * 3 + 3];
        const char* end = tableToUtf8Into(in, buf);
        if (end == nullptr)
            return false;
        out.append(buf, static_cast<std::size_t>(end - buf));
        return true;
    }
    const std::size_t start = out.size();
    out.resize(start + in.size() * 3 + 3);
    const char* end = tableToUtf8Into(in, out.data() + start);
    if (end == nullptr)
        return false;
    out.resize(static_cast<std::size_t>(end - out.data()));
    return true;
}

bool tableFromUtf8(std::string_view in, std::string& out)
{
    out.clear();
    out.reserve(in.size());
    auto cont = [&](std::size_t at) { return at < in.size() && (static_cast<unsigned char>(in[at]) & 0xC0) == 0x80; };
    for (std::size_t i = 0; i < in.size();) {
        const auto b = static_cast<unsigned char>(in[i]);
        std::uint32_t cp = 0;
        if (b < 0x80) {
            cp = b;
            i += 1;
        } else if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
            cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(in[i + 1]) & 0x3Fu);
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
            cp = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(in[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(in[i + 2]) & 0x3Fu);
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;  // overlong or a surrogate
            i += 3;
        } else {
            return false;
        }
        const auto* end = std::end(kFromUnicode);
        const auto* at = std::lower_bound(std::begin(kFromUnicode), end, cp,
                                          [](const std::uint16_t(&e)[2], std::uint32_t c) { return e[0] < c; });
        if (at == end || (*at)[0] != cp)
            return false;
        const std::uint16_t bytes = (*at)[1];
        if (bytes > 0xFF)
            out += static_cast<char>(bytes >> 8);
        out += static_cast<char>(bytes & 0xFF);
    }
    return true;
}

}  // namespace

std::string_view safeCut(std::string_view s, std::size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return s;
    std::size_t at = 0;
    for (std::size_t next; (next = nextChar(s, at)) <= maxBytes;)
        at = next;
    return s.substr(0, at);
}

std::size_t find(std::string_view s, std::string_view needle, std::size_t from)
{
    if (needle.empty())
        return from <= s.size() ? from : std::string_view::npos;
    // A match on a character boundary is a match of the bytes: most lines have neither.
    if (s.find(needle, from) == std::string_view::npos)
        return std::string_view::npos;
    for (std::size_t at = from; at + needle.size() <= s.size(); at = nextChar(s, at))
        if (s[at] == needle[0] && s.compare(at, needle.size(), needle) == 0)
            return at;
    return std::string_view::npos;
}

std::string fromUtf8(std::string_view utf8)
{
    std::string out;
    if (tableFromUtf8(utf8, out))
        return out;
    thread_local Converter converter("CP932", "UTF-8");
    return converter.convert(utf8, "?");
}
std::string toUtf8(std::string_view cp932)
{
    std::string out;
    appendUtf8(out, cp932);
    return out;
}

std::string toUtf8ThroughIconv(std::string_view cp932)
{
    thread_local Converter converter("UTF-8", "CP932");
    return converter.convert(cp932, "\xEF\xBF\xBD");
}

void appendUtf8(std::string& out, std::string_view cp932)
{
    const std::size_t start = out.size();
    if (tableToUtf8(cp932, out))
        return;
    out.resize(start);
    out += toUtf8ThroughIconv(cp932);
}

}  // namespace shiftjis
