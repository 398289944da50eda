// ReadUserId over an arbitrary USER_ID.DAT: the first line (ended by LF; CRs left out), at most
// its first 16 bytes.

#include "FuzzSupport.h"
#include "store/UserId.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string contents(reinterpret_cast<const char*>(data), size);
    fuzz::writeFile(fuzz::scratchDir() + "USER_ID.DAT", contents);
    const std::string id = store::ReadUserId(fuzz::scratchDir());

    std::string expected;
    for (const char c : contents) {
        if (c == '\n' || expected.size() == 16)
            break;
        if (c != '\r')
            expected += c;
    }
    if (id != expected)
        fuzz::fail("the user ID is not the first 16 bytes of the first line");
    return 0;
}
