#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "effects/distort/distort_kernel.h"

namespace tx::fx {
namespace {

// Sliders give p0 up to 100; the limit only keeps 2L and the displacements
// far from overflowing for hostile records.
constexpr int kMaxParameter = 1'000'000;
constexpr double kFourPi = 12.5663706;

}  // namespace

// Waves in both directions. With half-wavelength L = p0 / 2 + 3, the table
// d(i) = trunc(0.5 + m / 4 x sin(4 pi i / L)), m = |L - (i mod 2L)|, has one
// entry per diagonal i = x + y. Pixel (x, y) takes the source at stored row
// y + d(x + y) and column x + d(y), both limited to the picture.
GlobalHandle Wave(GlobalHandle image, const EffectRecord& record) {
  const int halfWave = std::clamp(record.p[0], 0, kMaxParameter) / 2 + 3;
  return RunDistortion(image, [&](EffectFrame& frame, auto channels) {
    constexpr int C = decltype(channels)::value;
    const ImageLock& src = frame.source();
    const int width = src.width();
    const int height = src.height();
    // Diagonals 0 .. width + height - 2 are used; one spare keeps the table
    // the size the pattern is defined for.
    const std::size_t entries = std::size_t(width) + std::size_t(height);
    std::vector<int> shift(entries);
    const std::size_t period = 2 * std::size_t(halfWave);
    for (std::size_t i = 0; i < entries; ++i) {
      const double m = std::abs(double(halfWave) - double(i % period));
      const double wave = std::sin(double(i) * kFourPi / halfWave);
      shift[i] = int(std::trunc(0.5 + 0.25 * m * wave));
    }
    for (int y = 0; y < height; ++y) {
      if (!frame.BeginRow(y)) return;
      std::uint8_t* out = frame.resultRow(y);
      const int* diagonal = shift.data() + y;
      const std::int64_t columnShift = shift[std::size_t(y)];
      for (int x = 0; x < width; ++x, out += C) {
        const int sx = ClampToSize(x + columnShift, width);
        const int sy = ClampToSize(std::int64_t(y) + diagonal[x], height);
        CopyPixel<C>(out, SourcePixel<C>(src, sx, sy));
      }
    }
  });
}

}  // namespace tx::fx
