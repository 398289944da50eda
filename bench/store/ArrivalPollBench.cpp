// What watching a received folder costs while nothing happens, where inotify cannot watch it and
// the folder is listed every two seconds: CPU time of a waiting loop as comment-list --watch runs
// it (poll(2) until the watch's next deadline, then process()), over an idle span, with 2,000
// comments in the folder. Run from a Release build:
//   <build>/bin/ArrivalPollBench [--seconds=10] [--files=2000]

#include "store/ArrivalWatch.h"

#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    int seconds = 10, files = 2000;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--seconds=", 10) == 0)
            seconds = std::atoi(argv[i] + 10);
        else if (std::strncmp(argv[i], "--files=", 8) == 0)
            files = std::atoi(argv[i] + 8);
    }
    char pattern[] = "/tmp/arrival-poll-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string dir = std::string(pattern) + "/RecvData/";
    std::filesystem::create_directories(dir);
    // The four categories alike; a comment of about 3 KB.
    const char* const prefixes[] = {"COMMENT.", "CMARKET.", "CWEKEND.", "CKES"};
    const std::string body(3000, 'x');
    for (int n = 0; n < files; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, n % 4 == 3 ? "%s%03d.TXT" : "%s%04d", prefixes[n % 4], n / 4 % 1000);
        std::ofstream(dir + name, std::ios::binary) << body;
    }

    ::setenv("COMMENT_ARRIVALS_POLL", "1", 1);
    store::ArrivalWatch watch(dir);
    using Clock = store::ArrivalWatch::Clock;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    const double cpuBefore = cpuSeconds();
    int wakes = 0;
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        auto until = end;
        if (const auto next = watch.nextDeadline(); next && *next < until)
            until = *next;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
        ::poll(nullptr, 0, static_cast<int>(wait > 0 ? wait : 0));
        if (!watch.process().empty())
            std::fprintf(stderr, "something changed in an idle folder\n");
        ++wakes;
    }
    const double cpu = cpuSeconds() - cpuBefore;
    std::filesystem::remove_all(pattern);
    std::printf("polling idle, %d files, %d s: %.2f ms CPU, %.4f %% of one core, %d wakes\n", files, seconds, cpu * 1e3,
                cpu / seconds * 100.0, wakes);
    return 0;
}
