#include <algorithm>

#include "effects/sample_image.h"

namespace tx::fx {

// p0 amount 1..100: every pixel gets one offset in -(n/2)..n/2 (n = amount
// + 1) added to all its channels, so the noise has no colour.
GlobalHandle AddNoise(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int n = std::clamp(record.p[0], 1, 100) + 1;
  const std::size_t step = std::size_t(channels);
  for (int y = 0; y < src.height(); ++y) {
    if (!frame.BeginRow(y)) break;
    const std::uint8_t* in = src.row(y);
    std::uint8_t* out = frame.resultRow(y);
    for (int x = 0; x < src.width(); ++x) {
      const int offset = n / 2 - FxRand() % n;
      const std::size_t at = std::size_t(x) * step;
      for (std::size_t c = 0; c < step; ++c)
        out[at + c] = std::uint8_t(std::clamp(in[at + c] + offset, 0, 255));
    }
  }
  return frame.Finish();
}

}  // namespace tx::fx
