#include <algorithm>
#include <cstring>

#include "effects/distort/distort_kernel.h"

namespace tx::fx {
namespace {

constexpr int kMaxPercent = 100;

template <int C>
int Brightness(const std::uint8_t* pixel) {
  if constexpr (C == 3) {
    return pixel[0] + pixel[1] + pixel[2];
  } else {
    return pixel[0];
  }
}

}  // namespace

// Dark pixels run down the picture. The result starts as a copy; then
// width x height x p0 / 100 times a random pixel (column drawn first, then
// stored row) sinks: while it is above stored row 1 and the pixel below it is
// at least as bright, the two change places. A walk stops at stored row 1, so
// the bottom row keeps its pixels.
//
// p0 is limited to 0..100 and the count is 64-bit, so no record can make the
// number of drops overflow or grow past one per pixel. The drops are spread
// over `height` equal batches, each announced with BeginRow, so that a long
// run can be cancelled.
GlobalHandle Drip(GlobalHandle image, const EffectRecord& record) {
  const int percent = std::clamp(record.p[0], 0, kMaxPercent);
  return RunDistortion(image, [&](EffectFrame& frame, auto channels) {
    constexpr int C = decltype(channels)::value;
    const ImageLock& src = frame.source();
    const int width = src.width();
    const int height = src.height();
    const std::size_t stride = src.stride();
    const std::size_t rowBytes = std::size_t(width) * C;
    for (int y = 0; y < height; ++y)
      std::memcpy(frame.resultRow(y), src.row(y), rowBytes);

    const std::uint64_t drops =
        std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(percent) / kMaxPercent;
    const std::uint64_t perBatch = drops / std::uint64_t(height);
    const std::uint64_t extra = drops % std::uint64_t(height);
    for (int batch = 0; batch < height; ++batch) {
      if (!frame.BeginRow(batch)) return;
      const std::uint64_t count = perBatch + (std::uint64_t(batch) < extra ? 1 : 0);
      for (std::uint64_t k = 0; k < count; ++k) {
        const int x = FxRand() % width;
        int y = FxRand() % height;
        std::uint8_t* pixel = frame.resultRow(y) + std::size_t(x) * C;
        // Swapping all the way down is the same as moving each pixel passed
        // up one row and putting the walking pixel where it stops.
        std::uint8_t walker[C];
        CopyPixel<C>(walker, pixel);
        const int brightness = Brightness<C>(walker);
        while (y > 1) {
          std::uint8_t* below = pixel - stride;
          if (Brightness<C>(below) < brightness) break;
          CopyPixel<C>(pixel, below);
          pixel = below;
          --y;
        }
        CopyPixel<C>(pixel, walker);
      }
    }
  });
}

}  // namespace tx::fx
