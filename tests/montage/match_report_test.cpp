// The montage report: match distances recomputed by hand from the samples
// and the chosen tiles, the worst cells, collection use, the colour gaps,
// and the match map's geometry.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "collections/collection_registry.h"
#include "config/settings_access.h"
#include "image/image_lock.h"
#include "image/packed_image.h"
#include "montage/cell_grid.h"
#include "montage/match_map.h"
#include "montage/match_report.h"
#include "montage/placement.h"
#include "tests/montage/test_tile_tables.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::TempDir;
using Colour = std::array<std::uint8_t, 3>;  // blue, green, red

using testing::TestTile;
using Tile = TestTile;

// Tables of tiles of My Collections, numbered from 100 so that a tile's
// number is never its index.
class Tables : public testing::TestTables {
 public:
  explicit Tables(const std::vector<Tile>& tiles) : testing::TestTables(Prepared(tiles), 100) {}

 private:
  static std::vector<Tile> Prepared(std::vector<Tile> tiles) {
    for (Tile& tile : tiles) {
      tile.kind = kMyCollection;
      tile.mean = testing::MiniatureMean(tile.miniature);
    }
    return tiles;
  }
};

Tile NoisyTile(std::mt19937& random, Colour base, int spread) {
  Tile tile;
  std::uniform_int_distribution<int> noise(-spread, spread);
  for (int s = 0; s < kSamplesPerCell; ++s) {
    for (int c = 0; c < 3; ++c)
      tile.miniature[3 * s + c] = std::uint8_t(std::clamp(base[c] + noise(random), 0, 255));
  }
  return tile;
}

// An analysis image of cols x rows cells of 8 x 6 pixels: `base` gives a
// cell's colour (column, row from the bottom), with noise on every pixel.
PackedImage NoisyImage(int cols, int rows, std::mt19937& random, int spread,
                       const std::function<Colour(int, int)>& base) {
  PackedImage image(CreatePackedImage(cols * 8, rows * 6, 0, 0));
  ImageLock lock(image.get());
  std::uniform_int_distribution<int> noise(-spread, spread);
  for (int y = 0; y < lock.height(); ++y) {
    for (int x = 0; x < lock.width(); ++x) {
      const Colour c = base(x / 8, y / 6);
      for (int k = 0; k < 3; ++k)
        lock.row(y)[3 * x + k] = std::uint8_t(std::clamp(c[k] + noise(random), 0, 255));
    }
  }
  return image;
}

// The score of `tile` on the samples, written out from its definition:
// each side's per-channel mean (sum / 48, truncated) removed under colour
// variation, the squared differences summed, x 9 / (weight + 8).
std::int64_t ScoreByHand(const CellSamples& samples, const Tile& tile, bool colourAllowed) {
  std::array<int, 3> cellSum{};
  std::array<int, 3> tileSum{};
  for (int s = 0; s < kSamplesPerCell; ++s) {
    for (int c = 0; c < 3; ++c) {
      cellSum[c] += samples[4 * s + 1 + c];
      tileSum[c] += tile.miniature[3 * s + c];
    }
  }
  std::int64_t total = 0;
  for (int s = 0; s < kSamplesPerCell; ++s) {
    for (int c = 0; c < 3; ++c) {
      int d = tile.miniature[3 * s + c] - samples[4 * s + 1 + c];
      if (colourAllowed) d -= tileSum[c] / 48 - cellSum[c] / 48;
      total += std::int64_t(d) * d;
    }
  }
  return total * 9 / (tile.weight + 8);
}

class MatchReportTest : public ::testing::Test {
 protected:
  TempDir m_dir;
  Configuration m_configuration{m_dir / "P" / "Tesserix.set", m_dir / "U" / "Tesserix.ini"};
  CollectionRegistry m_registry{m_configuration, m_dir / "U", m_dir / "P"};
};

TEST_F(MatchReportTest, DistancesAreTheChoiceScoresWithoutThePenalty) {
  std::mt19937 random(7);
  std::vector<Tile> tiles;
  std::uniform_int_distribution<int> channel(0, 255);
  for (int i = 0; i < 40; ++i) {
    Tile tile = NoisyTile(random,
                          {std::uint8_t(channel(random)), std::uint8_t(channel(random)),
                           std::uint8_t(channel(random))},
                          30);
    tile.weight = std::uint16_t(1 + i % 3);
    tiles.push_back(tile);
  }
  PackedImage image = NoisyImage(9, 7, random, 25, [](int x, int y) {
    return Colour{std::uint8_t(20 * x), std::uint8_t(30 * y), std::uint8_t(200 - 10 * x)};
  });
  struct Case {
    bool colourAllowed;
    bool staggered;
    bool exactOrder;
    int usageLimit;
  };
  for (const Case& c : {Case{false, false, false, 2}, Case{true, true, false, 0},
                        Case{false, true, false, kUnlimitedUsage}, Case{true, false, true, 0}}) {
    SCOPED_TRACE(::testing::Message() << c.colourAllowed << c.staggered << c.exactOrder);
    Tables tables(tiles);
    TileView view(tables.tables());
    RunParameters run;
    run.colourAllowed = c.colourAllowed;
    run.staggered = c.staggered;
    run.usageLimit = c.usageLimit;
    Placement placement(run, view);
    ASSERT_TRUE(c.exactOrder ? placement.PlaceInExactOrder(image.get())
                             : placement.PlaceBySimilarity(image.get(), 1));
    const CellTable& cells = placement.cells();
    ImageLock lock(image.get());
    int checked = 0;
    for (int y = 0; y < cells.rows; ++y) {
      for (int x = 0; x < cells.cols; ++x) {
        const std::size_t index = std::size_t(cells.rows - 1 - y) * cells.cols + x;
        const std::int32_t tile = cells.at(x, y).tileIndex;
        if (tile < 0) {
          EXPECT_EQ(placement.matchDistances()[index], kNoMatch);
          continue;
        }
        CellSamples samples{};
        ASSERT_TRUE(GatherCellSamples(lock, x, y, 8, 6, c.staggered, samples));
        EXPECT_EQ(placement.matchDistances()[index],
                  ScoreByHand(samples, tiles[std::size_t(tile)], c.colourAllowed))
            << x << "," << y;
        ++checked;
      }
    }
    EXPECT_GT(checked, 40);

    const MatchReport report = MakeMatchReport(cells, placement.matchDistances(), view, m_registry);
    // The worst cells are the largest distances, worst first, and their
    // columns and rows count from the top left.
    std::vector<std::int64_t> sorted;
    for (std::int64_t d : report.distances) {
      if (d >= 0) sorted.push_back(d);
    }
    std::sort(sorted.rbegin(), sorted.rend());
    ASSERT_EQ(report.worst.size(), kWorstCellCount);
    for (std::size_t w = 0; w < report.worst.size(); ++w) {
      const WorstCell& cell = report.worst[w];
      EXPECT_EQ(cell.distance, sorted[w]);
      const std::size_t index = std::size_t(cell.row) * cells.cols + std::size_t(cell.col);
      EXPECT_EQ(report.distances[index], cell.distance);
      EXPECT_EQ(cell.meanColour, cells.cells[index].meanColour);
      EXPECT_EQ(cell.tile, 100u + std::uint32_t(cells.cells[index].tileIndex));
    }
    EXPECT_EQ(report.largest, sorted.front());
    EXPECT_EQ(report.median, NearestRank(sorted, 50));
  }
}

TEST_F(MatchReportTest, CountsEachCollectionsUse) {
  std::mt19937 random(3);
  std::vector<Tile> tiles;
  for (int i = 0; i < 6; ++i) {
    Tile tile = NoisyTile(random, {std::uint8_t(40 * i), 90, 120}, 5);
    tile.collection = std::uint16_t(i < 2 ? 0 : 1);
    tiles.push_back(tile);
  }
  Tables tables(tiles);
  TileView view(tables.tables());
  CellTable cells;
  cells.Reset(4, 2);
  const std::int32_t chosen[8] = {0, 0, 0, 2, 3, 3, -1, 5};
  std::vector<std::int64_t> distances;
  for (int i = 0; i < 8; ++i) {
    cells.cells[std::size_t(i)].tileIndex = chosen[i];
    distances.push_back(chosen[i] < 0 ? kNoMatch : 10 * i);
  }
  const MatchReport report = MakeMatchReport(cells, distances, view, m_registry);
  ASSERT_EQ(report.collections.size(), 2u);
  EXPECT_EQ(report.collections[0].loaded, 2u);
  EXPECT_EQ(report.collections[0].used, 3u);
  EXPECT_EQ(report.collections[0].distinct, 1u);
  EXPECT_EQ(report.collections[0].maxUses, 3u);
  EXPECT_EQ(report.collections[1].loaded, 4u);
  EXPECT_EQ(report.collections[1].used, 4u);
  EXPECT_EQ(report.collections[1].distinct, 3u);
  EXPECT_EQ(report.collections[1].maxUses, 2u);
  EXPECT_EQ(report.distances[6], kNoMatch);
  // Seven distances 0, 10, ..., 50, 70: the median is the fourth.
  EXPECT_EQ(report.median, 30);
  EXPECT_EQ(report.p95, 70);
  EXPECT_EQ(report.worst.size(), 7u);
  EXPECT_EQ(report.worst.front().col, 3);
  EXPECT_EQ(report.worst.front().row, 1);
}

TEST(NearestRankTest, EdgeCases) {
  EXPECT_EQ(NearestRank({}, 50), 0);
  EXPECT_EQ(NearestRank({5}, 95), 5);
  EXPECT_EQ(NearestRank({4, 1, 3, 2}, 50), 2);
  EXPECT_EQ(NearestRank({4, 1, 3, 2}, 95), 4);
  EXPECT_EQ(NearestRank({4, 1, 3, 2}, 0), 1);
  std::vector<std::int64_t> hundred;
  for (int i = 1; i <= 100; ++i)
    hundred.push_back(i);
  EXPECT_EQ(NearestRank(hundred, 95), 95);
}

TEST_F(MatchReportTest, AMissingColourIsTheLargestGap) {
  // A third of the picture is red; the collection has every colour of the
  // rest and nothing red.
  std::mt19937 random(11);
  std::vector<Tile> tiles;
  const std::vector<Colour> offered = {{200, 60, 30},   {40, 170, 40}, {128, 128, 128},
                                       {230, 230, 230}, {20, 20, 20},  {60, 140, 200}};
  for (const Colour& c : offered) {
    for (int k = 0; k < 5; ++k)
      tiles.push_back(NoisyTile(random, c, 10));
  }
  PackedImage image = NoisyImage(12, 9, random, 8, [&](int x, int y) {
    if (x < 4) return Colour{30, 25, 210};  // red
    return offered[std::size_t((x + 2 * y) % int(offered.size()))];
  });
  Tables tables(tiles);
  TileView view(tables.tables());
  RunParameters run;
  run.colourAllowed = false;
  run.usageLimit = kUnlimitedUsage;
  Placement placement(run, view);
  ASSERT_TRUE(placement.PlaceBySimilarity(image.get(), 1));
  const MatchReport report =
      MakeMatchReport(placement.cells(), placement.matchDistances(), view, m_registry);
  ASSERT_FALSE(report.gaps.empty());
  const ColourGap& largest = report.gaps.front();
  EXPECT_GT(largest.meanColour & 0xFF, 180u) << ColourHex(largest.meanColour);
  EXPECT_LT(largest.meanColour >> 8 & 0xFF, 60u);
  EXPECT_LT(largest.meanColour >> 16 & 0xFF, 60u);
  EXPECT_NEAR(largest.share, 1.0 / 3.0, 0.02);
  EXPECT_GT(largest.nearest, kGapErrorFloor);
  for (std::size_t i = 1; i < report.gaps.size(); ++i)
    EXPECT_LE(report.gaps[i].share, report.gaps[i - 1].share);
}

TEST(ColourGapsTest, WellServedColoursAndNoTilesGiveNoGaps) {
  const std::vector<std::uint32_t> cells = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
  // Every tile within a few levels of its cell: nothing is visibly off.
  const std::vector<std::uint32_t> chosen = {0x112131, 0x415161, 0x718191, 0xA1B1C1};
  EXPECT_TRUE(FindColourGaps(cells, chosen, chosen).empty());
  EXPECT_TRUE(FindColourGaps(cells, chosen, {}).empty());
  EXPECT_TRUE(FindColourGaps({}, {}, chosen).empty());
  // Two far-off colours among many cells of near-identical shades make two
  // gaps, not one per shade.
  std::vector<std::uint32_t> manyCells;
  std::vector<std::uint32_t> manyChosen;
  for (int i = 0; i < 40; ++i) {
    manyCells.push_back(i % 2 ? 0x0000F0u + std::uint32_t(i % 5)
                              : 0xF00000u + std::uint32_t(i % 3));
    manyChosen.push_back(0x808080);
  }
  const std::vector<ColourGap> gaps = FindColourGaps(manyCells, manyChosen, manyChosen);
  ASSERT_EQ(gaps.size(), 2u);
  EXPECT_DOUBLE_EQ(gaps[0].share + gaps[1].share, 1.0);
  EXPECT_EQ(gaps[0].nearest, FlatColourDistance(gaps[0].meanColour, 0x808080));
}

TEST(MatchMapTest, CellsFollowTheStaggeredLayout) {
  MatchReport report;
  report.cols = 3;
  report.rows = 2;
  report.distances = {0, 100, kNoMatch, 100, 0, 0};
  report.largest = 100;
  report.geometry.staggered = true;
  const QImage cells = DrawMatchCells(report);
  ASSERT_EQ(cells.size(), QSize(24, 12));
  const QColor exact = ViridisColour(0.0);
  const QColor worst = ViridisColour(1.0);
  // The top row is row 1 from the bottom: shifted left by half a cell, its
  // first cell split across both edges.
  EXPECT_EQ(cells.pixelColor(0, 0), exact);
  EXPECT_EQ(cells.pixelColor(3, 0), exact);
  EXPECT_EQ(cells.pixelColor(4, 0), worst);
  EXPECT_EQ(cells.pixelColor(20, 0), exact);
  EXPECT_EQ(cells.pixelColor(19, 0), QColor(0x40, 0x40, 0x40));
  // The bottom row is not shifted.
  EXPECT_EQ(cells.pixelColor(0, 6), worst);
  EXPECT_EQ(cells.pixelColor(8, 6), exact);
  EXPECT_EQ(ViridisColour(0.0), QColor(0x47, 0x01, 0x55));
  EXPECT_EQ(MatchScalePosition(25, 100), 0.5);
}

}  // namespace
}  // namespace tx
