#include "EntryForms.h"

#include "platform/FileTime.h"
#include "store/Categories.h"
#include "store/ShiftJis.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace commentlist {
namespace {

unsigned byteAt(std::string_view s, std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0; }

// Length of the valid UTF-8 sequence at s[i], 0 when there is none: no overlong forms, no
// surrogates, nothing beyond U+10FFFF, so that what passes is text to any JSON reader.
std::size_t utf8Length(std::string_view s, std::size_t i)
{
    const unsigned b = byteAt(s, i);
    const auto follows = [&](std::size_t k, unsigned lo = 0x80, unsigned hi = 0xBF) {
        const unsigned c = byteAt(s, i + k);
        return c >= lo && c <= hi;
    };
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        return follows(1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF)
        return follows(1, b == 0xE0 ? 0xA0 : 0x80, b == 0xED ? 0x9F : 0xBF) && follows(2) ? 3 : 0;
    if (b >= 0xF0 && b <= 0xF4)
        return follows(1, b == 0xF0 ? 0x90 : 0x80, b == 0xF4 ? 0x8F : 0xBF) && follows(2) && follows(3) ? 4 : 0;
    return 0;
}

// Valid UTF-8 stays; a stray byte becomes U+FFFD.
void appendCleanUtf8(std::string& out, std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8Length(s, i);
        if (n > 0) {
            out.append(s.substr(i, n));
            i += n;
        } else {
            out.append("\xEF\xBF\xBD");
            ++i;
        }
    }
}

constexpr char kHex[] = "0123456789abcdef";

void appendEscapedByte(std::string& out, unsigned char b)
{
    switch (b) {
    case '\\': out += "\\\\"; break;
    case '\t': out += "\\t"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    default:
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
}

// How many bytes at s[i] form one unit of the Lines form, and whether they are written as they are.
std::size_t unitAt(std::string_view s, std::size_t i, bool& plain)
{
    const unsigned b = byteAt(s, i);
    if (b < 0x80) {
        plain = b >= 0x20 && b != 0x7F && b != '\\';
        return 1;
    }
    const std::size_t n = utf8Length(s, i);
    plain = n > 0 && !(b == 0xC2 && byteAt(s, i + 1) < 0xA0);  // C1 controls drive terminals too
    return n > 0 ? n : 1;
}

constexpr auto kPlainAscii = [] {
    std::array<bool, 0x80> plain{};
    for (unsigned b = 0x20; b < 0x7F; ++b)
        plain[b] = b != '\\';
    return plain;
}();

constexpr std::uint64_t kOnes = 0x0101010101010101, kHighBits = 0x8080808080808080;

// The high bit of each byte of `w` that is below 0x20, 0x5C or 0x7F: the ASCII bytes the escaping
// changes. A borrow may also mark a byte after a marked one, never a word without any.
std::uint64_t asciiEscapeMarks(std::uint64_t w)
{
    const auto below = [](std::uint64_t v, unsigned n) { return (v - kOnes * n) & ~v & kHighBits; };
    return below(w, 0x20) | below(w ^ (kOnes * 0x5C), 1) | below(w ^ (kOnes * 0x7F), 1);
}

std::uint64_t wordAt(const unsigned char* p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// From s[i] past every unit the quick test knows to be plain: printable ASCII (eight bytes at a
// time), and the three-byte characters led by E1..EC and EE..EF, whose second byte may be any
// continuation byte (all of Japanese text but a few symbols). Where it stops, unitAt decides.
std::size_t skipCommonPlain(std::string_view s, std::size_t i)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    while (i < n) {
        if (n - i >= 8) {
            const std::uint64_t w = wordAt(p + i);
            if (((w & kHighBits) | asciiEscapeMarks(w)) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned b = p[i];
        if (b < 0x80) {
            if (!kPlainAscii[b])
                break;
            ++i;
        } else if (b >= 0xE1 && b <= 0xEF && b != 0xED && i + 2 < n && (p[i + 1] & 0xC0) == 0x80 &&
                   (p[i + 2] & 0xC0) == 0x80) {
            i += 3;
        } else {
            break;
        }
    }
    return i;
}

void appendEscapedUnit(std::string& out, std::string_view field, std::size_t i, std::size_t n)
{
    for (std::size_t b = i; b < i + n; ++b)
        appendEscapedByte(out, static_cast<unsigned char>(field[b]));
}

void appendJsonString(std::string& out, std::string_view utf8)
{
    out += '"';
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += kHex[static_cast<unsigned char>(c) >> 4];
                out += kHex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void appendBase64(std::string& out, std::string_view bytes)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t v = byteAt(bytes, i) << 16 | byteAt(bytes, i + 1) << 8 | byteAt(bytes, i + 2);
        const std::size_t left = bytes.size() - i;
        out += kDigits[v >> 18 & 63];
        out += kDigits[v >> 12 & 63];
        out += left > 1 ? kDigits[v >> 6 & 63] : '=';
        out += left > 2 ? kDigits[v & 63] : '=';
    }
}

void appendIsoTime(std::string& out, const platform::LocalDateTime& t)
{
    if (t.year < 0 || t.year > 9999) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second, t.millisecond);
        out += buf;
        return;
    }
    // The same by hand: printf was a tenth of the tool's own time.
    static constexpr auto kTwoDigits = [] {
        std::array<char, 200> d{};
        for (int i = 0; i < 100; ++i) {
            d[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
            d[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
        }
        return d;
    }();
    char s[] = "0000-00-00T00:00:00.000";
    auto two = [&s](std::size_t at, int v) { std::memcpy(s + at, &kTwoDigits[static_cast<std::size_t>(2 * v)], 2); };
    two(0, t.year / 100);
    two(2, t.year % 100);
    two(5, t.month);
    two(8, t.day);
    two(11, t.hour);
    two(14, t.minute);
    two(17, t.second);
    s[20] = static_cast<char>('0' + t.millisecond / 100);
    two(21, t.millisecond % 100);
    out.append(s, sizeof s - 1);
}

// The zone's offset from UTC at that local time, as "+09:00": a reader elsewhere gets the instant.
void appendLocalOffset(std::string& out, const platform::LocalDateTime& t)
{
    std::tm local{};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;
    std::tm asUtc = local;
    const long long minutes = (static_cast<long long>(::timegm(&asUtc)) - std::mktime(&local)) / 60;
    const long long a = minutes < 0 ? -minutes : minutes;
    char s[48];
    std::snprintf(s, sizeof s, "%c%02lld:%02lld", minutes < 0 ? '-' : '+', a / 60, a % 60);
    out += s;
}

void appendLine(std::string& out, int k, const store::TCmntInfo& e)
{
    // Straight into the output: a string per field per entry cost more than the fields.
    out.append(store::categoryInfo(k).labelUtf8) += '\t';
    appendIsoTime(out, platform::decodeDateTime(e.time));
    out += '\t';
    const std::size_t from = out.size();
    shiftjis::appendUtf8(out, e.listText);
    if (convertedNeedsEscaping(std::string_view(out).substr(from))) {
        const std::string text = out.substr(from);
        out.resize(from);
        appendEscaped(out, text);
    }
    out += '\t';
    appendEscaped(out, e.path);
}

void appendJson(std::string& out, int k, const store::TCmntInfo& e)
{
    out += "{\"category\":";
    out += std::to_string(k);
    out += ",\"label\":";
    appendJsonString(out, store::categoryInfo(k).labelUtf8);
    out += ",\"time\":\"";
    const auto t = platform::decodeDateTime(e.time);
    appendIsoTime(out, t);
    appendLocalOffset(out, t);
    out += "\",\"text\":";
    appendJsonString(out, shiftjis::toUtf8(e.listText));
    out += ',';
    appendJsonName(out, "path", e.path);
    out += '}';
}

}  // namespace

bool isUtf8(std::string_view s)
{
    for (std::size_t i = 0, n = 0; i < s.size(); i += n)
        if (n = utf8Length(s, i); n == 0)
            return false;
    return true;
}

bool convertedNeedsEscaping(std::string_view utf8)
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t i = 0;
    for (; utf8.size() - i >= 8; i += 8)
        if (asciiEscapeMarks(wordAt(p + i)) != 0)
            return true;
    for (; i < utf8.size(); ++i)
        if (p[i] < 0x80 && !kPlainAscii[p[i]])
            return true;
    return false;
}

std::size_t firstToEscape(std::string_view field)
{
    bool plain = true;
    for (std::size_t i = 0, n = 0; i < field.size(); i += n)
        if (n = unitAt(field, i, plain); !plain)
            return i;
    return std::string_view::npos;
}

void appendEscaped(std::string& out, std::string_view field)
{
    std::size_t copied = 0;
    bool plain = true;
    for (std::size_t i = skipCommonPlain(field, 0), n = 0; i < field.size(); i = skipCommonPlain(field, i + n)) {
        n = unitAt(field, i, plain);
        if (plain)
            continue;
        out.append(field.substr(copied, i - copied));
        appendEscapedUnit(out, field, i, n);
        copied = i + n;
    }
    out.append(field.substr(copied));
}

void appendEscapedPlain(std::string& out, std::string_view field)
{
    bool plain = true;
    for (std::size_t i = 0, n = 0; i < field.size(); i += n) {
        n = unitAt(field, i, plain);
        if (plain)
            out.append(field.substr(i, n));
        else
            appendEscapedUnit(out, field, i, n);
    }
}

void appendJsonName(std::string& out, std::string_view name, std::string_view bytes)
{
    appendJsonString(out, name);
    out += ':';
    if (isUtf8(bytes)) {
        appendJsonString(out, bytes);
        return;
    }
    std::string clean;
    appendCleanUtf8(clean, bytes);
    appendJsonString(out, clean);
    out += ",\"";
    out += name;
    out += "_bytes\":\"";
    appendBase64(out, bytes);
    out += '"';
}

void appendEntry(std::string& out, Form form, int k, const store::TCmntInfo& entry)
{
    switch (form) {
    case Form::Lines: appendLine(out, k, entry); break;
    case Form::Json: appendJson(out, k, entry); break;
    case Form::NullPaths: out += entry.path; break;
    }
}

char entryEnd(Form form) { return form == Form::NullPaths ? '\0' : '\n'; }

std::string entryLine(int k, const store::TCmntInfo& entry, Form form)
{
    std::string line;
    appendEntry(line, form, k, entry);
    line += entryEnd(form);
    return line;
}

}  // namespace commentlist
