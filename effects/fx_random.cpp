#include <cstdint>

#include "effects/effects_p.h"

namespace tx::fx {
namespace {

// The classic linear congruential generator of C runtimes, so effects that
// scatter pixels give the same picture for the same input on every platform.
constexpr std::uint32_t kMultiplier = 214013;
constexpr std::uint32_t kIncrement = 2531011;
constexpr std::uint32_t kStartState = 1;

thread_local std::uint32_t t_state = kStartState;

}  // namespace

int FxRand() {
  t_state = t_state * kMultiplier + kIncrement;
  return int((t_state >> 16) & 0x7fff);
}

}  // namespace tx::fx
