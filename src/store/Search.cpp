#include "store/Search.h"

#include "platform/FileFind.h"
#include "store/ListText.h"
#include "store/ShiftJis.h"

#include <unicode/ucnv.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace store {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

const UNormalizer2* normalizer() {
    static const UNormalizer2* n = [] {
        UErrorCode status = U_ZERO_ERROR;
        const UNormalizer2* nfkcCf = unorm2_getNFKCCasefoldInstance(&status);
        if (U_FAILURE(status)) throw std::runtime_error(std::string("ICU NFKC_Casefold: ") + u_errorName(status));
        return nfkcCf;
    }();
    return n;
}

void normalizeInto(std::u16string_view in, std::u16string& out) {
    if (in.empty()) return;
    const std::size_t at = out.size();
    out.resize(at + in.size() * 4 + 16);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = unorm2_normalize(normalizer(), in.data(), static_cast<int32_t>(in.size()), out.data() + at,
                                 static_cast<int32_t>(out.size() - at), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(at + static_cast<std::size_t>(n));
        status = U_ZERO_ERROR;
        n = unorm2_normalize(normalizer(), in.data(), static_cast<int32_t>(in.size()), out.data() + at, n, &status);
    }
    if (U_FAILURE(status)) {
        out.resize(at);
        out.append(in);  // cannot happen for well-formed input; keep the text rather than lose it
        return;
    }
    out.resize(at + static_cast<std::size_t>(n));
}

// Decoding and folding by table, built once from ICU: decoding "windows-31j" and normalizing
// with NFKC_Casefold for every 16-bit unit costs a few milliseconds once and makes the scan of
// 2,000 comments a matter of table lookups instead of library calls per character.
class Tables {
public:
    static const Tables& get() {
        static const Tables t;
        return t;
    }

    // Per 16-bit unit: whether text may be cut before it without changing its folding (ICU's
    // "boundary before"), and where its own folding lies in the pool (length 0: unknown, fold
    // it through ICU).
    struct Fold {
        std::uint32_t offset : 24;
        std::uint32_t length : 7;
        std::uint32_t boundary : 1;
    };
    std::array<Fold, 0x10000> fold{};
    std::u16string pool;

    std::array<char16_t, 256> single{};      // a byte that is not a lead byte
    std::vector<char16_t> pair;              // (lead index * 256 + trail); 0: not a pair
    std::array<std::int16_t, 256> leadIndex{};  // -1: not a lead byte

private:
    Tables() {
        buildDecoder();
        const UNormalizer2* n = normalizer();
        std::u16string folded;
        for (std::uint32_t c = 0; c < 0x10000; ++c) {
            Fold& f = fold[c];
            if (c >= 0xD800 && c <= 0xDFFF) {
                // Surrogates go through ICU as whole code points; a text is cut before a high one.
                f.boundary = c < 0xDC00;
                continue;
            }
            f.boundary = unorm2_hasBoundaryBefore(n, static_cast<UChar32>(c));
            const char16_t unit = static_cast<char16_t>(c);
            folded.clear();
            UErrorCode status = U_ZERO_ERROR;
            if (unorm2_quickCheck(n, &unit, 1, &status) == UNORM_YES && U_SUCCESS(status))
                folded.push_back(unit);
            else
                normalizeInto(std::u16string_view(&unit, 1), folded);
            if (folded.size() >= 128) continue;  // left to ICU
            f.offset = static_cast<std::uint32_t>(pool.size());
            f.length = static_cast<std::uint32_t>(folded.size());
            pool += folded;
        }
    }

    void buildDecoder() {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UConverter, void (*)(UConverter*)> cnv(ucnv_open("windows-31j", &status), ucnv_close);
        if (U_FAILURE(status)) throw std::runtime_error(std::string("ICU windows-31j: ") + u_errorName(status));
        auto decode = [&](const char* bytes, int length, char16_t* out) {
            UErrorCode st = U_ZERO_ERROR;
            ucnv_reset(cnv.get());
            const int32_t n = ucnv_toUChars(cnv.get(), out, 4, bytes, length, &st);
            return U_FAILURE(st) ? -1 : n;
        };
        leadIndex.fill(-1);
        int leads = 0;
        for (int b = 0; b < 256; ++b) {
            if (shiftjis::isLeadByte(static_cast<unsigned char>(b))) {
                leadIndex[static_cast<std::size_t>(b)] = static_cast<std::int16_t>(leads++);
                single[static_cast<std::size_t>(b)] = kReplacement;  // a lead byte without its trail
                continue;
            }
            const char byte = static_cast<char>(b);
            char16_t out[4];
            single[static_cast<std::size_t>(b)] = decode(&byte, 1, out) == 1 ? out[0] : kReplacement;
        }
        pair.assign(static_cast<std::size_t>(leads) * 256, 0);
        for (int lead = 0; lead < 256; ++lead) {
            const int li = leadIndex[static_cast<std::size_t>(lead)];
            if (li < 0) continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char16_t out[4];
                // Only a pair that decodes to one character is one; otherwise the lead byte stands
                // alone as U+FFFD and the next byte is a character of its own.
                if (decode(bytes, 2, out) == 1)
                    pair[static_cast<std::size_t>(li) * 256 + static_cast<std::size_t>(trail)] = out[0];
            }
        }
    }
};

// Folds UTF-16 text piece by piece and finds the query's words in the folded text. Text is cut
// only before units with a normalization boundary, so folding the pieces gives the same units as
// folding the whole; a piece's last segment waits for the next piece. Only the last
// (longest word - 1) folded units are kept between pieces.
class Scanner {
public:
    using Hit = std::function<bool(std::size_t word, std::size_t begin, std::size_t end)>;

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
        const std::size_t n = input_.size();
        std::size_t p = 0;
        while (p < n) {
            std::size_t q = p + 1;
            while (q < n && !t.fold[input_[q]].boundary) ++q;
            if (q == n && !last) break;  // the segment may go on in the next piece
            const auto f = t.fold[input_[p]];
            if (q == p + 1 && f.length > 0) {
                if (f.length == 1)
                    folded_.push_back(t.pool[f.offset]);
                else
                    folded_.append(t.pool, f.offset, f.length);
            } else {
                normalizeInto(std::u16string_view(input_).substr(p, q - p), folded_);
            }
            if (positions_) {
                begins_.resize(folded_.size(), base_ + p);
                ends_.resize(folded_.size(), base_ + q);
            }
            p = q;
        }
        input_.erase(0, p);
        base_ += p;
        search(hit);
    }

    bool allFound() const { return std::all_of(found_.begin(), found_.end(), [](bool f) { return f; }); }

private:
    void search(const Hit& hit) {
        const std::u16string_view text(folded_);
        for (std::size_t w = 0; w < words_.size(); ++w) {
            if (found_[w] && !hit) continue;
            const std::u16string& word = words_[w];
            std::size_t at = next_[w];
            while ((at = text.find(word, at)) != std::u16string_view::npos) {
                found_[w] = true;
                if (!hit) break;
                if (!hit(w, begins_[at], ends_[at + word.size() - 1])) {
                    stopped_ = true;
                    return;
                }
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
    std::u16string input_, folded_;
    std::vector<std::size_t> begins_, ends_;  // source span of each folded unit (positions only)
    std::size_t base_ = 0;                    // source index of input_[0]
    std::vector<std::size_t> next_;           // per word: first start in folded_ not yet tried
    std::vector<bool> found_;
    bool stopped_ = false;

public:
    bool stopped() const { return stopped_; }
};

// Appends the UTF-16 of code page 932 bytes to `out`. A lead byte at the end of `bytes` is left
// over (returns 1) unless `last`.
std::size_t decodeInto(std::string_view bytes, bool last, std::u16string& out) {
    const Tables& t = Tables::get();
    const std::size_t n = bytes.size();
    const std::size_t at = out.size();
    out.resize(at + n);
    char16_t* o = out.data() + at;
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int li = t.leadIndex[b];
        if (li < 0) {
            *o++ = t.single[b];
            ++i;
            continue;
        }
        if (i + 1 == n) {
            if (!last) break;
            *o++ = kReplacement;
            ++i;
            continue;
        }
        const char16_t c =
            t.pair[static_cast<std::size_t>(li) * 256 + static_cast<unsigned char>(bytes[i + 1])];
        *o++ = c ? c : kReplacement;
        i += c ? 2 : 1;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return n - i;
}

// Reads an open file in blocks through the scanner until every word is found.
FileMatch matchOpenFile(const SearchQuery& query, int fd, const std::function<bool()>& cancelled) {
    if (query.empty()) return FileMatch::NoMatch;
    Scanner scanner(query, false);
    constexpr std::size_t kBlock = 256 * 1024;
    thread_local std::string block;
    block.resize(kBlock + 1);
    std::size_t carried = 0;  // a lead byte left from the previous block
    for (;;) {
        if (cancelled && cancelled()) return FileMatch::Cancelled;
        const ssize_t r = ::read(fd, block.data() + carried, kBlock);
        if (r < 0) {
            if (errno == EINTR) continue;
            return FileMatch::Unreadable;
        }
        const bool last = r == 0;
        const std::size_t have = carried + static_cast<std::size_t>(r);
        const std::size_t left = decodeInto(std::string_view(block.data(), have), last, scanner.input());
        if (left > 0) block[0] = block[have - left];
        carried = left;
        scanner.scan(last);
        if (scanner.allFound()) return FileMatch::Match;
        if (last) return FileMatch::NoMatch;
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
}

SearchQuery SearchQuery::fromUtf8(std::string_view text) {
    std::u16string u16(text.size() + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(u16.data(), static_cast<int32_t>(u16.size()), &length, text.data(),
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
    if (query.empty()) return false;
    Scanner scanner(query, false);
    decodeInto(cp932, true, scanner.input());
    scanner.scan(true);
    return scanner.allFound();
}

FileMatch matchFile(const SearchQuery& query, const std::string& path, const std::function<bool()>& cancelled) {
    // Non-blocking, so that a pipe that happens to carry a comment's name cannot hang the search.
    const Fd fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (fd.fd < 0) return FileMatch::Unreadable;
    return matchOpenFile(query, fd.fd, cancelled);
}

std::vector<TextRange> findOccurrences(const SearchQuery& query, std::u16string_view text,
                                       const std::function<bool()>& cancelled) {
    std::vector<TextRange> ranges;
    if (query.empty()) return ranges;
    Scanner scanner(query, true);
    constexpr std::size_t kPiece = 64 * 1024;
    for (std::size_t at = 0; at < text.size() || at == 0; at += kPiece) {
        if (cancelled && cancelled()) return {};
        scanner.input().append(text.substr(std::min(at, text.size()), kPiece));
        const bool last = at + kPiece >= text.size();
        scanner.scan(last, [&](std::size_t, std::size_t begin, std::size_t end) {
            ranges.push_back({begin, end});
            return true;
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
            ++outcome.searched;
            const FileMatch m = fd < 0 ? FileMatch::Unreadable : matchOpenFile(query, fd, cancelled);
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
            const FileMatch m = matchFile(query, table.entry(k, n).path);
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
