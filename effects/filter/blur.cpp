#include <algorithm>

#include "effects/filter/filter_support.h"
#include "effects/sample_image.h"

namespace tx::fx {
namespace {

// The pixel's own weight is kept within a range whose products fit easily;
// beyond it the pixel outweighs the window completely anyway.
constexpr int kMaxCentreWeight = 1000000;

}  // namespace

// p0 window (raised to 2), p1 weight of the pixel itself.
GlobalHandle Blur(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const int n = std::clamp(record.p[0], 2, kMaxBoxWindow);
  const int weight = std::clamp(record.p[1], -kMaxCentreWeight, kMaxCentreWeight);
  // A failed run leaves its half-made result to the frame, which frees it.
  if (!BoxSmoothRows(frame, channels, n, weight, nullptr, nullptr)) return nullptr;
  return frame.Finish();
}

}  // namespace tx::fx
