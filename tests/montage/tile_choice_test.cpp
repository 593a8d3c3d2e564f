// Tile choice: the per-tile statistics, the pre-filter, the score with its
// reuse penalty and tie rule, checked against a literal sample-by-sample
// rendering of the rules on random data.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "collections/tile_set_index.h"
#include "montage/montage_types.h"
#include "montage/tile_choice.h"
#include "platform/global_memory.h"
#include "tests/montage/test_tile_tables.h"

namespace tx {
namespace {

using testing::TestTables;
using testing::TestTile;
using testing::UniformTile;

CellSamples UniformCell(int blue, int green, int red) {
  CellSamples samples{};
  for (int i = 0; i < kSamplesPerCell; ++i) {
    samples[4 * i] = 1;
    samples[4 * i + 1] = std::uint8_t(blue);
    samples[4 * i + 2] = std::uint8_t(green);
    samples[4 * i + 3] = std::uint8_t(red);
  }
  return samples;
}

// Prefilters and chooses for one cell as a placement does.
int Choose(TileChooser& chooser, const CellSamples& samples, int usageLimit,
           bool colourAllowed = false) {
  CellRecord cell;
  const CellPattern pattern = MakeCellPattern(samples);
  chooser.PrefilterTiles(pattern, cell, usageLimit, false);
  return chooser.ChooseTile(pattern, cell, usageLimit, colourAllowed) ? cell.tileIndex : -1;
}

TEST(TileStatistics, DetailMeansAndEntries) {
  TestTile tile = UniformTile(0, 100, 200);
  for (int i = 0; i < kSamplesPerCell; i += 2)
    tile.miniature[3 * i] = 20;  // blue 0 / 20
  tile.mean = 200 | 100 << 8 | 10 << 16;
  TestTables tables({tile});
  TileView view(tables.tables());
  TileChooser chooser(view);
  EXPECT_EQ(chooser.detail(0), 48u * 100u / 24u);
  EXPECT_EQ(view.Get32(0, kEntryDetail), 200u);
  EXPECT_EQ(view.Get16(0, kEntryRed), 200);
  EXPECT_EQ(view.Get16(0, kEntryGreen), 100);
  EXPECT_EQ(view.Get16(0, kEntryBlue), 10);
  EXPECT_EQ(view.Get16(0, kEntryEnabled), 1);
}

TEST(TileChoice, IdenticalTilesFirstWins) {
  std::vector<TestTile> tiles = {UniformTile(200, 0, 0), UniformTile(90, 90, 90),
                                 UniformTile(90, 90, 90), UniformTile(90, 90, 90)};
  TestTables tables(tiles);
  TileView view(tables.tables());
  TileChooser chooser(view);
  // No repetition: each identical tile in table order, then none.
  EXPECT_EQ(Choose(chooser, UniformCell(100, 90, 80), 0), 1);
  EXPECT_EQ(Choose(chooser, UniformCell(100, 90, 80), 0), 2);
  EXPECT_EQ(Choose(chooser, UniformCell(100, 90, 80), 0), 3);
  EXPECT_EQ(Choose(chooser, UniformCell(100, 90, 80), 0), 0);
  EXPECT_EQ(Choose(chooser, UniformCell(100, 90, 80), 0), -1);
  EXPECT_EQ(view.Get16(1, kEntryUsage), 1);
}

TEST(TileChoice, HeavierCollectionIsPreferred) {
  std::vector<TestTile> tiles = {UniformTile(100, 100, 100), UniformTile(104, 100, 100)};
  tiles[1].weight = 3;
  TestTables tables(tiles);
  TileView view(tables.tables());
  TileChooser chooser(view);
  // Both sums are 48 x 2^2 = 192: weight 1 scores 192, weight 3 192 x 9 / 11.
  EXPECT_EQ(Choose(chooser, UniformCell(102, 100, 100), 9), 1);
}

TEST(TileChoice, ColourVariationEqualisesUniformTiles) {
  const TestTile dark = UniformTile(10, 20, 30);
  const TestTile bright = UniformTile(240, 230, 220);
  const CellSamples cell = UniformCell(120, 200, 40);
  for (bool darkFirst : {true, false}) {
    TestTables tables(darkFirst ? std::vector<TestTile>{dark, bright}
                                : std::vector<TestTile>{bright, dark});
    TileView view(tables.tables());
    TileChooser chooser(view);
    const CellPattern pattern = MakeCellPattern(cell);
    EXPECT_EQ(chooser.Distance(0, pattern, true), 0);
    EXPECT_EQ(chooser.Distance(1, pattern, true), 0);
    // Equal scores: the first in the table wins whichever it is.
    EXPECT_EQ(Choose(chooser, cell, 9, true), 0);
  }
  // Without colour variation the nearer colour wins from either place.
  TestTables tables({dark, bright});
  TileView view(tables.tables());
  TileChooser chooser(view);
  EXPECT_EQ(Choose(chooser, UniformCell(200, 200, 200), 9, false), 1);
}

TEST(TileChoice, HeavyUseAlwaysCostsMore) {
  // Past about 130 (large K) or 400 (small K) uses the penalty no longer
  // fits 32 bits; a used tile must still lose to an unused equal one.
  for (const int usage : {100, 140, 400, 500, 1000, 20000, 65535}) {
    for (const int limit : {100000, 9000}) {
      std::vector<TestTile> tiles = {UniformTile(50, 60, 70), UniformTile(50, 60, 70)};
      tiles[0].usage = std::uint16_t(usage);
      TestTables tables(tiles);
      TileView view(tables.tables());
      TileChooser chooser(view);
      EXPECT_EQ(Choose(chooser, UniformCell(50, 60, 70), limit), 1)
          << "usage " << usage << " limit " << limit;
    }
  }
  // And a heavily used perfect match loses to an unused poor one.
  std::vector<TestTile> tiles = {UniformTile(50, 60, 70), UniformTile(0, 0, 0)};
  tiles[0].usage = 500;
  TestTables tables(tiles);
  TileView view(tables.tables());
  TileChooser chooser(view);
  EXPECT_EQ(Choose(chooser, UniformCell(50, 60, 70), 10000), 1);
}

TEST(TilePrefilter, SmallTablesAreWhollyEnabled) {
  for (const int count : {1, 300}) {
    std::vector<TestTile> tiles;
    for (int i = 0; i < count; ++i)
      tiles.push_back(UniformTile(i % 256, (i * 7) % 256, 255));
    TestTables tables(tiles);
    TileView view(tables.tables());
    TileChooser chooser(view);
    CellRecord cell;
    int limit = 0;
    chooser.PrefilterTiles(MakeCellPattern(UniformCell(0, 0, 0)), cell, limit, false);
    EXPECT_EQ(chooser.enabledTiles().size(), std::size_t(count));
  }
}

TEST(TilePrefilter, EnablesByColourAndFillsUpFromTheFront) {
  // 1000 tiles: the last 10 match the cell's colour, the rest are far off.
  std::vector<TestTile> tiles(1000, UniformTile(255, 255, 255));
  for (int i = 990; i < 1000; ++i)
    tiles[i] = UniformTile(0, 0, 0);
  TestTables tables(tiles);
  TileView view(tables.tables());
  TileChooser chooser(view);
  CellRecord cell;
  int limit = 9;
  chooser.PrefilterTiles(MakeCellPattern(UniformCell(2, 3, 4)), cell, limit, false);
  EXPECT_EQ(cell.meanColour, 4u | 3u << 8 | 2u << 16);
  EXPECT_EQ(chooser.distance(0), 3u * 255u * 255u - 2u * 255u * 9u + 29u);
  const std::vector<std::uint32_t>& enabled = chooser.enabledTiles();
  ASSERT_EQ(enabled.size(), 600u);
  EXPECT_EQ(enabled[589], 589u);
  EXPECT_EQ(enabled[590], 990u);
  EXPECT_EQ(enabled.back(), 999u);
}

TEST(TilePrefilter, UnlimitedSwitchLiftsTheLimitOnceAllAreUsed) {
  TestTables tables({UniformTile(1, 1, 1), UniformTile(2, 2, 2)});
  TileView view(tables.tables());
  TileChooser chooser(view);
  CellRecord cell;
  const CellPattern pattern = MakeCellPattern(UniformCell(1, 1, 1));
  int limit = 0;
  chooser.AddUse(0);
  chooser.PrefilterTiles(pattern, cell, limit, true);
  EXPECT_EQ(limit, 0);
  chooser.AddUse(1);
  chooser.PrefilterTiles(pattern, cell, limit, false);
  EXPECT_EQ(limit, 0);
  chooser.PrefilterTiles(pattern, cell, limit, true);
  EXPECT_EQ(limit, kUnlimitedUsage);
}

// The rules as written, sample by sample, on plain arrays.
class ReferenceChooser {
 public:
  explicit ReferenceChooser(const std::vector<TestTile>& tiles) : m_tiles(tiles) {
    for (TestTile& tile : m_tiles) {
      const int mean[3] = {int(tile.mean >> 16) & 0xFF, int(tile.mean >> 8) & 0xFF,
                           int(tile.mean) & 0xFF};
      std::uint32_t spread = 0;
      for (std::size_t i = 0; i < kTileCellBytes; ++i) {
        const int d = tile.miniature[i] - mean[i % 3];
        spread += std::uint32_t(d * d);
      }
      m_detail.push_back(spread / 24);
    }
    m_enabled.assign(m_tiles.size(), true);
  }

  void Prefilter(const CellSamples& samples, int& limit, bool unlimited) {
    int sums[3] = {0, 0, 0};
    for (int i = 0; i < kSamplesPerCell; ++i) {
      for (int c = 0; c < 3; ++c)
        sums[c] += samples[4 * i + 1 + c];
    }
    for (int c = 0; c < 3; ++c)
      m_cellMean[c] = sums[c] / 48;
    std::uint32_t spread = 0;
    for (int i = 0; i < kSamplesPerCell; ++i) {
      for (int c = 0; c < 3; ++c) {
        const int d = samples[4 * i + 1 + c] - m_cellMean[c];
        spread += std::uint32_t(d * d);
      }
    }
    spread /= 24;
    std::vector<std::uint32_t> distance(m_tiles.size());
    std::uint32_t best = kNoScore;
    for (std::size_t t = 0; t < m_tiles.size(); ++t) {
      const std::uint32_t mean = m_tiles[t].mean;
      const int db = int(mean >> 16 & 0xFF) - m_cellMean[0];
      const int dg = int(mean >> 8 & 0xFF) - m_cellMean[1];
      const int dr = int(mean & 0xFF) - m_cellMean[2];
      distance[t] = std::uint32_t(db * db + dg * dg + dr * dr);
      const std::uint32_t bound = distance[t] + m_detail[t] + spread;
      if (m_tiles[t].usage <= limit && bound < best) best = bound;
    }
    std::size_t n = 0;
    for (std::size_t t = 0; t < m_tiles.size(); ++t) {
      m_enabled[t] = distance[t] <= best;
      n += m_enabled[t];
    }
    for (std::size_t t = 0; n < 600 && t < 600 - n && t < m_tiles.size(); ++t) {
      m_enabled[t] = true;
    }
    bool allUsed = true;
    for (const TestTile& tile : m_tiles)
      allUsed = allUsed && tile.usage > 0;
    if (allUsed && unlimited) limit = 10000;
  }

  int Choose(const CellSamples& samples, int limit, bool colourAllowed) {
    const std::int64_t k = limit < 10000 ? 122880 : 13653;
    std::int64_t best = kNoScore;
    int winner = -1;
    for (std::size_t t = 0; t < m_tiles.size(); ++t) {
      const TestTile& tile = m_tiles[t];
      if (!m_enabled[t] || tile.usage > limit) continue;
      const int tileMean[3] = {int(tile.mean >> 16) & 0xFF, int(tile.mean >> 8) & 0xFF,
                               int(tile.mean) & 0xFF};
      const std::int64_t divisor = tile.weight + 8;
      std::int64_t total = (std::int64_t(tile.usage) * tile.usage * k) >> 8;
      for (int s = 0; s < kSamplesPerCell; ++s) {
        for (int c = 0; c < 3; ++c) {
          int d = tile.miniature[3 * s + c] - samples[4 * s + 1 + c];
          if (colourAllowed) d -= tileMean[c] - m_cellMean[c];
          total += d * d;
        }
        if (total * 9 >= divisor * best) break;
      }
      const std::int64_t score = total * 9 / divisor;
      if (score < best) {
        best = score;
        winner = int(t);
      }
    }
    if (best >= kNoScore) return -1;
    ++m_tiles[std::size_t(winner)].usage;
    return winner;
  }

  std::vector<std::uint32_t> EnabledList() const {
    std::vector<std::uint32_t> list;
    for (std::size_t t = 0; t < m_tiles.size(); ++t) {
      if (m_enabled[t]) list.push_back(std::uint32_t(t));
    }
    return list;
  }

 private:
  std::vector<TestTile> m_tiles;
  std::vector<std::uint32_t> m_detail;
  std::vector<bool> m_enabled;
  int m_cellMean[3] = {0, 0, 0};
};

// A tile or cell of some base colour with noise of some strength.
template <typename Put>
void NoisyPixels(std::mt19937& random, Put put) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> strength(0, 70);
  const int base[3] = {byte(random), byte(random), byte(random)};
  const int noise = strength(random);
  std::uniform_int_distribution<int> offset(-noise, noise);
  for (int i = 0; i < kSamplesPerCell; ++i) {
    for (int c = 0; c < 3; ++c)
      put(i, c, std::uint8_t(std::clamp(base[c] + offset(random), 0, 255)));
  }
}

TEST(TileChoice, MatchesTheSampleBySampleRules) {
  struct Mode {
    int limit;
    bool colourAllowed;
    bool unlimited;
  };
  const Mode modes[] = {{0, false, false}, {0, true, true},       {9, false, false},
                        {9, true, false},  {10000, false, false}, {10000, true, false},
                        {0, false, true}};
  std::mt19937 random(20240611);
  for (const Mode& mode : modes) {
    std::vector<TestTile> tiles(900);
    std::uniform_int_distribution<int> weight(1, 3);
    std::uniform_int_distribution<int> usage(0, 3);
    for (TestTile& tile : tiles) {
      NoisyPixels(random, [&](int i, int c, std::uint8_t v) { tile.miniature[3 * i + c] = v; });
      int sums[3] = {0, 0, 0};
      for (std::size_t i = 0; i < kTileCellBytes; ++i)
        sums[i % 3] += tile.miniature[i];
      // A record mean a little off the miniature's, as stored means may be.
      tile.mean = std::uint32_t(std::min(sums[2] / 48 + 1, 255)) |
                  std::uint32_t(sums[1] / 48) << 8 | std::uint32_t(sums[0] / 48) << 16;
      tile.weight = std::uint16_t(weight(random));
      tile.usage = std::uint16_t(mode.limit == 0 ? 0 : usage(random));
    }
    TestTables tables(tiles);
    TileView view(tables.tables());
    TileChooser chooser(view);
    ReferenceChooser reference(tiles);
    int limit = mode.limit;
    int referenceLimit = mode.limit;
    for (int n = 0; n < 1200; ++n) {
      CellSamples samples{};
      NoisyPixels(random, [&](int i, int c, std::uint8_t v) {
        samples[4 * i] = 1;
        samples[4 * i + 1 + c] = v;
      });
      const CellPattern pattern = MakeCellPattern(samples);
      CellRecord cell;
      int chosen = -1;
      int expected = -1;
      for (int attempt = 0; attempt < 2 && chosen < 0; ++attempt) {
        if (attempt == 1) ++limit, ++referenceLimit;
        chooser.PrefilterTiles(pattern, cell, limit, mode.unlimited);
        reference.Prefilter(samples, referenceLimit, mode.unlimited);
        ASSERT_EQ(chooser.enabledTiles(), reference.EnabledList()) << "cell " << n;
        ASSERT_EQ(limit, referenceLimit);
        chosen = chooser.ChooseTile(pattern, cell, limit, mode.colourAllowed) ? cell.tileIndex : -1;
        expected = reference.Choose(samples, referenceLimit, mode.colourAllowed);
        ASSERT_EQ(chosen, expected) << "cell " << n << " limit " << mode.limit;
      }
    }
  }
}

}  // namespace
}  // namespace tx
