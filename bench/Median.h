#pragma once
// The median of a benchmark's rounds: one slow round on a shared machine moves it little.

#include <algorithm>
#include <vector>

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
