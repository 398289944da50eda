#pragma once
// The heap a listing will fill, faulted in with one call before it is filled. Where a page fault
// costs microseconds (nested paging in a virtual machine: about 9 us a page here, against 0.4 us a
// page populated in one call), the faults of a listing of 2,000 comments cost more than its own
// work beyond the floor of opening and reading the files.

#include <cstddef>
#include <string>

namespace commentlist {

// About what a listing of `folder` puts on the heap besides the table (each entry's path and text,
// the name sort), from the folder's size, which grows with its entries; 0 when it cannot be read.
std::size_t listingHeapEstimate(const std::string& folder);

// Grows the heap by about `bytes` and populates it: the allocations that follow take those pages.
// Only a hint: too little to matter, or a system that cannot populate, and nothing changes.
void reserveHeap(std::size_t bytes);

}  // namespace commentlist
