#include <algorithm>

#include "effects/distort/distort_kernel.h"

namespace tx::fx {
namespace {

constexpr int kMaxHalfSpread = 50;

}  // namespace

// Each pixel takes a source pixel picked at random from an n x n square
// around it (n = clamp(p0 / 2, 1, 50) + 1), limited to the picture. The
// column is drawn before the row, pixel by pixel along each stored row.
GlobalHandle Diffuse(GlobalHandle image, const EffectRecord& record) {
  const int n = std::clamp(record.p[0] / 2, 1, kMaxHalfSpread) + 1;
  const int half = n / 2;
  return RunDistortion(image, [&](EffectFrame& frame, auto channels) {
    constexpr int C = decltype(channels)::value;
    const ImageLock& src = frame.source();
    const int width = src.width();
    const int height = src.height();
    for (int y = 0; y < height; ++y) {
      if (!frame.BeginRow(y)) return;
      std::uint8_t* out = frame.resultRow(y);
      for (int x = 0; x < width; ++x, out += C) {
        const int sx = ClampToSize(std::int64_t(x) + half - FxRand() % n, width);
        const int sy = ClampToSize(std::int64_t(y) + half - FxRand() % n, height);
        CopyPixel<C>(out, SourcePixel<C>(src, sx, sy));
      }
    }
  });
}

}  // namespace tx::fx
