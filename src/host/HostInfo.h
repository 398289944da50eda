#pragma once
// What the suite tells the program at start-up; filled once, read-only afterwards.
// Directories are file names of this platform (the host's code page 932 path converted once, at
// start-up) and end in "/"; the other names are code page 932 bytes as the host gave them.

#include <array>
#include <cstdint>
#include <string>

namespace host {

struct HostInfo {
    std::string suiteDir;     // always ends in "/"
    std::string resultDir;    // suite + "Result/"
    std::string dataDir;      // suite + "Data/"
    std::string receivedDir;  // suite + "RecvData/"
    std::string settingsKey;  // registry key of this program's settings, e.g. "Software\Brevon\Comment"
    std::string mutexName;
    std::string windowTitle;
    std::uint8_t autoMousePos = 0;

    std::array<char, 600> mutexTable{};
    std::array<char, 600> programTable{};
    std::array<char, 600> windowTable{};

    // The saved directory is formed where it is used, from the result directory.
    std::string savedDir() const { return resultDir + "COMMENT/"; }
};

HostInfo& Host();

// The name in this program's 30-byte slot of a name table: up to the first NUL, at most 30 bytes.
std::string nameFromSlot(const std::array<char, 600>& table, int program);

// Appends the separator unless the path already ends in one ("\" from the host counts too).
std::string withTrailingSeparator(std::string path);

}  // namespace host
