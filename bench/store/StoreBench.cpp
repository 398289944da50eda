// Speed and memory of the comment store against what the platform must do anyway.
// Prints, after the usual table, the ratios the targets are stated in.

#include "platform/FileFind.h"
#include "platform/ShellFileOperation.h"
#include "store/CommentTable.h"
#include "store/FileBatch.h"
#include "store/ListText.h"
#include "store/Loader.h"
#include "store/Purge.h"
#include "store/Search.h"
#include "store/ShiftJis.h"
#include "BenchSupport.h"
#include "LoadFloor.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class NullSink : public store::MessageSink {
public:
    void showMessage(const std::string&, const std::string&, const std::string&, int) override {}
};

std::string benchRoot()
{
    static const std::string root = [] {
        std::string t = "/tmp/store-bench-XXXXXX";
        if (!::mkdtemp(t.data()))
            throw std::runtime_error("mkdtemp");
        return t;
    }();
    return root;
}

void makeDir(const std::string& p) { ::mkdir(p.c_str(), 0777); }

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// suite/RecvData with `perCategory` files of each of the first `categories` categories.
std::string makeSuite(const std::string& name, int categories, int perCategory)
{
    const std::string suite = benchRoot() + "/" + name + "/";
    makeDir(suite);
    makeDir(suite + "RecvData");
    makeDir(suite + "Result");
    makeDir(suite + "Result/COMMENT");
    const char* prefixes[] = {"COMMENT.", "CMARKET.", "CWEKEND.", "CKES"};
    for (int k = 0; k < categories; ++k)
        for (int i = 0; i < perCategory; ++i) {
            char n[32];
            if (k == 3)
                std::snprintf(n, sizeof n, "CKES%03d.%d", i % 1000, i);
            else
                std::snprintf(n, sizeof n, "%s%d", prefixes[k], i);
            writeFile(suite + "RecvData/" + n, bench::commentText(i));
        }
    return suite;
}

// ---- LoadCategory beside the bare platform work on the same 500 files ----

const std::string& suite500()
{
    static const std::string s = makeSuite("load500", 1, 500);
    return s;
}

// Runs `floor` and `measured` in turn within each iteration, so that load from other processes falls
// on both alike; the counters are per-iteration milliseconds of each and their ratio.
// The CPU time of this thread, user and system: on a busy machine it shows what waits for a core
// hides in the real time.
double threadCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <typename Floor, typename Measured> void interleaved(benchmark::State& state, Floor floor, Measured measured)
{
    using Clock = std::chrono::steady_clock;
    double floorSeconds = 0, measuredSeconds = 0, floorCpu = 0, measuredCpu = 0;
    for (auto _ : state) {
        const double c0 = threadCpuSeconds();
        const auto t0 = Clock::now();
        floor();
        const auto t1 = Clock::now();
        const double c1 = threadCpuSeconds();
        measured();
        const auto t2 = Clock::now();
        const double c2 = threadCpuSeconds();
        floorSeconds += std::chrono::duration<double>(t1 - t0).count();
        measuredSeconds += std::chrono::duration<double>(t2 - t1).count();
        floorCpu += c1 - c0;
        measuredCpu += c2 - c1;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["floor_ms"] = floorSeconds * 1e3 / n;
    state.counters["measured_ms"] = measuredSeconds * 1e3 / n;
    state.counters["measured_over_floor"] = measuredSeconds / floorSeconds;
    state.counters["cpu_over_floor_cpu"] = measuredCpu / floorCpu;
}

void BM_PlatformFloor(benchmark::State& state)
{
    const std::string dir = suite500() + "RecvData/";
    for (auto _ : state)
        benchmark::DoNotOptimize(loadFloorPass(dir));
}
BENCHMARK(BM_PlatformFloor)->Unit(benchmark::kMillisecond);

void BM_LoadCategory(benchmark::State& state)
{
    const auto dirs = store::CommentDirs::forSuite(suite500());
    auto table = std::make_unique<store::CommentTable>();
    settings::SettingsRecord settings;
    NullSink sink;
    for (auto _ : state) {
        store::LoadCategory(*table, dirs, true, store::kNotices, settings, sink);
        benchmark::DoNotOptimize(table->count(store::kNotices));
    }
    if (table->count(store::kNotices) != 500)
        state.SkipWithError("expected 500 entries");
}
BENCHMARK(BM_LoadCategory)->Unit(benchmark::kMillisecond);

void BM_LoadVsFloorInterleaved(benchmark::State& state)
{
    const std::string dir = suite500() + "RecvData/";
    const auto dirs = store::CommentDirs::forSuite(suite500());
    auto table = std::make_unique<store::CommentTable>();
    settings::SettingsRecord settings;
    NullSink sink;
    interleaved(
        state, [&] { benchmark::DoNotOptimize(loadFloorPass(dir)); },
        [&] { store::LoadCategory(*table, dirs, true, store::kNotices, settings, sink); });
    if (table->count(store::kNotices) != 500)
        state.SkipWithError("expected 500 entries");
}
BENCHMARK(BM_LoadVsFloorInterleaved)->Unit(benchmark::kMillisecond);

// ---- The four categories as start-up loads them: 2,000 received files, 500 of each ----

const std::string& suite2000()
{
    static const std::string s = makeSuite("load2000", 4, 500);
    return s;
}

void BM_Load2000VsFloorInterleaved(benchmark::State& state)
{
    const std::string dir = suite2000() + "RecvData/";
    const auto dirs = store::CommentDirs::forSuite(suite2000());
    auto table = std::make_unique<store::CommentTable>();
    settings::SettingsRecord settings;
    NullSink sink;
    interleaved(
        state, [&] { benchmark::DoNotOptimize(loadFloorPass(dir)); },
        [&] { store::LoadCategories(*table, dirs, true, settings, sink); });
    for (int k = 0; k < store::kCategoryCount; ++k)
        if (table->count(k) != 500)
            state.SkipWithError("expected 500 entries in each category");
}
BENCHMARK(BM_Load2000VsFloorInterleaved)->Unit(benchmark::kMillisecond);

// ---- ReadListText on a 100 MB comment ----

const std::string& bigComment()
{
    static const std::string path = [] {
        const std::string p = benchRoot() + "/COMMENT.big";
        std::ofstream f(p, std::ios::binary);
        const std::string head = bench::commentText(1);
        std::string chunk;
        while (chunk.size() < (1 << 20))
            chunk += head;
        chunk.resize(1 << 20);
        for (int i = 0; i < 100; ++i)
            f.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        return p;
    }();
    return path;
}

void BM_ReadListText100MB(benchmark::State& state)
{
    const std::string& path = bigComment();
    NullSink sink;
    std::string text;
    interleaved(
        state,
        [&] {
            char buf[4096];
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            benchmark::DoNotOptimize(::read(fd, buf, sizeof buf));
            ::close(fd);
        },
        [&] {
            store::ReadListText(store::kNotices, path, text, sink);
            benchmark::DoNotOptimize(text.data());
        });
}
BENCHMARK(BM_ReadListText100MB)->Unit(benchmark::kMicrosecond);

// ---- PurgeCommentFiles over 10,000 matching files, up to the deletions ----

void BM_Purge10000(benchmark::State& state)
{
    static const std::string suite = [] {
        const std::string s = benchRoot() + "/purge/";
        makeDir(s);
        makeDir(s + "RecvData");
        makeDir(s + "Result");
        makeDir(s + "Result/COMMENT");
        for (int i = 0; i < 10000; ++i) {
            const std::string p = s + (i % 2 ? "RecvData/" : "Result/COMMENT/") + "CMARKET." + std::to_string(i);
            writeFile(p, "x");
            const struct timespec t[2] = {{1'700'000'000 + i * 7 % 10007, 0}, {1'700'000'000 + i * 7 % 10007, 0}};
            ::utimensat(AT_FDCWD, p.c_str(), t, 0);
        }
        return s;
    }();
    const auto dirs = store::CommentDirs::forSuite(suite);
    // A limit at the count: no category is over its limit, so the purge lists both folders and
    // looks at no file, as at a start where nothing is due.
    const std::array<int, 4> limits{500, 10000, 500, 500};
    const std::array<bool, 4> flags{false, true, false, false};
    // The floor: listing both folders.
    auto listNames = [](const std::string& dir) {
        std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
        long sum = 0;
        while (const dirent* e = ::readdir(d.get()))
            sum += e->d_name[0];
        return sum;
    };
    interleaved(
        state, [&] { benchmark::DoNotOptimize(listNames(dirs.received) + listNames(dirs.saved)); },
        [&] { store::PurgeCommentFiles(dirs, limits, flags); });
}
BENCHMARK(BM_Purge10000)->Unit(benchmark::kMillisecond);

// ---- A move batch of 2,000 files on one file system, beside 2,000 bare renames ----

struct MoveDirs {
    std::string a, b;
    bool atA = true;
};

MoveDirs& moveDirs(const char* name)
{
    static std::map<std::string, MoveDirs> all;
    auto it = all.find(name);
    if (it != all.end())
        return it->second;
    MoveDirs d{benchRoot() + "/" + name + "A/", benchRoot() + "/" + name + "B/"};
    makeDir(d.a);
    makeDir(d.b);
    for (int i = 0; i < 2000; ++i)
        writeFile(d.a + "CMARKET." + std::to_string(i), "x");
    return all.emplace(name, d).first->second;
}

void BM_BareRename2000(benchmark::State& state)
{
    MoveDirs& d = moveDirs("rename");
    std::vector<std::string> names;
    for (int i = 0; i < 2000; ++i)
        names.push_back("CMARKET." + std::to_string(i));
    for (auto _ : state) {
        const std::string& from = d.atA ? d.a : d.b;
        const std::string& to = d.atA ? d.b : d.a;
        for (const auto& n : names)
            ::rename((from + n).c_str(), (to + n).c_str());
        d.atA = !d.atA;
    }
}
BENCHMARK(BM_BareRename2000)->Unit(benchmark::kMillisecond);

void BM_MoveBatch2000(benchmark::State& state)
{
    MoveDirs& d = moveDirs("batch");
    for (auto _ : state) {
        const std::string& from = d.atA ? d.a : d.b;
        const std::string& to = d.atA ? d.b : d.a;
        store::FileBatch batch(store::BatchCommand::Save, to);
        for (int i = 0; i < 2000; ++i)
            batch.add(from + "CMARKET." + std::to_string(i));
        const auto r = batch.run();
        if (!r.failures.empty())
            state.SkipWithError("move failed");
        d.atA = !d.atA;
    }
}
BENCHMARK(BM_MoveBatch2000)->Unit(benchmark::kMillisecond);

// The bare renames one way, the save batch back, within each iteration.
void BM_MoveVsRenameInterleaved(benchmark::State& state)
{
    MoveDirs& d = moveDirs("both");
    std::vector<std::string> names;
    for (int i = 0; i < 2000; ++i)
        names.push_back("CMARKET." + std::to_string(i));
    interleaved(
        state,
        [&] {
            for (const auto& n : names)
                ::rename((d.a + n).c_str(), (d.b + n).c_str());
        },
        [&] {
            store::FileBatch batch(store::BatchCommand::Save, d.a);
            for (const auto& n : names)
                batch.add(d.b + n);
            if (!batch.run().failures.empty())
                state.SkipWithError("move failed");
        });
}
BENCHMARK(BM_MoveVsRenameInterleaved)->Unit(benchmark::kMillisecond);

// ---- Search over 2,000 saved comments of 2 to 4 KiB, beside reading the same files' bytes ----

const std::string& searchSuite()
{
    static const std::string s = [] {
        const std::string suite = benchRoot() + "/search/";
        makeDir(suite);
        makeDir(suite + "RecvData");
        makeDir(suite + "Result");
        makeDir(suite + "Result/COMMENT");
        const char* prefixes[] = {"COMMENT.", "CMARKET.", "CWEKEND.", "CKES"};
        // Full-width letters and digits and half-width kana, so that folding has work to do.
        const std::string line = shiftjis::fromUtf8("ＴＯＰＩＸは前日比１２３ポイント高、ｿﾌﾄﾊﾞﾝｸが買われました。\r\n");
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i < 500; ++i) {
                char n[32];
                if (k == 3)
                    std::snprintf(n, sizeof n, "CKES%03d.%d", i % 1000, i);
                else
                    std::snprintf(n, sizeof n, "%s%d", prefixes[k], i);
                std::string text = bench::commentText(i).substr(0, 200);
                const std::size_t size = 2048 + static_cast<std::size_t>(i * 37 % 2048);
                while (text.size() < size)
                    text += line;
                writeFile(suite + "Result/COMMENT/" + n, std::string(shiftjis::safeCut(text, size)));
            }
        return suite;
    }();
    return s;
}

// What any search must do: list the folder, open, read and close every file.
std::size_t readAllFloor(const std::string& dir)
{
    char buf[8192];
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
    const int dfd = ::dirfd(d.get());
    std::size_t bytes = 0;
    while (dirent* e = ::readdir(d.get())) {
        if (e->d_name[0] == '.')
            continue;
        const int fd = ::openat(dfd, e->d_name, O_RDONLY | O_CLOEXEC);
        for (ssize_t r; (r = ::read(fd, buf, sizeof buf)) > 0;)
            bytes += static_cast<std::size_t>(r);
        ::close(fd);
    }
    return bytes;
}

void BM_Search2000VsFloorInterleaved(benchmark::State& state)
{
    const auto dirs = store::CommentDirs::forSuite(searchSuite());
    // The first word is in every file (as half-width "ｿﾌﾄﾊﾞﾝｸ"), the second in none: every byte of
    // every file is looked at.
    const auto query = store::SearchQuery::fromUtf8("ソフトバンク トヨタ");
    std::size_t hits = 0, searched = 0;
    interleaved(
        state, [&] { benchmark::DoNotOptimize(readAllFloor(dirs.saved)); },
        [&] { searched = store::searchFolder(dirs, false, query, [&](const store::SearchHit&) { ++hits; }).searched; });
    if (hits != 0 || searched != 2000)
        state.SkipWithError("expected 2,000 files searched and no hit");
}
BENCHMARK(BM_Search2000VsFloorInterleaved)->Unit(benchmark::kMillisecond);

// ---- Search on damaged bytes: a comment of one kind beside ordinary text of the same size ----

struct DamagedKind {
    const char* name;
    const char* first;   // once, after the prefix
    const char* repeat;  // then again and again
};
// Runs of half-width voiced marks (after nothing, after a kana they compose with, after a
// character whose folding they go inside), such pairs over and over, characters that fold to
// several units, and lead bytes without their trail byte.
const DamagedKind kDamagedKinds[] = {
    {"marks", "", "\xDE"},
    {"kana_then_marks", "\xB6", "\xDE"},
    {"diaeresis_then_marks", "\x81\x4F", "\xDE\xDF"},
    {"kana_mark_pairs", "", "\xB6\xDE"},
    {"diaeresis_mark_pairs", "", "\x81\x4F\xDE"},
    {"era_name_squares", "", "\x87\x7E"},
    {"lone_lead_bytes", "", "\x81\x7F"},
};

// `size` bytes of the kind (null: ordinary text). The prefix holds the key of each word of the
// benchmark's query but not the words, so the first look lets every file through to the full scan.
std::string damagedText(const DamagedKind* kind, std::size_t size)
{
    std::string s = shiftjis::fromUtf8("ソフトバンク　トヨ　タ\r\n");
    const std::string ordinary = shiftjis::fromUtf8("ＴＯＰＩＸは前日比１２３ポイント高、ｿﾌﾄﾊﾞﾝｸが買われました。\r\n");
    if (kind)
        s += kind->first;
    while (s.size() < size)
        s += kind ? kind->repeat : ordinary;
    s.resize(size);
    return s;
}

void BM_SearchDamaged(benchmark::State& state, const DamagedKind* kind, std::size_t size)
{
    const std::string dir = benchRoot() + "/damaged/";
    makeDir(dir);
    const std::string ordinary = dir + "ordinary." + std::to_string(size),
                      damaged = dir + kind->name + "." + std::to_string(size);
    writeFile(ordinary, damagedText(nullptr, size));
    writeFile(damaged, damagedText(kind, size));
    const auto query = store::SearchQuery::fromUtf8("ソフトバンク トヨタ");
    bool allNoMatch = true;
    interleaved(
        state, [&] { allNoMatch &= store::matchFile(query, ordinary) == store::FileMatch::NoMatch; },
        [&] { allNoMatch &= store::matchFile(query, damaged) == store::FileMatch::NoMatch; });
    if (!allNoMatch)
        state.SkipWithError("expected no match");
}

void registerDamagedSearches()
{
    for (const DamagedKind& kind : kDamagedKinds)
        for (const std::size_t kib : {64, 512}) {
            const std::string name = std::string("BM_SearchDamaged_") + kind.name + "_" + std::to_string(kib) + "KiB";
            benchmark::RegisterBenchmark(name.c_str(), BM_SearchDamaged, &kind, kib * 1024)
                ->Unit(benchmark::kMillisecond);
        }
}

// ---- Peak memory of loading the four categories, 2,000 files ----

long statusKiB(const char* key)
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    return -1;
}

void BM_FullLoadPeakMemory(benchmark::State& state)
{
    const auto dirs = store::CommentDirs::forSuite(suite2000());
    settings::SettingsRecord settings;
    NullSink sink;
    double peakKiB = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ::malloc_trim(0);  // what earlier rounds freed must not hide this round's growth
        {
            std::ofstream("/proc/self/clear_refs") << "5";
        }  // restart the peak from here
        const long baseline = statusKiB("VmRSS:");
        state.ResumeTiming();
        auto table = std::make_unique<store::CommentTable>();
        store::LoadCategories(*table, dirs, true, settings, sink);
        state.PauseTiming();
        peakKiB = std::max(peakKiB, static_cast<double>(statusKiB("VmHWM:") - baseline));
        table.reset();
        state.ResumeTiming();
    }
    state.counters["peak_KiB_above_baseline"] = peakKiB;
}
BENCHMARK(BM_FullLoadPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(5);

// Keeps the median real time and counters of each benchmark for the ratios and the report.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& r : runs) {
            const std::string name = r.benchmark_name();
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median")
                continue;
            const std::string base = name.substr(0, name.find('/'));
            const std::string key = base.substr(0, base.find("_median"));
            times[key] = r.GetAdjustedRealTime();
            cpuTimes[key] = r.GetAdjustedCPUTime();
            for (const auto& [counter, value] : r.counters)
                counters[key][counter] = value.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double counter(const std::string& bench, const std::string& name) const
    {
        const auto b = counters.find(bench);
        if (b == counters.end())
            return -1;
        const auto c = b->second.find(name);
        return c == b->second.end() ? -1 : c->second;
    }
    std::map<std::string, double> times, cpuTimes;
    std::map<std::string, std::map<std::string, double>> counters;
};

// One line per figure for bench/report: name, measured, reference, ratio, target.
void writeReport(const RatioReporter& r, const std::string& path)
{
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (!out)
        return;
    auto pair = [&](const char* name, const char* bench, double scale, const char* unit, const char* target) {
        const double m = r.counter(bench, "measured_ms"), f = r.counter(bench, "floor_ms");
        if (m < 0 || f <= 0)
            return;
        // The ratio is the median of the per-repetition ratios, steadier than a ratio of medians.
        const double ratio = r.counter(bench, "measured_over_floor");
        std::fprintf(out, "%s\t%.3g %s\t%.3g %s\t%.2f\t%s\n", name, m * scale, unit, f * scale, unit, ratio, target);
    };
    pair("load_500_files", "BM_LoadVsFloorInterleaved", 1, "ms", "<= 1.5x");
    pair("load_2000_files_4_categories", "BM_Load2000VsFloorInterleaved", 1, "ms", "<= 1.5x");
    pair("ReadListText_100MB", "BM_ReadListText100MB", 1e3, "us", "< 1000 us");
    pair("purge_10000_files", "BM_Purge10000", 1, "ms", "< 50 ms");
    pair("save_all_2000_files", "BM_MoveVsRenameInterleaved", 1, "ms", "<= 2x");
    pair("search_2000_saved_comments", "BM_Search2000VsFloorInterleaved", 1, "ms", "< 30 ms, <= 2x");
    for (const DamagedKind& kind : kDamagedKinds)
        for (const char* size : {"64KiB", "512KiB"}) {
            const std::string name = std::string("search_") + size + "_" + kind.name + "_vs_ordinary";
            pair(name.c_str(), (std::string("BM_SearchDamaged_") + kind.name + "_" + size).c_str(), 1, "ms", "<= 10x");
        }
    const double peak = r.counter("BM_FullLoadPeakMemory", "peak_KiB_above_baseline");
    if (peak >= 0)
        std::fprintf(out, "peak_memory_2000_entries\t%.0f KiB\t-\t-\t< 20480 KiB\n", peak);
    std::fclose(out);
}

}  // namespace

int main(int argc, char** argv)
{
    // --report=FILE is ours; everything else goes to Google Benchmark.
    std::string reportPath;
    std::vector<char*> args;
    bool repetitionsGiven = false;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (i > 0 && a.rfind("--report=", 0) == 0) {
            reportPath = a.substr(9);
            continue;
        }
        repetitionsGiven |= a.rfind("--benchmark_repetitions", 0) == 0;
        args.push_back(argv[i]);
    }
    std::string reps = "--benchmark_repetitions=5", aggregates = "--benchmark_report_aggregates_only=true";
    if (!repetitionsGiven) {
        args.push_back(reps.data());
        args.push_back(aggregates.data());
    }
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    registerDamagedSearches();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // CPU time too: on a busy machine the real-time ratio carries other processes' noise.
    auto ratio = [&](const char* a, const char* b) {
        auto& t = reporter.times;
        auto& c = reporter.cpuTimes;
        if (t.count(a) && t.count(b) && t[b] > 0 && c[b] > 0)
            std::printf("%-40s real %.2fx  cpu %.2fx\n", (std::string(a) + " / " + b).c_str(), t[a] / t[b],
                        c[a] / c[b]);
    };
    std::printf("\nRatios of median times:\n");
    ratio("BM_LoadCategory", "BM_PlatformFloor");
    ratio("BM_MoveBatch2000", "BM_BareRename2000");
    if (!reportPath.empty())
        writeReport(reporter, reportPath);
    benchmark::Shutdown();
    bench::removeTree(benchRoot());
    return 0;
}
