#pragma once
// The memory a listing fills, set aside before it is filled. A fresh page costs this virtual
// machine about 9 us at its first touch (4.5 us even when populated beforehand), against about
// 150 us for a whole 2 MiB huge page: the 120-odd pages a listing of 2,000 comments fills cost it
// more than all its own work beyond the floor of opening and reading the files.
//
// comment-list's program installs a reserver (Arena.cpp): its allocations then come from one
// region of huge pages. Without one (the tool's library in the tests) nothing is set aside.

#include <cstddef>
#include <string>

namespace commentlist {

// About what a listing of `folder` puts on the heap besides the table (each entry's path and text,
// the name sort), from the folder's size, which grows with its entries; 0 when it cannot be read.
std::size_t listingHeapEstimate(const std::string& folder);

using HeapReserver = void (*)(std::size_t bytes);
void setHeapReserver(HeapReserver reserver);

// Hands `bytes` to the installed reserver, once: a second listing in the same process (the
// automatic choice falling back to the saved folder) takes what is left.
void reserveHeap(std::size_t bytes);

}  // namespace commentlist
