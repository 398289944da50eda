#include "store/CommentTable.h"

#include <stdexcept>
#include <string>

namespace store {
namespace {

std::size_t slot(int k, int n)
{
    if (!isValidCategory(k) || n < 1 || n > kBlockSize)
        throw std::out_of_range("comment table entry " + std::to_string(k) + "/" + std::to_string(n));
    return static_cast<std::size_t>(k * kBlockSize + n - 1);
}

}  // namespace

TCmntInfo& CommentTable::entry(int k, int n) { return entries_[slot(k, n)]; }
const TCmntInfo& CommentTable::entry(int k, int n) const { return entries_[slot(k, n)]; }

int CommentTable::count(int k) const
{
    if (!isValidCategory(k))
        throw std::out_of_range("comment category " + std::to_string(k));
    return counts_[static_cast<std::size_t>(k)];
}

void CommentTable::setCount(int k, int n)
{
    if (!isValidCategory(k) || n < 0 || n > kBlockSize)
        throw std::out_of_range("comment table count " + std::to_string(k) + "/" + std::to_string(n));
    counts_[static_cast<std::size_t>(k)] = n;
}

bool CommentTable::empty() const
{
    for (auto c : counts_)
        if (c != 0)
            return false;
    return true;
}

void CommentTable::clearEntry(int k, int n)
{
    TCmntInfo& e = entry(k, n);
    e.path.clear();
    e.listText.clear();
    e.time = 0;
}

}  // namespace store
