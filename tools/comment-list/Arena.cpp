// comment-list's program only: a listing's allocations come from one region of huge pages, taken
// in order and never given back (a listing runs once and the process ends), so that the pages it
// fills cost one fault instead of one each (HeapReserve.h). What does not fit, and everything
// before the region is set aside or outside it, goes to malloc as usual. The tool has one thread;
// the bump is atomic all the same.

#include "HeapReserve.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Far more than a listing of the 2,000 comments the list holds takes: only the huge pages touched
// cost anything.
constexpr std::size_t kRegion = 4 * kHugePage;
constexpr std::size_t kAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

char* regionBegin = nullptr;
std::atomic<std::size_t> regionUsed{0};

void setAside(std::size_t bytes)
{
    // A huge page must start on its own boundary: a page more is mapped, and the region cut out of
    // it. What lies outside is never touched and costs nothing.
    void* mapped = ::mmap(nullptr, kRegion + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return;
    char* begin = reinterpret_cast<char*>(  // NOLINT(performance-no-int-to-ptr)
        (reinterpret_cast<std::uintptr_t>(mapped) + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1});
    // Without transparent huge pages what the listing will fill is populated instead: still
    // cheaper than a fault a page.
    if (::madvise(begin, kRegion, MADV_HUGEPAGE) != 0)
        ::madvise(begin, std::min(bytes, kRegion), MADV_POPULATE_WRITE);
    regionBegin = begin;
}

bool inRegion(const void* p)
{
    const auto* c = static_cast<const char*>(p);
    return regionBegin != nullptr && c >= regionBegin && c < regionBegin + kRegion;
}

const bool installed = (commentlist::setHeapReserver(setAside), true);

}  // namespace

void* operator new(std::size_t n)
{
    // A size near the top of size_t would wrap when rounded up: only what the region can hold is
    // rounded.
    if (regionBegin != nullptr && n <= kRegion) {
        const std::size_t take = (n + kAlignment - 1) & ~(kAlignment - 1);
        const std::size_t at = regionUsed.fetch_add(take, std::memory_order_relaxed);
        if (at <= kRegion && take <= kRegion - at)
            return regionBegin + at;
    }
    if (void* p = std::malloc(n != 0 ? n : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    if (!inRegion(p))
        std::free(p);
}

// Every other form goes through these two, so that no allocation is freed by a form that did not
// make it (the C++ runtime's own forms may not call the replaced ones).
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    try {
        return operator new(n);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete(p); }
