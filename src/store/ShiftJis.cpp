#include "store/ShiftJis.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace shiftjis {
namespace {

// One converter per direction and thread, reset before each use: opening one per call cost more
// than converting a list text.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        // (iconv_t)-1 is iconv_open's documented failure value; there is no other way to test for it.
        if (cd_ == reinterpret_cast<iconv_t>(-1))  // NOLINT(performance-no-int-to-ptr)
            throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string convert(std::string_view in, std::string_view replacement) {
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
    // A match on a character boundary is a match of the bytes: most lines have neither.
    if (s.find(needle, from) == std::string_view::npos) return std::string_view::npos;
    for (std::size_t at = from; at + needle.size() <= s.size(); at = nextChar(s, at))
        if (s[at] == needle[0] && s.compare(at, needle.size(), needle) == 0) return at;
    return std::string_view::npos;
}

std::string fromUtf8(std::string_view utf8) {
    thread_local Converter converter("CP932", "UTF-8");
    return converter.convert(utf8, "?");
}
std::string toUtf8(std::string_view cp932) {
    thread_local Converter converter("UTF-8", "CP932");
    return converter.convert(cp932, "\xEF\xBF\xBD");
}

}  // namespace shiftjis
