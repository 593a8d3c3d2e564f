#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::MaxColourDifference;
using testing::RawPixelAt;

// An 8-bit gray image from rows given top row first.
PackedImage GrayImage(const std::vector<std::vector<std::uint8_t>>& rows) {
  int height = int(rows.size()), width = int(rows[0].size());
  PackedImage image(CreatePackedImage(width, height, 0, 1));
  ImageLock lock(image.get());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      lock.topDownRow(y)[x] = rows[y][x];
  return image;
}

std::vector<int> TopRow(GlobalHandle image) {
  ImageLock lock(image);
  std::vector<int> values;
  for (int x = 0; lock && x < lock.width(); ++x)
    values.push_back(int(RawPixelAt(image, x, 0)));
  return values;
}

TEST(ResampleMitchell, HandComputedOneRowSamples) {
  // Expected values worked out from the filter by hand (see each case).
  struct Case {
    std::vector<std::uint8_t> row;
    int newWidth;
    std::vector<int> expected;
  };
  const Case cases[] = {
      // Same size: taps weigh 0, 3641, 58254, 3641, 0, so an impulse blurs.
      {{0, 0, 255, 0, 0}, 5, {0, 14, 227, 14, 0}},
      // Halving: radius 4, the outer taps are negative (-1137) and mirrored.
      {{40, 80, 120, 200}, 2, {60, 131}},
      // Enlarging 2 -> 5: the overshoot past 250 is clamped to 255.
      {{10, 250}, 5, {37, 96, 201, 255, 255}},
  };
  for (const Case& c : cases) {
    PackedImage source = GrayImage({c.row});
    PackedImage result(ResampleMitchell(source.get(), c.newWidth, 1));
    ASSERT_TRUE(result);
    EXPECT_EQ(TopRow(result.get()), c.expected) << c.row.size() << " -> " << c.newWidth;
  }
}

TEST(ResampleMitchell, HandComputedTwoPassSample) {
  // 3x2 -> 2x1: the horizontal pass gives stored rows (97, 106) and (40, 133),
  // the vertical pass to one row gives 63 and 122.
  PackedImage source = GrayImage({{90, 0, 255}, {10, 200, 30}});
  PackedImage result(ResampleMitchell(source.get(), 2, 1));
  ASSERT_TRUE(result);
  EXPECT_EQ(TopRow(result.get()), (std::vector<int>{63, 122}));
}

TEST(ResampleMitchell, ConstantImagesStayExactAtEverySize) {
  // Each output's weights sum to exactly 65536, so a flat picture stays flat,
  // including tiny images whose far taps fall outside after mirroring.
  struct Size {
    int width, height;
  };
  for (Size from : {Size{1, 1}, Size{2, 1}, Size{3, 5}, Size{5, 2}, Size{17, 9}}) {
    for (Size to : {from, Size{1, 1}, Size{2, 3}, Size{5, 1}, Size{11, 7}, Size{40, 3}}) {
      for (int gray : {0, 1}) {
        PackedImage flat(CreatePackedImage(from.width, from.height, 0x00C08040, gray));
        PackedImage expected(CreatePackedImage(to.width, to.height, 0x00C08040, gray));
        PackedImage result(ResampleMitchell(flat.get(), to.width, to.height));
        EXPECT_EQ(MaxColourDifference(result.get(), expected.get()), 0)
            << from.width << "x" << from.height << " -> " << to.width << "x" << to.height
            << (gray ? " gray" : " colour");
      }
    }
  }
}

TEST(ResampleMitchell, ChannelsAreFilteredApartAndTheTableIsKept) {
  // In the pattern green varies only across and red only down; filtering each
  // channel on its own keeps green constant down a column, red along a row.
  PackedImage source = MakePatternImage(9, 7, 24);
  PackedImage result(ResampleMitchell(source.get(), 5, 4));
  ASSERT_TRUE(result);
  EXPECT_EQ(GetImageBitCount(result.get()), 24);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      std::uint32_t p = RawPixelAt(result.get(), x, y);
      EXPECT_EQ((p >> 8) & 0xFF, (RawPixelAt(result.get(), x, 0) >> 8) & 0xFF) << "green by column";
      EXPECT_EQ(p >> 16, RawPixelAt(result.get(), 0, y) >> 16) << "red by row";
    }
  }

  PackedImage indexed = MakePatternImage(6, 4, 8);
  PackedImage indexedResult(ResampleMitchell(indexed.get(), 3, 2));
  ImageLock src(indexed.get()), dst(indexedResult.get());
  ASSERT_TRUE(dst);
  EXPECT_EQ(dst.colourCount(), 256u);
  EXPECT_EQ(dst.palette()[77].green, src.palette()[77].green);
  EXPECT_EQ(dst.palette()[200].red, src.palette()[200].red);
}

TEST(ResampleMitchell, RefusesWhatItCannotResample) {
  PackedImage colour = MakePatternImage(4, 4, 24);
  std::size_t before = GlobalLiveBlockCount();
  EXPECT_EQ(ResampleMitchell(nullptr, 2, 2), nullptr);
  EXPECT_EQ(ResampleMitchell(colour.get(), 0, 2), nullptr);
  EXPECT_EQ(ResampleMitchell(colour.get(), 2, 0), nullptr);
  for (int bits : {1, 4}) {
    PackedImage image = MakePatternImage(4, 4, bits);
    EXPECT_EQ(ResampleMitchell(image.get(), 2, 2), nullptr) << bits;
  }
  PackedImage deep(NewImageBlock(4, 4, 32, 0));
  EXPECT_EQ(ResampleMitchell(deep.get(), 2, 2), nullptr);
  EXPECT_EQ(GlobalLiveBlockCount(), before + 1) << "only the 32-bit test image is alive";
}

}  // namespace
}  // namespace tx
