// Runs the program's start-up steps up to the directories and writes what they found to $PROBE_OUT.

#include "app/InitHostInfo.h"
#include "host/HostInfo.h"

#include <cstdlib>
#include <fstream>

int main()
{
    if (!app::InitHostInfo())
        return 3;
    app::FormDirectories();
    const host::HostInfo& h = host::Host();
    std::ofstream out(std::getenv("PROBE_OUT"));
    out << "suite=" << h.suiteDir << "\n"
        << "received=" << h.receivedDir << "\n"
        << "saved=" << h.savedDir() << "\n"
        << "data=" << h.dataDir << "\n"
        << "mutex=" << h.mutexName << "\n"
        << "mutex-length=" << h.mutexName.size() << "\n"
        << "automousepos=" << int(h.autoMousePos) << "\n";
    return 0;
}
