#include "store/Search.h"

#include "platform/CommentFile.h"

#include "platform/FileFind.h"
#include "store/FoldTables.h"
#include "store/Icu.h"
#include "store/ListText.h"
#include "store/ShiftJis.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace store {

using fold::decodeInto;
using fold::kReplacement;
using fold::normalizeInto;
using fold::Tables;

namespace {

// Folds UTF-16 text piece by piece and finds the query's words in the folded text. Text is cut
// only before units with a normalization boundary and between half-width marks where the tables
// allow it (Tables::MarkJoin), so folding the pieces gives the same units as folding the whole; a
// piece's last segment waits for the next piece. Only the last
// (longest word - 1) folded units are kept between pieces.
class Scanner {
public:
    using Hit = std::function<void(std::size_t word, std::size_t begin, std::size_t end)>;

    Scanner(const SearchQuery& query, bool positions) : words_(query.words()), positions_(positions)
    {
        for (const auto& w : words_)
            keep_ = std::max(keep_, w.size());
        keep_ = keep_ > 0 ? keep_ - 1 : 0;
        next_.assign(words_.size(), 0);
        found_.assign(words_.size(), false);
    }

    // Units to scan are appended here; `scan` consumes them (bar a pending segment).
    std::u16string& input() { return input_; }

    // Folds and searches what input() holds. `last`: the text ends here. With `hit` null, each
    // word is searched until found once; with `hit`, every occurrence is reported.
    void scan(bool last, const Hit& hit = {})
    {
        const Tables& t = Tables::get();
        const std::uint32_t* fold = t.fold.data();
        const char16_t* in = input_.data();
        const std::size_t n = input_.size();
        // Most units fold to one unit: room for that, grown when a segment needs more.
        std::size_t out = folded_.size();
        folded_.resize(out + n + 16);
        std::size_t start = 0;  // of the segment being gathered
        for (std::size_t i = 1; i <= n; ++i) {
            bool nextIsMark = false;
            if (i < n) {
                nextIsMark = Tables::isMark(in[i]);
                const std::size_t length = i - start;
                if (!(fold[in[i]] & Tables::kBoundary) &&
                    !(nextIsMark &&
                      cutsBeforeMark(t.markJoin[in[start]], length, length == 2 && Tables::isMark(in[start + 1]))))
                    continue;
            } else if (!last) {
                break;  // the segment may go on in the next piece
            }
            foldSegment(std::u16string_view(in + start, i - start), nextIsMark, out, n - i, base_ + start, base_ + i);
            start = i;
        }
        folded_.resize(out);
        input_.erase(0, start);
        base_ += start;
        search(hit);
    }

    // The same for code page 932 bytes, decoded and folded in one pass. Returns how many bytes at
    // the end were not consumed (the last segment, or a lead byte without its trail) unless `last`.
    std::size_t scanCp932(std::string_view bytes, bool last)
    {
        const Tables& t = Tables::get();
        const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t n = bytes.size();
        std::size_t out = folded_.size();
        folded_.resize(out + n + 16);  // a character is at least one byte and mostly folds to one unit
        const std::uint32_t* single = t.singleFold.data();
        const std::uint32_t* pairs = t.pairFold.data();
        std::size_t start = 0, chars = 0, i = 0;
        std::uint32_t startFold = 0;  // the table entry of the segment's first character
        bool secondIsMark = false;
        while (i < n) {
            std::uint32_t e = single[b[i]];
            std::size_t length = 1;
            if (e & Tables::kLead) {
                if (i + 1 == n) {
                    if (!last)
                        break;
                    e = t.replacementFold;
                } else {
                    const std::uint32_t p = pairs[(e & 0xFFu) * 256 + b[i + 1]];
                    e = (p & Tables::kPair) ? p : t.replacementFold;
                    length = (p & Tables::kPair) ? 2 : 1;
                }
            }
            if (chars > 0) {
                bool cut = (e & Tables::kBoundary) != 0;
                if (!cut && (e & Tables::kMark))
                    cut = cutsBeforeMark(Tables::joinOf(startFold), chars, secondIsMark);
                if (cut) {
                    emitBytes(bytes.substr(start, i - start), startFold, chars, (e & Tables::kMark) != 0, out, n - i);
                    start = i;
                    chars = 0;
                }
            }
            if (chars == 1)
                secondIsMark = (e & Tables::kMark) != 0;
            if (chars++ == 0)
                startFold = e;
            i += length;
        }
        if (last && chars > 0) {
            emitBytes(bytes.substr(start), startFold, chars, false, out, 0);
            start = n;
        }
        folded_.resize(out);
        search({});
        return n - start;
    }

    bool allFound() const
    {
        return std::all_of(found_.begin(), found_.end(), [](bool f) { return f; });
    }
    bool found(std::size_t word) const { return found_[word]; }

private:
    // Whether a mark after a segment begins a segment of its own (see Tables::MarkJoin): `join`
    // tells how the segment's first character meets a mark, `length` is its characters and
    // `secondIsMark` whether the second of two is a mark. Otherwise the marks fold together with
    // what comes before them.
    static bool cutsBeforeMark(std::uint8_t join, std::size_t length, bool secondIsMark)
    {
        if (length == 1)
            return join == Tables::kApart || join == Tables::kWraps;
        return length == 2 && join == Tables::kComposes && secondIsMark;
    }

    // Appends the folding of one segment (source units [from, to)); `nextIsMark`: a mark that
    // does not join it comes next. A character whose folding wraps marks gives only its head
    // now; the rest follows the last of the marks.
    void foldSegment(std::u16string_view segment, bool nextIsMark, std::size_t& out, std::size_t rest, std::size_t from,
                     std::size_t to)
    {
        const Tables& t = Tables::get();
        if (segment.size() == 1 && nextIsMark && t.markJoin[segment[0]] == Tables::kWraps) {
            const std::uint32_t head = t.wrapEntry(segment[0]);
            put(std::u16string_view(t.pool).substr(Tables::offsetOf(head), Tables::lengthOf(head)), out, rest);
            place(out, from, to);
            pendingTail_ = t.foldOf(segment[0]).substr(Tables::lengthOf(head));
            tailFrom_ = from;
            return;
        }
        foldSegment(segment, segment.size() == 1 ? t.fold[segment[0]] : 0, out, rest);
        place(out, from, to);
        if (!pendingTail_.empty() && !nextIsMark) {
            put(pendingTail_, out, rest);
            place(out, tailFrom_, to);
            pendingTail_.clear();
        }
    }

    void emitBytes(std::string_view segment, std::uint32_t startFold, std::size_t chars, bool nextIsMark,
                   std::size_t& out, std::size_t rest)
    {
        if (chars == 1) {
            // The entry holds the folded unit when it is one, else the decoded character.
            const char16_t c = static_cast<char16_t>(startFold);
            if (!(startFold & Tables::kDirect)) {
                foldSegment(std::u16string_view(&c, 1), nextIsMark, out, rest, 0, 0);
                return;
            }
            folded_[out++] = c;
            if (!pendingTail_.empty() && !nextIsMark) {
                put(pendingTail_, out, rest);
                pendingTail_.clear();
            }
            return;
        }
        decoded_.clear();
        decodeInto(segment, true, decoded_);
        foldSegment(decoded_, nextIsMark, out, rest, 0, 0);
    }

    // The source span of the units appended since the last call.
    void place(std::size_t out, std::size_t from, std::size_t to)
    {
        if (!positions_)
            return;
        begins_.resize(out, from);
        ends_.resize(out, to);
    }

    void put(std::u16string_view units, std::size_t& out, std::size_t rest)
    {
        if (out + units.size() + rest + 16 > folded_.size())
            folded_.resize(out + units.size() + rest + 16);
        std::copy(units.begin(), units.end(), folded_.begin() + static_cast<std::ptrdiff_t>(out));
        out += units.size();
    }

    // Appends the folding of one segment at folded_[out]: `e` its table entry when it is a single
    // character; ICU for anything else. `rest` keeps room for the units still to come.
    void foldSegment(std::u16string_view segment, std::uint32_t e, std::size_t& out, std::size_t rest)
    {
        const Tables& t = Tables::get();
        if (segment.size() == 2 && Tables::isMark(segment[1]) && t.markJoin[segment[0]] == Tables::kComposes)
            e = t.composedEntry(segment[0], segment[1]);
        const std::size_t length = Tables::lengthOf(e);
        if (length == 1) {
            folded_[out++] = t.pool[Tables::offsetOf(e)];
            return;
        }
        if (length > 0) {
            put(std::u16string_view(t.pool).substr(Tables::offsetOf(e), length), out, rest);
            return;
        }
        slow_.clear();
        normalizeInto(segment, slow_);
        put(slow_, out, rest);
    }

    void search(const Hit& hit)
    {
        const std::u16string_view text(folded_);
        for (std::size_t w = 0; w < words_.size(); ++w) {
            if (found_[w] && !hit)
                continue;
            const std::u16string& word = words_[w];
            std::size_t at = next_[w];
            while ((at = text.find(word, at)) != std::u16string_view::npos) {
                found_[w] = true;
                if (!hit)
                    break;
                hit(w, begins_[at], ends_[at + word.size() - 1]);
                ++at;
            }
            // Every start up to here has been tried; a start beyond needs more text.
            const std::size_t tried = text.size() >= word.size() ? text.size() - word.size() + 1 : 0;
            next_[w] = std::max(next_[w], tried);
        }
        // Drop what no later match can begin in.
        const std::size_t drop = folded_.size() > keep_ ? folded_.size() - keep_ : 0;
        if (drop > 0) {
            folded_.erase(0, drop);
            if (positions_) {
                begins_.erase(begins_.begin(), begins_.begin() + static_cast<std::ptrdiff_t>(drop));
                ends_.erase(ends_.begin(), ends_.begin() + static_cast<std::ptrdiff_t>(drop));
            }
            for (auto& next : next_)
                next = next > drop ? next - drop : 0;
        }
    }

    const std::vector<std::u16string>& words_;
    const bool positions_;
    std::size_t keep_ = 0;
    std::u16string input_, folded_, slow_, decoded_;
    std::u16string pendingTail_;              // of a character whose folding wraps the marks after it
    std::size_t tailFrom_ = 0;                // its source index
    std::vector<std::size_t> begins_, ends_;  // source span of each folded unit (positions only)
    std::size_t base_ = 0;                    // source index of input_[0]
    std::vector<std::size_t> next_;           // per word: first start in folded_ not yet tried
    std::vector<bool> found_;
};

constexpr std::size_t kReadBlock = std::size_t{256} * 1024;

ssize_t readSome(int fd, char* to, std::size_t size)
{
    ssize_t r;
    while ((r = ::read(fd, to, size)) < 0 && errno == EINTR) {
    }
    return r;
}

// What a comment's list line shows beyond its text: an earnings comment's count ("12件", from the
// file name). Empty for the others, whose list lines are made of their own lines.
std::string listLineExtra(int k, std::string_view fileName)
{
    if (k != kEarnings)
        return {};
    const int n = earningsCount(fileName);
    static const std::string count = shiftjis::fromUtf8("件");
    return n < 0 ? std::string() : std::to_string(n) + count;
}

// Every word found in the text or else in `extra`.
FileMatch verdict(const SearchQuery& query, const Scanner& text, std::string_view extra)
{
    if (text.allFound())
        return FileMatch::Match;
    if (extra.empty())
        return FileMatch::NoMatch;
    Scanner more(query, false);
    more.scanCp932(extra, true);
    for (std::size_t w = 0; w < query.words().size(); ++w)
        if (!text.found(w) && !more.found(w))
            return FileMatch::NoMatch;
    return FileMatch::Match;
}

constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};

// Reads an open file in blocks through the scanner until every word is found; a word may also be
// found in `extra`, the part of the list line that the text does not hold. `size`: the file's size
// when it was listed; a first read that brings all of it is not followed by one that finds the end.
FileMatch matchOpenFile(const SearchQuery& query, int fd, const std::function<bool()>& cancelled,
                        std::string_view extra, std::size_t kBlock = kReadBlock, std::uint64_t size = kUnknownSize)
{
    if (query.empty())
        return FileMatch::NoMatch;
    if (!platform::isOrdinaryFile(fd))
        return FileMatch::Unreadable;  // a pipe or device under a comment's name may never end
    Scanner scanner(query, false);
    thread_local std::string block;
    if (block.size() < 2 * kBlock)
        block.resize(2 * kBlock);
    // A comment that fits one block is looked at whole: most are ruled out by the quick look.
    const ssize_t first = readSome(fd, block.data(), kBlock);
    if (first < 0)
        return FileMatch::Unreadable;
    if (cancelled && cancelled())
        return FileMatch::Cancelled;
    const bool whole = first == 0 || static_cast<std::uint64_t>(first) == size;
    const ssize_t second = whole ? 0 : readSome(fd, block.data() + first, kBlock);
    if (second < 0)
        return FileMatch::Unreadable;
    if (second == 0) {
        const std::string_view whole(block.data(), static_cast<std::size_t>(first));
        if (cancelled && cancelled())
            return FileMatch::Cancelled;
        if (!query.mayOccurIn(whole, extra))
            return FileMatch::NoMatch;
        if (cancelled && cancelled())
            return FileMatch::Cancelled;
        scanner.scanCp932(whole, true);
        return verdict(query, scanner, extra);
    }
    std::size_t carried = static_cast<std::size_t>(first + second);  // not yet scanned
    for (bool firstRound = true;; firstRound = false) {
        if (cancelled && cancelled())
            return FileMatch::Cancelled;
        if (block.size() < carried + kBlock)
            block.resize(carried + kBlock);
        const ssize_t r = firstRound ? 0 : readSome(fd, block.data() + carried, kBlock);
        if (r < 0)
            return FileMatch::Unreadable;
        const bool last = r == 0 && !firstRound;
        const std::size_t have = carried + static_cast<std::size_t>(r);
        carried = scanner.scanCp932(std::string_view(block.data(), have), last);
        std::copy(block.begin() + static_cast<std::ptrdiff_t>(have - carried),
                  block.begin() + static_cast<std::ptrdiff_t>(have), block.begin());
        if (scanner.allFound())
            return FileMatch::Match;
        if (last)
            return verdict(query, scanner, extra);
    }
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\u3000' || c == u'\t'; }

struct Fd {
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

bool isBlankQuery(std::u16string_view text) { return std::all_of(text.begin(), text.end(), isBlank); }

SearchQuery::SearchQuery(std::u16string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        std::size_t j = i;
        while (j < text.size() && !isBlank(text[j]))
            ++j;
        if (j > i) {
            std::u16string word = foldText(text.substr(i, j - i));
            if (!word.empty() && std::find(words_.begin(), words_.end(), word) == words_.end())
                words_.push_back(std::move(word));
        }
        i = j;
    }
    if (!words_.empty())
        sieve_ = makeSieve(words_);
}

SearchQuery SearchQuery::fromUtf8(std::string_view text)
{
    std::u16string u16(text.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    icu::functions().strFromUTF8WithSub(u16.data(), static_cast<int32_t>(u16.size()), &length, text.data(),
                                        static_cast<int32_t>(text.size()), kReplacement, nullptr, &status);
    u16.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return SearchQuery(u16);
}

std::u16string foldText(std::u16string_view text)
{
    std::u16string out;
    normalizeInto(text, out);
    return out;
}

std::u16string decodeCp932(std::string_view bytes)
{
    std::u16string out;
    decodeInto(bytes, true, out);
    return out;
}

bool matchesText(const SearchQuery& query, std::string_view cp932)
{
    if (query.empty() || !query.mayOccurIn(cp932))
        return false;
    Scanner scanner(query, false);
    scanner.scanCp932(cp932, true);
    return scanner.allFound();
}

FileMatch matchFile(const SearchQuery& query, const std::string& path, const std::function<bool()>& cancelled,
                    std::size_t blockSize)
{
    // Non-blocking, so that a pipe that happens to carry a comment's name cannot hang the search.
    const Fd fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (fd.fd < 0)
        return FileMatch::Unreadable;
    return matchOpenFile(query, fd.fd, cancelled, {}, blockSize > 0 ? blockSize : kReadBlock);
}

bool plainMatch(const SearchQuery& query, std::string_view cp932)
{
    if (query.empty())
        return false;
    const std::u16string text = foldText(decodeCp932(cp932));
    return std::all_of(query.words().begin(), query.words().end(),
                       [&](const std::u16string& word) { return text.find(word) != std::u16string::npos; });
}

std::vector<TextRange> findOccurrences(const SearchQuery& query, std::u16string_view text,
                                       const std::function<bool()>& cancelled, std::size_t pieceSize)
{
    std::vector<TextRange> ranges;
    if (query.empty())
        return ranges;
    Scanner scanner(query, true);
    const std::size_t kPiece = pieceSize > 0 ? pieceSize : std::size_t{64} * 1024;
    for (std::size_t at = 0; at < text.size() || at == 0; at += kPiece) {
        if (cancelled && cancelled())
            return {};
        scanner.input().append(text.substr(std::min(at, text.size()), kPiece));
        const bool last = at + kPiece >= text.size();
        scanner.scan(last, [&](std::size_t, std::size_t begin, std::size_t end) { ranges.push_back({begin, end}); });
        if (last)
            break;
    }
    std::sort(ranges.begin(), ranges.end(), [](const TextRange& a, const TextRange& b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
    });
    return ranges;
}

SearchOutcome searchFolder(const CommentDirs& dirs, bool receivedMode, const SearchQuery& query,
                           const std::function<void(const SearchHit&)>& found, const std::function<bool()>& cancelled,
                           int onlyCategory)
{
    SearchOutcome outcome;
    if (query.empty())
        return outcome;
    const std::string& dir = receivedMode ? dirs.received : dirs.saved;
    const platform::DirectoryListing listing(dir);
    SilentSink sink;
    for (int k = 0; k < kCategoryCount && !outcome.cancelled; ++k) {
        if (onlyCategory >= 0 && onlyCategory != k)
            continue;
        int n = 0;
        // The same files, filter and limit as the loader, so every hit is a line of the list.
        platform::forEachFile(listing, filePattern(k), 0, [&](const platform::FoundFile& f, int fd) {
            if (n++ == kBlockSize)
                return false;
            if (cancelled && cancelled()) {
                outcome.cancelled = true;
                return false;
            }
            ++outcome.searched;
            const FileMatch m = fd < 0
                                    ? FileMatch::Unreadable
                                    : matchOpenFile(query, fd, cancelled, listLineExtra(k, f.name), kReadBlock, f.size);
            if (m == FileMatch::Cancelled) {
                outcome.cancelled = true;
                return false;
            }
            if (m == FileMatch::Unreadable)
                ++outcome.unreadable;
            if (m != FileMatch::Match)
                return true;
            SearchHit hit{k, dir + f.name, {}, platform::toLocalDateTime(f.lastWrite)};
            ::lseek(fd, 0, SEEK_SET);
            ReadListText(k, hit.path, fd, hit.listText, sink);
            found(hit);
            return true;
        });
    }
    return outcome;
}

std::size_t keepMatching(CommentTable& table, const SearchQuery& query, std::size_t& unreadable)
{
    std::size_t kept = 0;
    for (int k = 0; k < kCategoryCount; ++k) {
        int to = 0;
        for (int n = 1; n <= table.count(k); ++n) {
            const std::string& path = table.entry(k, n).path;
            const Fd fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
            const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
            const FileMatch m =
                fd.fd < 0 ? FileMatch::Unreadable : matchOpenFile(query, fd.fd, {}, listLineExtra(k, name));
            if (m == FileMatch::Unreadable)
                ++unreadable;
            if (m != FileMatch::Match)
                continue;
            if (++to != n)
                table.entry(k, to) = std::move(table.entry(k, n));
        }
        for (int n = to + 1; n <= table.count(k); ++n)
            table.clearEntry(k, n);
        table.setCount(k, to);
        kept += static_cast<std::size_t>(to);
    }
    return kept;
}

}  // namespace store
