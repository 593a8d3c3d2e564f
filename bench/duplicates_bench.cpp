// Speed of finding near-duplicate tiles among generated tile records: 10 000
// and 100 000 tiles of photo-like miniatures with 1 % of them planted as
// near copies of others, spread over all colours or crowded into dark ones
// (as in a collection of evening photos, where mean colours tell little).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "collections/near_duplicates.h"
#include "collections/tile_set_index.h"

namespace {

constexpr std::size_t kCellsOffset = 24;  // the miniature inside a record

// Records as an index holds them, with miniatures shaped like photos': a
// base colour, a gradient, two brighter or darker patches and some grain.
// Every hundredth tile is a recompressed-looking copy (each byte off by up
// to 3) of a random earlier one. `brightest` bounds the base colours from
// above, for a collection crowded into dark colours.
std::vector<std::uint8_t> GenerateRecords(std::size_t count, int brightest) {
  std::vector<std::uint8_t> records(count * tx::kTileRecordBytes, 0);
  std::mt19937 random(std::uint32_t(count) + std::uint32_t(brightest));
  std::uniform_int_distribution<int> base(0, brightest);
  std::uniform_int_distribution<int> slope(-12, 12);
  std::uniform_int_distribution<int> patch(-60, 60);
  std::uniform_int_distribution<int> column(0, 7);
  std::uniform_int_distribution<int> row(0, 5);
  std::uniform_int_distribution<int> grain(-4, 4);
  std::uniform_int_distribution<int> jitter(-3, 3);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* record = records.data() + i * tx::kTileRecordBytes;
    const auto number = std::uint32_t(i);
    std::memcpy(record, &number, 4);
    std::uint8_t* cells = record + kCellsOffset;
    if (i % 100 == 99) {
      const std::size_t original = std::size_t(random() % i);
      const std::uint8_t* from = records.data() + original * tx::kTileRecordBytes + kCellsOffset;
      for (std::size_t b = 0; b < tx::kTileCellBytes; ++b) {
        cells[b] = std::uint8_t(std::clamp(from[b] + jitter(random), 0, 255));
      }
      continue;
    }
    const int colour[3] = {base(random), base(random), base(random)};
    const int dx = slope(random);
    const int dy = slope(random);
    int shade[tx::kTileCellCount] = {};
    for (int patches = 0; patches < 2; ++patches) {
      const int left = column(random);
      const int top = row(random);
      const int lift = patch(random);
      for (int y = top; y < std::min(6, top + 3); ++y) {
        for (int x = left; x < std::min(8, left + 3); ++x)
          shade[y * 8 + x] += lift;
      }
    }
    for (int cell = 0; cell < tx::kTileCellCount; ++cell) {
      for (int c = 0; c < 3; ++c) {
        const int v =
            colour[c] + dx * (cell % 8 - 4) + dy * (cell / 8 - 3) + shade[cell] + grain(random);
        cells[3 * cell + c] = std::uint8_t(std::clamp(v, 0, 255));
      }
    }
  }
  return records;
}

void FindGroups(benchmark::State& state, int brightest) {
  const auto count = std::size_t(state.range(0));
  const std::vector<std::uint8_t> records = GenerateRecords(count, brightest);
  std::size_t groups = 0;
  for (auto _ : state) {
    const auto found = tx::FindNearDuplicateGroups(
        records.data() + kCellsOffset, tx::kTileRecordBytes, count, tx::kDefaultDuplicateThreshold);
    groups = found.size();
    benchmark::DoNotOptimize(groups);
  }
  state.counters["groups"] = double(groups);
  state.counters["planted"] = double(count / 100);
}

void BM_NearDuplicatesAllColours(benchmark::State& state) {
  FindGroups(state, 255);
}
void BM_NearDuplicatesDarkTiles(benchmark::State& state) {
  FindGroups(state, 60);
}

BENCHMARK(BM_NearDuplicatesAllColours)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NearDuplicatesDarkTiles)->Arg(20'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
