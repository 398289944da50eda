#include "store/Search.h"

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
// only before units with a normalization boundary, so folding the pieces gives the same units as
// folding the whole; a piece's last segment waits for the next piece. Only the last
// (longest word - 1) folded units are kept between pieces.
class Scanner {
public:
    using Hit = std::function<void(std::size_t word, std::size_t begin, std::size_t end)>;

    Scanner(const SearchQuery& query, bool positions) : words_(query.words()), positions_(positions) {
        for (const auto& w : words_) keep_ = std::max(keep_, w.size());
        keep_ = keep_ > 0 ? keep_ - 1 : 0;
        next_.assign(words_.size(), 0);
        found_.assign(words_.size(), false);
    }

    // Units to scan are appended here; `scan` consumes them (bar a pending segment).
    std::u16string& input() { return input_; }

    // Folds and searches what input() holds. `last`: the text ends here. With `hit` null, each
    // word is searched until found once; with `hit`, every occurrence is reported.
    void scan(bool last, const Hit& hit = {}) {
        const Tables& t = Tables::get();
        const std::uint32_t* fold = t.fold.data();
        const char16_t* in = input_.data();
        const std::size_t n = input_.size();
        // Most units fold to one unit: room for that, grown when a segment needs more.
        std::size_t out = folded_.size();
        folded_.resize(out + n + 16);
        std::size_t start = 0;  // of the segment being gathered
        std::uint32_t startFold = n > 0 ? fold[in[0]] : 0;
        for (std::size_t i = 1; i <= n; ++i) {
            std::uint32_t next = 0;
            if (i < n) {
                next = fold[in[i]];
                if (!(next & Tables::kBoundary)) continue;
            } else if (!last) {
                break;  // the segment may go on in the next piece
            }
            foldSegment(std::u16string_view(in + start, i - start), i == start + 1 ? startFold : 0, out, n - i);
            if (positions_) {
                begins_.resize(out, base_ + start);
                ends_.resize(out, base_ + i);
            }
            start = i;
            startFold = next;
        }
        folded_.resize(out);
        input_.erase(0, start);
        base_ += start;
        search(hit);
    }

    // The same for code page 932 bytes, decoded and folded in one pass. Returns how many bytes at
    // the end were not consumed (the last segment, or a lead byte without its trail) unless `last`.
    std::size_t scanCp932(std::string_view bytes, bool last) {
        const Tables& t = Tables::get();
        const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t n = bytes.size();
        std::size_t out = folded_.size();
        folded_.resize(out + n + 16);  // a character is at least one byte and mostly folds to one unit
        const std::uint32_t* single = t.singleFold.data();
        const std::uint32_t* pairs = t.pairFold.data();
        std::size_t start = 0, chars = 0, i = 0;
        std::uint32_t startFold = 0;
        while (i < n) {
            std::uint32_t e = single[b[i]];
            std::size_t length = 1;
            if (e & Tables::kLead) {
                if (i + 1 == n) {
                    if (!last) break;
                    e = t.replacementFold;
                } else {
                    const std::uint32_t p = pairs[(e & 0xFFu) * 256 + b[i + 1]];
                    e = (p & Tables::kPair) ? p : t.replacementFold;
                    length = (p & Tables::kPair) ? 2 : 1;
                }
            }
            if ((e & Tables::kBoundary) && chars > 0) {
                if (chars == 1 && (startFold & Tables::kDirect))
                    folded_[out++] = static_cast<char16_t>(startFold);
                else
                    foldBytesSegment(bytes.substr(start, i - start), out, n - i);
                start = i;
                chars = 0;
            }
            if (chars++ == 0) startFold = e;
            i += length;
        }
        if (last && chars > 0) {
            if (chars == 1 && (startFold & Tables::kDirect))
                folded_[out++] = static_cast<char16_t>(startFold);
            else
                foldBytesSegment(bytes.substr(start), out, 0);
            start = n;
        }
        folded_.resize(out);
        search({});
        return n - start;
    }

    bool allFound() const { return std::all_of(found_.begin(), found_.end(), [](bool f) { return f; }); }
    bool found(std::size_t word) const { return found_[word]; }

private:
    // Appends the folding of one segment at folded_[out]: `e` its table entry when it is a single
    // character; ICU for anything else. `rest` keeps room for the units still to come.
    void foldSegment(std::u16string_view segment, std::uint32_t e, std::size_t& out, std::size_t rest) {
        const Tables& t = Tables::get();
        if (segment.size() == 2 && segment[0] >= 0xFF61 && segment[0] <= 0xFF9F && segment[1] >= 0xFF9E)
            e = t.halfWidthVoiced[Tables::voicedIndex(segment[0], segment[1])];
        const std::size_t length = Tables::lengthOf(e);
        if (length == 1) {
            folded_[out++] = t.pool[Tables::offsetOf(e)];
            return;
        }
        if (length > 0) {
            slow_.assign(t.pool, Tables::offsetOf(e), length);
        } else {
            slow_.clear();
            normalizeInto(segment, slow_);
        }
        if (out + slow_.size() + rest + 16 > folded_.size()) folded_.resize(out + slow_.size() + rest + 16);
        std::copy(slow_.begin(), slow_.end(), folded_.begin() + static_cast<std::ptrdiff_t>(out));
        out += slow_.size();
    }

    void foldBytesSegment(std::string_view segment, std::size_t& out, std::size_t rest);

    void search(const Hit& hit) {
        const std::u16string_view text(folded_);
        for (std::size_t w = 0; w < words_.size(); ++w) {
            if (found_[w] && !hit) continue;
            const std::u16string& word = words_[w];
            std::size_t at = next_[w];
            while ((at = text.find(word, at)) != std::u16string_view::npos) {
                found_[w] = true;
                if (!hit) break;
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
            for (auto& next : next_) next = next > drop ? next - drop : 0;
        }
    }

    const std::vector<std::u16string>& words_;
    const bool positions_;
    std::size_t keep_ = 0;
    std::u16string input_, folded_, slow_, decoded_;
    std::vector<std::size_t> begins_, ends_;  // source span of each folded unit (positions only)
    std::size_t base_ = 0;                    // source index of input_[0]
    std::vector<std::size_t> next_;           // per word: first start in folded_ not yet tried
    std::vector<bool> found_;
};

// A segment of several characters, or one that folds to several units.
void Scanner::foldBytesSegment(std::string_view segment, std::size_t& out, std::size_t rest) {
    decoded_.clear();
    decodeInto(segment, true, decoded_);
    foldSegment(decoded_, decoded_.size() == 1 ? Tables::get().fold[decoded_[0]] : 0, out, rest);
}

ssize_t readSome(int fd, char* to, std::size_t size) {
    ssize_t r;
    while ((r = ::read(fd, to, size)) < 0 && errno == EINTR) {
    }
    return r;
}

// What a comment's list line shows beyond its text: an earnings comment's count ("12件", from the
// file name). Empty for the others, whose list lines are made of their own lines.
std::string listLineExtra(int k, std::string_view fileName) {
    if (k != kEarnings) return {};
    const int n = earningsCount(fileName);
    static const std::string count = shiftjis::fromUtf8("件");
    return n < 0 ? std::string() : std::to_string(n) + count;
}

// Every word found in the text or else in `extra`.
FileMatch verdict(const SearchQuery& query, const Scanner& text, std::string_view extra) {
    if (text.allFound()) return FileMatch::Match;
    if (extra.empty()) return FileMatch::NoMatch;
    Scanner more(query, false);
    more.scanCp932(extra, true);
    for (std::size_t w = 0; w < query.words().size(); ++w)
        if (!text.found(w) && !more.found(w)) return FileMatch::NoMatch;
    return FileMatch::Match;
}

// Reads an open file in blocks through the scanner until every word is found; a word may also be
// found in `extra`, the part of the list line that the text does not hold.
FileMatch matchOpenFile(const SearchQuery& query, int fd, const std::function<bool()>& cancelled,
                        std::string_view extra) {
    if (query.empty()) return FileMatch::NoMatch;
    Scanner scanner(query, false);
    constexpr std::size_t kBlock = std::size_t{256} * 1024;
    thread_local std::string block;
    if (block.size() < 2 * kBlock) block.resize(2 * kBlock);
    // A comment that fits one block is looked at whole: most are ruled out by the quick look.
    const ssize_t first = readSome(fd, block.data(), kBlock);
    if (first < 0) return FileMatch::Unreadable;
    const ssize_t second = first > 0 ? readSome(fd, block.data() + first, kBlock) : 0;
    if (second < 0) return FileMatch::Unreadable;
    if (second == 0) {
        const std::string_view whole(block.data(), static_cast<std::size_t>(first));
        if (!query.mayOccurIn(whole, extra)) return FileMatch::NoMatch;
        scanner.scanCp932(whole, true);
        return verdict(query, scanner, extra);
    }
    std::size_t carried = static_cast<std::size_t>(first + second);  // not yet scanned
    for (bool firstRound = true;; firstRound = false) {
        if (cancelled && cancelled()) return FileMatch::Cancelled;
        if (block.size() < carried + kBlock) block.resize(carried + kBlock);
        const ssize_t r = firstRound ? 0 : readSome(fd, block.data() + carried, kBlock);
        if (r < 0) return FileMatch::Unreadable;
        const bool last = r == 0 && !firstRound;
        const std::size_t have = carried + static_cast<std::size_t>(r);
        carried = scanner.scanCp932(std::string_view(block.data(), have), last);
        std::copy(block.begin() + static_cast<std::ptrdiff_t>(have - carried),
                  block.begin() + static_cast<std::ptrdiff_t>(have), block.begin());
        if (scanner.allFound()) return FileMatch::Match;
        if (last) return verdict(query, scanner, extra);
    }
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\u3000' || c == u'\t'; }


class SilentSink : public MessageSink {
public:
    void showMessage(const std::string&, const std::string&, const std::string&, int) override {}
};

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

SearchQuery::SearchQuery(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i])) ++i;
        std::size_t j = i;
        while (j < text.size() && !isBlank(text[j])) ++j;
        if (j > i) {
            std::u16string word = foldText(text.substr(i, j - i));
            if (!word.empty() && std::find(words_.begin(), words_.end(), word) == words_.end())
                words_.push_back(std::move(word));
        }
        i = j;
    }
    if (!words_.empty()) sieve_ = std::make_shared<const Sieve>(words_);
}

// Per code page 932 character code (a byte, or lead << 8 | trail): bit w when its folding holds
// the key unit of word w (the unit of the word that fewest characters fold to), kJoins when it
// joins the character before it (that segment is then folded for real), kLoneLead when the pair
// is not one character and only the lead byte is consumed.
struct SearchQuery::Sieve {
    static constexpr std::uint8_t kJoins = 0x80, kLoneLead = 0x40;
    static constexpr std::size_t kMaxWords = 6;  // more words are left to the full scan
    std::vector<std::uint8_t> codes = std::vector<std::uint8_t>(0x10000, 0);
    std::vector<char16_t> keys;
    std::uint8_t all = 0;
    std::uint8_t replacement = 0;
    std::array<std::uint8_t, std::size_t{63} * 2> halfWidthVoiced{};  // bytes 0xA1..0xDF with 0xDE or 0xDF

    std::uint8_t maskOf(std::u16string_view folded) const {
        std::uint8_t m = 0;
        for (std::size_t k = 0; k < keys.size(); ++k)
            if (folded.find(keys[k]) != std::u16string_view::npos) m |= static_cast<std::uint8_t>(1u << k);
        return m;
    }

    explicit Sieve(const std::vector<std::u16string>& words) {
        const Tables& t = Tables::get();
        std::vector<std::uint32_t> sources(0x10000, 0);  // how many characters fold to hold a unit
        auto eachFolding = [&](auto visit) {
            for (std::size_t b = 0; b < 256; ++b)
                if (t.leadIndex[b] < 0) visit(static_cast<std::uint16_t>(b), t.single[b]);
            for (std::size_t lead = 0; lead < 256; ++lead) {
                if (t.leadIndex[lead] < 0) continue;
                for (std::size_t trail = 0; trail < 256; ++trail) {
                    const char16_t c = t.pair[static_cast<std::size_t>(t.leadIndex[lead]) * 256 + trail];
                    if (c) visit(static_cast<std::uint16_t>(lead << 8 | trail), c);
                }
            }
        };
        eachFolding([&](std::uint16_t, char16_t c) {
            for (const char16_t u : t.foldOf(c)) ++sources[u];
        });
        for (std::size_t w = 0; w < words.size() && w < kMaxWords; ++w) {
            char16_t key = words[w][0];
            for (const char16_t u : words[w])
                if (sources[u] < sources[key]) key = u;
            keys.push_back(key);
            all |= static_cast<std::uint8_t>(1u << w);
        }
        auto flags = [&](char16_t c) {
            return static_cast<std::uint8_t>(maskOf(t.foldOf(c)) | ((t.fold[c] & Tables::kBoundary) ? 0 : kJoins));
        };
        replacement = flags(kReplacement);
        for (std::size_t lead = 0; lead < 256; ++lead)
            if (t.leadIndex[lead] >= 0)
                for (std::size_t trail = 0; trail < 256; ++trail) codes[lead << 8 | trail] = kLoneLead | replacement;
        eachFolding([&](std::uint16_t code, char16_t c) { codes[code] = flags(c); });
        for (std::size_t i = 0; i < halfWidthVoiced.size(); ++i) {
            const std::uint32_t e = t.halfWidthVoiced[i];
            halfWidthVoiced[i] = maskOf(std::u16string_view(t.pool).substr(Tables::offsetOf(e), Tables::lengthOf(e)));
        }
    }

    // Bit w when the key unit of word w occurs in the folding of `bytes`.
    std::uint8_t seenIn(std::string_view bytes) const {
        const Tables& t = Tables::get();
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t n = bytes.size();
        std::uint8_t seen = 0;
        std::size_t segment = 0;  // where the last character that starts a segment begins
        for (std::size_t i = 0; i < n;) {
            std::uint8_t v;
            std::size_t length = 1;
            if (t.leadIndex[b[i]] < 0) {
                v = codes[b[i]];
            } else if (i + 1 < n) {
                v = codes[static_cast<std::size_t>(b[i]) << 8 | b[i + 1]];
                length = (v & kLoneLead) ? 1 : 2;
            } else {
                v = replacement;
            }
            if (v & kJoins) {
                // The characters since the segment's start fold together (ｶ with ﾞ is ガ).
                if (segment + 1 == i && b[segment] >= 0xA1 && b[segment] <= 0xDF && (b[i] == 0xDE || b[i] == 0xDF)) {
                    seen |= halfWidthVoiced[(std::size_t{b[segment]} - 0xA1) * 2 + (std::size_t{b[i]} - 0xDE)];
                } else {
                    thread_local std::u16string decoded, folded;
                    decoded.clear();
                    folded.clear();
                    decodeInto(bytes.substr(segment, i + length - segment), true, decoded);
                    normalizeInto(decoded, folded);
                    seen |= maskOf(folded);
                }
            } else {
                segment = i;
            }
            seen |= v;
            i += length;
        }
        return seen;
    }
};

bool SearchQuery::mayOccurIn(std::string_view cp932, std::string_view extra) const {
    if (!sieve_) return true;
    const std::uint8_t seen = sieve_->seenIn(cp932) | (extra.empty() ? 0 : sieve_->seenIn(extra));
    return (seen & sieve_->all) == sieve_->all;
}

SearchQuery SearchQuery::fromUtf8(std::string_view text) {
    std::u16string u16(text.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    icu::functions().strFromUTF8WithSub(u16.data(), static_cast<int32_t>(u16.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), kReplacement, nullptr, &status);
    u16.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return SearchQuery(u16);
}

std::u16string foldText(std::u16string_view text) {
    std::u16string out;
    normalizeInto(text, out);
    return out;
}

std::u16string decodeCp932(std::string_view bytes) {
    std::u16string out;
    decodeInto(bytes, true, out);
    return out;
}

bool matchesText(const SearchQuery& query, std::string_view cp932) {
    if (query.empty() || !query.mayOccurIn(cp932)) return false;
    Scanner scanner(query, false);
    scanner.scanCp932(cp932, true);
    return scanner.allFound();
}

FileMatch matchFile(const SearchQuery& query, const std::string& path, const std::function<bool()>& cancelled) {
    // Non-blocking, so that a pipe that happens to carry a comment's name cannot hang the search.
    const Fd fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (fd.fd < 0) return FileMatch::Unreadable;
    return matchOpenFile(query, fd.fd, cancelled, {});
}

std::vector<TextRange> findOccurrences(const SearchQuery& query, std::u16string_view text,
                                       const std::function<bool()>& cancelled) {
    std::vector<TextRange> ranges;
    if (query.empty()) return ranges;
    Scanner scanner(query, true);
    constexpr std::size_t kPiece = std::size_t{64} * 1024;
    for (std::size_t at = 0; at < text.size() || at == 0; at += kPiece) {
        if (cancelled && cancelled()) return {};
        scanner.input().append(text.substr(std::min(at, text.size()), kPiece));
        const bool last = at + kPiece >= text.size();
        scanner.scan(last, [&](std::size_t, std::size_t begin, std::size_t end) {
            ranges.push_back({begin, end});
        });
        if (last) break;
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const TextRange& a, const TextRange& b) { return a.begin != b.begin ? a.begin < b.begin : a.end < b.end; });
    return ranges;
}

SearchOutcome searchFolder(const CommentDirs& dirs, bool receivedMode, const SearchQuery& query,
                           const std::function<void(const SearchHit&)>& found,
                           const std::function<bool()>& cancelled, int onlyCategory) {
    SearchOutcome outcome;
    if (query.empty()) return outcome;
    const std::string& dir = receivedMode ? dirs.received : dirs.saved;
    const platform::DirectoryListing listing(dir);
    SilentSink sink;
    for (int k = 0; k < kCategoryCount && !outcome.cancelled; ++k) {
        if (onlyCategory >= 0 && onlyCategory != k) continue;
        int n = 0;
        // The same files, filter and limit as the loader, so every hit is a line of the list.
        platform::forEachFile(listing, filePattern(k), 0, [&](const platform::FoundFile& f, int fd) {
            if (n++ == kBlockSize) return false;
            if (cancelled && cancelled()) {
                outcome.cancelled = true;
                return false;
            }
            ++outcome.searched;
            const FileMatch m =
                fd < 0 ? FileMatch::Unreadable : matchOpenFile(query, fd, cancelled, listLineExtra(k, f.name));
            if (m == FileMatch::Cancelled) {
                outcome.cancelled = true;
                return false;
            }
            if (m == FileMatch::Unreadable) ++outcome.unreadable;
            if (m != FileMatch::Match) return true;
            SearchHit hit{k, dir + f.name, {}, platform::toLocalDateTime(f.lastWrite)};
            ::lseek(fd, 0, SEEK_SET);
            ReadListText(k, hit.path, fd, hit.listText, sink);
            found(hit);
            return true;
        });
    }
    return outcome;
}

std::size_t keepMatching(CommentTable& table, const SearchQuery& query, std::size_t& unreadable) {
    std::size_t kept = 0;
    for (int k = 0; k < kCategoryCount; ++k) {
        int to = 0;
        for (int n = 1; n <= table.count(k); ++n) {
            const std::string& path = table.entry(k, n).path;
            const Fd fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
            const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
            const FileMatch m =
                fd.fd < 0 ? FileMatch::Unreadable : matchOpenFile(query, fd.fd, {}, listLineExtra(k, name));
            if (m == FileMatch::Unreadable) ++unreadable;
            if (m != FileMatch::Match) continue;
            if (++to != n) table.entry(k, to) = std::move(table.entry(k, n));
        }
        for (int n = to + 1; n <= table.count(k); ++n) table.clearEntry(k, n);
        table.setCount(k, to);
        kept += static_cast<std::size_t>(to);
    }
    return kept;
}

}  // namespace store
