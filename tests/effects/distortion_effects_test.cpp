#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <set>
#include <thread>
#include <vector>

#include "effects/fxkit.h"
#include "image/image_block.h"
#include "tests/effects/effect_test_util.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using fxtest::BlockBytes;
using fxtest::ImageBytes;
using fxtest::RunRecord;
using fxtest::RunValues;
using fxtest::Solid24;
using testing::MakePatternImage;
using testing::RawPixelAt;

const int kDistortions[] = {84, 85, 86, 87, 88, 92, 93, 94, 95, 96, 97, 98};
const int kRadial[] = {92, 93, 94, 95, 96};

// A gray image whose stored row y, column x holds level(x, y).
PackedImage GrayImage(int width, int height, const std::function<int(int, int)>& level) {
  PackedImage image(NewImageBlock(width, height, 8, 256));
  ImageLock lock(image.get());
  FillGrayRamp(lock.palette());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      lock.row(y)[x] = std::uint8_t(level(x, y));
  }
  return image;
}

// Level of stored row y, column x of a gray image.
int LevelAt(GlobalHandle image, int x, int y) {
  ImageLock lock(image);
  return lock.row(y)[x];
}

std::vector<int> StoredRow(GlobalHandle image, int y) {
  ImageLock lock(image);
  std::vector<int> levels;
  for (int x = 0; x < lock.width(); ++x)
    levels.push_back(lock.row(y)[x]);
  return levels;
}

// Runs `make` on a thread of its own, where the generator starts afresh.
PackedImage OnFreshThread(const std::function<PackedImage()>& make) {
  PackedImage result;
  std::thread worker([&] { result = make(); });
  worker.join();
  return result;
}

// Checks what every result must be: the source's size and depth (gray stays
// gray), the block size of a copy, and zero row padding.
void ExpectShapeOf(GlobalHandle result, GlobalHandle source) {
  ASSERT_TRUE(result);
  ImageLock in(source), out(result);
  ASSERT_TRUE(out);
  EXPECT_EQ(out.width(), in.width());
  EXPECT_EQ(out.height(), in.height());
  EXPECT_EQ(out.bitCount(), in.bitCount());
  EXPECT_EQ(out.isGray(), in.isGray());
  EXPECT_EQ(GlobalSize(result), in.imageBytes() + kImageBlockSpare);
  const std::size_t used = std::size_t(in.width()) * std::size_t(in.bitCount() / 8);
  for (int y = 0; y < out.height(); ++y) {
    for (std::size_t i = used; i < out.stride(); ++i)
      EXPECT_EQ(out.row(y)[i], 0) << "row " << y;
  }
}

TEST(DistortionEffects, RefuseDepthsOtherThan24BitAndGray) {
  std::vector<PackedImage> refused;
  refused.push_back(MakePatternImage(6, 4, 8, false));
  refused.push_back(MakePatternImage(6, 4, 4));
  refused.push_back(MakePatternImage(6, 4, 1));
  for (int bits : {16, 32}) {
    PackedImage image(NewImageBlock(6, 4, bits, 0));
    ImageLock lock(image.get());
    for (std::size_t i = 0; i < lock.stride() * 4; ++i)
      lock.bits()[i] = std::uint8_t(i * 31);
    refused.push_back(std::move(image));
  }
  for (const PackedImage& image : refused) {
    const auto before = BlockBytes(image.get());
    for (int id : kDistortions) {
      EXPECT_FALSE(RunValues(image.get(), id, {50})) << id;
    }
    EXPECT_FALSE(RunRecord(image.get(), 92, {5, 50}));
    EXPECT_EQ(BlockBytes(image.get()), before);
  }
}

// Every distortion at both slider ends and the middle, and the record-only
// radial types, on tiny pictures: the sanitizers catch any access outside the
// blocks, and the result has the right shape while the source stays as it was.
TEST(DistortionEffects, ShapeOnTinyPictures) {
  for (bool gray : {false, true}) {
    for (int width : {1, 2, 3, 5}) {
      for (int height : {1, 2, 3, 5}) {
        PackedImage image = MakePatternImage(width, height, gray ? 8 : 24, gray);
        const auto before = BlockBytes(image.get());
        SCOPED_TRACE(::testing::Message()
                     << (gray ? "gray " : "24-bit ") << width << "x" << height);
        for (int id : kDistortions) {
          for (int value : {0, 50, 100}) {
            SCOPED_TRACE(::testing::Message() << "id " << id << " slider " << value);
            PackedImage result = RunValues(image.get(), id, {value});
            ExpectShapeOf(result.get(), image.get());
          }
        }
        for (int type : {5, 6}) {
          PackedImage result = RunRecord(image.get(), 92, {type, 50});
          ExpectShapeOf(result.get(), image.get());
        }
        EXPECT_EQ(BlockBytes(image.get()), before);
      }
    }
  }
}

// A record can hold anything: extreme values in any field give null or a
// well-formed picture, never undefined behaviour.
TEST(DistortionEffects, HostileRecordsAreSafe) {
  const int values[] = {INT_MIN, INT_MIN + 1, -100000, -1, 0, 1, 1000, INT_MAX};
  PackedImage colour = MakePatternImage(7, 5, 24);
  PackedImage gray = MakePatternImage(6, 4, 8, true);
  for (int id : kDistortions) {
    for (int v : values) {
      for (int field = 0; field < 3; ++field) {
        std::vector<int> record = {25, 30, 0xffffff};
        if (id >= 92 && id <= 96) record = {id - 92, 50, 0};
        record[std::size_t(field)] = v;
        for (const PackedImage* image : {&colour, &gray}) {
          PackedImage result = RunRecord(image->get(), id, record);
          if (result) ExpectShapeOf(result.get(), image->get());
        }
      }
    }
  }
  // Every radial type with extreme amounts.
  for (int type = 0; type <= 6; ++type) {
    for (int v : values) {
      PackedImage result = RunRecord(colour.get(), 92, {type, v});
      ExpectShapeOf(result.get(), colour.get());
    }
  }
}

TEST(DistortionEffects, RandomEffectsRepeatOnAFreshThread) {
  PackedImage image = MakePatternImage(23, 17, 24);
  for (int id : {84, 85, 87}) {
    auto run = [&] { return RunValues(image.get(), id, {50}); };
    PackedImage first = OnFreshThread(run);
    PackedImage second = OnFreshThread(run);
    ASSERT_TRUE(first && second) << id;
    EXPECT_EQ(ImageBytes(first.get()), ImageBytes(second.get())) << id;
    EXPECT_NE(ImageBytes(first.get()), ImageBytes(image.get())) << id;
  }
}

TEST(DistortDiffuse, TakesNeighboursDrawnColumnFirst) {
  // n = 2: each pixel takes itself or the neighbour one column right and/or
  // one row up. The first draws of a fresh thread are 41, 18467, 6334, 26500,
  // 19169, 15724, 11478, 29358.
  PackedImage image = GrayImage(3, 2, [](int x, int y) { return 10 * x + 100 * y; });
  PackedImage result = OnFreshThread([&] { return RunRecord(image.get(), 84, {1}); });
  ASSERT_TRUE(result);
  EXPECT_EQ(StoredRow(result.get(), 0), (std::vector<int>{0, 120, 120}));
  EXPECT_EQ(LevelAt(result.get(), 0, 1), 110);

  // On a larger picture every pixel still comes from that 2 x 2 square.
  PackedImage big = GrayImage(16, 12, [](int x, int y) { return x + 16 * y; });
  PackedImage spread = RunRecord(big.get(), 84, {1});
  ASSERT_TRUE(spread);
  int moved = 0;
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 16; ++x) {
      const int level = LevelAt(spread.get(), x, y);
      const int sx = level % 16, sy = level / 16;
      EXPECT_TRUE(sx == x || sx == std::min(x + 1, 15)) << x << "," << y;
      EXPECT_TRUE(sy == y || sy == std::min(y + 1, 11)) << x << "," << y;
      moved += level != x + 16 * y;
    }
  }
  EXPECT_GT(moved, 0);
}

TEST(DistortDrip, DarkPixelsSinkAndNothingIsLost) {
  // Dark top row over a bright picture: the dark pixels run down as far as
  // stored row 1; the bottom row never takes part.
  const int width = 20, height = 10;
  PackedImage image =
      GrayImage(width, height, [&](int, int y) { return y == height - 1 ? 0 : 200; });
  PackedImage result = RunRecord(image.get(), 85, {100});
  ASSERT_TRUE(result);
  int darkInRowOne = 0, darkInTopRow = 0;
  for (int x = 0; x < width; ++x) {
    EXPECT_EQ(LevelAt(result.get(), x, 0), 200);
    darkInRowOne += LevelAt(result.get(), x, 1) == 0;
    darkInTopRow += LevelAt(result.get(), x, height - 1) == 0;
  }
  EXPECT_GT(darkInRowOne, 0);
  EXPECT_LT(darkInTopRow, width);

  // Pixels only change places.
  PackedImage pattern = MakePatternImage(13, 11, 24);
  PackedImage dripped = RunRecord(pattern.get(), 85, {100});
  ASSERT_TRUE(dripped);
  std::multiset<std::uint32_t> before, after;
  for (int y = 0; y < 11; ++y) {
    for (int x = 0; x < 13; ++x) {
      before.insert(RawPixelAt(pattern.get(), x, y));
      after.insert(RawPixelAt(dripped.get(), x, y));
    }
  }
  EXPECT_EQ(before, after);
  EXPECT_NE(ImageBytes(dripped.get()), ImageBytes(pattern.get()));

  // No drops: an unchanged copy.
  PackedImage none = RunRecord(pattern.get(), 85, {0});
  ASSERT_TRUE(none);
  EXPECT_EQ(ImageBytes(none.get()), ImageBytes(pattern.get()));
}

TEST(DistortWave, KnownDisplacements) {
  PackedImage one = Solid24(1, 1, 1, 2, 3);
  PackedImage same = RunValues(one.get(), 86, {50});
  ASSERT_TRUE(same);
  EXPECT_EQ(ImageBytes(same.get()), ImageBytes(one.get()));

  // L = 13: d = 0, 2, 3, 1, 0, -1, 0, 1 for diagonals 0..7. A single column
  // takes stored row y + d(y); its column shift lands back on column 0.
  PackedImage column = GrayImage(1, 8, [](int, int y) { return 10 * y; });
  PackedImage waved = RunRecord(column.get(), 86, {20});
  ASSERT_TRUE(waved);
  std::vector<int> levels;
  for (int y = 0; y < 8; ++y)
    levels.push_back(LevelAt(waved.get(), 0, y));
  EXPECT_EQ(levels, (std::vector<int>{0, 30, 50, 40, 40, 40, 60, 70}));

  // A single row keeps its pixels: its column shift is d(0) = 0.
  PackedImage row = GrayImage(9, 1, [](int x, int) { return 20 * x; });
  PackedImage kept = RunRecord(row.get(), 86, {20});
  ASSERT_TRUE(kept);
  EXPECT_EQ(ImageBytes(kept.get()), ImageBytes(row.get()));
}

TEST(DistortJitter, MovesPixelsAndFillsWithTheBackground) {
  // From the generator's first state (a fresh thread), 400 rolls at 5 per
  // mille move something.
  PackedImage pattern = MakePatternImage(200, 200, 24);
  PackedImage least;
  std::thread([&] { least = RunValues(pattern.get(), 87, {0}); }).join();
  ASSERT_TRUE(least);
  EXPECT_NE(ImageBytes(least.get()), ImageBytes(pattern.get()));

  // Flat pictures: every pixel is the source colour or the background, and
  // strong jitter pushes some positions outside.
  PackedImage flat = Solid24(40, 40, 10, 20, 30);
  PackedImage colour = RunRecord(flat.get(), 87, {100, 0x00ff00});
  ASSERT_TRUE(colour);
  int background = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      const std::uint32_t p = RawPixelAt(colour.get(), x, y);
      EXPECT_TRUE(p == 0x1e140a || p == 0x00ff00) << std::hex << p;
      background += p == 0x00ff00;
    }
  }
  EXPECT_GT(background, 0);

  // Gray takes the background's level: round(0.59 x 255) = 150.
  PackedImage flatGray = GrayImage(40, 40, [](int, int) { return 10; });
  PackedImage level = RunRecord(flatGray.get(), 87, {100, 0x00ff00});
  ASSERT_TRUE(level);
  std::set<int> seen;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x)
      seen.insert(LevelAt(level.get(), x, y));
  }
  EXPECT_EQ(seen, (std::set<int>{10, 150}));
}

TEST(DistortTiles, BevelsEachTile) {
  // Tiles of 8: the ring stays, row 1 darkens, row 6 and column 1 lighten,
  // column 6 darkens; the second tile repeats from row and column 8.
  PackedImage image = GrayImage(18, 18, [](int, int) { return 100; });
  PackedImage result = RunRecord(image.get(), 88, {1});
  ASSERT_TRUE(result);
  const std::vector<int> ring(18, 100);
  const std::vector<int> dark = {100, 8, 8, 8, 8, 8, 8, 100, 100, 8, 8, 8, 8, 8, 8, 100, 100, 8};
  const std::vector<int> light = {100, 192, 192, 192, 192, 192, 192, 100, 100,
                                  192, 192, 192, 192, 192, 192, 100, 100, 192};
  const std::vector<int> middle = {100, 192, 100, 100, 100, 100, 8,   100, 100,
                                   192, 100, 100, 100, 100, 8,   100, 100, 192};
  EXPECT_EQ(StoredRow(result.get(), 0), ring);
  EXPECT_EQ(StoredRow(result.get(), 1), dark);
  EXPECT_EQ(StoredRow(result.get(), 3), middle);
  EXPECT_EQ(StoredRow(result.get(), 6), light);
  EXPECT_EQ(StoredRow(result.get(), 7), ring);
  EXPECT_EQ(StoredRow(result.get(), 8), ring);
  EXPECT_EQ(StoredRow(result.get(), 9), dark);

  // Every channel moves alike and is clamped.
  PackedImage colour = Solid24(10, 10, 50, 100, 250);
  PackedImage bevelled = RunRecord(colour.get(), 88, {1});
  ASSERT_TRUE(bevelled);
  EXPECT_EQ(RawPixelAt(bevelled.get(), 3, 9 - 1), 0x9e0800u);  // stored row 1: dark
  EXPECT_EQ(RawPixelAt(bevelled.get(), 3, 9 - 6), 0xffc08eu);  // stored row 6: light
  EXPECT_EQ(RawPixelAt(bevelled.get(), 3, 9 - 0), 0xfa6432u);  // ring
}

TEST(DistortCurtain, DropsColumnsOverTheBackground) {
  PackedImage pattern = MakePatternImage(9, 7, 24);
  PackedImage unchanged = RunRecord(pattern.get(), 98, {25, 0, 0xffffff});
  ASSERT_TRUE(unchanged);
  EXPECT_EQ(ImageBytes(unchanged.get()), ImageBytes(pattern.get()));
  // A negative depth is taken as none.
  PackedImage negative = RunRecord(pattern.get(), 98, {25, -50, 0xffffff});
  ASSERT_TRUE(negative);
  EXPECT_EQ(ImageBytes(negative.get()), ImageBytes(pattern.get()));

  // p0 = 0: every column drops A = 100 x 8 x 3 / 400 = 6 rows; stored rows
  // 6 and 7 show source rows 0 and 1, the rest is background (level 77 for
  // pure red).
  PackedImage gray = GrayImage(3, 8, [](int x, int y) { return 10 * y + x; });
  PackedImage hung = RunRecord(gray.get(), 98, {0, 100, 0x0000ff});
  ASSERT_TRUE(hung);
  for (int y = 0; y < 8; ++y) {
    const std::vector<int> expected =
        y >= 6 ? std::vector<int>{10 * (y - 6), 10 * (y - 6) + 1, 10 * (y - 6) + 2}
               : std::vector<int>(3, 77);
    EXPECT_EQ(StoredRow(hung.get(), y), expected) << y;
  }

  // Default slider on 8 x 40: A = 9. Column 0 drops all 9 rows, so its
  // bottom shows the white background and its top the picture; column 3
  // hardly drops, so its top 9 rows are background and its bottom the picture.
  PackedImage colour = Solid24(8, 40, 1, 2, 3);
  PackedImage slid = RunValues(colour.get(), 98, {50});
  ASSERT_TRUE(slid);
  EXPECT_EQ(RawPixelAt(slid.get(), 0, 39), 0xffffffu);
  EXPECT_EQ(RawPixelAt(slid.get(), 0, 0), 0x030201u);
  EXPECT_EQ(RawPixelAt(slid.get(), 3, 0), 0xffffffu);
  EXPECT_EQ(RawPixelAt(slid.get(), 3, 8), 0xffffffu);
  EXPECT_EQ(RawPixelAt(slid.get(), 3, 9), 0x030201u);
  EXPECT_EQ(RawPixelAt(slid.get(), 3, 39), 0x030201u);
}

TEST(DistortRadial, CornersKeepTheirPixelsAndTheCentreStays) {
  PackedImage image = MakePatternImage(9, 7, 24);
  auto expectCornersAndCentre = [&](GlobalHandle result) {
    ASSERT_TRUE(result);
    for (int x : {0, 8}) {
      for (int y : {0, 6})
        EXPECT_EQ(RawPixelAt(result, x, y), RawPixelAt(image.get(), x, y)) << x << "," << y;
    }
    EXPECT_EQ(RawPixelAt(result, 4, 3), RawPixelAt(image.get(), 4, 3));
  };
  for (int id : kRadial) {
    for (int value : {0, 50, 100}) {
      SCOPED_TRACE(::testing::Message() << id << " slider " << value);
      PackedImage result = RunValues(image.get(), id, {value});
      expectCornersAndCentre(result.get());
      if (value > 0) {
        EXPECT_NE(ImageBytes(result.get()), ImageBytes(image.get()));
      }
    }
  }
  for (int type : {5, 6}) {
    SCOPED_TRACE(type);
    PackedImage result = RunRecord(image.get(), 92, {type, 0});
    expectCornersAndCentre(result.get());
  }
}

TEST(DistortRadial, AmountZeroIsTheIdentityAndUnknownTypesAreRefused) {
  PackedImage image = MakePatternImage(12, 10, 24);
  for (int type = 0; type <= 4; ++type) {
    PackedImage result = RunRecord(image.get(), 93, {type, 0});
    ASSERT_TRUE(result) << type;
    EXPECT_EQ(ImageBytes(result.get()), ImageBytes(image.get())) << type;
  }
  for (int type : {-1, 7, INT_MAX}) {
    EXPECT_FALSE(RunRecord(image.get(), 93, {type, 50})) << type;
  }
}

TEST(DistortRadial, PunchPullsTheRingOutward) {
  // One row of 9: column x lies at r2 = (x - 4)^2 / 16 and takes the source
  // at its distance times 1 / r2^0.3, limited to the picture.
  PackedImage row = GrayImage(9, 1, [](int x, int) { return 10 * x; });
  PackedImage result = RunRecord(row.get(), 93, {0, 100});
  ASSERT_TRUE(result);
  EXPECT_EQ(StoredRow(result.get(), 0), (std::vector<int>{0, 0, 10, 10, 40, 60, 70, 70, 80}));
}

TEST(DistortCylinder, MonotoneColumnsWithFixedEdges) {
  const int width = 200;
  PackedImage image = GrayImage(width, 2, [](int x, int) { return x; });
  PackedImage full = RunRecord(image.get(), 97, {100});
  ASSERT_TRUE(full);
  for (int y = 0; y < 2; ++y) {
    const std::vector<int> levels = StoredRow(full.get(), y);
    EXPECT_EQ(levels.front(), 0);
    EXPECT_EQ(levels.back(), width - 1);
    EXPECT_TRUE(std::is_sorted(levels.begin(), levels.end()));
    // The middle is stretched: neighbouring columns share a source there,
    // while the edges skip source columns.
    int repeats = 0;
    for (int x = 90; x < 110; ++x)
      repeats += levels[std::size_t(x)] == levels[std::size_t(x) + 1];
    EXPECT_GT(repeats, 3);
    EXPECT_GT(levels[1] - levels[0], 1);
    EXPECT_EQ(levels[width - 1 - 99], width - 1 - levels[99]);  // symmetric
  }
  // The weakest setting leaves this picture as it is; the default bends it.
  PackedImage weak = RunRecord(image.get(), 97, {1});
  ASSERT_TRUE(weak);
  EXPECT_EQ(ImageBytes(weak.get()), ImageBytes(image.get()));
  PackedImage slid = RunValues(image.get(), 97, {50});
  ASSERT_TRUE(slid);
  EXPECT_NE(ImageBytes(slid.get()), ImageBytes(image.get()));
}

}  // namespace
}  // namespace tx
