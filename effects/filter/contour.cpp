#include <cstring>

#include "effects/sample_image.h"

namespace tx::fx {
namespace {

constexpr int kSelectRed = 2;
constexpr int kSelectGreen = 3;
constexpr int kSelectBlue = 4;

// Which of a 24-bit pixel's bytes (blue, green, red) the selector tests;
// selector 1, and any other than one channel's, tests all three.
void SelectedChannels(int selector, bool tested[3]) {
  const bool all = selector != kSelectRed && selector != kSelectGreen && selector != kSelectBlue;
  tested[0] = all || selector == kSelectBlue;
  tested[1] = all || selector == kSelectGreen;
  tested[2] = all || selector == kSelectRed;
}

}  // namespace

// p0 side (1: samples above the level next to one at or below it; 0: samples
// below the level next to one at or above it; other values count as 1),
// p1 channel selector (24-bit images), p2 level. Marked samples become 255 on
// a black picture; the outermost rows and columns stay black.
GlobalHandle Contour(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int width = src.width();
  const int height = src.height();
  const bool upper = record.p[0] != 0;
  const int level = record.p[2];
  bool tested[3] = {true, true, true};
  if (channels == 3) SelectedChannels(record.p[1], tested);
  const std::size_t step = std::size_t(channels);

  // Upper side: a sample over the level with a neighbour at or under it.
  // Lower side: a sample under the level with a neighbour at or over it.
  auto inside = [&](int v) { return upper ? v > level : v < level; };
  for (int y = 0; y < height; ++y) {
    if (!frame.BeginRow(y)) break;
    std::uint8_t* out = frame.resultRow(y);
    std::memset(out, 0, std::size_t(width) * step);
    if (y == 0 || y == height - 1) continue;
    const std::uint8_t* below = src.row(y - 1);
    const std::uint8_t* in = src.row(y);
    const std::uint8_t* above = src.row(y + 1);
    for (int x = 1; x + 1 < width; ++x) {
      const std::size_t at = std::size_t(x) * step;
      for (std::size_t c = 0; c < step; ++c) {
        if (!tested[c] || !inside(in[at + c])) continue;
        const std::size_t i = at + c;
        if (!inside(in[i - step]) || !inside(in[i + step]) || !inside(below[i]) ||
            !inside(above[i])) {
          out[i] = 255;
        }
      }
    }
  }
  return frame.Finish();
}

}  // namespace tx::fx
