#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "effects/fxkit.h"
#include "tests/effects/effect_test_util.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using fxtest::BlockBytes;
using fxtest::GrayRow;
using fxtest::ImageBytes;
using fxtest::RunRecord;
using fxtest::RunValues;
using fxtest::Solid24;
using testing::MakePatternImage;
using testing::PixelAt;
using testing::RawPixelAt;

struct Source {
  const char* label;
  int bits;
  bool gray;
};
const Source kSources[] = {
    {"24-bit", 24, false}, {"gray", 8, true},   {"8-bit colour", 8, false},
    {"4-bit", 4, false},   {"1-bit", 1, false},
};

bool Accepts(int id, const Source& source) {
  if (id == 1) return true;
  if (source.bits == 1) return id == 7;
  return true;
}

// Every tone effect at its neutral sliders on every depth and on narrow and
// short pictures: the right size and depth, the head kept, the source
// untouched, and (under the sanitizers) no access outside either block.
TEST(ToneEffects, ShapeOfTheResultOnEveryDepthAndOddSize) {
  for (int id : {1, 2, 3, 4, 6, 7, 16, 17}) {
    for (const Source& source : kSources) {
      for (int width : {1, 2, 3, 5}) {
        for (int height : {1, 2, 3, 5}) {
          PackedImage image = MakePatternImage(width, height, source.bits, source.gray);
          const auto before = BlockBytes(image.get());
          PackedImage result = RunValues(image.get(), id, {50, 50, 50});
          SCOPED_TRACE(::testing::Message()
                       << "id " << id << " " << source.label << " " << width << "x" << height);
          EXPECT_EQ(BlockBytes(image.get()), before);
          if (!Accepts(id, source)) {
            EXPECT_FALSE(result);
            continue;
          }
          ASSERT_TRUE(result);
          ImageLock in(image.get()), out(result.get());
          ASSERT_TRUE(out);
          EXPECT_EQ(out.width(), width);
          EXPECT_EQ(out.height(), height);
          EXPECT_EQ(out.bitCount(), source.bits);
          EXPECT_EQ(GlobalSize(result.get()), in.imageBytes() + 10);
          if (source.bits != 24 || source.gray) {
            // Gray keeps its ramp, so it stays gray.
            EXPECT_EQ(out.isGray(), source.gray);
          }
          // Row padding stays zero.
          const std::size_t used = (std::size_t(width) * std::size_t(source.bits) + 7) / 8;
          for (int y = 0; y < height; ++y) {
            for (std::size_t i = used; i < out.stride(); ++i)
              EXPECT_EQ(out.row(y)[i], 0);
          }
        }
      }
    }
  }
}

TEST(Negative, TwiceGivesBackTheImage) {
  for (const Source& source : kSources) {
    PackedImage image = MakePatternImage(5, 3, source.bits, source.gray);
    PackedImage once = RunRecord(image.get(), 7, {});
    ASSERT_TRUE(once) << source.label;
    PackedImage twice = RunRecord(once.get(), 7, {});
    ASSERT_TRUE(twice) << source.label;
    EXPECT_NE(ImageBytes(once.get()), ImageBytes(image.get())) << source.label;
    EXPECT_EQ(ImageBytes(twice.get()), ImageBytes(image.get())) << source.label;
  }
}

TEST(Negative, OneBitKeepsThePaletteAndFlipsThePixels) {
  PackedImage image = MakePatternImage(9, 2, 1);
  PackedImage result = RunRecord(image.get(), 7, {});
  ASSERT_TRUE(result);
  ImageLock in(image.get()), out(result.get());
  EXPECT_EQ(std::memcmp(in.palette(), out.palette(), 8), 0);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 9; ++x) {
      EXPECT_EQ(RawPixelAt(result.get(), x, y), 1 - RawPixelAt(image.get(), x, y));
    }
  }
}

// Point maps of the fixed tables, checked on the levels of a gray image.
TEST(ToneTables, FixedTablesMapTheirEdgeLevels) {
  struct Case {
    int id;
    std::vector<std::uint8_t> in, out;
  };
  const Case cases[] = {
      {16, {0, 127, 128, 200, 255}, {0, 127, 127, 55, 0}},
      {17, {0, 1, 2, 255}, {0, 0, 32, 255}},
      {7, {0, 1, 254, 255}, {255, 254, 1, 0}},
  };
  for (const Case& c : cases) {
    PackedImage image = GrayRow(c.in);
    PackedImage result = RunRecord(image.get(), c.id, {});
    ASSERT_TRUE(result) << c.id;
    ImageLock out(result.get());
    EXPECT_EQ(std::vector<std::uint8_t>(out.row(0), out.row(0) + c.out.size()), c.out) << c.id;
  }
}

TEST(Equalize, OneColourGoesToBlack) {
  for (std::uint8_t level : {0, 90, 255}) {
    PackedImage image = Solid24(3, 3, level, level, level);
    PackedImage result = RunRecord(image.get(), 6, {});
    ASSERT_TRUE(result);
    EXPECT_EQ(RawPixelAt(result.get(), 2, 1), 0u) << int(level);
  }
}

TEST(Equalize, SpreadsTwoLevelsOverTheRange) {
  // Half the samples at 10, half at 20: 10 goes to 0, 20 to about the middle.
  PackedImage image = GrayRow({10, 20, 10, 20});
  PackedImage result = RunRecord(image.get(), 6, {});
  ASSERT_TRUE(result);
  ImageLock out(result.get());
  EXPECT_EQ(out.row(0)[0], 0);
  EXPECT_EQ(out.row(0)[1], 102);  // 255 / 5 * 2
}

TEST(BrightnessContrast, SelectorDecidesWhichChannelsChange) {
  struct Case {
    int selector;
    bool blue, green, red;
  };
  const Case cases[] = {{1, true, true, true},
                        {2, false, false, true},
                        {3, false, true, false},
                        {4, true, false, false},
                        {9, false, false, false}};
  PackedImage image = Solid24(2, 2, 100, 100, 100);
  for (const Case& c : cases) {
    PackedImage result = RunRecord(image.get(), 2, {c.selector, 10, 0});
    ASSERT_TRUE(result);
    RgbQuad p = PixelAt(result.get(), 1, 1);
    EXPECT_EQ(p.blue, c.blue ? 110 : 100) << c.selector;
    EXPECT_EQ(p.green, c.green ? 110 : 100) << c.selector;
    EXPECT_EQ(p.red, c.red ? 110 : 100) << c.selector;
  }
}

TEST(BrightnessContrast, GrayLevelsFollowOnlyAllAndRed) {
  PackedImage image = MakePatternImage(5, 3, 8, true);
  for (int selector : {1, 2, 3, 4}) {
    PackedImage result = RunRecord(image.get(), 2, {selector, 30, 20});
    ASSERT_TRUE(result);
    bool changed = ImageBytes(result.get()) != ImageBytes(image.get());
    EXPECT_EQ(changed, selector <= 2) << selector;
  }
}

TEST(BrightnessContrast, TableClipsAndStretches) {
  struct Case {
    int brightness, contrast;
    std::vector<std::uint8_t> in, out;
  };
  const Case cases[] = {
      {0, 0, {0, 77, 255}, {0, 77, 255}},  // plain copy
      {40, 0, {0, 200, 215, 216}, {40, 240, 255, 255}},
      {-40, 0, {0, 39, 40, 255}, {0, 0, 0, 215}},
      {0, 100, {99, 100, 128, 155, 156}, {0, 0, 130, 255, 255}},
      {0, 128, {127, 128, 200}, {0, 255, 255}},  // contrast past the middle: a threshold
      {0, -100, {0, 255}, {56, 199}},            // negative contrast flattens
  };
  for (const Case& c : cases) {
    PackedImage image = GrayRow(c.in);
    PackedImage result = RunRecord(image.get(), 2, {1, c.brightness, c.contrast});
    ASSERT_TRUE(result);
    ImageLock out(result.get());
    EXPECT_EQ(std::vector<std::uint8_t>(out.row(0), out.row(0) + c.out.size()), c.out)
        << c.brightness << "/" << c.contrast;
  }
}

TEST(ToneAdjust, ClipsAndCurves) {
  struct Case {
    int highlight, midtone, shadow;
    std::vector<std::uint8_t> in, out;
  };
  const Case cases[] = {
      {0, 0, 0, {0, 1, 128, 254, 255}, {0, 1, 128, 254, 255}},  // identity
      {0, 0, -20, {0, 20, 21, 255}, {0, 0, 1, 255}},            // black clip
      {20, 0, 0, {0, 234, 235, 255}, {0, 254, 255, 255}},       // white clip
      {0, 0, 40, {0, 1, 255}, {0, 41, 255}},                    // raised base
      {-40, 0, 0, {0, 254, 255}, {0, 214, 255}},                // lowered top
      {0, 50, 0, {128}, {149}},                                 // lighter midtones
      {0, -20, 0, {128}, {79}},                                 // darker midtones
  };
  for (const Case& c : cases) {
    PackedImage image = GrayRow(c.in);
    // The selector does not matter for a gray image.
    PackedImage result = RunRecord(image.get(), 4, {3, c.highlight, c.midtone, c.shadow});
    ASSERT_TRUE(result);
    ImageLock out(result.get());
    EXPECT_EQ(std::vector<std::uint8_t>(out.row(0), out.row(0) + c.out.size()), c.out)
        << c.highlight << "/" << c.midtone << "/" << c.shadow;
  }
}

TEST(HueSaturation, TurnsHueAndKeepsGray) {
  struct Case {
    int degrees, percent;
    RgbQuad in, out;  // blue, green, red
  };
  const Case cases[] = {
      {120, 0, {0, 0, 255, 0}, {0, 255, 0, 0}},   // red to green
      {-120, 0, {0, 0, 255, 0}, {255, 0, 0, 0}},  // red to blue
      {60, 0, {0, 0, 255, 0}, {0, 255, 255, 0}},  // red to yellow
      {360, 0, {30, 80, 200, 0}, {30, 80, 200, 0}},
      {-720, 0, {30, 80, 200, 0}, {30, 80, 200, 0}},
      {1, 0, {50, 50, 50, 0}, {50, 50, 50, 0}},  // gray pixel unchanged
      {0, 100, {50, 50, 50, 0}, {50, 50, 50, 0}},
      {0, 100, {30, 80, 200, 0}, {200, 200, 200, 0}},  // all toward the largest
      {0, 50, {0, 100, 200, 0}, {100, 150, 200, 0}},
      {0, -50, {100, 150, 200, 0}, {50, 125, 200, 0}},  // more colour
      {0, -100, {100, 150, 200, 0}, {0, 100, 200, 0}},
  };
  for (const Case& c : cases) {
    PackedImage image = Solid24(3, 1, c.in.blue, c.in.green, c.in.red);
    PackedImage result = RunRecord(image.get(), 3, {c.degrees, c.percent});
    ASSERT_TRUE(result);
    RgbQuad p = PixelAt(result.get(), 2, 0);
    EXPECT_EQ(p.blue, c.out.blue) << c.degrees << "/" << c.percent;
    EXPECT_EQ(p.green, c.out.green) << c.degrees << "/" << c.percent;
    EXPECT_EQ(p.red, c.out.red) << c.degrees << "/" << c.percent;
  }
}

TEST(HueSaturation, GrayImagesAreCopiedAndNoChangeGivesNull) {
  PackedImage image = MakePatternImage(7, 4, 24);
  PackedImage gray = MakePatternImage(5, 3, 8, true);
  PackedImage result = RunRecord(gray.get(), 3, {90, 40});
  ASSERT_TRUE(result);
  EXPECT_EQ(ImageBytes(result.get()), ImageBytes(gray.get()));
  EXPECT_FALSE(RunRecord(image.get(), 3, {0, 0}));
}

TEST(OneTouchEnhance, LevelsSaturationAndSharpen) {
  // Defaults (slider 50): white point 245, black point 2.
  PackedImage flat = Solid24(4, 4, 1, 250, 128);
  PackedImage result = RunValues(flat.get(), 1, {50});
  ASSERT_TRUE(result);
  RgbQuad p = PixelAt(result.get(), 1, 1);
  EXPECT_EQ(p.blue, 0);
  EXPECT_EQ(p.green, 255);
  EXPECT_GT(p.red, 128);
  // A flat picture has nothing to sharpen: every pixel comes out alike.
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(RawPixelAt(result.get(), x, y), RawPixelAt(result.get(), 1, 1));
  }

  // A bright dot on gray is made brighter than levels alone make it.
  PackedImage dots(NewImageBlock(3, 3, 8, 256));
  {
    ImageLock lock(dots.get());
    FillGrayRamp(lock.palette());
    for (int y = 0; y < 3; ++y)
      std::memset(lock.row(y), 100, 3);
    lock.row(1)[1] = 150;
  }
  PackedImage levelsOnly = RunRecord(dots.get(), 1, {255, 1000, 0, 0, 0});
  PackedImage sharpened = RunRecord(dots.get(), 1, {255, 1000, 200, 0, 0});
  ASSERT_TRUE(levelsOnly && sharpened);
  EXPECT_EQ(ImageLock(levelsOnly.get()).row(1)[1], 150);
  EXPECT_EQ(ImageLock(sharpened.get()).row(1)[1], 250);  // 150 + 200 * 400 / 800
  // The corner sees the dot once; its missing neighbours are itself.
  EXPECT_EQ(ImageLock(sharpened.get()).row(0)[0], 88);  // 100 + 200 * -50 / 800

  // Extreme strengths and saturation steps saturate instead of overflowing.
  const int most = std::numeric_limits<int>::max();
  PackedImage strongest = RunRecord(dots.get(), 1, {255, 1000, most, most, 0});
  ASSERT_TRUE(strongest);
  EXPECT_EQ(ImageLock(strongest.get()).row(1)[1], 255);
  EXPECT_EQ(ImageLock(strongest.get()).row(0)[0], 0);
  PackedImage weakest = RunRecord(dots.get(), 1, {255, 1000, -most, 0, 0});
  ASSERT_TRUE(weakest);
  EXPECT_EQ(ImageLock(weakest.get()).row(1)[1], 0);
  PackedImage colourful = Solid24(3, 3, 10, 200, 90);
  PackedImage boosted = RunRecord(colourful.get(), 1, {255, 1000, 0, most, 0});
  ASSERT_TRUE(boosted);
  EXPECT_EQ(PixelAt(boosted.get(), 1, 1).blue, 0);
}

}  // namespace
}  // namespace tx
