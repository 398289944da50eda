// comment-list's escaping of a field against its plain twin: the quick skips over common text must
// not change what is written. The field converted from code page 932 by the tables must be what
// iconv makes of it, and for such text the look at its ASCII bytes alone must agree with the walk
// over every unit.
// Input: any bytes, taken as a field (a path) and as a code page 932 list text.

#include "FuzzSupport.h"
#include "comment-list/EntryForms.h"
#include "store/ShiftJis.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view field(reinterpret_cast<const char*>(data), size);
    std::string fast, plain;
    commentlist::appendEscaped(fast, field);
    commentlist::appendEscapedPlain(plain, field);
    if (fast != plain)
        fuzz::fail("the escaping writes other bytes than its plain twin");

    const std::string text = shiftjis::toUtf8(field);
    if (text != shiftjis::toUtf8ThroughIconv(field))
        fuzz::fail("the conversion tables disagree with iconv");
    if (commentlist::convertedNeedsEscaping(text) != (commentlist::firstToEscape(text) != std::string_view::npos))
        fuzz::fail("the look at converted text disagrees with the plain walk");
    return 0;
}
