#include <atomic>

#include "image/image_utils.h"

namespace tx {
namespace {
std::atomic<bool> g_abortSwitch{false};
}  // namespace

void SetImageAbortSwitch(bool on) {
  g_abortSwitch.store(on, std::memory_order_relaxed);
}

bool ImageAbortSwitch() {
  return g_abortSwitch.load(std::memory_order_relaxed);
}

}  // namespace tx
