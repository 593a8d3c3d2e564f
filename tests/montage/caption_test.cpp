// The caption: where it goes, how it is blended, and the text drawn by the
// font engine (skipped when the machine has no fonts).

#include "montage/caption.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "resources/resource_binding.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

// True when fontconfig lists at least one font.
bool FontsInstalled() {
  static const bool installed = [] {
    std::FILE* pipe = popen("fc-list 2>/dev/null", "r");
    if (!pipe) return false;
    char line[256];
    const bool any = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    return any;
  }();
  return installed;
}

#define SKIP_WITHOUT_FONTS() \
  if (!FontsInstalled()) GTEST_SKIP() << "no fonts installed (fc-list lists none)"

TEST(PlaceCaption, PositionsInAndAroundTheArea) {
  struct Case {
    int position, montageWidth, montageHeight, maskWidth, maskHeight, border;
    CaptionOrigin expected;
  };
  const Case cases[] = {
      // Bottom outside, border 40, a 30-row caption: band 40, 5 rows up.
      {3, 400, 300, 100, 30, 40, {150, 5}},
      // A band taller than the border is the caption itself.
      {3, 400, 300, 100, 70, 40, {150, 0}},
      // Top inside with the wide border: the top edge 120 rows below the top.
      {0, 600, 500, 200, 40, 120, {200, 500 - 40 - 120}},
      {0, 600, 100, 200, 40, 120, {200, 0}},
      {1, 600, 500, 201, 40, 120, {199, 120}},
      // Top outside: centred in the band at the top.
      {2, 400, 300, 100, 30, 40, {150, 300 - 40 + 5}},
      // Wider than the montage: starts at its left edge.
      {3, 400, 300, 900, 30, 0, {0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlaceCaption(c.position, c.montageWidth, c.montageHeight, c.maskWidth, c.maskHeight,
                           c.border),
              c.expected)
        << c.position << " " << c.maskWidth << "x" << c.maskHeight;
  }
}

TEST(BlendCaptionMask, MixesTowardsTheColourAndCutsAtTheEdges) {
  PackedImage montage(CreatePackedImage(4, 2, MakeColourWord(100, 50, 200), 0));
  PackedImage mask(CreatePackedImage(6, 3, 0, 1));
  {
    ImageLock lock(mask.get());
    const std::uint8_t values[] = {0, 255, 128, 1, 7, 9};
    for (int x = 0; x < 6; ++x)
      lock.row(0)[x] = values[x];
  }
  ASSERT_TRUE(BlendCaptionMask(montage.get(), mask.get(), {0, 1}, MakeColourWord(255, 0, 10)));
  ImageLock lock(montage.get());
  auto channel = [&](int x, int c) { return int(lock.row(1)[3 * x + c]); };
  // Blue, green, red of each pixel: ((255 - a) * p + a * colour) >> 8.
  const int expected[4][3] = {
      {200, 50, 100},  // a = 0: unchanged
      {(255 * 10) >> 8, 0, (255 * 255) >> 8},
      {(127 * 200 + 128 * 10) >> 8, (127 * 50) >> 8, (127 * 100 + 128 * 255) >> 8},
      {(254 * 200 + 10) >> 8, (254 * 50) >> 8, (254 * 100 + 255) >> 8},
  };
  for (int x = 0; x < 4; ++x)
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(channel(x, c), expected[x][c]) << x << "," << c;
  // Row 0 is below the mask; mask rows above the montage are dropped.
  EXPECT_EQ(lock.row(0)[0], 200);
  PackedImage gray(CreatePackedImage(4, 2, 0, 1));
  EXPECT_FALSE(BlendCaptionMask(gray.get(), mask.get(), {0, 0}, 0));
}

TEST(CaptionFont, InitialValueComesFromTheResourceLibrary) {
  ReleaseResourceLibrary();
  CaptionFont builtIn = InitialCaptionFont();
  EXPECT_EQ(builtIn.height, -48);
  EXPECT_EQ(builtIn.weight, 400);
  EXPECT_TRUE(builtIn.faceName.empty());

  std::string error;
  ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
  CaptionFont bound = InitialCaptionFont();
  ReleaseResourceLibrary();
  EXPECT_EQ(bound.height, 15);
  EXPECT_EQ(bound.charSet, 0);
  EXPECT_EQ(bound.faceName, "Noto Sans CJK TC");
  EXPECT_EQ(bound.weight, 400);
  EXPECT_FALSE(bound.italic || bound.underline || bound.strikeOut);
}

TEST(CaptionText, EmptyTextDrawsNothing) {
  PackedImage montage(CreatePackedImage(100, 50, 0, 0));
  EXPECT_EQ(MeasureCaptionBand("", CaptionFont{}), (CaptionExtent{0, 0}));
  EXPECT_EQ(RenderCaptionMask("", CaptionFont{}), nullptr);
  EXPECT_FALSE(DrawCaption(montage.get(), 3, "", CaptionFont{}, kInitialCaptionColour, 0));
  EXPECT_FALSE(DrawCaption(nullptr, 3, "Text", CaptionFont{}, kInitialCaptionColour, 0));
  EXPECT_FALSE(DrawCaption(montage.get(), 4, "Text", CaptionFont{}, kInitialCaptionColour, 0));
}

TEST(CaptionText, HeightsMapToCharacterOrCellHeight) {
  SKIP_WITHOUT_FONTS();
  CaptionFont font;
  // A positive height is the cell height: one line measures about that.
  font.height = 40;
  EXPECT_NEAR(MeasureCaptionBand("Holiday", font).height, 40, 2);
  // A negative height is the character height: the cell is taller.
  font.height = -40;
  const CaptionExtent em = MeasureCaptionBand("Holiday", font);
  EXPECT_GE(em.height, 40);
  EXPECT_LT(em.height, 70);
  // Doubling the width setting widens the text.
  font.width = 40;
  const CaptionExtent wide = MeasureCaptionBand("Holiday", font);
  EXPECT_GT(wide.width, em.width);
  EXPECT_EQ(wide.height, em.height);
}

TEST(CaptionText, MaskIsTheSingleSizeExtentWithSmoothEdges) {
  SKIP_WITHOUT_FONTS();
  CaptionFont font;
  font.height = -30;
  const CaptionExtent extent = MeasureCaptionBand("Summer 2024", font);
  ASSERT_GT(extent.width, 0);
  PackedImage mask(RenderCaptionMask("Summer 2024", font));
  ImageLock lock(mask.get());
  ASSERT_TRUE(lock);
  EXPECT_TRUE(lock.isGray());
  EXPECT_EQ(lock.width(), extent.width);
  EXPECT_EQ(lock.height(), extent.height);
  int full = 0, partial = 0;
  for (int y = 0; y < lock.height(); ++y)
    for (int x = 0; x < lock.width(); ++x) {
      const int v = lock.row(y)[x];
      full += v >= 250;
      partial += v > 5 && v < 250;
    }
  EXPECT_GT(full, 0);
  EXPECT_GT(partial, 0);
}

// The rows (from the bottom) and columns that a caption changed.
struct Changed {
  int lowRow = -1, highRow = -1, lowColumn = -1, highColumn = -1;
};
Changed ChangedPixels(GlobalHandle montage, std::uint8_t background) {
  Changed changed;
  ImageLock lock(montage);
  for (int y = 0; y < lock.height(); ++y)
    for (int x = 0; x < lock.width(); ++x) {
      if (lock.row(y)[3 * x] == background) continue;
      if (changed.lowRow < 0) changed.lowRow = y;
      changed.highRow = y;
      if (changed.lowColumn < 0 || x < changed.lowColumn) changed.lowColumn = x;
      changed.highColumn = std::max(changed.highColumn, x);
    }
  return changed;
}

TEST(CaptionText, DrawnInsideItsPlace) {
  SKIP_WITHOUT_FONTS();
  CaptionFont font;
  font.height = -24;
  const std::string text = "Lake";
  const CaptionExtent extent = MeasureCaptionBand(text, font);
  ASSERT_GT(extent.height, 0);
  struct Case {
    int position, border;
  };
  for (const Case c : {Case{3, 40}, Case{0, 120}, Case{1, 10}, Case{2, 60}}) {
    PackedImage montage(CreatePackedImage(400, 400, 0, 0));
    ASSERT_TRUE(
        DrawCaption(montage.get(), c.position, text, font, kInitialCaptionColour, c.border));
    const CaptionOrigin origin =
        PlaceCaption(c.position, 400, 400, extent.width, extent.height, c.border);
    const Changed changed = ChangedPixels(montage.get(), 0);
    ASSERT_GE(changed.lowRow, 0) << c.position;
    EXPECT_GE(changed.lowRow, origin.y);
    EXPECT_LT(changed.highRow, origin.y + extent.height);
    EXPECT_GE(changed.lowColumn, origin.x);
    EXPECT_LT(changed.highColumn, origin.x + extent.width);
  }
}

TEST(CaptionText, WiderThanTheMontageIsCutAtTheRight) {
  SKIP_WITHOUT_FONTS();
  CaptionFont font;
  font.height = -40;
  const std::string text = "A caption far wider than the little montage it is drawn on";
  ASSERT_GT(MeasureCaptionBand(text, font).width, 300);
  PackedImage montage(CreatePackedImage(120, 80, 0, 0));
  ASSERT_TRUE(DrawCaption(montage.get(), 1, text, font, kInitialCaptionColour, 0));
  const Changed changed = ChangedPixels(montage.get(), 0);
  // The text starts at the left edge and runs to the right edge.
  EXPECT_LT(changed.lowColumn, 20);
  EXPECT_GT(changed.highColumn, 100);
}

}  // namespace
}  // namespace tx
