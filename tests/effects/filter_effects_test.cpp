#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "effects/fxkit.h"
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

constexpr int kFilters[] = {9, 10, 12, 14, 15, 81, 82, 83, 89, 90, 91};

// The effect code the interface would send: edge detection and emboss take a
// sub-selector.
int CodeOf(int id) {
  return id == 82 || id == 90 ? id | (1 << 8) : id;
}

// The samples of a 24-bit or gray picture, read with clamped positions, so
// the references below can be written straight from the definitions.
struct Samples {
  int width = 0, height = 0, channels = 0;
  std::vector<std::uint8_t> data;  // tightly packed, stored rows in order

  explicit Samples(GlobalHandle image) {
    ImageLock lock(image);
    width = lock.width();
    height = lock.height();
    channels = lock.bitCount() == 24 ? 3 : 1;
    for (int y = 0; y < height; ++y)
      data.insert(data.end(), lock.row(y), lock.row(y) + width * channels);
  }
  int at(int x, int y, int c) const {
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return data[(std::size_t(y) * width + x) * channels + c];
  }
  bool inside(int x, int y) const { return x >= 0 && x < width && y >= 0 && y < height; }
};

PackedImage RandomImage(int width, int height, bool gray, unsigned seed, int spread = 256) {
  PackedImage image(gray ? NewImageBlock(width, height, 8, 256)
                         : CreatePackedImage(width, height, 0, 0));
  ImageLock lock(image.get());
  if (gray) FillGrayRamp(lock.palette());
  std::mt19937 random(seed);
  const int used = width * (gray ? 1 : 3);
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < used; ++i)
      lock.row(y)[i] = std::uint8_t(random() % unsigned(spread));
  }
  return image;
}

// Checks every sample of `result` against `expected(x, y, c)`.
template <typename Expected>
void ExpectSamples(GlobalHandle result, const Expected& expected) {
  ASSERT_TRUE(result);
  Samples out(result);
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      for (int c = 0; c < out.channels; ++c) {
        ASSERT_EQ(out.at(x, y, c), expected(x, y, c)) << "at " << x << "," << y << " channel " << c;
      }
    }
  }
}

// Runs `check(image, gray)` on random 24-bit and gray pictures of odd sizes.
template <typename Check>
void ForRandomPictures(const Check& check) {
  const int sizes[][2] = {{1, 1}, {2, 3}, {5, 1}, {7, 6}, {13, 9}};
  unsigned seed = 1;
  for (bool gray : {false, true}) {
    for (const auto& size : sizes) {
      PackedImage image = RandomImage(size[0], size[1], gray, seed++);
      SCOPED_TRACE(::testing::Message()
                   << (gray ? "gray " : "24-bit ") << size[0] << "x" << size[1]);
      check(image.get());
    }
  }
}

TEST(FilterEffects, ShapeOfTheResultAndRefusedDepths) {
  for (int id : kFilters) {
    for (int bits : {24, 8}) {
      for (int width : {1, 2, 3, 5}) {
        for (int height : {1, 2, 3, 5}) {
          PackedImage image = MakePatternImage(width, height, bits, bits == 8);
          const auto before = BlockBytes(image.get());
          PackedImage result = RunValues(image.get(), CodeOf(id), {50, 50, 50});
          SCOPED_TRACE(::testing::Message()
                       << "id " << id << " " << bits << " " << width << "x" << height);
          EXPECT_EQ(BlockBytes(image.get()), before);
          ASSERT_TRUE(result);
          ImageLock in(image.get()), out(result.get());
          EXPECT_EQ(out.width(), width);
          EXPECT_EQ(out.height(), height);
          EXPECT_EQ(out.bitCount(), bits);
          EXPECT_EQ(out.isGray(), bits == 8);
          EXPECT_EQ(GlobalSize(result.get()), in.imageBytes() + 10);
          const std::size_t used = std::size_t(width) * (bits / 8);
          for (int y = 0; y < height; ++y) {
            for (std::size_t i = used; i < out.stride(); ++i)
              EXPECT_EQ(out.row(y)[i], 0);
          }
        }
      }
    }
    // Only 24-bit and gray pictures are taken.
    for (int bits : {8, 4, 1}) {
      PackedImage image = MakePatternImage(5, 3, bits, false);
      EXPECT_FALSE(RunValues(image.get(), CodeOf(id), {50, 50, 50})) << id << " " << bits;
    }
  }
}

// Hostile records give a picture or null, never a fault (the sanitizers
// watch) or a run that does not end.
TEST(FilterEffects, ExtremeRecordsAreSafe) {
  const int extremes[] = {INT32_MIN, -1000, -1, 0, 1, 2, 255, 100000, INT32_MAX};
  PackedImage image = RandomImage(6, 5, false, 7);
  PackedImage gray = RandomImage(5, 4, true, 8);
  for (int id : kFilters) {
    for (int v : extremes) {
      for (int field = 0; field < 4; ++field) {
        std::vector<int> record = {3, 50, 0, 0xffffff};
        record[std::size_t(field)] = v;
        PackedImage a = RunRecord(image.get(), id, record);
        PackedImage b = RunRecord(gray.get(), id, record);
        EXPECT_EQ(bool(a), bool(b)) << id << " field " << field << " " << v;
      }
    }
  }
}

TEST(Blur, MatchesTheTwoPassDefinition) {
  for (int n : {1, 2, 3, 4, 7, 20}) {
    for (int weight : {0, 2, 5, -1}) {
      ForRandomPictures([&](GlobalHandle image) {
        const Samples s(image);
        const int window = std::max(n, 2);
        auto across = [&](int x, int y, int c) {
          int sum = 0;
          for (int i = 0; i < window; ++i)
            sum += s.at(x - window / 2 + i, y, c);
          return (window / 2 + sum) / window;
        };
        PackedImage result = RunRecord(image, 9, {n, weight});
        ExpectSamples(result.get(), [&](int x, int y, int c) {
          int sum = weight * s.at(x, y, c);
          for (int i = 0; i < window; ++i)
            sum += across(x, std::clamp(y - window / 2 + i, 0, s.height - 1), c);
          const int k = std::max(window + weight, 1);
          return std::clamp(int(std::floor((sum + k / 2) / double(k))), 0, 255);
        });
      });
    }
  }
}

TEST(Blur, WindowOfOneWorksAsTwoAndSlidersGiveWeightTwo) {
  PackedImage image = RandomImage(9, 7, false, 3);
  PackedImage one = RunRecord(image.get(), 9, {1, 2});
  PackedImage two = RunRecord(image.get(), 9, {2, 2});
  ASSERT_TRUE(one && two);
  EXPECT_EQ(ImageBytes(one.get()), ImageBytes(two.get()));
  // Slider 50 maps to a window of 20 with weight 2.
  PackedImage sliders = RunValues(image.get(), 9, {50});
  PackedImage record = RunRecord(image.get(), 9, {20, 2});
  EXPECT_EQ(ImageBytes(sliders.get()), ImageBytes(record.get()));
}

TEST(UnsharpMask, MatchesTheDefinition) {
  struct Case {
    int n, amount, threshold;
  };
  for (const Case& k : {Case{3, 200, 0}, Case{2, 80, 5}, Case{5, 500, 20}, Case{3, -100, 0}}) {
    ForRandomPictures([&](GlobalHandle image) {
      const Samples s(image);
      auto across = [&](int x, int y, int c) {
        int sum = 0;
        for (int i = 0; i < k.n; ++i)
          sum += s.at(x - k.n / 2 + i, y, c);
        return (k.n / 2 + sum) / k.n;
      };
      auto boost = [&](int d) { return d < k.threshold ? 0 : (50 + d * k.amount) / 100; };
      PackedImage result = RunRecord(image, 10, {k.n, k.amount, k.threshold});
      ExpectSamples(result.get(), [&](int x, int y, int c) {
        int sum = 0;
        for (int i = 0; i < k.n; ++i)
          sum += across(x, std::clamp(y - k.n / 2 + i, 0, s.height - 1), c);
        const int smooth = (k.n / 2 + sum) / k.n;
        const int d = s.at(x, y, c) - smooth;
        return std::clamp(s.at(x, y, c) + (d >= 0 ? boost(d) : -boost(-d - 1)), 0, 255);
      });
    });
  }
}

TEST(Despeckle, IsTheMedianOfTheWindow) {
  for (int k : {1, 2, 3, 4, 5, 8, 40}) {
    ForRandomPictures([&](GlobalHandle image) {
      const Samples s(image);
      const int side = std::min(k, 32);
      PackedImage result = RunRecord(image, 12, {k});
      ExpectSamples(result.get(), [&](int x, int y, int c) {
        std::vector<int> window;
        for (int j = 0; j < side; ++j) {
          for (int i = 0; i < side; ++i)
            window.push_back(s.at(x - side / 2 + i, y - side / 2 + j, c));
        }
        std::sort(window.begin(), window.end());
        return window[std::size_t((side * side + 1) / 2 - 1)];
      });
    });
  }
}

TEST(Despeckle, RemovesALonePixel) {
  PackedImage image = Solid24(5, 5, 40, 50, 60);
  {
    ImageLock lock(image.get());
    std::memset(lock.row(2) + 6, 255, 3);
  }
  PackedImage result = RunRecord(image.get(), 12, {3});
  EXPECT_EQ(ImageBytes(result.get()), ImageBytes(Solid24(5, 5, 40, 50, 60).get()));
}

TEST(OilPaint, IsTheMostFrequentBinLowestOnATie) {
  for (int r : {0, 1, 2, 3}) {
    ForRandomPictures([&](GlobalHandle image) {
      const Samples s(image);
      PackedImage result = RunRecord(image, 81, {r});
      ExpectSamples(result.get(), [&](int x, int y, int c) {
        int count[32] = {};
        for (int j = -r; j <= r; ++j) {
          for (int i = -r; i <= r; ++i)
            ++count[s.at(x + i, y + j, c) / 8];
        }
        return int(std::max_element(count, count + 32) - count) * 8;
      });
    });
  }
}

TEST(Noise, NoneCopiesAndAllReplacesEveryPixel) {
  PackedImage image = RandomImage(7, 4, false, 11);
  PackedImage none = RunRecord(image.get(), 14, {0});
  EXPECT_EQ(ImageBytes(none.get()), ImageBytes(image.get()));
  // In a fresh thread the generator starts at 1: one draw decides, three give
  // blue, green and red.
  PackedImage all;
  std::thread([&] { all = RunRecord(image.get(), 14, {100}); }).join();
  std::uint32_t state = 1;
  auto rand = [&] {
    state = state * 214013u + 2531011u;
    return int((state >> 16) & 0x7fff);
  };
  Samples out(all.get());
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 7; ++x) {
      rand();
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(out.at(x, y, c), rand() & 0xff);
    }
  }
}

TEST(AddNoise, OneOffsetForAllChannelsOfAPixel) {
  PackedImage image = Solid24(16, 8, 100, 120, 140);
  PackedImage result;
  std::thread([&] { result = RunRecord(image.get(), 83, {20}); }).join();
  std::uint32_t state = 1;
  Samples out(result.get());
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 16; ++x) {
      state = state * 214013u + 2531011u;
      const int offset = 21 / 2 - int((state >> 16) & 0x7fff) % 21;
      EXPECT_EQ(out.at(x, y, 0), 100 + offset);
      EXPECT_EQ(out.at(x, y, 2), 140 + offset);
    }
  }
}

TEST(Contour, MarksTheEdgeOfALevelOnBlack) {
  // A one-colour picture has no contour at all.
  PackedImage flat = Solid24(6, 6, 200, 200, 200);
  PackedImage none = RunRecord(flat.get(), 15, {1, 1, 128});
  ExpectSamples(none.get(), [](int, int, int) { return 0; });

  // Bright square in the middle of a dark gray picture.
  PackedImage image = RandomImage(7, 7, true, 1, 1);  // all zero
  {
    ImageLock lock(image.get());
    for (int y = 2; y <= 4; ++y)
      std::memset(lock.row(y) + 2, 200, 3);
  }
  PackedImage upper = RunRecord(image.get(), 15, {1, 1, 100});
  ExpectSamples(upper.get(), [](int x, int y, int) {
    const bool square = x >= 2 && x <= 4 && y >= 2 && y <= 4;
    return square && !(x == 3 && y == 3) ? 255 : 0;
  });
  PackedImage lower = RunRecord(image.get(), 15, {0, 1, 100});
  ExpectSamples(lower.get(), [](int x, int y, int) {
    const bool ring =
        x >= 1 && x <= 5 && y >= 1 && y <= 5 && !(x >= 2 && x <= 4 && y >= 2 && y <= 4);
    const bool corner = (x == 1 || x == 5) && (y == 1 || y == 5);
    return ring && !corner ? 255 : 0;
  });
}

TEST(Contour, SelectorTestsOneChannel) {
  PackedImage image = RandomImage(6, 6, false, 5);
  const Samples s(image.get());
  for (int selector : {2, 3, 4}) {
    const int tested = selector == 2 ? 2 : (selector == 3 ? 1 : 0);
    PackedImage result = RunRecord(image.get(), 15, {1, selector, 128});
    PackedImage all = RunRecord(image.get(), 15, {1, 1, 128});
    const Samples every(all.get());
    ExpectSamples(result.get(),
                  [&](int x, int y, int c) { return c == tested ? every.at(x, y, c) : 0; });
  }
}

TEST(EdgeDetect, SobelOnBothModes) {
  ForRandomPictures([&](GlobalHandle image) {
    const Samples s(image);
    auto gradient = [&](int x, int y, int c) {
      const int gy = s.at(x - 1, y + 1, c) + 2 * s.at(x, y + 1, c) + s.at(x + 1, y + 1, c) -
                     s.at(x - 1, y - 1, c) - 2 * s.at(x, y - 1, c) - s.at(x + 1, y - 1, c);
      const int gx = s.at(x + 1, y - 1, c) + 2 * s.at(x + 1, y, c) + s.at(x + 1, y + 1, c) -
                     s.at(x - 1, y - 1, c) - 2 * s.at(x - 1, y, c) - s.at(x - 1, y + 1, c);
      return std::min(std::abs(gy), 255) + std::abs(gx);
    };
    auto border = [&](int x, int y) {
      return x == 0 || y == 0 || x == s.width - 1 || y == s.height - 1;
    };
    PackedImage coloured = RunRecord(image, 82, {1, 60});
    ExpectSamples(coloured.get(), [&](int x, int y, int c) {
      if (border(x, y)) return 0;
      const int g = gradient(x, y, c);
      return g < 60 ? 0 : std::min(g, 255);
    });
    PackedImage dark = RunRecord(image, 82, {2, 60});
    ExpectSamples(dark.get(), [&](int x, int y, int) {
      if (border(x, y)) return 255;
      int sum = 0;
      for (int c = 0; c < s.channels; ++c)
        sum += gradient(x, y, c);
      const int mean = sum / s.channels;
      return mean < 60 ? 255 : std::max(255 - mean, 0);
    });
  });
}

TEST(Mosaic, BlockMeansFromTheFirstStoredRow) {
  for (int bw : {1, 2, 3, 5, 100}) {
    for (int bh : {1, 4, 100}) {
      ForRandomPictures([&](GlobalHandle image) {
        const Samples s(image);
        PackedImage result = RunRecord(image, 89, {bw, bh});
        ExpectSamples(result.get(), [&](int x, int y, int c) {
          const int w = std::min(bw, s.width), h = std::min(bh, s.height);
          const int left = x / w * w, top = y / h * h;
          int sum = 0, count = 0;
          for (int j = top; j < std::min(top + h, s.height); ++j) {
            for (int i = left; i < std::min(left + w, s.width); ++i, ++count)
              sum += s.at(i, j, c);
          }
          return sum / count;
        });
      });
    }
  }
}

TEST(Mosaic, ZeroBlocksGiveNull) {
  PackedImage image = RandomImage(4, 4, false, 2);
  EXPECT_FALSE(RunValues(image.get(), 89, {0}));  // (0 + 3) / 4 = 0
  EXPECT_FALSE(RunRecord(image.get(), 89, {3, 0}));
  EXPECT_FALSE(RunRecord(image.get(), 89, {-2, 3}));
  EXPECT_TRUE(RunValues(image.get(), 89, {1}));
}

TEST(Emboss, ReliefAroundMiddleGray) {
  // A vertical edge: dark columns on the left, bright on the right.
  PackedImage image = RandomImage(6, 5, true, 1, 1);
  {
    ImageLock lock(image.get());
    for (int y = 0; y < 5; ++y)
      std::memset(lock.row(y) + 3, 90, 3);
  }
  // Light from the left (type 0): the edge's dark side shades, bright side lights.
  PackedImage left = RunRecord(image.get(), 90, {0, 1, 0, 0xffffff});
  ExpectSamples(left.get(), [](int x, int y, int) {
    if (x == 0 || y == 0 || x == 5 || y == 4) return 128;
    if (x == 2) return 128 - 90;  // (0 - 270) / 3
    if (x == 3) return 128 - 90;
    return 128;
  });
  // Light from the right mirrors it; from the top there is no relief.
  PackedImage right = RunRecord(image.get(), 90, {4, 1, 0, 0xffffff});
  ExpectSamples(right.get(), [](int x, int y, int) {
    if (x == 0 || y == 0 || x == 5 || y == 4) return 128;
    return (x == 2 || x == 3) ? 128 + 90 : 128;
  });
  PackedImage top = RunRecord(image.get(), 90, {2, 1, 0, 0xffffff});
  ExpectSamples(top.get(), [](int, int, int) { return 128; });
  // Depth 2 compares samples two pixels away and widens the gray border.
  PackedImage deep = RunRecord(image.get(), 90, {0, 2, 0, 0xffffff});
  ExpectSamples(deep.get(), [](int x, int y, int) {
    if (x < 2 || y < 2 || x > 3 || y > 2) return 128;
    return 128 - 90;
  });
}

TEST(Emboss, FlatnessAndTint) {
  PackedImage image = RandomImage(5, 5, false, 1, 1);
  {
    ImageLock lock(image.get());
    for (int y = 0; y < 5; ++y)
      std::memset(lock.row(y) + 9, 2, 6);  // columns 3 and 4 raised by 2
  }
  // A difference of the sums of 6 is a relief of 2 ...
  PackedImage plain = RunRecord(image.get(), 90, {4, 1, 0, 0xffffff});
  EXPECT_EQ(Samples(plain.get()).at(2, 2, 0), 130);
  // ... which a flatness of 7 hides, and a red tint leaves in red only.
  PackedImage flat = RunRecord(image.get(), 90, {4, 1, 7, 0xffffff});
  EXPECT_EQ(Samples(flat.get()).at(2, 2, 0), 128);
  PackedImage red = RunRecord(image.get(), 90, {4, 1, 0, 0x0000ff});
  const Samples tinted(red.get());
  EXPECT_EQ(tinted.at(2, 2, 2), 130);
  EXPECT_EQ(tinted.at(2, 2, 1), 0);
  EXPECT_EQ(tinted.at(1, 1, 0), 0);
}

TEST(MotionBlur, MeanOfTheSamplesAlongEachDirection) {
  const int steps[9][2] = {{0, 0},  {1, -1}, {0, -1}, {-1, -1}, {1, 0},
                           {-1, 0}, {1, 1},  {0, 1},  {-1, 1}};
  for (int direction = 0; direction <= 9; ++direction) {
    for (int n : {0, 1, 2, 3, 6, 50}) {
      ForRandomPictures([&](GlobalHandle image) {
        const Samples s(image);
        const int d = direction >= 1 && direction <= 8 ? direction : 4;
        const int length = std::clamp(n, 1, std::min(s.width, s.height));
        PackedImage result = RunRecord(image, 91, {n, direction});
        ExpectSamples(result.get(), [&](int x, int y, int c) {
          int sum = 0, count = 0;
          for (int k = 0; k < length; ++k) {
            const int sx = x + k * steps[d][0], sy = y + k * steps[d][1];
            if (!s.inside(sx, sy)) break;
            sum += s.at(sx, sy, c);
            ++count;
          }
          return sum / count;
        });
      });
    }
  }
}

}  // namespace
}  // namespace tx
