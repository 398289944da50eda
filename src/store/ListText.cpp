#include "store/ListText.h"

#include "platform/CommentFile.h"
#include "store/Categories.h"
#include "store/ShiftJis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace store {
namespace {

constexpr std::size_t kCutLength = 255;
// With its NUL and the C library's 8-byte header, a 64-byte block: a larger reserve cost more page
// faults over 2,000 entries than the allocations it saved.
constexpr std::size_t kTypicalListText = 55;
constexpr char kEndOfFileMark = '\x1A';  // DOS editors end text files with Ctrl-Z

struct Texts {
    std::string untitled = shiftjis::fromUtf8("【無 題】");
    std::string fullWidthBlank = shiftjis::fromUtf8("　");
    std::string year = shiftjis::fromUtf8("年");
    std::string month = shiftjis::fromUtf8("月");
    std::string day = shiftjis::fromUtf8("日");
    std::string count = shiftjis::fromUtf8("件");
    std::string openTitle = shiftjis::fromUtf8("ｵｰﾌﾟﾝｴﾗｰ");
    std::string openText = shiftjis::fromUtf8("のオープンに失敗しました");
    std::string readTitle = shiftjis::fromUtf8("読み込みｴﾗｰ");
    std::string readText = shiftjis::fromUtf8("の読み込みに失敗しました");
    std::string stopText = shiftjis::fromUtf8("読み込みを中止します。");
};

const Texts& texts()
{
    static const Texts t;
    return t;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The first CR, LF or end-of-text mark in p[from, to). All three are control characters, which text
// seldom holds otherwise: eight bytes are passed at a time while none of them is one.
std::size_t lineEnd(const char* p, std::size_t from, std::size_t to)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101, kHighBits = 0x8080808080808080;
    std::size_t i = from;
    while (i < to) {
        if (std::endian::native == std::endian::little && to - i >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            // The high bit of each byte below 0x20; a borrow may also mark a byte after such a
            // byte, never one before it, so the lowest mark is the first control character.
            const std::uint64_t marks = (w - kOnes * 0x20) & ~w & kHighBits;
            if (marks == 0) {
                i += 8;
                continue;
            }
            i += static_cast<std::size_t>(std::countr_zero(marks)) / 8;
        }
        const char c = p[i];
        if (c == '\n' || c == '\r' || c == kEndOfFileMark)
            return i;
        ++i;
    }
    return to;
}

// Text lines ending in CR LF, a lone CR or a lone LF, read in small blocks so that only the
// head of a large file is touched.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}

    enum class Result { Line, End, Error };

    Result next(std::string& line)
    {
        line.clear();
        bool any = false;
        for (;;) {
            if (pos_ == len_ && !fill())
                return error_ ? Result::Error : (any ? Result::Line : Result::End);
            // Take the run up to the next line end or end-of-text mark in one piece.
            const std::size_t end = lineEnd(buf_.data(), pos_, len_);
            // Only the head of a line can ever be listed: a file of one 100 MB line must fill
            // neither memory nor the list. One byte more than the limit tells the cut that follows.
            if (line.size() <= kListLineLimit) {
                // Appended whole, then cut: with a bounded length the compiler copied by rep movsq,
                // slower than the C library's memcpy for the few bytes of a line.
                line.append(buf_.data() + pos_, end - pos_);
                if (line.size() > kListLineLimit + 1)
                    line.resize(kListLineLimit + 1);
            }
            any = any || end > pos_;
            pos_ = end;
            if (pos_ == len_)
                continue;
            const char c = buf_[pos_];
            if (c == kEndOfFileMark) {
                eof_ = true;
                len_ = pos_;
                return any ? Result::Line : Result::End;
            }
            ++pos_;
            if (c == '\r' && (pos_ < len_ || fill()) && buf_[pos_] == '\n')
                ++pos_;
            error_ = false;  // a failed look-ahead after CR shows up at the next read
            return Result::Line;
        }
    }

private:
    bool fill()
    {
        if (eof_)
            return false;
        for (;;) {
            // The first read is small: the two lines a list text needs are mostly in the first
            // few hundred bytes, and copying a whole block per file was most of what the system
            // did for a listing. A line that goes on is read in whole blocks.
            const std::size_t want = std::min(reads_++ == 0 ? kFirstRead : buf_.size(), kHeadScanLimit - scanned_);
            if (want == 0) {
                eof_ = true;  // what stands within the bound is all that is listed
                return false;
            }
            const ssize_t n = ::read(fd_, buf_.data(), want);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                eof_ = n == 0;
                error_ = n < 0;
                return false;
            }
            pos_ = 0;
            len_ = static_cast<std::size_t>(n);
            scanned_ += len_;
            return true;
        }
    }

    static constexpr std::size_t kFirstRead = 512;
    int fd_;
    int reads_ = 0;
    std::size_t scanned_ = 0;
    std::array<char, 4096> buf_;  // not cleared: zeroing 4 KiB per file cost more than parsing its head
    std::size_t pos_ = 0, len_ = 0;
    bool eof_ = false, error_ = false;
};

std::string_view fileNameOf(std::string_view path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Whether 年, 月 and 日 all stand in the line as characters; one pass over it.
bool isDateLine(std::string_view line)
{
    const Texts& t = texts();
    auto code = [](std::string_view c) {
        return static_cast<unsigned>(static_cast<unsigned char>(c[0]) << 8 | static_cast<unsigned char>(c[1]));
    };
    static const unsigned year = code(t.year), month = code(t.month), day = code(t.day);
    // Without 年's bytes anywhere the line holds no 年: most titles are turned away by one search.
    if (line.find(t.year) == std::string_view::npos)
        return false;
    bool seenYear = false, seenMonth = false, seenDay = false;
    for (std::size_t at = 0; at < line.size();) {
        const auto b = static_cast<unsigned char>(line[at]);
        if (!shiftjis::isLeadByte(b) || at + 1 == line.size()) {
            ++at;
            continue;
        }
        const unsigned c = b << 8 | static_cast<unsigned char>(line[at + 1]);
        seenYear = seenYear || c == year;
        seenMonth = seenMonth || c == month;
        seenDay = seenDay || c == day;
        at += 2;
    }
    return seenYear && seenMonth && seenDay;
}

// The first two non-blank lines of a file; no allocation for the pair itself.
struct HeadLines {
    std::array<std::string, 2> line;
    std::size_t count = 0;
    bool empty() const { return count == 0; }
    std::size_t size() const { return count; }
    std::string& operator[](std::size_t i) { return line[i]; }
};

// Takes the lines apart: the list text is built in the first line's string where it can be.
std::string composeListText(int k, const std::string& path, HeadLines&& lines)
{
    const Texts& t = texts();
    if (k == kEarnings) {
        // Returned by name, not as the reference append gives back: that would be a copy.
        std::string text = lines.empty() ? std::string() : std::move(lines[0]);
        const int n = earningsCount(fileNameOf(path));
        if (n < 0) {
            text.append(7, ' ');  // no count to show: keep the column blank
            return text;
        }
        // The count right-aligned in five columns (it has at most three digits).
        char count[5] = {' ', ' ', char('0' + n / 100), char('0' + n / 10 % 10), char('0' + n % 10)};
        for (int i = 2; i < 4 && count[i] == '0'; ++i)
            count[i] = ' ';
        text.append(count, sizeof count).append(t.count);
        return text;
    }
    if ((k == kNotices || k == kWeekend) && lines.size() == 2) {
        // The later date line fills the date column; the lines that are not dates make the title.
        const bool date0 = isDateLine(lines[0]), date1 = isDateLine(lines[1]);
        if (date1 && !date0) {
            // The usual head, a title and then its date: the text is made in the title's string.
            std::string text = std::move(lines[0]);
            const std::string& date = lines[1];
            const std::size_t column = std::max(date.size(), kDateColumnWidth);
            text.insert(0, column + 2, ' ');
            text.replace(0, date.size(), date);
            return text;
        }
        std::string text = date1 ? std::move(lines[1]) : date0 ? std::move(lines[0]) : std::string();
        text.reserve(std::max(text.size(), kDateColumnWidth) + 2 + (date0 ? 0 : lines[0].size()) +
                     (date1 ? 0 : lines[1].size()));
        if (text.size() < kDateColumnWidth)
            text.append(kDateColumnWidth - text.size(), ' ');
        text += "  ";
        if (!date0)
            text += lines[0];
        if (!date1)
            text += lines[1];
        return text;
    }
    if (lines.empty())
        return t.untitled;
    return std::move(lines[0]);
}

void report(MessageSink& sink, const std::string& title, const std::string& path, const std::string& what)
{
    // Paths are file names of this platform (UTF-8); the message speaks code page 932.
    sink.showMessage(title, shiftjis::fromUtf8(path) + what, texts().stopText, kMessageError);
}

}  // namespace

const std::string& untitledMarker() { return texts().untitled; }

namespace {

// NormalizeLine on the line's own string: the reader keeps its buffer, and no copy is made.
void normalizeInPlace(std::string& line)
{
    const std::string& blank = texts().fullWidthBlank;
    for (std::size_t at; (at = shiftjis::find(line, blank)) != std::string::npos;) {
        // The blank becomes two spaces in place (both two bytes); what follows is cut to 255 bytes.
        const std::size_t restLength =
            shiftjis::safeCut(std::string_view(line).substr(at + blank.size()), kCutLength).size();
        line.erase(at + blank.size() + restLength);
        line.replace(at, blank.size(), "  ");
    }
    // Only the first drop can cut (the rest is then at most 255 bytes long already).
    if (!line.empty() && line[0] == ' ') {
        line.erase(0, 1);
        line.resize(shiftjis::safeCut(line, kCutLength).size());
        std::size_t lead = 0;
        while (lead < line.size() && line[lead] == ' ')
            ++lead;
        line.erase(0, lead);
    }
    // 0x20 is never the trail byte of a double-byte character, so trimming from the end is safe.
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
}

}  // namespace

std::string NormalizeLine(std::string_view in)
{
    std::string line(in);
    normalizeInPlace(line);
    return line;
}

int earningsCount(std::string_view name)
{
    if (name.size() < 7)
        return -1;
    int n = 0;
    for (std::size_t i = 4; i < 7; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

bool ReadListText(int k, const std::string& path, std::string& listText, MessageSink& sink)
{
    // Non-blocking and ordinary files only, so that a pipe or a device that happens to match a
    // pattern can hang the list neither at the open nor at the reads.
    const int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    Fd fd(opened >= 0 && platform::isSpecialFile(opened) ? (::close(opened), -1) : opened);
    return ReadListText(k, path, fd.get(), listText, sink);
}

bool ReadListText(int k, const std::string& path, int fd, std::string& listText, MessageSink& sink)
{
    if (fd < 0) {
        report(sink, texts().openTitle, path, texts().openText);
        listText = composeListText(k, path, HeadLines{});
        return false;
    }
    LineReader reader(fd);
    HeadLines lines;
    // Room for a usual title with the date column or the count put before or after it: the list
    // text is then made without another allocation.
    lines[0].reserve(kTypicalListText);
    // Each line is read into its place among the head lines; a blank one is overwritten by the next.
    while (lines.count < 2) {
        std::string& line = lines[lines.count];
        const auto r = reader.next(line);
        if (r == LineReader::Result::End)
            break;
        if (r == LineReader::Result::Error) {
            report(sink, texts().readTitle, path, texts().readText);
            listText = composeListText(k, path, HeadLines{});
            return false;
        }
        if (line.size() > kListLineLimit)
            line.resize(shiftjis::safeCut(line, kListLineLimit).size());
        normalizeInPlace(line);
        if (!line.empty())
            ++lines.count;
    }
    listText = composeListText(k, path, std::move(lines));
    return true;
}

}  // namespace store
