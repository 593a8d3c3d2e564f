// The signature and treasure pictures: the crop and save of a picked
// picture, and where the treasure goes.

#include "montage/signature_treasure.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "collections/tile_maker.h"
#include "rastio/rastio.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

TEST(SpecialPictureCrop, CentredFourByThreeOfTheLimitingSide) {
  struct Case {
    int width, height, ratio;
    ImageRect expected;
  };
  const Case cases[] = {
      {640, 480, 100, {0, 0, 640, 480}},
      // Portrait: the width limits; rows [140, 500).
      {480, 640, 100, {0, 140, 480, 500}},
      {1000, 600, 50, {300, 150, 700, 450}},
      // Odd margins are truncated, so the crop keeps the extra pixel.
      {101, 60, 100, {10, 0, 91, 60}},
      // Ratios outside 1..100 are kept inside it.
      {640, 480, 250, {0, 0, 640, 480}},
      {400, 300, 0, {198, 148, 202, 152}},
      // Too small for any crop.
      {1, 1, 100, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SpecialPictureCrop(c.width, c.height, c.ratio), c.expected)
        << c.width << "x" << c.height << " " << c.ratio;
  }
}

class SpecialPictures : public ::testing::Test {
 protected:
  // A 24-bit picture file of width x height in colour `colour`.
  fs::path WriteSource(const std::string& name, int width, int height, ColourWord colour) {
    PackedImage picture(CreatePackedImage(width, height, colour, 0));
    const fs::path path = m_root / name;
    EXPECT_EQ(EzSaveFile(picture.get(), path.string().c_str(), kSaveByExtension, nullptr), 0);
    return path;
  }

  testing::TempDir m_root;
};

TEST_F(SpecialPictures, SetSavesTheResampledCropAsJpeg) {
  const fs::path source = WriteSource("photo.png", 400, 500, MakeColourWord(10, 200, 30));
  for (SpecialPicture which : {SpecialPicture::Signature, SpecialPicture::Treasure}) {
    SpecialPictureResult result =
        SetSpecialPicture(source.string().c_str(), which, m_root.path(), 120, 90, 100);
    ASSERT_TRUE(result.preview);
    EXPECT_TRUE(result.saved);
    PackedImage saved(LoadSpecialPicture(m_root.path(), which));
    ASSERT_TRUE(saved);
    std::uint16_t width = 0, height = 0;
    ASSERT_TRUE(GetImageSize(saved.get(), width, height));
    EXPECT_EQ(width, 120);
    EXPECT_EQ(height, 90);
    EXPECT_LE(testing::MaxColourDifference(saved.get(), result.preview.get()), 4);
  }
}

TEST_F(SpecialPictures, UnreadableSourceChangesNothing) {
  std::ofstream(m_root / "broken.jpg") << "not a picture";
  SpecialPictureResult result =
      SetSpecialPicture((m_root / "broken.jpg").string().c_str(), SpecialPicture::Signature,
                        m_root.path(), 120, 90, 100);
  EXPECT_FALSE(result.preview);
  EXPECT_FALSE(result.saved);
  EXPECT_FALSE(fs::exists(m_root / "Signatur.txd"));
}

TEST_F(SpecialPictures, FailedSaveRaisesTheWriteFailure) {
  const fs::path source = WriteSource("photo.bmp", 80, 60, 0x00808080);
  // A user folder that is a file: nothing can be written under it.
  std::ofstream(m_root / "not-a-folder") << "x";
  SpecialPictureResult result = SetSpecialPicture(source.string().c_str(), SpecialPicture::Treasure,
                                                  m_root / "not-a-folder", 120, 90, 100);
  EXPECT_TRUE(result.preview);
  EXPECT_FALSE(result.saved);
  EXPECT_TRUE(WriteFailure());
}

TEST_F(SpecialPictures, TreasureGoesToTheMostSimilarCell) {
  // A 4 x 3 grid of 8 x 6 cells, each its own colour, cell (2, 1) blue.
  PackedImage analysis(CreatePackedImage(32, 18, 0, 0));
  {
    ImageLock lock(analysis.get());
    for (int y = 0; y < 18; ++y)
      for (int x = 0; x < 32; ++x) {
        const int cx = x / 8, cy = y / 6;
        const ColourWord colour =
            cx == 2 && cy == 1 ? MakeColourWord(20, 40, 230)
                               : MakeColourWord(std::uint8_t(60 * cx), 200, std::uint8_t(80 * cy));
        PutColourWord(lock.row(y) + 3 * x, colour);
      }
  }
  EXPECT_EQ(FindTreasureCell(analysis.get(), 8, 6, m_root.path()), kNoCell);

  PackedImage treasure(CreatePackedImage(120, 90, MakeColourWord(20, 40, 230), 0));
  ASSERT_EQ(
      EzSaveFile(treasure.get(), (m_root / "Treasure.txd").string().c_str(), kSaveJpeg, nullptr),
      0);
  EXPECT_EQ(FindTreasureCell(analysis.get(), 8, 6, m_root.path()), (CellPosition{2, 1}));

  // Equal cells: the first from the bottom-left wins.
  PackedImage uniform(CreatePackedImage(32, 18, 0x00505050, 0));
  EXPECT_EQ(FindTreasureCell(uniform.get(), 8, 6, m_root.path()), (CellPosition{0, 0}));
  // No whole cell.
  PackedImage tiny(CreatePackedImage(7, 5, 0, 0));
  EXPECT_EQ(FindTreasureCell(tiny.get(), 8, 6, m_root.path()), kNoCell);
}

}  // namespace
}  // namespace tx
