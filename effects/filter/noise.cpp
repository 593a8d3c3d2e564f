#include <cstring>

#include "effects/sample_image.h"

namespace tx::fx {

// p0 percent: each pixel draws once; under p0 it takes a random colour (a
// further draw per channel, its low byte), otherwise it is copied.
GlobalHandle Noise(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int percent = record.p[0];
  const std::size_t step = std::size_t(channels);
  for (int y = 0; y < src.height(); ++y) {
    if (!frame.BeginRow(y)) break;
    const std::uint8_t* in = src.row(y);
    std::uint8_t* out = frame.resultRow(y);
    for (int x = 0; x < src.width(); ++x) {
      const std::size_t at = std::size_t(x) * step;
      if (FxRand() % 100 < percent) {
        for (int c = 0; c < channels; ++c)
          out[at + std::size_t(c)] = std::uint8_t(FxRand() & 0xff);
      } else {
        std::memcpy(out + at, in + at, step);
      }
    }
  }
  return frame.Finish();
}

}  // namespace tx::fx
