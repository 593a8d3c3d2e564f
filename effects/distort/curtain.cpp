#include <algorithm>
#include <cmath>
#include <vector>

#include "effects/distort/distort_kernel.h"

namespace tx::fx {
namespace {

// At 400 the drop is three picture heights and every row is background;
// larger values give the same picture, so the limit changes nothing but
// keeps the product small.
constexpr int kMaxDepth = 400;
constexpr double kPi = 3.14159265;

}  // namespace

// Hangs the picture like a curtain: A = p1 x height x 3 / 400 rows, column x
// drops by t(x) = trunc(A x (cos(p0 x 0.1 x pi x x / width) + 1) / 2) rows.
// Pixel (x, y) takes the source at stored row y - t(x); a source row below 0
// or above height - A - 1 gives the background colour p2. p1 = 0 leaves the
// picture as it is.
//
// A negative p1 would make A negative and the accepted source rows reach past
// the top of the picture, so p1 is limited to 0..400.
GlobalHandle Curtain(GlobalHandle image, const EffectRecord& record) {
  const int frequency = record.p[0];
  const int depth = std::clamp(record.p[1], 0, kMaxDepth);
  const auto colour = std::uint32_t(record.p[2]);
  return RunDistortion(image, [&](EffectFrame& frame, auto channels) {
    constexpr int C = decltype(channels)::value;
    const ImageLock& src = frame.source();
    const int width = src.width();
    const int height = src.height();
    const BackgroundPixel background = MakeBackgroundPixel(colour, C);
    const std::int64_t drop = std::int64_t(depth) * height * 3 / kMaxDepth;
    const std::int64_t lastRow = height - drop - 1;

    std::vector<std::int64_t> shift(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
      const double angle = double(frequency) * 0.1 / width * x * kPi;
      shift[std::size_t(x)] = std::int64_t(std::trunc(double(drop) * (std::cos(angle) + 1) * 0.5));
    }

    for (int y = 0; y < height; ++y) {
      if (!frame.BeginRow(y)) return;
      std::uint8_t* out = frame.resultRow(y);
      for (int x = 0; x < width; ++x, out += C) {
        const std::int64_t sy = y - shift[std::size_t(x)];
        if (sy < 0 || sy > lastRow) {
          CopyPixel<C>(out, background.bytes);
        } else {
          CopyPixel<C>(out, SourcePixel<C>(src, x, int(sy)));
        }
      }
    }
  });
}

}  // namespace tx::fx
