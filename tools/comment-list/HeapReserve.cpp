#include "HeapReserve.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace commentlist {
namespace {

// A directory's size per entry is about 20 bytes on tmpfs and 35 on ext4 (short names); a listed
// entry takes about 200 bytes of heap besides its place in the table.
constexpr std::size_t kHeapPerFolderByte = 7;
// Below this the faults are few; above it the folder is far beyond what the list holds.
constexpr std::size_t kSmallest = std::size_t{64} * 1024, kLargest = std::size_t{8} * 1024 * 1024;

}  // namespace

std::size_t listingHeapEstimate(const std::string& folder)
{
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || st.st_size <= 0)
        return 0;
    return static_cast<std::size_t>(st.st_size) * kHeapPerFolderByte;
}

void reserveHeap(std::size_t bytes)
{
#if defined(__GLIBC__) && defined(MADV_POPULATE_WRITE)
    if (bytes < kSmallest)
        return;
    bytes = std::min(bytes, kLargest);
    // Freed, the block stays at the top of the heap instead of going back to the system; and the
    // table, larger than the default threshold for a mapping of its own, comes from the heap too.
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(4 * kLargest));
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(2 * kLargest));
    void* block = std::malloc(bytes);
    if (block == nullptr)
        return;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t from = (start + page - 1) & ~(page - 1), to = (start + bytes) & ~(page - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);  // NOLINT(performance-no-int-to-ptr)
    std::free(block);
#else
    (void)bytes;
#endif
}

}  // namespace commentlist
