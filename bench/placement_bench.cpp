// Speed of filling the cells of a run by similarity: 2000 cells of a
// synthetic picture against generated tile tables of 1 000, 10 000 and
// 100 000 tiles, with colour variation off and on.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>

#include "collections/tile_set_index.h"
#include "image/image_lock.h"
#include "montage/montage_types.h"
#include "montage/placement.h"

namespace {

constexpr int kCols = 50;  // 50 x 40 = 2000 cells of 8 x 6
constexpr int kRows = 40;

// Tiles that look like photo crops: a base colour, a gentle gradient and
// some grain, with the mean stored as the index would store it.
class GeneratedTiles {
 public:
  explicit GeneratedTiles(std::uint32_t count) {
    m_tables.count = count;
    m_tables.records = tx::GlobalAlloc(std::size_t(count) * tx::kTileRecordBytes);
    m_tables.entries = tx::GlobalAlloc(std::size_t(count) * tx::kTileEntryBytes);
    auto* records = static_cast<std::uint8_t*>(tx::GlobalLock(m_tables.records));
    auto* entries = static_cast<std::uint8_t*>(tx::GlobalLock(m_tables.entries));
    std::mt19937 random(count);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> slope(-6, 6);
    std::uniform_int_distribution<int> grain(-12, 12);
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint8_t* record = records + std::size_t(i) * tx::kTileRecordBytes;
      std::memcpy(record, &i, 4);
      const int base[3] = {byte(random), byte(random), byte(random)};
      const int dx = slope(random);
      const int dy = slope(random);
      int sums[3] = {0, 0, 0};
      for (int s = 0; s < tx::kSamplesPerCell; ++s) {
        for (int c = 0; c < 3; ++c) {
          const int v = base[c] + dx * (s % 8 - 4) + dy * (s / 8 - 3) + grain(random);
          record[24 + 3 * s + c] = std::uint8_t(std::clamp(v, 0, 255));
          sums[c] += record[24 + 3 * s + c];
        }
      }
      const std::uint32_t mean = std::uint32_t(sums[2] / 48) | std::uint32_t(sums[1] / 48) << 8 |
                                 std::uint32_t(sums[0] / 48) << 16;
      std::memcpy(record + 12, &mean, 4);
      entries[std::size_t(i) * tx::kTileEntryBytes + tx::kEntryWeight] = 1;
    }
    tx::GlobalUnlock(m_tables.records);
    tx::GlobalUnlock(m_tables.entries);
  }
  ~GeneratedTiles() { m_tables.Release(); }
  tx::TileTables& tables() { return m_tables; }

 private:
  tx::TileTables m_tables;
};

// A smooth picture with some texture, already at analysis size.
tx::GlobalHandle AnalysisPicture() {
  static tx::PackedImage picture = [] {
    tx::PackedImage image(tx::CreatePackedImage(kCols * 8, kRows * 6, 0, 0));
    tx::ImageLock lock(image.get());
    std::mt19937 random(7);
    std::uniform_int_distribution<int> grain(-10, 10);
    for (int y = 0; lock && y < lock.height(); ++y) {
      std::uint8_t* row = lock.row(y);
      for (int x = 0; x < lock.width(); ++x) {
        const double fx = x / 400.0;
        const double fy = y / 240.0;
        const int blue = int(128 + 100 * std::sin(6.0 * fx + 2.0 * fy));
        const int green = int(128 + 100 * std::cos(4.0 * fy - 3.0 * fx));
        const int red = int(128 + 100 * std::sin(5.0 * (fx + fy)));
        row[3 * x] = std::uint8_t(std::clamp(blue + grain(random), 0, 255));
        row[3 * x + 1] = std::uint8_t(std::clamp(green + grain(random), 0, 255));
        row[3 * x + 2] = std::uint8_t(std::clamp(red + grain(random), 0, 255));
      }
    }
    return image;
  }();
  return picture.get();
}

tx::TileTables& Tiles(std::uint32_t count) {
  static std::map<std::uint32_t, std::unique_ptr<GeneratedTiles>> made;
  std::unique_ptr<GeneratedTiles>& tiles = made[count];
  if (!tiles) tiles = std::make_unique<GeneratedTiles>(count);
  return tiles->tables();
}

// Args: tile count, colour variation (0/1), repetition limit.
void BM_PlaceBySimilarity(benchmark::State& state) {
  tx::TileTables& tables = Tiles(std::uint32_t(state.range(0)));
  tx::RunParameters run;
  run.colourAllowed = state.range(1) != 0;
  run.usageLimit = int(state.range(2));
  tx::GlobalHandle analysis = AnalysisPicture();
  for (auto _ : state) {
    state.PauseTiming();
    tx::TileView view(tables);
    for (std::uint32_t i = 0; i < view.count(); ++i)
      view.Set16(i, tx::kEntryUsage, 0);
    state.ResumeTiming();
    tx::Placement placement(run, view);
    if (!placement.PlaceBySimilarity(analysis, 1)) state.SkipWithError("placement failed");
    benchmark::DoNotOptimize(placement.cells().cells.data());
  }
  state.counters["cells"] = kCols * kRows;
}

BENCHMARK(BM_PlaceBySimilarity)
    ->ArgNames({"tiles", "colour", "limit"})
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}, {0}})
    ->Args({100000, 1, 10000})
    ->Unit(benchmark::kMillisecond);

}  // namespace
