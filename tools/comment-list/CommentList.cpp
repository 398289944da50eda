#include "CommentList.h"
#include "Watch.h"

#include "platform/FileFind.h"
#include "platform/FileTime.h"
#include "settings/SettingsRecord.h"
#include "store/Categories.h"
#include "store/CommentTable.h"
#include "store/Loader.h"
#include "store/Search.h"
#include "store/ShiftJis.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>
#include <sys/stat.h>

namespace commentlist {
namespace {

constexpr const char* kUsage =
    "usage: comment-list [--suite DIR] [--received|--saved] [--category N] [--json] [--watch|--search TEXT]\n"
    "  Prints the comments the viewer would list, one line per comment, each category newest first:\n"
    "  category, local time (ISO 8601), list text, path; tab-separated, or JSON with --json.\n"
    "  --suite DIR    the suite folder (default: $BREVON_HOME, else ~/Brevon)\n"
    "  --received     the received comments; --saved: the saved comments\n"
    "                 (default: received when there are any, else saved, as the viewer starts)\n"
    "  --category N   only category N: 0 notices, 1 market flash, 2 weekend, 3 earnings\n"
    "  --watch        instead: one line (or JSON object) per comment that arrives in the received\n"
    "                 folder, as soon as it is whole, until interrupted (SIGINT or SIGTERM: exit 0)\n"
    "  --search TEXT  only comments whose text holds every blank-separated word of TEXT, without\n"
    "                 regard to case or width; exit status 0 with matches, 1 without, 2 on error\n";

// Messages of the loader (a file that cannot be read) go to standard error as text.
class ErrorStreamSink : public store::MessageSink {
public:
    explicit ErrorStreamSink(std::ostream& err) : err_(err) {}
    void showMessage(const std::string& title, const std::string& text, const std::string& text2, int) override
    {
        err_ << "comment-list: " << shiftjis::toUtf8(title) << ": " << shiftjis::toUtf8(text) << " "
             << shiftjis::toUtf8(text2) << "\n";
    }

private:
    std::ostream& err_;
};

void appendIsoTime(std::string& out, double value)
{
    const auto t = platform::decodeDateTime(value);
    if (t.year < 0 || t.year > 9999) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second, t.millisecond);
        out += buf;
        return;
    }
    // The same by hand: printf was a tenth of the tool's own time.
    char s[] = "0000-00-00T00:00:00.000";
    auto put = [&s](std::size_t end, int v, int width) {
        for (int i = 0; i < width; ++i, v /= 10)
            s[end - static_cast<std::size_t>(i)] = static_cast<char>('0' + v % 10);
    };
    put(3, t.year, 4);
    put(6, t.month, 2);
    put(9, t.day, 2);
    put(12, t.hour, 2);
    put(15, t.minute, 2);
    put(18, t.second, 2);
    put(22, t.millisecond, 3);
    out.append(s, sizeof s - 1);
}

std::string isoTime(double value)
{
    std::string s;
    appendIsoTime(s, value);
    return s;
}

// Valid UTF-8 stays; a stray byte becomes U+FFFD, so the output is always valid UTF-8.
void appendCleanUtf8(std::string& out, std::string_view s)
{
    if (std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        out.append(s);
        return;
    }
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        bool ok = len > 0 && i + len <= s.size();
        for (std::size_t k = 1; ok && k < len; ++k)
            ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (ok) {
            out.append(s.substr(i, len));
            i += len;
        } else {
            out.append("\xEF\xBF\xBD");
            ++i;
        }
    }
}

std::string cleanUtf8(std::string_view s)
{
    std::string out;
    appendCleanUtf8(out, s);
    return out;
}

// An escape of one byte: `prefix`, then its value in two lower-case hex digits.
void appendEscaped(std::string& out, const char* prefix, unsigned char b)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += prefix;
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
}

std::string jsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                appendEscaped(out, "\\u00", static_cast<unsigned char>(c));
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

// Tabs and line ends inside a field would break the one-line-per-entry output, and any other
// control character from a comment (ESC above all) would drive the terminal it is printed to: those
// are written as \x1b, and C1 controls (U+0080 to U+009F, which some terminals obey too) as \u009b.
// The field is UTF-8 already, so a multi-byte character never holds a byte below 0x80.
void blankBreaks(std::string& s, std::size_t from)
{
    // Most fields hold no control character at all; a branch-free look for one comes first. 0xC2
    // leads every C1 control (and a few harmless Latin-1 characters).
    bool control = false;
    for (std::size_t i = from; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        control |= (b < 0x20) | (b == 0x7F) | (b == 0xC2);
    }
    if (!control)
        return;
    std::string field;
    field.reserve(s.size() - from + 16);
    for (std::size_t i = from; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b == '\t' || b == '\n' || b == '\r') {
            field += ' ';
        } else if (b < 0x20 || b == 0x7F) {
            appendEscaped(field, "\\x", b);
        } else if (b == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(s[i + 1]) <= 0x9F) {
            appendEscaped(field, "\\u00", static_cast<unsigned char>(s[++i]));
        } else {
            field += static_cast<char>(b);
        }
    }
    s.resize(from);
    s += field;
}

std::string plainField(std::string s)
{
    blankBreaks(s, 0);
    return s;
}

// Only the entries whose files hold every word stay; files that cannot be read are counted.
std::size_t keepMatching(store::CommentTable& table, const store::SearchQuery& query, std::ostream& err)
{
    std::size_t unreadable = 0;
    const std::size_t kept = store::keepMatching(table, query, unreadable);
    if (unreadable > 0)
        err << "comment-list: " << unreadable << " file(s) could not be read and were skipped\n";
    return kept;
}

bool isDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int run(const std::vector<std::string>& args, const char* homeEnv, std::ostream& out, std::ostream& err)
{
    std::string suite = homeEnv ? homeEnv : "";
    enum class Mode { Auto, Received, Saved } mode = Mode::Auto;
    int only = -1;
    bool json = false;
    bool watch = false;
    std::optional<store::SearchQuery> search;
    // ICU missing or damaged: an error like any other, not a crash.
    auto cannotSearch = [&](const std::exception& e) {
        err << "comment-list: cannot search: " << e.what() << "\n";
        return 2;
    };
    auto bad = [&](const std::string& why) {
        err << "comment-list: " << why << "\n" << kUsage;
        return 2;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out << kUsage;
            return 0;
        } else if (a == "--suite") {
            if (++i >= args.size())
                return bad("--suite needs a folder");
            suite = args[i];
        } else if (a == "--received" || a == "--saved") {
            const Mode m = a == "--received" ? Mode::Received : Mode::Saved;
            if (mode != Mode::Auto && mode != m)
                return bad("--received and --saved exclude each other");
            mode = m;
        } else if (a == "--category") {
            if (++i >= args.size())
                return bad("--category needs a number from 0 to 3");
            const std::string& v = args[i];
            if (v.size() != 1 || v[0] < '0' || v[0] > '3')
                return bad("bad category '" + v + "': use 0 to 3");
            only = v[0] - '0';
        } else if (a == "--json") {
            json = true;
        } else if (a == "--watch") {
            watch = true;
        } else if (a == "--search") {
            if (++i >= args.size())
                return bad("--search needs a text to look for");
            try {
                search = store::SearchQuery::fromUtf8(args[i]);
            } catch (const std::exception& e) {
                return cannotSearch(e);
            }
            if (search->empty())
                return bad("--search needs a text to look for");
        } else {
            return bad("unknown argument '" + a + "'");
        }
    }
    if (suite.empty()) {
        err << "comment-list: no suite folder: give --suite DIR or set BREVON_HOME\n";
        return search ? 2 : 1;  // with --search, 1 means "nothing found", as grep has it
    }
    if (!isDirectory(suite)) {
        err << "comment-list: suite folder not found: " << suite << "\n";
        return search ? 2 : 1;
    }

    const store::CommentDirs dirs = store::CommentDirs::forSuite(suite);
    if (watch) {
        if (mode == Mode::Saved)
            return bad("--watch looks at the received folder only");
        if (search)
            return bad("--watch and --search exclude each other");
        return watchArrivals(dirs, only, json, out, err);
    }
    // The viewer's table limit and notice apply as with the default settings.
    const settings::SettingsRecord defaults;
    ErrorStreamSink sink(err);
    auto table = std::make_unique<store::CommentTable>();  // 2,000 entries: not on the stack
    // As the viewer starts: received mode when any category has received comments, whichever
    // category is asked for.
    bool received = mode == Mode::Received;
    if (only < 0) {
        // The four categories from one listing of the folder.
        received = mode != Mode::Saved;
        store::LoadCategories(*table, dirs, received, defaults, sink);
        if (mode == Mode::Auto && table->empty()) {
            received = false;
            store::LoadCategories(*table, dirs, false, defaults, sink);
        }
    } else {
        if (mode == Mode::Auto)
            for (int k = 0; k < store::kCategoryCount && !received; ++k)
                received = !platform::findFiles(dirs.received, store::filePattern(k), 0).empty();
        store::LoadCategory(*table, dirs, received, only, defaults, sink);
    }
    std::size_t matched = 0;
    if (search) {
        try {
            matched = keepMatching(*table, *search, err);
        } catch (const std::exception& e) {
            return cannotSearch(e);
        }
    }

    // Written in large pieces: 2,000 lines through the stream one field at a time cost more than
    // reading the files, and one string for the whole output was a page fault per 4 KiB of it.
    constexpr std::size_t kPiece = std::size_t{64} * 1024;
    std::string text;
    text.reserve(kPiece + 4096);
    if (json)
        text += "{\"suite\":" + jsonString(cleanUtf8(suite)) + ",\"mode\":\"" + (received ? "received" : "saved") +
                "\",\"entries\":[";
    // Every path starts with the folder, which ends in '/': it is made clean and plain once.
    const std::string& folder = received ? dirs.received : dirs.saved;
    std::string plainFolder;
    appendCleanUtf8(plainFolder, folder);
    blankBreaks(plainFolder, 0);
    bool first = true;
    for (int k = 0; k < store::kCategoryCount; ++k) {
        for (int n = 1; n <= table->count(k); ++n) {
            const store::TCmntInfo& e = table->entry(k, n);
            const std::string_view label = store::categoryInfo(k).labelUtf8;
            if (!json) {
                // Straight into the output: a string per field per entry cost more than the fields.
                text.append(label) += '\t';
                appendIsoTime(text, e.time);
                text += '\t';
                std::size_t from = text.size();
                shiftjis::appendUtf8(text, e.listText);
                blankBreaks(text, from);
                text += '\t';
                std::string_view path = e.path;
                if (!folder.empty() && folder.back() == '/' && path.substr(0, folder.size()) == folder) {
                    text += plainFolder;
                    path.remove_prefix(folder.size());
                }
                from = text.size();
                appendCleanUtf8(text, path);
                blankBreaks(text, from);
                text += '\n';
            } else {
                const std::string listText = shiftjis::toUtf8(e.listText);
                const std::string path = cleanUtf8(e.path);
                text += first ? "" : ",";
                text += "\n  {\"category\":" + std::to_string(k) + ",\"label\":" + jsonString(label) +
                        ",\"time\":" + jsonString(isoTime(e.time)) + ",\"text\":" + jsonString(listText) +
                        ",\"path\":" + jsonString(path) + "}";
            }
            first = false;
            if (text.size() >= kPiece) {
                out.write(text.data(), static_cast<std::streamsize>(text.size()));
                text.clear();
            }
        }
    }
    if (json)
        text += first ? "]}\n" : "\n]}\n";
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return search && matched == 0 ? 1 : 0;
}

std::string entryLine(int k, const store::TCmntInfo& e, bool json)
{
    const std::string text = shiftjis::toUtf8(e.listText);
    const std::string path = cleanUtf8(e.path);
    const std::string_view label = store::categoryInfo(k).labelUtf8;
    if (json)
        return "{\"category\":" + std::to_string(k) + ",\"label\":" + jsonString(label) +
               ",\"time\":" + jsonString(isoTime(e.time)) + ",\"text\":" + jsonString(text) +
               ",\"path\":" + jsonString(path) + "}\n";
    return std::string(label) + '\t' + isoTime(e.time) + '\t' + plainField(text) + '\t' + plainField(path) + '\n';
}

}  // namespace commentlist
