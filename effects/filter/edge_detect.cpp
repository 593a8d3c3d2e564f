#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "effects/sample_image.h"

namespace tx::fx {
namespace {

constexpr int kColouredOnBlack = 1;

// The gradient strength of sample i of a row: the vertical Sobel difference
// (next stored row minus previous, columns weighted 1, 2, 1), capped at 255,
// plus the horizontal one (right column minus left, rows weighted 1, 2, 1).
inline int Gradient(const std::uint8_t* below, const std::uint8_t* in, const std::uint8_t* above,
                    std::size_t i, std::size_t step) {
  const int gy = (above[i - step] + 2 * above[i] + above[i + step]) -
                 (below[i - step] + 2 * below[i] + below[i + step]);
  const int gx = (below[i + step] + 2 * in[i + step] + above[i + step]) -
                 (below[i - step] + 2 * in[i - step] + above[i - step]);
  return std::min(std::abs(gy), 255) + std::abs(gx);
}

}  // namespace

// p0 mode: 1 gives each channel's edges in colour on black, any other value
// dark edges on white; p1 level b. Mode 1 drops gradients under b; mode 2
// leaves white where the channels' mean gradient is under b and 255 minus
// that mean elsewhere. Border pixels take the background.
GlobalHandle EdgeDetect(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int width = src.width();
  const int height = src.height();
  const bool coloured = record.p[0] == kColouredOnBlack;
  const int level = record.p[1];
  const std::uint8_t background = coloured ? 0 : 255;
  const std::size_t step = std::size_t(channels);

  for (int y = 0; y < height; ++y) {
    if (!frame.BeginRow(y)) break;
    std::uint8_t* out = frame.resultRow(y);
    std::memset(out, background, std::size_t(width) * step);
    if (y == 0 || y == height - 1) continue;
    const std::uint8_t* below = src.row(y - 1);
    const std::uint8_t* in = src.row(y);
    const std::uint8_t* above = src.row(y + 1);
    for (int x = 1; x + 1 < width; ++x) {
      const std::size_t at = std::size_t(x) * step;
      if (coloured) {
        for (std::size_t c = 0; c < step; ++c) {
          const int g = Gradient(below, in, above, at + c, step);
          out[at + c] = std::uint8_t(g < level ? 0 : std::min(g, 255));
        }
        continue;
      }
      int sum = 0;
      for (std::size_t c = 0; c < step; ++c)
        sum += Gradient(below, in, above, at + c, step);
      const int mean = sum / channels;
      // Gradients can exceed 255; the darkest edge is black.
      const std::uint8_t v = std::uint8_t(mean < level ? 255 : std::max(255 - mean, 0));
      std::memset(out + at, v, step);
    }
  }
  return frame.Finish();
}

}  // namespace tx::fx
