// Speed of the two resamplers on a camera-sized picture reduced to the sizes
// the montage engine uses for analysis cells and previews.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "image/image_lock.h"
#include "image/image_utils.h"

namespace {

constexpr int kSourceWidth = 4000;
constexpr int kSourceHeight = 3000;

// A 24-bit picture with gradients and texture in every channel, made once.
tx::GlobalHandle SourcePicture() {
  static tx::PackedImage picture = [] {
    tx::PackedImage image(tx::CreatePackedImage(kSourceWidth, kSourceHeight, 0, 0));
    tx::ImageLock lock(image.get());
    for (int y = 0; lock && y < kSourceHeight; ++y) {
      std::uint8_t* row = lock.row(y);
      for (int x = 0; x < kSourceWidth; ++x) {
        row[3 * x] = std::uint8_t(x * 255 / kSourceWidth);
        row[3 * x + 1] = std::uint8_t(y * 255 / kSourceHeight);
        row[3 * x + 2] = std::uint8_t((x * 7) ^ (y * 13));
      }
    }
    return image;
  }();
  return picture.get();
}

template <tx::GlobalHandle (*Resize)(tx::GlobalHandle, int, int)>
void BM_Resize(benchmark::State& state) {
  tx::GlobalHandle source = SourcePicture();
  const int width = int(state.range(0)), height = int(state.range(1));
  for (auto _ : state) {
    tx::PackedImage result(Resize(source, width, height));
    if (!result) state.SkipWithError("resize failed");
    benchmark::DoNotOptimize(result.get());
  }
}

BENCHMARK(BM_Resize<tx::ScaleImage>)
    ->Name("ScaleImage/4000x3000")
    ->Args({120, 90})
    ->Args({80, 60})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Resize<tx::ResampleMitchell>)
    ->Name("ResampleMitchell/4000x3000")
    ->Args({120, 90})
    ->Args({80, 60})
    ->Unit(benchmark::kMillisecond);

}  // namespace
