#include "support/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace testsupport {

Child start(const std::string& program, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env)
{
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        for (const auto& [name, value] : env) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return child;
}

std::optional<int> Child::wait(std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (true) {
        int status = 0;
        const int r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0 && errno == ECHILD)
            return -1;  // reaped already, through another copy of this handle
        if (std::chrono::steady_clock::now() >= end)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void Child::kill(int signal) { ::kill(pid, signal); }

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool instanceLockHeld(const std::string& runtimeDir)
{
    for (const auto& entry : std::filesystem::directory_iterator(runtimeDir)) {
        const int fd = open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
        if (!held)
            flock(fd, LOCK_UN);
        close(fd);
        if (held)
            return true;
    }
    return false;
}

std::string makeTempDir()
{
    std::string pattern =
        (std::getenv("TMPDIR") ? std::string(std::getenv("TMPDIR")) : std::string("/tmp")) + "/comment-test-XXXXXX";
    char* made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

}  // namespace testsupport
