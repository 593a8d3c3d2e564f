// Making one tile: the crop, the pictures, the colour statistics, and where
// the pictures go.

#include "collections/tile_maker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "image/image_lock.h"
#include "image/packed_image.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::TempDir;

TEST(TileMaker, CropsAboutTheCentreToTheGridAspect) {
  const TileGeometry landscape;
  TileGeometry portrait;
  portrait.columns = 6;
  portrait.rows = 8;
  struct Case {
    int width, height;
    const TileGeometry& geometry;
    ImageRect expected;
  };
  const Case cases[] = {
      {400, 300, landscape, {0, 0, 400, 300}},  {400, 400, landscape, {0, 50, 400, 350}},
      {300, 400, landscape, {0, 87, 300, 312}}, {1000, 300, landscape, {300, 0, 700, 300}},
      {300, 400, portrait, {0, 0, 300, 400}},   {400, 400, portrait, {50, 0, 350, 400}},
      {1, 1, landscape, {0, 0, 1, 0}},          {4, 3, landscape, {0, 0, 4, 3}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TileCrop(c.width, c.height, c.geometry), c.expected) << c.width << "x" << c.height;
  }
}

TEST(TileMaker, AUniformPhotoGivesUniformCellsAndTheMeanColour) {
  // RGB (200, 100, 50): cells hold blue, green, red.
  PreparedTile tile;
  ASSERT_TRUE(PrepareTile(CreatePackedImage(640, 480, 0x003264C8, 0), TileGeometry(), tile));
  for (int cell = 0; cell < kTileCellCount; ++cell) {
    EXPECT_EQ(tile.statistics.cells[3 * cell], 50);
    EXPECT_EQ(tile.statistics.cells[3 * cell + 1], 100);
    EXPECT_EQ(tile.statistics.cells[3 * cell + 2], 200);
  }
  EXPECT_EQ(tile.statistics.meanColour, 0x003264C8u);
  std::uint16_t width = 0, height = 0;
  GetImageSize(tile.small.get(), width, height);
  EXPECT_EQ(width, 80);
  EXPECT_EQ(height, 60);
  GetImageSize(tile.medium.get(), width, height);
  EXPECT_EQ(width, 120);
  EXPECT_EQ(height, 90);
}

TEST(TileMaker, CellsFollowTheMemoryRowsOfTheStatisticsImage) {
  // The bottom ten stored rows are white, the rest black; a gray 8-bit
  // picture is converted to 24 bits first.
  PackedImage image(CreatePackedImage(80, 60, 0, 0));
  {
    ImageLock lock(image.get());
    for (int y = 0; y < 10; ++y)
      std::fill_n(lock.row(y), 80 * 3, std::uint8_t(255));
    for (int x = 0; x < 10; ++x)
      lock.row(20)[3 * (70 + x) + 2] = 200;  // a red line in cell 23
  }
  TileStatistics s = ComputeTileStatistics(ImageLock(image.get()), TileGeometry());
  for (int cell = 0; cell < 8; ++cell)
    EXPECT_EQ(s.cells[3 * cell], 255) << cell;
  EXPECT_EQ(s.cells[3 * 8], 0);
  EXPECT_EQ(s.cells[3 * 23 + 2], 20);  // 10 x 200 / 100
  EXPECT_EQ(s.cells[3 * 23], 0);
  // Means: 8 white cells of 48 give 42 per channel; red adds 20 / 48.
  EXPECT_EQ(s.meanColour, 42u | 42u << 8 | 42u << 16);
}

TEST(TileMaker, TilesGoIntoThousandsFoldersByNumber) {
  TempDir dir;
  TileSetIndexWriter writer;
  ASSERT_TRUE(writer.BeginTileSetIndex(dir / "index" / "T.TXS", 0));
  TileGeometry geometry;
  TileCommitter committer(writer, dir / "tiles", geometry, ".txd");
  PreparedTile tile;
  tile.small.reset(CreatePackedImage(8, 6, 0x00102030, 0));
  tile.medium.reset(CreatePackedImage(12, 9, 0x00102030, 0));
  for (int i = 0; i <= 1000; ++i)
    ASSERT_TRUE(committer.CommitTile(tile));
  EXPECT_EQ(writer.tileCounter(), 1001u);
  EXPECT_TRUE(std::filesystem::exists(dir / "tiles" / "Res10" / "000" / "999.txd"));
  EXPECT_TRUE(std::filesystem::exists(dir / "tiles" / "Res15" / "001" / "000.txd"));
  EXPECT_EQ(committer.failedSaves(), 0);
  EXPECT_TRUE(writer.EndTileSetIndex(false));
  EXPECT_EQ(std::filesystem::file_size(dir / "index" / "T.TXS"), 16u + 168u * 1001u);
}

TEST(TileMaker, AFailedPictureSaveKeepsTheRecord) {
  TempDir dir;
  TileSetIndexWriter writer;
  ASSERT_TRUE(writer.BeginTileSetIndex(dir / "T.TXS", 0));
  // A file where the tile folder should be: no picture can be saved.
  { std::ofstream(dir / "tiles") << "x"; }
  TileCommitter committer(writer, dir / "tiles", TileGeometry(), ".txd");
  PreparedTile tile;
  tile.small.reset(CreatePackedImage(8, 6, 0, 0));
  tile.medium.reset(CreatePackedImage(12, 9, 0, 0));
  EXPECT_TRUE(committer.CommitTile(tile));
  EXPECT_EQ(committer.failedSaves(), 2);
  EXPECT_TRUE(writer.EndTileSetIndex(false));
  EXPECT_EQ(std::filesystem::file_size(dir / "T.TXS"), 184u);
}

}  // namespace
}  // namespace tx
