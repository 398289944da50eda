// The search's fast paths against the plain reading of the same question (decode the whole text,
// fold it, find each word): the first look, the one-pass byte scan, the file read in blocks of any
// size and the folding of UTF-16 text piece by piece must all agree with it.
// Input: a query length byte, a block size byte, a piece size byte, the query, then the text; all
// code page 932.

#include "FuzzSupport.h"
#include "store/Search.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::size_t countOverlapping(std::u16string_view text, std::u16string_view word)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::u16string_view::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const std::size_t queryLength = std::min<std::size_t>(data[0] % 24, size - 3);
    const std::size_t blockSize = 1 + data[1] % 64;
    const std::size_t pieceSize = 1 + data[2] % 32;
    const std::string_view queryBytes = in.substr(3, queryLength);
    const std::string_view text = in.substr(3 + queryLength);
    // Most inputs differ from the last one in the text only; the query's first-look tables are
    // what takes the time.
    static std::string lastQuery;
    static store::SearchQuery cached;
    if (queryBytes != lastQuery || cached.empty()) {
        lastQuery = queryBytes;
        cached = store::SearchQuery(store::decodeCp932(queryBytes));
    }
    const store::SearchQuery& query = cached;

    const bool plain = store::plainMatch(query, text);
    if (store::matchesText(query, text) != plain)
        fuzz::fail("matchesText disagrees with the plain reading");
    if (plain && !query.mayOccurIn(text))
        fuzz::fail("the first look rules out a matching text");
    if (const auto [quick, byTable] = query.firstLookBytes(text); quick != byTable)
        fuzz::fail("the first look's search for a few marked bytes disagrees with its table pass");

    static const std::string path = fuzz::scratchDir() + "COMMENT.1";
    fuzz::writeFile(path, text);
    const store::FileMatch file = store::matchFile(query, path, {}, blockSize);
    if (file != (plain ? store::FileMatch::Match : store::FileMatch::NoMatch))
        fuzz::fail("a file read in blocks disagrees with the plain reading");

    // Every occurrence of every word, wherever the UTF-16 text is cut into pieces.
    const std::u16string text16 = store::decodeCp932(text);
    const std::u16string folded = store::foldText(text16);
    std::size_t expected = 0;
    for (const std::u16string& word : query.words())
        expected += countOverlapping(folded, word);
    const auto whole = store::findOccurrences(query, text16);
    const auto pieces = store::findOccurrences(query, text16, {}, pieceSize);
    if (whole.size() != expected || pieces.size() != expected)
        fuzz::fail("findOccurrences misses or invents an occurrence");
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (whole[i].begin >= whole[i].end || whole[i].end > text16.size())
            fuzz::fail("an occurrence lies outside the text");
        if (whole[i].begin != pieces[i].begin || whole[i].end != pieces[i].end)
            fuzz::fail("occurrences depend on where the text is cut");
    }
    return 0;
}
