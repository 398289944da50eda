#pragma once
// Putting a sorted order into effect without a second array: the order is sorted as indices, then
// each element is moved once along its cycle. A second array of strings was fresh memory to fault
// in, and sorting the elements themselves moved each a dozen times.

#include <cstddef>
#include <utility>
#include <vector>

namespace platform {

// items[i] becomes what items[from[i]] was, for every i; `from` is a permutation of its indices and
// is used up (each entry ends equal to its own index).
template <typename Item, typename Index>
void applyOrder(Item* items, std::vector<Index>& from)
{
    for (std::size_t start = 0; start < from.size(); ++start) {
        if (static_cast<std::size_t>(from[start]) == start)
            continue;  // in place, or placed already
        Item held = std::move(items[start]);
        std::size_t at = start;
        for (;;) {
            const auto next = static_cast<std::size_t>(from[at]);
            from[at] = static_cast<Index>(at);
            if (next == start) {
                items[at] = std::move(held);
                break;
            }
            items[at] = std::move(items[next]);
            at = next;
        }
    }
}

}  // namespace platform
