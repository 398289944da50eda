#include "store/ShiftJis.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace shiftjis {
namespace {

std::string convert(std::string_view in, const char* to, const char* from, std::string_view replacement) {
    iconv_t cd = iconv_open(to, from);
    // (iconv_t)-1 is iconv_open's documented failure value; there is no other way to test for it.
    if (cd == reinterpret_cast<iconv_t>(-1))  // NOLINT(performance-no-int-to-ptr)
        throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to);
    std::string out;
    out.reserve(in.size() * 2);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (r == static_cast<std::size_t>(-1) && (errno == EILSEQ || errno == EINVAL)) {
            out.append(replacement);  // an unmappable or broken character: skip one byte
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::size_t nextChar(std::string_view s, std::size_t at) {
    if (at >= s.size()) return s.size();
    return (isLeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size()) ? at + 2 : at + 1;
}

std::string_view safeCut(std::string_view s, std::size_t maxBytes) {
    if (s.size() <= maxBytes) return s;
    std::size_t at = 0;
    for (std::size_t next; (next = nextChar(s, at)) <= maxBytes;) at = next;
    return s.substr(0, at);
}

std::size_t find(std::string_view s, std::string_view needle, std::size_t from) {
    if (needle.empty()) return from <= s.size() ? from : std::string_view::npos;
    for (std::size_t at = from; at + needle.size() <= s.size(); at = nextChar(s, at))
        if (s[at] == needle[0] && s.compare(at, needle.size(), needle) == 0) return at;
    return std::string_view::npos;
}

std::string fromUtf8(std::string_view utf8) { return convert(utf8, "CP932", "UTF-8", "?"); }
std::string toUtf8(std::string_view cp932) { return convert(cp932, "UTF-8", "CP932", "\xEF\xBF\xBD"); }

}  // namespace shiftjis
