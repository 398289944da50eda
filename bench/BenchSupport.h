#pragma once
// What the benchmarks share besides their floors: the comment they fill suites with, and the
// removal of a scratch tree afterwards.

#include "store/ShiftJis.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace bench {

// A comment of about 3 KiB: blank line, title, date line, body.
inline std::string commentText(int i)
{
    std::string s =
        shiftjis::fromUtf8("\r\n　日経平均株価の動向について " + std::to_string(i) + "\r\n2024年5月1日\r\n");
    const std::string line = shiftjis::fromUtf8("本日の東京株式市場は、買い優勢で始まりました。\r\n");
    while (s.size() < 3000)
        s += line;
    return s;
}

// Removes `path` with everything under it; what cannot be removed stays.
inline void removeTree(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

}  // namespace bench
