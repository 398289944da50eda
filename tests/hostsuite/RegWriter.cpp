// Helper process for the concurrent-writer test: writes PREFIX0 .. PREFIX<COUNT-1> for program 12
// through the registry library, value i + BASE each, one library call per value.
#include "host/BrevonApi.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: hostsuite_regwriter PREFIX COUNT BASE\n");
        return 2;
    }
    const std::string prefix = argv[1];
    const int count = std::atoi(argv[2]);
    const int base = std::atoi(argv[3]);
    int failures = 0;
    for (int i = 0; i < count; ++i)
        if (BrevonRegWriteInteger(host::kProgramNumber, (prefix + std::to_string(i)).c_str(), base + i) != 0)
            ++failures;
    return failures == 0 ? 0 : 1;
}
