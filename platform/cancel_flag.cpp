#include "platform/cancel_flag.h"

#include <atomic>

namespace tx {
namespace {
std::atomic<bool> g_cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "needed from a signal handler");
}  // namespace

void RequestCancel() {
  g_cancelRequested.store(true, std::memory_order_relaxed);
}

bool PollCancel() {
  return g_cancelRequested.exchange(false, std::memory_order_relaxed);
}

void ClearCancel() {
  g_cancelRequested.store(false, std::memory_order_relaxed);
}

}  // namespace tx
