// The web-palette reduction against a plain transcription of its rules.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "output/web_palette.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::MakePatternImage;

struct Rgb {
  int r, g, b;
};

/// Pixels given top row first, as a 24-bit picture.
PackedImage MakePicture(int width, int height, const std::vector<Rgb>& topDown) {
  PackedImage image(NewImageBlock(width, height, 24, 0, OnAllocFailure::Quiet));
  ImageLock lock(image.get());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb& p = topDown[std::size_t(y * width + x)];
      std::uint8_t* pixel = lock.topDownRow(y) + x * 3;
      pixel[0] = std::uint8_t(p.b);
      pixel[1] = std::uint8_t(p.g);
      pixel[2] = std::uint8_t(p.r);
    }
  }
  return image;
}

PackedImage RandomPicture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<Rgb> pixels;
  for (int i = 0; i < width * height; ++i) {
    pixels.push_back({int(random() % 256), int(random() % 256), int(random() % 256)});
  }
  return MakePicture(width, height, pixels);
}

int ReferenceLevel(double v) {
  return v < 26 ? 0 : v < 77 ? 1 : v < 128 ? 2 : v < 179 ? 3 : v < 230 ? 4 : 5;
}

/// The rules written out over whole-picture error arrays, in stored order
/// (row 0 is the bottom row). Returns the indices, stored order.
std::vector<int> ReferenceIndices(GlobalHandle picture) {
  ImageLock lock(picture);
  const int w = lock.width(), h = lock.height();
  std::vector<double> error(std::size_t(w * h * 3), 0.0);
  auto err = [&](int x, int y, int c) -> double {
    if (x < 0 || x >= w) return 0.0;
    return error[std::size_t((y * w + x) * 3 + c)];
  };
  std::vector<int> indices;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int level[3];
      for (int c = 0; c < 3; ++c) {
        double v = lock.row(y)[x * 3 + c];
        if (y == 0) {
          v += err(x - 1, y, c);
        } else if (x == 0) {
          v += std::round((5 * err(x, y - 1, c) + 3 * err(x + 1, y - 1, c)) / 8.0);
        } else {
          v += std::round((7 * err(x - 1, y, c) + 5 * err(x, y - 1, c) + 3 * err(x + 1, y - 1, c) +
                           err(x - 1, y - 1, c)) /
                          16.0);
        }
        level[c] = ReferenceLevel(v);
        error[std::size_t((y * w + x) * 3 + c)] = v - 51 * level[c];
      }
      indices.push_back(level[2] + 6 * level[1] + 36 * level[0]);
    }
  }
  return indices;
}

std::vector<int> StoredIndices(GlobalHandle picture) {
  ImageLock lock(picture);
  std::vector<int> indices;
  for (int y = 0; y < lock.height(); ++y) {
    for (int x = 0; x < lock.width(); ++x)
      indices.push_back(lock.row(y)[x]);
  }
  return indices;
}

int Index(int r, int g, int b) {
  return r + 6 * g + 36 * b;
}

TEST(WebPalette, TableHoldsTheSixLevelCubeThenBlack) {
  PackedImage reduced(ReduceToWebPalette(MakePatternImage(3, 2, 24).get()));
  ASSERT_TRUE(reduced);
  ImageLock lock(reduced.get());
  EXPECT_EQ(lock.bitCount(), 8);
  EXPECT_EQ(lock.width(), 3);
  EXPECT_EQ(lock.height(), 2);
  ASSERT_EQ(lock.colourCount(), 256u);
  for (int i = 0; i < 256; ++i) {
    RgbQuad e = lock.palette()[i];
    SCOPED_TRACE(i);
    if (i < 216) {
      EXPECT_EQ(e.red, i % 6 * 51);
      EXPECT_EQ(e.green, i / 6 % 6 * 51);
      EXPECT_EQ(e.blue, i / 36 * 51);
    } else {
      EXPECT_EQ(e.red + e.green + e.blue, 0);
    }
  }
}

TEST(WebPalette, LevelBoundaries) {
  const std::pair<int, int> cases[] = {{0, 0},   {25, 0},  {26, 1},  {76, 1},  {77, 2},
                                       {127, 2}, {128, 3}, {178, 3}, {179, 4}, {229, 4},
                                       {230, 5}, {255, 5}, {-40, 0}, {300, 5}};
  for (auto [value, level] : cases)
    EXPECT_EQ(WebLevel(value), level) << value;
  // One pixel carries no error: each channel lands on its own level.
  PackedImage one = MakePicture(1, 1, {{26, 128, 230}});
  PackedImage reduced(ReduceToWebPalette(one.get()));
  EXPECT_EQ(StoredIndices(reduced.get()), std::vector<int>{Index(1, 3, 5)});
}

TEST(WebPalette, FirstRowCarriesTheWholeErrorToTheRight) {
  // 40 -> level 1 (error -11); 29 -> level 1 (error -22); 18 -> level 0.
  PackedImage row = MakePicture(3, 1, {{40, 40, 40}, {40, 40, 40}, {40, 40, 40}});
  PackedImage reduced(ReduceToWebPalette(row.get()));
  EXPECT_EQ(StoredIndices(reduced.get()),
            (std::vector<int>{Index(1, 1, 1), Index(1, 1, 1), Index(0, 0, 0)}));
}

TEST(WebPalette, LaterRowsRoundHalvesAwayFromZero) {
  // Top-down pixels; the bottom row is processed first. A bottom error of
  // +4 gives 5 x 4 / 8 = 2.5 -> 3 at the pixel above; -4 gives -2.5 -> -3.
  struct Case {
    int bottom, top, expectedTopLevel;
  } cases[] = {
      {55, 23, 1},  // 23 + 3 = 26 (2 would stay at level 0)
      {47, 28, 0},  // 28 - 3 = 25 (-2 would reach level 1)
      {38, 33, 0},  // error -13: round(-8.125) = -8, 33 - 8 = 25
  };
  for (const Case& c : cases) {
    PackedImage column = MakePicture(1, 2, {{c.top, 0, 0}, {c.bottom, 0, 0}});
    PackedImage reduced(ReduceToWebPalette(column.get()));
    std::vector<int> indices = StoredIndices(reduced.get());
    ASSERT_EQ(indices.size(), 2u);
    EXPECT_EQ(indices[1], c.expectedTopLevel) << c.bottom << " " << c.top;
    EXPECT_EQ(indices, ReferenceIndices(column.get()));
  }
}

TEST(WebPalette, MatchesTheReferenceOnAssortedPictures) {
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 6}, {6, 1}, {2, 2}, {7, 4}, {33, 17}};
  unsigned seed = 1;
  for (auto [w, h] : sizes) {
    for (int round = 0; round < 3; ++round) {
      PackedImage picture = RandomPicture(w, h, seed++);
      PackedImage reduced(ReduceToWebPalette(picture.get()));
      ASSERT_TRUE(reduced);
      EXPECT_EQ(StoredIndices(reduced.get()), ReferenceIndices(picture.get()))
          << w << " x " << h << " seed " << seed - 1;
    }
  }
  // Smooth ramps make long runs of equal errors, where the rounding shows.
  for (int w : {5, 64}) {
    std::vector<Rgb> ramp;
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < w; ++x)
        ramp.push_back({x * 255 / w, y * 28, (x + y) % 256});
    }
    PackedImage picture = MakePicture(w, 9, ramp);
    PackedImage reduced(ReduceToWebPalette(picture.get()));
    EXPECT_EQ(StoredIndices(reduced.get()), ReferenceIndices(picture.get())) << w;
  }
}

TEST(WebPalette, LeavesTheSourceAloneAndRefusesOtherDepths) {
  PackedImage picture = MakePatternImage(9, 5, 24);
  PackedImage copy = MakePatternImage(9, 5, 24);
  PackedImage reduced(ReduceToWebPalette(picture.get()));
  EXPECT_TRUE(reduced);
  EXPECT_EQ(testing::MaxColourDifference(picture.get(), copy.get()), 0);

  for (int bits : {1, 4, 8}) {
    EXPECT_EQ(ReduceToWebPalette(MakePatternImage(4, 4, bits).get()), nullptr) << bits;
  }
  PackedImage deep(NewImageBlock(4, 4, 32, 0, OnAllocFailure::Quiet));
  EXPECT_EQ(ReduceToWebPalette(deep.get()), nullptr);
  EXPECT_EQ(ReduceToWebPalette(nullptr), nullptr);
}

}  // namespace
}  // namespace tx
