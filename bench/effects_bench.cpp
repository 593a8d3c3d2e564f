// Speed of every available effect of the effects library on a 12-megapixel
// 24-bit picture at its neutral slider values; items are pixels, so the rate
// reads as pixels per second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench/bench_pictures.h"
#include "effects/fxkit.h"
#include "image/image_lock.h"

namespace {

using tx::bench::kSourceHeight;
using tx::bench::kSourceWidth;
using tx::bench::SourcePicture;

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
