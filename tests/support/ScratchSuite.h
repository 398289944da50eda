#pragma once
// A suite on disk for tests and benchmarks of the real window: its folders, the host information
// pointing at it, the names of the comments a busy suite holds, and a stored window place.

#include "host/HostInfo.h"
#include "store/ShiftJis.h"
#include "support/FakeSettingsBackend.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace testsupport {

// Makes the suite's folders and points the host information at `suite` (ending in '/').
inline void pointHostAt(const std::string& suite)
{
    for (const char* folder : {"RecvData", "Result/COMMENT", "Data"})
        std::filesystem::create_directories(suite + folder);
    host::HostInfo& h = host::Host();
    h.suiteDir = suite;
    h.resultDir = suite + "Result/";
    h.dataDir = suite + "Data/";
    h.receivedDir = suite + "RecvData/";
    h.settingsKey = "Software\\Brevon\\Comment";
    h.windowTitle = shiftjis::fromUtf8("Brevonコメント情報");
}

// The `i`th file name of category `k` (0 notices … 3 earnings), as a suite of 500 a category has.
inline std::string commentFileName(int k, int i)
{
    static const char* const prefixes[] = {"COMMENT.", "CMARKET.", "CWEKEND."};
    char n[32];
    if (k == 3)
        std::snprintf(n, sizeof n, "CKES%03d.%d", i, i);
    else
        std::snprintf(n, sizeof n, "%s%d", prefixes[k], i);
    return n;
}

// A stored place, as on every start but the first (the first centres the window and stores the
// designed toolbar layout).
inline void storeAPlace(FakeSettingsBackend& store)
{
    store.integers["Version"] = 3;
    store.integers["Top"] = 10;
    store.integers["Left"] = 10;
    store.integers["Width"] = 900;
    store.integers["Height"] = 600;
}

}  // namespace testsupport
