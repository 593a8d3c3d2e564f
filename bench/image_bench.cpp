// Speed of the two resamplers on a camera-sized picture reduced to the sizes
// the montage engine uses for analysis cells and previews.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_pictures.h"
#include "image/image_lock.h"
#include "image/image_utils.h"

namespace {

using tx::bench::kSourceHeight;
using tx::bench::kSourceWidth;
using tx::bench::SourcePicture;

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
