#include "platform/StopRequest.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
}  // namespace

void requestStop() { gStop.store(true, std::memory_order_relaxed); }

bool stopRequested() { return gStop.load(std::memory_order_relaxed); }

}  // namespace platform
