#pragma once
// Running a program of the build as a child process, with its own environment.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct Child {
    int pid = -1;
    // Exit code, or nullopt when the child did not end in time (it is then still running); -1 when
    // another copy of this handle has collected it already.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    void kill(int signal);
};

// Starts `program` with the current environment changed by `env` (an empty value unsets).
Child start(const std::string& program, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env);

std::string readFile(const std::string& path);

// True while some process holds an instance lock (an flock'ed file) in `runtimeDir`.
bool instanceLockHeld(const std::string& runtimeDir);
std::string makeTempDir();

}  // namespace testsupport
