// The order of a folder's names: the sort a byte position at a time against its plain twin, the
// comparison sort. Input: names separated by NUL bytes (a name cannot hold one).

#include "FuzzSupport.h"
#include "platform/FileFind.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names;
    for (std::size_t at = 0; at <= in.size();) {
        const std::size_t end = std::min(in.find('\0', at), in.size());
        names.emplace_back(in.substr(at, end - at));
        at = end + 1;
    }
    std::vector<std::string> plain = names;
    platform::filefind_detail::sortIgnoringCase(names);
    platform::filefind_detail::sortIgnoringCasePlain(plain);
    if (names != plain)
        fuzz::fail("the names sorted a byte position at a time are in another order than by comparisons");
    return 0;
}
