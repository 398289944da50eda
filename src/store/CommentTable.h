#pragma once
// The comment table the main window owns: four blocks of 500 entries, one per category,
// entries numbered 1..500, entries 1..count valid and newest first.

#include "store/Categories.h"

#include <array>
#include <cstdint>
#include <string>

namespace store {

// One comment entry.
struct TCmntInfo {
    std::string path;      // full path of the comment file
    std::string listText;  // the one line that stands for it in the list (code page 932)
    double time = 0;       // last-write time, local, as a date-time value
};

inline constexpr int kBlockSize = 500;

class CommentTable {
public:
    // Entry n (1..500) of category k's block; throws std::out_of_range outside the table.
    TCmntInfo& entry(int k, int n);
    const TCmntInfo& entry(int k, int n) const;

    int count(int k) const;
    void setCount(int k, int n);  // 0..500
    bool empty() const;           // no valid entry in any category

    // Empties an entry the way a deletion does: both texts empty, time 0.
    void clearEntry(int k, int n);

private:
    // Each entry starts empty by its own initializers: no zero-filling of the whole array first.
    std::array<TCmntInfo, std::size_t{kCategoryCount} * kBlockSize> entries_;
    std::array<std::int32_t, kCategoryCount> counts_{};
};

}  // namespace store
