// Arrivals: from the receiver's close of a comment file to the main window's caption counting it,
// and what the watching process costs while nothing arrives.
//
// The real TForm1 in saved mode under the offscreen platform. A receiver thread writes 60 comment
// files into the received folder one after another (open, write 2 KiB, close), 40 to 90 ms apart,
// noting the time just before each close(2). The GUI thread notes when the caption first shows
// each new count. Then the event loop runs 10 s with nothing arriving: the process's CPU time and
// voluntary context switches over that span show whether it sleeps or polls.
//
// A flood in received mode: a fresh window over a suite with one received comment; a thread moves
// N prepared comments (the four categories in turn, last-write times spread at random over a day)
// into the received folder as fast as it can. Measured until the list holds them all: the GUI
// thread's CPU time and the longest gap between the ticks of a 5 ms timer; then the list's order
// is checked (categories in order, each newest first). N = 1,000 and 10,000.
//   <build>/bin/ArrivalBench [--report=FILE] [--flood-only]

#include "host/HostInfo.h"
#include "store/ShiftJis.h"
#include "support/FakeSettingsBackend.h"
#include "support/ScratchSuite.h"
#include "store/ArrivalWatch.h"
#include "ui/ComMain.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFiles = 60;

double cpuMs(const rusage& r)
{
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
}

// The event loop until something quits it, for at most `ms` (a lost arrival must not hang the run).
void runFor(QApplication& app, int ms)
{
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &app, [] { QCoreApplication::exit(0); });
    limit.start(ms);
    app.exec();
}

double threadCpuMs()
{
    rusage r{};
    getrusage(RUSAGE_THREAD, &r);
    return cpuMs(r);
}

struct Flood {
    int files = 0;
    int listed = 0;
    double guiCpuMs = 0;
    double wallMs = 0;
    double longestGapMs = 0;
    bool ordered = false;
};

Flood flood(QApplication& app, const std::string& root, int files)
{
    const std::string suite = root + "/flood" + std::to_string(files) + "/";
    testsupport::pointHostAt(suite);
    fs::create_directories(suite + "incoming");
    const auto now = fs::file_time_type::clock::now();
    std::ofstream(suite + "RecvData/COMMENT.0", std::ios::binary) << "received\r\n";
    fs::last_write_time(suite + "RecvData/COMMENT.0", now - std::chrono::hours(30));
    std::mt19937 random(files);
    std::vector<std::string> names;
    for (int i = 1; i <= files; ++i) {
        // Earnings comments have three characters after "CKES": the extension keeps names apart.
        char name[32];
        if (i % 4 == 3)
            std::snprintf(name, sizeof name, "CKES%03d.%d", i % 1000, i);
        else
            std::snprintf(name, sizeof name, "%s%d", i % 4 == 0 ? "COMMENT." : i % 4 == 1 ? "CMARKET." : "CWEKEND.", i);
        names.push_back(name);
        const std::string path = suite + "incoming/" + names.back();
        std::ofstream(path, std::ios::binary) << "flood " << i << "\r\n";
        fs::last_write_time(path, now - std::chrono::seconds(random() % 86'400));
    }

    FakeSettingsBackend store;
    testsupport::storeAPlace(store);
    TForm1 form(&store);
    form.show();
    runFor(app, 500);

    Flood f;
    f.files = files;
    Clock::time_point lastTick = Clock::now();
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, &app, [&] {
        const auto t = Clock::now();
        f.longestGapMs = std::max(f.longestGapMs, std::chrono::duration<double, std::milli>(t - lastTick).count());
        lastTick = t;
        if (form.pathList().size() == static_cast<size_t>(files) + 1)
            QCoreApplication::exit(0);
    });
    const double cpuBefore = threadCpuMs();
    const auto start = Clock::now();
    std::thread mover([&] {
        for (const std::string& name : names)
            fs::rename(suite + "incoming/" + name, suite + "RecvData/" + name);
    });
    lastTick = Clock::now();
    probe.start();
    runFor(app, 120'000);
    probe.stop();
    f.guiCpuMs = threadCpuMs() - cpuBefore;
    f.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    mover.join();

    const std::vector<std::string>& paths = form.pathList();
    f.listed = static_cast<int>(paths.size()) - 1;
    f.ordered = true;
    for (size_t i = 1; i < paths.size(); ++i) {
        const auto name = [](const std::string& p) { return p.substr(p.find_last_of('/') + 1); };
        const int k0 = store::categoryOfName(name(paths[i - 1]));
        const int k1 = store::categoryOfName(name(paths[i]));
        if (k1 < k0 || (k1 == k0 && fs::last_write_time(paths[i]) > fs::last_write_time(paths[i - 1])))
            f.ordered = false;
    }
    return f;
}

}  // namespace

// The receiver's close to the caption's count, then 10 s of nothing arriving; false when an arrival
// was never counted.
bool latencyAndIdle(QApplication& app, const std::string& root, std::string& report)
{
    const std::string suite = root + "/suite/";
    fs::create_directories(suite + "RecvData");
    fs::create_directories(suite + "Result/COMMENT");
    std::ofstream(suite + "Result/COMMENT/COMMENT.000", std::ios::binary) << "saved\r\n";
    testsupport::pointHostAt(suite);
    FakeSettingsBackend store;
    testsupport::storeAPlace(store);
    TForm1 form(&store);
    form.show();

    std::vector<Clock::time_point> closed(kFiles), seen(kFiles);
    std::vector<bool> counted(kFiles, false);
    const QRegularExpression count(QStringLiteral("新着 (\\d+)件"));
    QObject::connect(&form, &QWidget::windowTitleChanged, &app, [&](const QString& title) {
        const auto now = Clock::now();
        const auto m = count.match(title);
        const int n = m.hasMatch() ? m.captured(1).toInt() : 0;
        if (n >= 1 && n <= kFiles && !counted[static_cast<size_t>(n - 1)]) {
            counted[static_cast<size_t>(n - 1)] = true;
            seen[static_cast<size_t>(n - 1)] = now;
        }
        if (n == kFiles)
            QCoreApplication::exit(0);
    });

    std::thread receiver([&] {
        std::mt19937 random(12);
        const std::string body = shiftjis::fromUtf8("【速報】本日の株式市場\r\n") + std::string(2048, 'x') + "\r\n";
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int i = 0; i < kFiles; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40 + random() % 50));
            char name[32];
            std::snprintf(name, sizeof name, "CMARKET.%03d", i);
            const int fd = ::open((suite + "RecvData/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::write(fd, body.data(), body.size()) != static_cast<ssize_t>(body.size()))
                std::abort();
            closed[static_cast<size_t>(i)] = Clock::now();
            ::close(fd);
        }
    });
    runFor(app, 60'000);
    receiver.join();

    std::vector<double> latency;
    for (int i = 0; i < kFiles; ++i) {
        if (counted[static_cast<size_t>(i)])
            latency.push_back(
                std::chrono::duration<double, std::milli>(seen[static_cast<size_t>(i)] - closed[static_cast<size_t>(i)])
                    .count());
    }
    std::sort(latency.begin(), latency.end());
    const auto at = [&](double q) {
        return latency.empty() ? -1.0 : latency[static_cast<size_t>(q * (latency.size() - 1))];
    };

    // Nothing arrives for 10 s.
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    runFor(app, 10'000);
    getrusage(RUSAGE_SELF, &after);
    const double idleCpu = cpuMs(after) - cpuMs(before);
    const long wakeups = after.ru_nvcsw - before.ru_nvcsw;

    std::printf("arrivals counted: %zu of %d\n", latency.size(), kFiles);
    std::printf("close to caption: median %.2f ms, p90 %.2f ms, max %.2f ms\n", at(0.5), at(0.9), at(1.0));
    std::printf("idle 10 s: CPU %.1f ms, voluntary context switches %ld\n", idleCpu, wakeups);
    char line[256];
    std::snprintf(line, sizeof line, "arrival_close_to_caption_median\t%.2f ms\t-\t-\t< 100 ms\n", at(0.5));
    report += line;
    std::snprintf(line, sizeof line, "arrival_idle_cpu_10s\t%.1f ms\t-\t-\tsleeps (%ld wakeups)\n", idleCpu, wakeups);
    report += line;
    return latency.size() == static_cast<size_t>(kFiles);
}

int main(int argc, char** argv)
{
    std::string reportPath;
    bool floodOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--report=", 0) == 0)
            reportPath = a.substr(9);
        if (a == "--flood-only")
            floodOnly = true;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char pattern[] = "/tmp/arrival-bench-XXXXXX";
    const std::string root = mkdtemp(pattern);
    setenv("BREVON_REGISTRY", (root + "/registry.ini").c_str(), 1);
    setenv("BREVON_MESSAGE_LOG", (root + "/messages.log").c_str(), 1);  // no box may stop the run
    QApplication app(argc, argv);
    std::string report;
    bool ok = floodOnly || latencyAndIdle(app, root, report);

    for (const int files : {1'000, 10'000}) {
        const Flood f = flood(app, root, files);
        std::printf("flood of %d in received mode: %d listed, GUI CPU %.0f ms, %.0f ms to the last line, "
                    "longest stall %.1f ms, order %s\n",
                    f.files, f.listed, f.guiCpuMs, f.wallMs, f.longestGapMs, f.ordered ? "kept" : "BROKEN");
        char line[256];
        std::snprintf(line, sizeof line, "arrival_flood_%d_gui_cpu\t%.0f ms\t-\t-\t<= %d ms\n", files, f.guiCpuMs,
                      files / 10);
        report += line;
        std::snprintf(line, sizeof line, "arrival_flood_%d_longest_stall\t%.1f ms\t-\t-\t<= 100 ms\n", files,
                      f.longestGapMs);
        report += line;
        ok = ok && f.listed == files && f.ordered;
    }
    if (!reportPath.empty())
        std::ofstream(reportPath) << report;
    fs::remove_all(root);
    return ok ? 0 : 1;
}
