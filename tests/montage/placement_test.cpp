// The cell grid and placement: the analysis image, sample gathering with
// staggered rows, the spiral and random visiting orders, the retry after a
// failed choice, the partner pre-pass, exact order and cancelling.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "image/image_lock.h"
#include "image/packed_image.h"
#include "montage/analysis_image.h"
#include "montage/cell_grid.h"
#include "montage/placement.h"
#include "platform/cancel_flag.h"
#include "tests/montage/test_tile_tables.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using Colour = std::array<std::uint8_t, 3>;  // blue, green, red

// A 24-bit analysis image of cols x rows cells of 8 x 6 pixels; `colour`
// gives pixel (column, stored row counted from the bottom).
PackedImage MakeGridImage(int cols, int rows, const std::function<Colour(int, int)>& colour) {
  PackedImage image(CreatePackedImage(cols * 8, rows * 6, 0, 0));
  ImageLock lock(image.get());
  for (int y = 0; y < lock.height(); ++y) {
    for (int x = 0; x < lock.width(); ++x) {
      const Colour c = colour(x, y);
      std::memcpy(lock.row(y) + 3 * x, c.data(), 3);
    }
  }
  return image;
}

// Each cell one plain colour, distinct from its neighbours.
Colour CellColour(int x, int y) {
  return {std::uint8_t(40 + 23 * x % 200), std::uint8_t(30 + 37 * y % 200),
          std::uint8_t(90 + 11 * (x + y) % 150)};
}
PackedImage MakePlainCells(int cols, int rows) {
  return MakeGridImage(cols, rows, [](int px, int row) { return CellColour(px / 8, row / 6); });
}

// Uniform tiles of these colours (weight 1).
class TestTables : public testing::TestTables {
 public:
  explicit TestTables(const std::vector<Colour>& colours)
      : testing::TestTables(UniformTiles(colours)) {}

 private:
  static std::vector<testing::TestTile> UniformTiles(const std::vector<Colour>& colours) {
    std::vector<testing::TestTile> tiles;
    for (const Colour& c : colours)
      tiles.push_back(testing::UniformTile(c[0], c[1], c[2]));
    return tiles;
  }
};

std::vector<Colour> SpreadColours(int count) {
  std::vector<Colour> colours;
  for (int i = 0; i < count; ++i) {
    colours.push_back(
        {std::uint8_t(i * 53 % 256), std::uint8_t(i * 101 % 256), std::uint8_t(i * 29 % 256)});
  }
  return colours;
}

RunParameters Parameters(int usageLimit) {
  RunParameters run;
  run.usageLimit = usageLimit;
  run.colourAllowed = false;
  return run;
}

class CountingObserver : public MontageObserver {
 public:
  void ShowPlacementProgress(int placedIndex, int cols, int rows, int areaWidth,
                             int areaHeight) override {
    indexes.push_back(placedIndex);
    lastGrid = {cols, rows};
    lastArea = {areaWidth, areaHeight};
  }
  std::vector<int> indexes;
  std::pair<int, int> lastGrid;
  std::pair<int, int> lastArea;
};

void ExpectEveryCellOnce(const Placement& placement) {
  const CellTable& cells = placement.cells();
  const std::vector<CellPosition>& order = placement.visitingOrder();
  ASSERT_EQ(order.size(), cells.cells.size());
  std::set<std::pair<int, int>> seen;
  for (const CellPosition& p : order)
    seen.insert({p.x, p.y});
  EXPECT_EQ(seen.size(), order.size());
  for (const CellRecord& cell : cells.cells)
    EXPECT_GE(cell.tileIndex, 0);
  EXPECT_EQ(placement.placedCount(), int(cells.cells.size()));
}

TEST(SpiralOrder, SixByFourAsWalked) {
  const std::vector<CellPosition> expected = {{1, 2}, {2, 2}, {3, 2}, {4, 2}, {4, 1}, {3, 1},
                                              {2, 1}, {1, 1}, {0, 1}, {0, 2}, {0, 3}, {1, 3},
                                              {2, 3}, {3, 3}, {4, 3}, {5, 3}, {5, 2}, {5, 1},
                                              {5, 0}, {4, 0}, {3, 0}, {2, 0}, {1, 0}, {0, 0}};
  EXPECT_EQ(SpiralOrder(6, 4), expected);
}

TEST(SpiralOrder, StepsCoverEveryCell) {
  const std::pair<int, int> grids[] = {{5, 3}, {40, 21}, {1, 1}, {1, 7}, {7, 1},
                                       {4, 3}, {3, 4},   {2, 2}, {9, 9}, {21, 40}};
  for (const auto& [cols, rows] : grids) {
    std::set<std::pair<int, int>> seen;
    std::size_t steps = 0;
    for (int ring = 0; ring < SpiralRingCount(cols, rows); ++ring) {
      const std::size_t length = std::size_t(std::max(2 * (cols + rows - 4 * ring - 2), 1));
      const std::vector<CellPosition> ringSteps = SpiralRingSteps(cols, rows, ring);
      EXPECT_EQ(ringSteps.size(), length) << cols << " x " << rows << " ring " << ring;
      steps += ringSteps.size();
      for (const CellPosition& p : ringSteps) {
        ASSERT_TRUE(p.x >= 0 && p.x < cols && p.y >= 0 && p.y < rows);
        seen.insert({p.x, p.y});
      }
    }
    EXPECT_EQ(seen.size(), std::size_t(cols * rows)) << cols << " x " << rows;
    EXPECT_GE(steps, std::size_t(cols * rows));
  }
}

TEST(Placement, SpiralFillsEveryCell) {
  struct Case {
    int cols;
    int rows;
    std::vector<CellPosition> first;
  };
  const Case cases[] = {
      {5, 3, {{1, 1}, {2, 1}, {3, 1}, {0, 1}}}, {40, 21, {}}, {1, 1, {{0, 0}}}, {3, 6, {}}};
  TestTables tables(SpreadColours(50));
  for (const Case& c : cases) {
    PackedImage image = MakePlainCells(c.cols, c.rows);
    TileView view(tables.tables());
    CountingObserver observer;
    RunParameters run = Parameters(10000);
    run.scale = 15;
    Placement placement(run, view, &observer);
    ASSERT_TRUE(placement.PlaceBySimilarity(image.get())) << c.cols << " x " << c.rows;
    ExpectEveryCellOnce(placement);
    const std::vector<CellPosition>& order = placement.visitingOrder();
    EXPECT_EQ(order.back(), (CellPosition{0, 0}));
    EXPECT_TRUE(std::equal(c.first.begin(), c.first.end(), order.begin()));
    // Progress after each placement, with the area the montage will have.
    ASSERT_EQ(observer.indexes.size(), order.size());
    EXPECT_EQ(observer.indexes.back(), int(order.size()) - 1);
    EXPECT_EQ(observer.lastGrid, std::make_pair(c.cols, c.rows));
    EXPECT_EQ(observer.lastArea, std::make_pair(c.cols * 8 * 15, c.rows * 6 * 15));
    // Rectangles are the unshifted cells in analysis pixels.
    const CellRecord& cell = placement.cells().at(c.cols - 1, c.rows - 1);
    EXPECT_EQ(cell.left, (c.cols - 1) * 8);
    EXPECT_EQ(cell.firstRow, (c.rows - 1) * 6);
    EXPECT_EQ(cell.right, c.cols * 8);
    EXPECT_EQ(cell.rowBound, c.rows * 6);
    // Tile usage was counted in the entries.
    int uses = 0;
    for (std::uint32_t i = 0; i < view.count(); ++i) {
      uses += view.Get16(i, kEntryUsage);
      view.Set16(i, kEntryUsage, 0);
    }
    EXPECT_EQ(uses, c.cols * c.rows);
  }
}

TEST(Placement, MatchingTilesLandOnTheirCells) {
  std::vector<Colour> colours;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x)
      colours.push_back(CellColour(x, y));
  }
  TestTables tables(colours);
  TileView view(tables.tables());
  PackedImage image = MakePlainCells(4, 3);
  Placement placement(Parameters(0), view);
  ASSERT_TRUE(placement.PlaceBySimilarity(image.get()));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(placement.cells().at(x, y).tileIndex, y * 4 + x);
      const Colour c = CellColour(x, y);
      EXPECT_EQ(placement.cells().at(x, y).meanColour, MakeColourWord(c[2], c[1], c[0]));
    }
  }
}

TEST(Placement, FailedChoiceRaisesTheLimit) {
  // Two tiles for three cells without repetition: the third cell fails at
  // limit 0, the limit becomes 1 and the cell is filled on the retry.
  TestTables tables({{10, 10, 10}, {200, 200, 200}});
  TileView view(tables.tables());
  PackedImage image = MakePlainCells(3, 1);
  Placement placement(Parameters(0), view);
  ASSERT_TRUE(placement.PlaceBySimilarity(image.get()));
  ExpectEveryCellOnce(placement);
  EXPECT_EQ(placement.usageLimit(), 1);
  EXPECT_EQ(view.Get16(0, kEntryUsage) + view.Get16(1, kEntryUsage), 3);
  EXPECT_GE(std::min(view.Get16(0, kEntryUsage), view.Get16(1, kEntryUsage)), 1);
}

TEST(Placement, RandomOrderVisitsEachCellOnceAndRepeatsWithItsSeed) {
  TestTables tables(SpreadColours(30));
  PackedImage image = MakePlainCells(9, 7);
  RunParameters run = Parameters(10000);
  run.randomOrder = true;
  std::vector<std::vector<CellPosition>> orders;
  for (const std::uint32_t seed : {7u, 7u, 8u}) {
    TileView view(tables.tables());
    for (std::uint32_t i = 0; i < view.count(); ++i)
      view.Set16(i, kEntryUsage, 0);
    Placement placement(run, view);
    ASSERT_TRUE(placement.PlaceBySimilarity(image.get(), seed));
    ExpectEveryCellOnce(placement);
    orders.push_back(placement.visitingOrder());
  }
  EXPECT_EQ(orders[0], orders[1]);
  EXPECT_NE(orders[0], orders[2]);
  EXPECT_NE(orders[0], SpiralOrder(9, 7));
}

TEST(Placement, PartnerPrePassPlacesEveryTileFirst) {
  // Three tiles matching cells (2, 1), (0, 0) and (3, 0) of a 4 x 2 grid.
  const std::vector<CellPosition> homes = {{2, 1}, {0, 0}, {3, 0}};
  std::vector<Colour> colours;
  for (const CellPosition& p : homes)
    colours.push_back(CellColour(p.x, p.y));
  TestTables tables(colours);
  PackedImage image = MakePlainCells(4, 2);
  for (const bool colourAllowed : {false, true}) {
    TileView view(tables.tables());
    for (std::uint32_t i = 0; i < view.count(); ++i)
      view.Set16(i, kEntryUsage, 0);
    RunParameters run = Parameters(0);
    run.forVanteo = true;
    run.colourAllowed = colourAllowed;
    CountingObserver observer;
    Placement placement(run, view, &observer);
    ASSERT_TRUE(placement.PlaceBySimilarity(image.get()));
    ExpectEveryCellOnce(placement);
    EXPECT_EQ(placement.usageLimit(), 10000);
    ASSERT_EQ(observer.indexes.size(), 8u);
    const std::vector<CellPosition>& order = placement.visitingOrder();
    if (!colourAllowed) {
      EXPECT_TRUE(std::equal(homes.begin(), homes.end(), order.begin()));
      for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(placement.cells().at(homes[i].x, homes[i].y).tileIndex, i);
      }
    } else {
      // Plain cells all match plain tiles once the means are removed: the
      // first empty cell from the bottom left wins each time.
      EXPECT_EQ(order[0], (CellPosition{0, 0}));
      EXPECT_EQ(order[1], (CellPosition{1, 0}));
      EXPECT_EQ(order[2], (CellPosition{2, 0}));
    }
  }
}

TEST(Placement, PartnerPrePassOnlyWithLimitedRepetitionAndFewerTiles) {
  TestTables tables(SpreadColours(3));
  PackedImage image = MakePlainCells(4, 2);
  TileView view(tables.tables());
  RunParameters run = Parameters(10000);
  run.forVanteo = true;
  Placement placement(run, view);
  ASSERT_TRUE(placement.PlaceBySimilarity(image.get()));
  EXPECT_EQ(placement.visitingOrder().front(), SpiralOrder(4, 2).front());
}

TEST(Placement, ExactOrderTakesTilesInTurn) {
  TestTables tables(SpreadColours(4));
  TileView view(tables.tables());
  PackedImage image = MakePlainCells(3, 2);
  RunParameters run = Parameters(0);
  run.exactOrder = true;
  Placement placement(run, view);
  ASSERT_TRUE(placement.PlaceInExactOrder(image.get()));
  const CellTable& cells = placement.cells();
  for (int n = 0; n < 6; ++n) {
    EXPECT_EQ(cells.cells[n].tileIndex, n % 4) << n;
    const int x = n % 3;
    const int y = 1 - n / 3;  // the top row comes first
    const Colour c = CellColour(x, y);
    EXPECT_EQ(cells.cells[n].meanColour, MakeColourWord(c[2], c[1], c[0]));
    EXPECT_EQ(cells.cells[n].left, x * 8);
    EXPECT_EQ(cells.cells[n].firstRow, y * 6);
    EXPECT_EQ(view.Get16(std::uint32_t(n % 4), kEntryUsage), 0);
  }
  EXPECT_EQ(placement.visitingOrder().front(), (CellPosition{0, 1}));
}

TEST(Placement, CancelBeforeARingStopsTheRun) {
  TestTables tables(SpreadColours(5));
  TileView view(tables.tables());
  PackedImage image = MakePlainCells(4, 4);
  Placement placement(Parameters(9), view);
  RequestCancel();
  EXPECT_FALSE(placement.PlaceBySimilarity(image.get()));
  EXPECT_FALSE(PollCancel());  // the request was taken
  EXPECT_TRUE(placement.PlaceBySimilarity(image.get()));
}

TEST(Placement, NothingToPlace) {
  TestTables tables(SpreadColours(5));
  TestTables none({});
  PackedImage small(CreatePackedImage(7, 5, 0, 0));
  PackedImage gray(CreatePackedImage(16, 12, 0, 1));
  PackedImage fine = MakePlainCells(2, 2);
  TileView view(tables.tables());
  TileView empty(none.tables());
  Placement placement(Parameters(9), view);
  EXPECT_FALSE(placement.PlaceBySimilarity(small.get()));
  EXPECT_FALSE(placement.PlaceInExactOrder(small.get()));
  EXPECT_FALSE(placement.PlaceBySimilarity(gray.get()));
  EXPECT_FALSE(placement.PlaceBySimilarity(nullptr));
  Placement noTiles(Parameters(9), empty);
  EXPECT_FALSE(noTiles.PlaceBySimilarity(fine.get()));
  EXPECT_FALSE(noTiles.PlaceInExactOrder(fine.get()));
}

TEST(CellSamples, StaggeredRowsShiftAndWrap) {
  // Blue = pixel column, green = pixel row: a 3 x 2 grid, 24 x 12 pixels.
  PackedImage image = MakeGridImage(3, 2, [](int px, int row) {
    return Colour{std::uint8_t(px), std::uint8_t(row), 0};
  });
  ImageLock lock(image.get());
  struct Case {
    int x;
    int y;
    bool staggered;
    std::array<int, 8> columns;  // of the cell's eight samples in a row
  };
  const Case cases[] = {
      {0, 1, true, {20, 21, 22, 23, 0, 1, 2, 3}},  // wraps round the picture
      {1, 1, true, {4, 5, 6, 7, 8, 9, 10, 11}},    // half a cell to the left
      {2, 1, true, {12, 13, 14, 15, 16, 17, 18, 19}},
      {1, 0, true, {8, 9, 10, 11, 12, 13, 14, 15}},  // even rows stay
      {0, 1, false, {0, 1, 2, 3, 4, 5, 6, 7}},
  };
  for (const Case& c : cases) {
    CellSamples samples{};
    ASSERT_TRUE(GatherCellSamples(lock, c.x, c.y, 8, 6, c.staggered, samples));
    for (int row = 0; row < 6; ++row) {
      for (int j = 0; j < 8; ++j) {
        const int s = row * 8 + j;
        EXPECT_EQ(samples[4 * s], 1);
        EXPECT_EQ(samples[4 * s + 1], c.columns[j]) << c.x << "," << c.y << " sample " << s;
        EXPECT_EQ(samples[4 * s + 2], c.y * 6 + row);
      }
    }
  }
  CellSamples samples{};
  EXPECT_FALSE(GatherCellSamples(lock, 3, 0, 8, 6, false, samples));
  EXPECT_FALSE(GatherCellSamples(lock, 0, 2, 8, 6, false, samples));
}

TEST(AnalysisImage, SizeFollowsTheCellCount) {
  struct Case {
    int width;
    int height;
    int count;
    int cellWidth;
    int cellHeight;
    int expectedWidth;
    int expectedHeight;
  };
  const Case cases[] = {
      {160, 120, 2000, 8, 6, 160, 120},   // small enough: 20 x 20 cells
      {1600, 1200, 600, 8, 6, 192, 144},  // reduced to 195 x 146: 24 x 24 cells
      {5, 3, 600, 8, 6, 8, 6},            // at least one cell
      {1200, 1600, 600, 6, 8, 144, 192},  // cells 6 x 8
  };
  for (const Case& c : cases) {
    PackedImage target = testing::MakePatternImage(c.width, c.height, 24);
    PackedImage analysis(MakeAnalysisImage(target.get(), c.count, c.cellWidth, c.cellHeight));
    ImageLock lock(analysis.get());
    ASSERT_TRUE(lock.valid());
    EXPECT_EQ(lock.width(), c.expectedWidth) << c.width << " x " << c.height;
    EXPECT_EQ(lock.height(), c.expectedHeight) << c.width << " x " << c.height;
    EXPECT_EQ(lock.bitCount(), 24);
  }
  // Other depths come out as 24 bits too.
  PackedImage gray = testing::MakePatternImage(40, 30, 8, true);
  PackedImage analysis(MakeAnalysisImage(gray.get(), 600, 8, 6));
  EXPECT_EQ(GetImageBitCount(analysis.get()), 24);
  EXPECT_EQ(MakeAnalysisImage(nullptr, 600, 8, 6), nullptr);
}

}  // namespace
}  // namespace tx
