// comment-list as a user runs it, a whole process from spawn to exit, over a suite with 2,000
// received comments (500 per category, 2 to 4 KiB each), beside comment-list-floor over the same
// folder. The two alternate, so that load from other processes falls on both alike; the ratio is
// the median of the per-round ratios. Standard output of both goes to /dev/null.
//   CliBench [--rounds=N] [--report=FILE]

#include "Median.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Shift-JIS text of about `size` bytes: blank line, title, date line, body.
std::string commentText(int i, std::size_t size)
{
    // "日経平均株価の動向について", "2024年5月1日", "本日の東京株式市場は買い優勢で始まりました。"
    const std::string title = "\x93\xfa\x8c\x6f\x95\xbd\x8b\xcf\x8a\x94\x89\xbf\x82\xcc\x93\xae\x8c\xfc\x82\xc9\x82\xc2"
                              "\x82\xa2\x82\xc4";
    const std::string date = "2024\x94\x4e"
                             "5\x8c\x8e"
                             "1\x93\xfa";
    const std::string line =
        "\x96\x7b\x93\xfa\x82\xcc\x93\x8c\x8b\x9e\x8a\x94\x8e\xae\x8e\x73\x8f\xea\x82\xcd\x94\x83"
        "\x82\xa2\x97\x44\x90\xa8\x82\xc5\x8e\x6e\x82\xdc\x82\xe8\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n";
    std::string s = "\r\n" + title + " " + std::to_string(i) + "\r\n" + date + "\r\n";
    while (s.size() + line.size() <= size)
        s += line;
    return s;
}

void makeSuite(const std::string& suite)
{
    fs::create_directories(suite + "RecvData");
    fs::create_directories(suite + "Result/COMMENT");
    fs::create_directories(suite + "Data");
    const char* prefixes[] = {"COMMENT.", "CMARKET.", "CWEKEND.", "CKES"};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 500; ++i) {
            char n[32];
            if (k == 3)
                std::snprintf(n, sizeof n, "CKES%03d.%d", i, i);
            else
                std::snprintf(n, sizeof n, "%s%d", prefixes[k], i);
            const std::size_t size = 2048 + static_cast<std::size_t>((i * 37 + k * 101) % 2048);
            std::ofstream(suite + "RecvData/" + n, std::ios::binary) << commentText(i, size);
        }
}

// Milliseconds from spawn to exit of `argv`, standard output to /dev/null; -1 on failure.
double timeRun(const std::vector<std::string>& args)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const auto t0 = Clock::now();
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = 21;
    std::string reportPath;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--rounds=", 0) == 0)
            rounds = std::max(1, std::atoi(a.c_str() + 9));
        else if (a.rfind("--report=", 0) == 0)
            reportPath = a.substr(9);
    }
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    char pattern[] = "/tmp/cli-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const std::string root = pattern;
    const std::string suite = root + "/suite/";
    makeSuite(suite);

    const std::vector<std::string> tool{(bin / "comment-list").string(), "--suite", suite};
    const std::vector<std::string> floor{(bin / "comment-list-floor").string(), suite + "RecvData"};
    // The first run of each fills the caches; it is not counted.
    bool ok = timeRun(tool) >= 0 && timeRun(floor) >= 0;
    std::vector<double> tools, floors, ratios;
    for (int i = 0; ok && i < rounds; ++i) {
        const double f = timeRun(floor), t = timeRun(tool);
        ok = f > 0 && t > 0;
        floors.push_back(f);
        tools.push_back(t);
        ratios.push_back(t / f);
        std::printf("round %2d  comment-list-floor %6.2f ms  comment-list %6.2f ms  ratio %.2f\n", i + 1, f, t, t / f);
    }
    fs::remove_all(root);
    if (!ok) {
        std::fprintf(stderr, "CliBench: a run failed\n");
        return 1;
    }
    const double t = median(tools), f = median(floors), r = median(ratios);
    std::printf("median of %d: comment-list %.2f ms, floor %.2f ms, ratio %.2f\n", rounds, t, f, r);
    if (!reportPath.empty())
        if (std::FILE* out = std::fopen(reportPath.c_str(), "w")) {
            std::fprintf(out, "comment_list_2000_received\t%.1f ms\t%.1f ms\t%.2f\t<= 1.10x\n", t, f, r);
            std::fclose(out);
        }
    return 0;
}
