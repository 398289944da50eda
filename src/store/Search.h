#pragma once
// Finding comments by the words of their text, the way Japanese readers expect: without regard
// to letter case or to full and half width ("ＴＯＹＯＴＡ" is found by "toyota", "ｶﾌﾞ" by "カブ"),
// through Unicode's NFKC case folding. A comment's code page 932 bytes are decoded first, so a
// match is always made of whole characters (the trail byte of "ア" is never an "A").

#include "store/Categories.h"
#include "store/CommentTable.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace store {

// What the user typed, split into words at half- and full-width blanks, each word folded.
class SearchQuery {
public:
    SearchQuery() = default;
    explicit SearchQuery(std::u16string_view text);
    static SearchQuery fromUtf8(std::string_view text);

    bool empty() const { return words_.empty(); }
    const std::vector<std::u16string>& words() const { return words_; }

    // A first look at a whole comment's bytes (and `extra`, more text that counts as the
    // comment's) that rules most non-matching comments out without folding them: false only when
    // some word certainly does not occur.
    bool mayOccurIn(std::string_view cp932, std::string_view extra = {}) const;
    // The bits of the first look's pass over the bytes, taken the quick way (a search for each of
    // a few marked bytes) and the plain way (a table lookup a byte): they must be the same.
    std::pair<std::uint8_t, std::uint8_t> firstLookBytes(std::string_view cp932) const;

private:
    struct Sieve;
    static std::shared_ptr<const Sieve> makeSieve(const std::vector<std::u16string>& words);
    std::vector<std::u16string> words_;
    std::shared_ptr<const Sieve> sieve_;
};

// True when the text holds nothing but blanks (or nothing at all): no search is started for it.
bool isBlankQuery(std::u16string_view text);

// NFKC case folding of UTF-16 text (exposed for tests and for folding a query).
std::u16string foldText(std::u16string_view text);

// Code page 932 bytes as UTF-16, decoded as the window decodes them ("windows-31j").
std::u16string decodeCp932(std::string_view bytes);

// True when every word of the query occurs in the comment text (code page 932 bytes).
// An empty query matches nothing.
bool matchesText(const SearchQuery& query, std::string_view cp932);

enum class FileMatch { Match, NoMatch, Unreadable, Cancelled };

// The same for a comment file, read in blocks, so a 100 MB comment needs no 100 MB of memory.
// `cancelled` is polled between blocks. `blockSize` (0: 256 KiB) lets tests cut the file elsewhere.
FileMatch matchFile(const SearchQuery& query, const std::string& path, const std::function<bool()>& cancelled = {},
                    std::size_t blockSize = 0);

// What matchesText must answer, read plainly: the whole text decoded, folded and searched at once.
// For tests; slow and memory-hungry on large text.
bool plainMatch(const SearchQuery& query, std::string_view cp932);

// Where the words occur in UTF-16 text: [begin, end) in units of `text`, ordered by begin.
// A match inside a character that folds to several (such as "㍻" for "平成") covers all of it.
struct TextRange {
    std::size_t begin = 0, end = 0;
};
// `pieceSize` (0: 64 Ki units) is how much is folded at a time; tests make it small.
std::vector<TextRange> findOccurrences(const SearchQuery& query, std::u16string_view text,
                                       const std::function<bool()>& cancelled = {}, std::size_t pieceSize = 0);

// One comment found by a folder search.
struct SearchHit {
    int category = 0;
    std::string path;      // full path
    std::string listText;  // as the list shows it (code page 932)
    double time = 0;       // last-write time, local date-time value
};

struct SearchOutcome {
    std::size_t searched = 0;    // files looked at
    std::size_t unreadable = 0;  // files that could not be read, skipped
    bool cancelled = false;
};

// Searches the comments the window would list from one folder (received or saved): the files of
// the four categories (or of `onlyCategory`), at most 500 of each, the loader's 500. A comment
// matches when each word occurs in its text or in its list line: an earnings comment's line adds
// the count its file name carries ("12件"). Each hit goes to `found` as soon as it is known,
// category by category in the loader's order (by name); the caller orders them by time.
// `cancelled` is polled before each file and within a large one.
SearchOutcome searchFolder(const CommentDirs& dirs, bool receivedMode, const SearchQuery& query,
                           const std::function<void(const SearchHit&)>& found,
                           const std::function<bool()>& cancelled = {}, int onlyCategory = -1);

// Keeps in `table` only the entries whose comments match, as searchFolder has it; counts the files
// that could not be read. Returns the number of entries kept.
std::size_t keepMatching(CommentTable& table, const SearchQuery& query, std::size_t& unreadable);

}  // namespace store
