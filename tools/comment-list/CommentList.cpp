#include "CommentList.h"
#include "EntryForms.h"
#include "HeapReserve.h"
#include "Output.h"
#include "Watch.h"

#include "platform/FileFind.h"
#include "settings/SettingsRecord.h"
#include "store/Categories.h"
#include "store/CommentTable.h"
#include "store/Loader.h"
#include "store/Search.h"
#include "store/ShiftJis.h"

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace commentlist {
namespace {

constexpr const char* kUsage =
    "usage: comment-list [--suite DIR] [--received|--saved] [--category N] [--json|--null]\n"
    "                    [--watch|--search TEXT]\n"
    "  Prints the comments the viewer would list, one line per comment, each category newest first:\n"
    "  category, local time (ISO 8601), list text, path; tab-separated, each field escaped (\\\\, \\t,\n"
    "  \\n, \\r, \\xNN), or JSON with --json. The list holds 500 per category, as the viewer's; stderr\n"
    "  says how many it leaves out.\n"
    "  --suite DIR    the suite folder (default: $BREVON_HOME, else ~/Brevon)\n"
    "  --received     the received comments; --saved: the saved comments\n"
    "                 (default: received when there are any, else saved, as the viewer starts)\n"
    "  --category N   only category N: 0 notices, 1 market flash, 2 weekend, 3 earnings\n"
    "  --json         JSON; times with their offset, path_bytes (base64) for a name not in UTF-8\n"
    "  -0, --null     only the paths, as they are, each ended by a NUL byte (as find -print0)\n"
    "  --watch        instead: one entry per comment that arrives in the received folder, as soon\n"
    "                 as it is whole, until interrupted (SIGINT or SIGTERM: exit 0) or until its\n"
    "                 output is gone\n"
    "  --search TEXT  only comments whose text holds every blank-separated word of TEXT, without\n"
    "                 regard to case or width; exit status 0 with matches, 1 without\n"
    "  --version      the version\n"
    "  Options take their value as --option VALUE or --option=VALUE; -- ends the options.\n"
    "  Exit status 2 on any error: a bad argument, no suite, output that cannot be written.\n";

// Messages of the loader (a file that cannot be read) go to standard error as text.
class ErrorStreamSink : public store::MessageSink {
public:
    explicit ErrorStreamSink(Out& err) : err_(err) {}
    void showMessage(const std::string& title, const std::string& text, const std::string& text2, int) override
    {
        err_ << "comment-list: " << shiftjis::toUtf8(title) << ": " << shiftjis::toUtf8(text) << " "
             << shiftjis::toUtf8(text2) << "\n";
    }

private:
    Out& err_;
};

// Only the entries whose files hold every word stay; files that cannot be read are counted.
std::size_t keepMatching(store::CommentTable& table, const store::SearchQuery& query, Out& err)
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

// The list holds 500 per category, as the viewer's: what it leaves out of a full block is said.
// `names` holds how many names of the folder match each category's pattern: a full block and no
// name more is the common case, found without a look at any file.
void tellLeftOut(const store::CommentTable& table, const std::string& folder,
                 const std::array<std::size_t, store::kCategoryCount>& names, Out& err)
{
    for (int k = 0; k < store::kCategoryCount; ++k) {
        if (table.count(k) < store::kBlockSize || names[static_cast<std::size_t>(k)] <= store::kBlockSize)
            continue;
        const std::size_t all = platform::findFiles(folder, store::filePattern(k), 0, false).size();
        if (all > store::kBlockSize)
            err << "comment-list: " << store::categoryInfo(k).labelUtf8 << ": " << all - store::kBlockSize
                << " more comment(s) left out: the list holds " << store::kBlockSize << " per category\n";
    }
}

struct Options {
    std::string suite;
    enum class Mode { Auto, Received, Saved } mode = Mode::Auto;
    int only = -1;
    bool json = false;
    bool null = false;
    bool watch = false;
    std::optional<store::SearchQuery> search;
};

// ICU missing or damaged: an error like any other, not a crash.
int cannotSearch(const std::exception& e, Out& err)
{
    err << "comment-list: cannot search: " << e.what() << "\n";
    return 2;
}

// Reads the arguments into `o`; returns an exit code when the run ends here (help, version, a
// bad argument), with what it says written.
std::optional<int> parse(const std::vector<std::string>& args, Options& o, Out& out, Out& err)
{
    auto bad = [&](const std::string& why) {
        err << "comment-list: " << why << "; try --help\n";
        return 2;
    };
    auto say = [&](const char* text) { return out.write(text) ? 0 : outputFailed(out, err); };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            if (i + 1 < args.size())
                return bad("unexpected argument '" + args[i + 1] + "'");
            break;
        }
        // "--name=value" or "--name value"
        std::string name = a;
        std::optional<std::string> value;
        if (const auto eq = a.find('='); a.starts_with("--") && eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        auto takeValue = [&]() -> const std::string* {
            if (!value && i + 1 < args.size())
                value = args[++i];
            return value ? &*value : nullptr;
        };
        const bool takesValue = name == "--suite" || name == "--category" || name == "--search";
        if (value && !takesValue)
            return bad("option '" + name + "' takes no value");
        if (name == "--help" || name == "-h") {
            return say(kUsage);
        } else if (name == "--version") {
            return say("comment-list (brevon-comment) " COMMENT_VERSION "\n");
        } else if (name == "--suite") {
            const std::string* v = takeValue();
            if (!v || v->empty())
                return bad("--suite needs a folder");
            o.suite = *v;
        } else if (name == "--received" || name == "--saved") {
            const auto m = name == "--received" ? Options::Mode::Received : Options::Mode::Saved;
            if (o.mode != Options::Mode::Auto && o.mode != m)
                return bad("--received and --saved exclude each other");
            o.mode = m;
        } else if (name == "--category") {
            const std::string* v = takeValue();
            if (!v)
                return bad("--category needs a number from 0 to 3");
            if (v->size() != 1 || (*v)[0] < '0' || (*v)[0] > '3')
                return bad("bad category '" + *v + "': use 0 to 3");
            o.only = (*v)[0] - '0';
        } else if (name == "--json") {
            o.json = true;
        } else if (name == "--null" || name == "-0") {
            o.null = true;
        } else if (name == "--watch") {
            o.watch = true;
        } else if (name == "--search") {
            const std::string* v = takeValue();
            if (!v)
                return bad("--search needs a text to look for");
            if (!isUtf8(*v))
                return bad("--search text is not valid UTF-8");
            try {
                o.search = store::SearchQuery::fromUtf8(*v);
            } catch (const std::exception& e) {
                return cannotSearch(e, err);
            }
            if (o.search->empty())
                return bad("--search needs a text to look for");
        } else {
            return bad((a.starts_with("-") ? "unknown option '" : "unexpected argument '") + a + "'");
        }
    }
    if (o.json && o.null)
        return bad("--json and --null exclude each other");
    if (o.watch && o.mode == Options::Mode::Saved)
        return bad("--watch looks at the received folder only");
    if (o.watch && o.search)
        return bad("--watch and --search exclude each other");
    return std::nullopt;
}

}  // namespace

int run(const std::vector<std::string>& args, const char* homeEnv, Out& out, Out& err)
{
    Options o;
    o.suite = homeEnv ? homeEnv : "";
    if (const auto done = parse(args, o, out, err))
        return *done;
    if (o.suite.empty()) {
        err << "comment-list: no suite folder: give --suite DIR or set BREVON_HOME\n";
        return 2;
    }
    if (!isDirectory(o.suite)) {
        err << "comment-list: suite folder not found: " << o.suite << "\n";
        return 2;
    }
    const Form form = o.json ? Form::Json : o.null ? Form::NullPaths : Form::Lines;
    const store::CommentDirs dirs = store::CommentDirs::forSuite(o.suite);
    if (o.watch)
        return watchArrivals(dirs, o.only, form, out, err);

    // The table, and what the entries of the folder listed will hold; of the two folders, the
    // larger is the one an automatic choice most likely lists.
    reserveHeap(sizeof(store::CommentTable) +
                (o.mode == Options::Mode::Saved      ? listingHeapEstimate(dirs.saved)
                 : o.mode == Options::Mode::Received ? listingHeapEstimate(dirs.received)
                                                     : std::max(listingHeapEstimate(dirs.received),
                                                                listingHeapEstimate(dirs.saved))));

    // The viewer's table limit and notice apply as with the default settings.
    const settings::SettingsRecord defaults;
    ErrorStreamSink sink(err);
    auto table = std::make_unique_for_overwrite<store::CommentTable>();  // 2,000 entries: not on the stack
    // As the viewer starts: received mode when any category has received comments, whichever
    // category is asked for.
    bool received = o.mode == Options::Mode::Received;
    std::array<std::size_t, store::kCategoryCount> names{};
    if (o.only < 0) {
        // The four categories from one listing of the folder.
        received = o.mode != Options::Mode::Saved;
        names = store::LoadCategories(*table, dirs, received, defaults, sink);
        if (o.mode == Options::Mode::Auto && table->empty()) {
            received = false;
            names = store::LoadCategories(*table, dirs, false, defaults, sink);
        }
    } else {
        if (o.mode == Options::Mode::Auto)
            for (int k = 0; k < store::kCategoryCount && !received; ++k)
                received = !platform::findFiles(dirs.received, store::filePattern(k), 0).empty();
        store::LoadCategory(*table, dirs, received, o.only, defaults, sink);
        if (table->count(o.only) == store::kBlockSize)  // only a full block can leave any out
            names[static_cast<std::size_t>(o.only)] =
                platform::countMatchingNames(received ? dirs.received : dirs.saved, store::filePattern(o.only));
    }
    tellLeftOut(*table, received ? dirs.received : dirs.saved, names, err);
    std::size_t matched = 0;
    if (o.search) {
        try {
            matched = keepMatching(*table, *o.search, err);
        } catch (const std::exception& e) {
            return cannotSearch(e, err);
        }
    }

    // Written in pieces: 2,000 lines through the stream one field at a time cost more than reading
    // the files, and a larger buffer is a page fault per 4 KiB of it for a few writes less.
    constexpr std::size_t kPiece = std::size_t{16} * 1024;
    std::string text;
    text.reserve(kPiece + 4096);
    if (o.json) {
        text += '{';
        appendJsonName(text, "suite", o.suite);
        text += std::string(",\"mode\":\"") + (received ? "received" : "saved") + "\",\"entries\":[";
    }
    bool first = true;
    for (int k = 0; k < store::kCategoryCount; ++k) {
        for (int n = 1; n <= table->count(k); ++n) {
            if (o.json)
                text += first ? "\n  " : ",\n  ";
            appendEntry(text, form, k, table->entry(k, n));
            if (!o.json)
                text += entryEnd(form);
            first = false;
            if (text.size() >= kPiece) {
                if (!out.write(text))
                    return outputFailed(out, err);
                text.clear();
            }
        }
    }
    if (o.json)
        text += first ? "]}\n" : "\n]}\n";
    if (!out.write(text))
        return outputFailed(out, err);
    return o.search && matched == 0 ? 1 : 0;
}

}  // namespace commentlist
