// NormalizeLine on arbitrary bytes: no blank at either end, no full-width blank left, a second pass
// changes nothing, and a line without anything to normalise only loses its trailing blanks.

#include "FuzzSupport.h"
#include "store/ListText.h"
#include "store/ShiftJis.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string in(reinterpret_cast<const char*>(data), size);
    const std::string out = store::NormalizeLine(in);
    static const std::string fullWidthBlank = "\x81\x40";

    if (!out.empty() && (out.front() == ' ' || out.back() == ' '))
        fuzz::fail("a half-width blank is left at an end");
    if (shiftjis::contains(out, fullWidthBlank))
        fuzz::fail("a full-width blank is left");
    if (store::NormalizeLine(out) != out)
        fuzz::fail("normalising twice changes the line");
    if (!shiftjis::contains(in, fullWidthBlank) && (in.empty() || in.front() != ' ')) {
        std::string trimmed = in;
        while (!trimmed.empty() && trimmed.back() == ' ')
            trimmed.pop_back();
        if (out != trimmed)
            fuzz::fail("a line with nothing to replace changed inside");
    }
    return 0;
}
