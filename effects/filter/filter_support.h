#pragma once
// Pieces shared by the neighbourhood filters: clamped positions, rounded
// means through a quotient table, and the separable box smoothing of Blur and
// UnsharpMask.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "effects/effects_p.h"

namespace tx::fx {

/// Position i brought into 0..count-1: windows reaching past the picture
/// repeat its edge.
inline int ClampPosition(std::int64_t i, int count) {
  return int(std::clamp<std::int64_t>(i, 0, count - 1));
}

/// Rounded quotients sum / k (to nearest, halves up) of sums of k samples.
/// Sums of 0..255k come from a table of 256k entries while that stays small;
/// anything else is divided and brought into 0..255.
class RoundedMean {
 public:
  explicit RoundedMean(int k);
  std::uint8_t operator()(std::int64_t sum) const {
    if (sum >= 0 && sum < std::int64_t(m_table.size())) return m_table[std::size_t(sum)];
    return Divide(sum);
  }

 private:
  std::uint8_t Divide(std::int64_t sum) const;
  std::int64_t m_k;
  std::vector<std::uint8_t> m_table;
};

/// Largest box window the smoothing filters take; larger ones are clamped to
/// it so a hostile record cannot make a run last for hours.
inline constexpr int kMaxBoxWindow = 1000;

/// Box smoothing in two passes. The rows are first replaced by the rounded
/// means of `n` samples starting n/2 columns to the left; then each result
/// sample is the rounded (centreWeight x source + the sum of n of those means
/// starting n/2 stored rows before it) / (n + centreWeight). Positions outside
/// the picture are clamped. The smoothed rows go to the frame's result, and
/// `finishRow(y, sourceRow, resultRow)` may change each result row once it
/// is complete. False when memory runs out or the run is cancelled.
bool BoxSmoothRows(EffectFrame& frame, int channels, int n, int centreWeight,
                   void (*finishRow)(void* context, const std::uint8_t* in, std::uint8_t* out),
                   void* context);

}  // namespace tx::fx
