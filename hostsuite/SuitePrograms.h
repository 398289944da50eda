#pragma once
// The programs of the Brevon client suite as the stand-in registry library knows them. The slot
// of a program in the three name tables is its program number.

#include <QString>

#include <cstdint>
#include <span>

namespace hostsuite {

struct SuiteProgram {
    std::int32_t number;
    const char* mutexName;
    const char* programName;
    const char* windowTitle;  // UTF-8; the tables carry it as code page 932
    const char* regKey;       // under HKEY_CURRENT_USER
};

std::span<const SuiteProgram> suitePrograms();
const SuiteProgram* findProgram(std::int32_t number);

// Settings shared by the whole suite (AutoMousePos and the like).
inline constexpr const char* kCommonRegKey = "Software\\Brevon\\Common";

}  // namespace hostsuite
