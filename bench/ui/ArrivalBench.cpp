// Arrivals: from the receiver's close of a comment file to the main window's caption counting it,
// and what the watching process costs while nothing arrives.
//
// The real TForm1 in saved mode under the offscreen platform. A receiver thread writes 60 comment
// files into the received folder one after another (open, write 2 KiB, close), 40 to 90 ms apart,
// noting the time just before each close(2). The GUI thread notes when the caption first shows
// each new count. Then the event loop runs 10 s with nothing arriving: the process's CPU time and
// voluntary context switches over that span show whether it sleeps or polls.
//   <build>/bin/ArrivalBench [--report=FILE]

#include "host/HostInfo.h"
#include "store/ShiftJis.h"
#include "support/FakeSettingsBackend.h"
#include "support/ScratchSuite.h"
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

}  // namespace

int main(int argc, char** argv)
{
    std::string reportPath;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--report=", 0) == 0)
            reportPath = a.substr(9);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char pattern[] = "/tmp/arrival-bench-XXXXXX";
    const std::string root = mkdtemp(pattern);
    const std::string suite = root + "/suite/";
    fs::create_directories(suite + "RecvData");
    fs::create_directories(suite + "Result/COMMENT");
    std::ofstream(suite + "Result/COMMENT/COMMENT.000", std::ios::binary) << "saved\r\n";
    setenv("BREVON_REGISTRY", (root + "/registry.ini").c_str(), 1);

    QApplication app(argc, argv);
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
            app.quit();
    });
    QTimer::singleShot(60'000, &app, &QApplication::quit);  // a lost arrival must not hang the run

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
    app.exec();
    receiver.join();

    std::vector<double> latency;
    for (int i = 0; i < kFiles; ++i) {
        if (counted[static_cast<size_t>(i)])
            latency.push_back(std::chrono::duration<double, std::milli>(seen[static_cast<size_t>(i)] -
                                                                         closed[static_cast<size_t>(i)]).count());
    }
    std::sort(latency.begin(), latency.end());
    const auto at = [&](double q) { return latency.empty() ? -1.0 : latency[static_cast<size_t>(q * (latency.size() - 1))]; };

    // Nothing arrives for 10 s.
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QTimer::singleShot(10'000, &app, &QApplication::quit);
    app.exec();
    getrusage(RUSAGE_SELF, &after);
    const double idleCpu = cpuMs(after) - cpuMs(before);
    const long wakeups = after.ru_nvcsw - before.ru_nvcsw;

    std::printf("arrivals counted: %zu of %d\n", latency.size(), kFiles);
    std::printf("close to caption: median %.2f ms, p90 %.2f ms, max %.2f ms\n", at(0.5), at(0.9), at(1.0));
    std::printf("idle 10 s: CPU %.1f ms, voluntary context switches %ld\n", idleCpu, wakeups);
    if (!reportPath.empty()) {
        std::ofstream r(reportPath);
        char line[256];
        std::snprintf(line, sizeof line, "arrival_close_to_caption_median\t%.2f ms\t-\t-\t< 100 ms\n", at(0.5));
        r << line;
        std::snprintf(line, sizeof line, "arrival_idle_cpu_10s\t%.1f ms\t-\t-\tsleeps (%ld wakeups)\n", idleCpu, wakeups);
        r << line;
    }
    fs::remove_all(root);
    return latency.size() == static_cast<size_t>(kFiles) ? 0 : 1;
}
