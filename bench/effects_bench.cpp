// Speed of every available effect of the effects library on a 12-megapixel
// 24-bit picture at its neutral slider values; items are pixels, so the rate
// reads as pixels per second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "effects/fxkit.h"
#include "image/image_lock.h"

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

void BM_Effect(benchmark::State& state, int id) {
  tx::GlobalHandle source = SourcePicture();
  const int values[3] = {50, 50, 50};
  for (auto _ : state) {
    tx::PackedImage result(DoEnhanceAndEffect(source, id, values, 3, nullptr));
    if (!result) state.SkipWithError("the effect gave no picture");
    benchmark::DoNotOptimize(result.get());
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(kSourceWidth) * kSourceHeight);
}

// One benchmark per effect the library has, named after it.
const bool kRegistered = [] {
  for (const tx::fx::EffectInfo& info : tx::fx::EffectCatalogue()) {
    if (!info.available) continue;
    std::string name = "Effect/" + std::to_string(info.id) + "_" + info.name + "/4000x3000";
    benchmark::RegisterBenchmark(name.c_str(), BM_Effect, info.id)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  return true;
}();

}  // namespace
