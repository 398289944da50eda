// ReadListText on an arbitrary file under an arbitrary name. Input: category byte, name length
// byte, the name, then the file's contents. The list text is one line; a market flash lists its
// first non-blank line, as a plain line splitter finds it (CR LF, CR or LF end a line; Ctrl-Z ends
// the text; a long line is cut to its head); an earnings file always ends in its count column.

#include "FuzzSupport.h"
#include "store/ListText.h"
#include "store/MessageSink.h"
#include "store/ShiftJis.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

class NullSink : public store::MessageSink {
public:
    void showMessage(const std::string&, const std::string&, const std::string&, int) override { ++count; }
    int count = 0;
};

// The first line that is not blank after normalising, found the simple way.
std::string firstNonBlankLine(const std::string& text)
{
    std::string line;
    auto take = [&]() -> bool {
        const std::string n = store::NormalizeLine(shiftjis::safeCut(line, store::kListLineLimit));
        line.clear();
        if (n.empty())
            return false;
        line = n;
        return true;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\x1A')
            break;
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            if (take())
                return line;
            continue;
        }
        line += c;
    }
    return take() ? line : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int k = data[0] % 4;
    std::size_t nameLength = data[1] % 16;
    if (nameLength > size - 2)
        nameLength = size - 2;
    std::string name(reinterpret_cast<const char*>(data + 2), nameLength);
    for (char& c : name)
        if (c == '/' || c == '\0')
            c = '_';
    if (name.empty() || name == "." || name == "..")
        name = "CKES" + name;
    const std::string contents(reinterpret_cast<const char*>(data + 2 + nameLength), size - 2 - nameLength);

    const std::string path = fuzz::scratchDir() + name;
    fuzz::writeFile(path, contents);
    NullSink sink;
    std::string listText = "untouched";
    const bool ok = store::ReadListText(k, path, listText, sink);
    ::unlink(path.c_str());

    if (!ok || sink.count != 0)
        fuzz::fail("a readable file was reported as failed");
    if (listText.find_first_of("\r\n") != std::string::npos)
        fuzz::fail("the list text spans lines");
    if (k == 1) {
        const std::string first = firstNonBlankLine(contents);
        if (listText != (first.empty() ? store::untitledMarker() : first))
            fuzz::fail("a market flash does not list its first non-blank line");
    }
    if (k == 3) {
        const bool counted = listText.size() >= 7 && listText.compare(listText.size() - 2, 2, "\x8c\x8f") == 0;
        const bool blank = listText.size() >= 7 && listText.compare(listText.size() - 7, 7, "       ") == 0;
        if (counted != (store::earningsCount(name) >= 0) || (!counted && !blank))
            fuzz::fail("an earnings list text without its count column");
    }
    return 0;
}
