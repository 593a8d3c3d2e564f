#include <algorithm>
#include <array>
#include <cstdint>

#include "effects/filter/filter_support.h"
#include "effects/sample_image.h"

namespace tx::fx {
namespace {

// What is added to a sample for each difference source - smoothed, indexed
// by difference + 255.
using Boost = std::array<int, 511>;

// The boost of a non-negative difference: nothing under the threshold,
// otherwise amount percent of it, rounded. A negative difference d takes the
// negated boost of -d - 1, so the two sides mirror each other.
Boost MakeBoost(int amount, int threshold) {
  auto positive = [&](int d) -> int {
    if (d < threshold) return 0;
    const std::int64_t boost = (50 + std::int64_t(d) * amount) / 100;
    // Anything beyond one full level range saturates the result anyway.
    return int(std::clamp<std::int64_t>(boost, -512, 512));
  };
  Boost boost{};
  for (int d = -255; d <= 255; ++d)
    boost[std::size_t(d + 255)] = d >= 0 ? positive(d) : -positive(-d - 1);
  return boost;
}

struct SharpenRow {
  const Boost* boost;
  std::size_t samples;
};

// Turns a smoothed row into the sharpened one.
void Sharpen(void* context, const std::uint8_t* in, std::uint8_t* out) {
  const auto& row = *static_cast<const SharpenRow*>(context);
  const Boost& boost = *row.boost;
  for (std::size_t s = 0; s < row.samples; ++s) {
    const int v = in[s] + boost[std::size_t(in[s] - out[s] + 255)];
    out[s] = std::uint8_t(std::clamp(v, 0, 255));
  }
}

}  // namespace

// p0 window (raised to 2), p1 amount in percent, p2 threshold.
GlobalHandle UnsharpMask(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const int n = std::clamp(record.p[0], 2, kMaxBoxWindow);
  const Boost boost = MakeBoost(record.p[1], record.p[2]);
  SharpenRow row{&boost, std::size_t(frame.source().width()) * std::size_t(channels)};
  // The smoothing has no centre weight: plain means both ways.
  if (!BoxSmoothRows(frame, channels, n, 0, Sharpen, &row)) return nullptr;
  return frame.Finish();
}

}  // namespace tx::fx
