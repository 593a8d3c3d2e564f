// The crop preview's rules without a window: ratios, hit tests, the drag
// modes, the tone table and the mapping back to the target's pixels.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "app/views/crop_state.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

constexpr int kT = kCropTolerance;

bool Inside(const ImageRect& rect, const ImageRect& outer) {
  return rect.left >= outer.left && rect.top >= outer.top && rect.right <= outer.right &&
         rect.bottom <= outer.bottom && rect.width() >= 1 && rect.height() >= 1;
}

// A 400 x 300 picture centred in a 500 x 400 window: P = (50, 50)-(450, 350).
CropState MakeState(int entry = 0) {
  CropState state;
  state.Layout(500, 400, 400, 300);
  EXPECT_TRUE(state.SetRatio(entry));
  return state;
}

// A full drag: press at `from`, one move per step, release at the end.
void Drag(CropState& state, int x, int y, int dx, int dy, int steps = 4) {
  state.BeginDrag(x, y);
  for (int i = 1; i <= steps; ++i)
    state.DragTo(x + dx * i / steps, y + dy * i / steps);
  state.EndDrag(x + dx, y + dy);
}

TEST(CropToneTable, SliderOffsetsTruncate) {
  EXPECT_EQ(CropSliderOffset(0), -128);
  EXPECT_EQ(CropSliderOffset(1), -126);
  EXPECT_EQ(CropSliderOffset(50), 0);
  EXPECT_EQ(CropSliderOffset(99), 125);
  EXPECT_EQ(CropSliderOffset(100), 128);
  EXPECT_EQ(CropSliderOffset(-5), -128);
  EXPECT_EQ(CropSliderOffset(250), 128);
}

TEST(CropToneTable, MiddleSlidersChangeNothing) {
  std::array<std::uint8_t, 256> table{};
  table.fill(7);
  EXPECT_FALSE(BuildCropToneTable(0, 0, table));
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(table[std::size_t(i)], i);
}

TEST(CropToneTable, KnownValues) {
  std::array<std::uint8_t, 256> table{};
  // Brightness alone shifts and saturates.
  ASSERT_TRUE(BuildCropToneTable(40, 0, table));
  EXPECT_EQ(table[0], 40);
  EXPECT_EQ(table[100], 140);
  EXPECT_EQ(table[215], 255);
  EXPECT_EQ(table[255], 255);
  ASSERT_TRUE(BuildCropToneTable(-128, 0, table));
  EXPECT_EQ(table[127], 0);
  EXPECT_EQ(table[200], 72);
  // Full contrast is a step at the middle.
  ASSERT_TRUE(BuildCropToneTable(0, 128, table));
  EXPECT_EQ(table[127], 0);
  EXPECT_EQ(table[128], 255);
  // Least contrast squeezes 0..255 into 64..191, rounded.
  ASSERT_TRUE(BuildCropToneTable(0, -128, table));
  EXPECT_EQ(table[0], 64);     // (128 * 255 + 255) / 511
  EXPECT_EQ(table[255], 191);  // (383 * 255 + 255) / 511
  // Contrast 20: 20 and below go black, 235 and above white, between stretched.
  ASSERT_TRUE(BuildCropToneTable(0, 20, table));
  EXPECT_EQ(table[19], 0);
  EXPECT_EQ(table[20], 0);
  EXPECT_EQ(table[100], 95);  // (80 * 255 + 107) / 215
  EXPECT_EQ(table[236], 255);
}

TEST(CropToneTable, EverySliderPairIsMonotone) {
  std::array<std::uint8_t, 256> table{};
  for (int b = 0; b <= kCropSliderMax; ++b) {
    for (int c = 0; c <= kCropSliderMax; ++c) {
      BuildCropToneTable(CropSliderOffset(b), CropSliderOffset(c), table);
      for (int i = 1; i < 256; ++i)
        ASSERT_LE(table[std::size_t(i - 1)], table[std::size_t(i)]) << b << "," << c << " at " << i;
    }
  }
}

TEST(CropRatios, LandscapeDisplayWithThreeToFour) {
  CropState state;
  state.Layout(300, 200, 300, 200);
  ASSERT_TRUE(state.SetRatio(3));
  EXPECT_EQ(state.crop(), (ImageRect{75, 0, 225, 200}));
  EXPECT_FALSE(state.freeMode());
  EXPECT_FLOAT_EQ(state.aspect(), 0.75f);
}

TEST(CropRatios, EachEntryGivesTheLargestCentredRectangle) {
  struct Case {
    int entry, width, height;
  };
  // On a 400 x 300 picture.
  const Case cases[] = {{0, 400, 300}, {1, 300, 300}, {2, 200, 300}, {3, 225, 300}, {4, 180, 300},
                        {5, 214, 300}, {6, 400, 266}, {7, 400, 300}, {8, 400, 240}, {9, 400, 285}};
  for (const Case& c : cases) {
    const CropState state = MakeState(c.entry);
    const ImageRect& crop = state.crop();
    EXPECT_EQ(crop.width(), c.width) << "entry " << c.entry;
    EXPECT_EQ(crop.height(), c.height) << "entry " << c.entry;
    EXPECT_TRUE(Inside(crop, state.picture())) << "entry " << c.entry;
    // Centred in the picture.
    EXPECT_LE(std::abs((crop.left - 50) - (450 - crop.right)), 1) << "entry " << c.entry;
    EXPECT_LE(std::abs((crop.top - 50) - (350 - crop.bottom)), 1) << "entry " << c.entry;
    EXPECT_EQ(state.freeMode(), c.entry == 0);
  }
  CropState state = MakeState(3);
  EXPECT_FALSE(state.SetRatio(10));
  EXPECT_EQ(state.ratioEntry(), 3);
}

TEST(CropRatios, TinyPicturesStillGetARectangle) {
  for (int entry = 0; entry < kCropRatioCount; ++entry) {
    CropState state;
    state.Layout(320, 320, 1, 1);
    ASSERT_TRUE(state.SetRatio(entry));
    EXPECT_EQ(state.crop(), (ImageRect{159, 159, 160, 160})) << "entry " << entry;
    EXPECT_GT(state.aspect(), 0.0f);
  }
  CropState empty;
  empty.Layout(320, 320, 0, 0);
  EXPECT_EQ(empty.crop().width(), 0);
  EXPECT_EQ(empty.BeginDrag(160, 160), kDragNone);
}

TEST(CropHitTest, CursorsAndModesInFreeMode) {
  CropState state = MakeState(0);  // crop = P = (50, 50)-(450, 350)
  struct Case {
    int x, y, flags, mode;
    CropCursor cursor;
  };
  const Case cases[] = {
      {50, 50, kHitLeft | kHitTop, kDragTopLeft, CropCursor::kSizeNwSe},
      {46, 353, kHitLeft | kHitBottom, kDragBottomLeft, CropCursor::kSizeNeSw},
      {452, 47, kHitRight | kHitTop, kDragTopRight, CropCursor::kSizeNeSw},
      {449, 349, kHitRight | kHitBottom, kDragBottomRight, CropCursor::kSizeNwSe},
      {53, 200, kHitLeft, kDragLeft, CropCursor::kSizeWe},
      {453, 200, kHitRight, kDragRight, CropCursor::kSizeWe},
      {200, 54, kHitTop, kDragTop, CropCursor::kSizeNs},
      {200, 345, kHitBottom, kDragBottom, CropCursor::kSizeNs},
      {200, 200, 0, kDragMove, CropCursor::kOpenHand},
      {55, 200, 0, kDragMove, CropCursor::kOpenHand},
      {45, 200, 0, kDragNone, CropCursor::kArrow},
      {30, 30, 0, kDragNone, CropCursor::kArrow},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(state.HitTest(c.x, c.y), c.flags) << c.x << "," << c.y;
    EXPECT_EQ(state.CursorAt(c.x, c.y), c.cursor) << c.x << "," << c.y;
    EXPECT_EQ(state.BeginDrag(c.x, c.y), c.mode) << c.x << "," << c.y;
    EXPECT_EQ(state.CursorAt(0, 0), CropState::CursorForMode(c.mode));
    state.EndDrag(c.x, c.y);
    EXPECT_EQ(state.dragMode(), kDragNone);
  }
  EXPECT_EQ(CropState::CursorForMode(kDragMove), CropCursor::kClosedHand);
}

TEST(CropHitTest, EdgesStartNothingWithAFixedRatio) {
  CropState state = MakeState(1);  // 300 x 300 at (100, 50)
  EXPECT_EQ(state.HitTest(100, 200), kHitLeft);
  EXPECT_EQ(state.CursorAt(100, 200), CropCursor::kArrow);
  EXPECT_EQ(state.BeginDrag(100, 200), kDragNone);
  EXPECT_EQ(state.BeginDrag(399, 349), kDragBottomRight);
}

TEST(CropHitTest, SmallRectangleTakesTheNearerEdge) {
  CropState state = MakeState(0);
  state.SetCrop({100, 100, 106, 106});
  EXPECT_EQ(state.HitTest(101, 101), kHitLeft | kHitTop);
  EXPECT_EQ(state.HitTest(104, 104), kHitRight | kHitBottom);
  EXPECT_EQ(state.HitTest(104, 101), kHitRight | kHitTop);
}

TEST(CropDrag, FreeEdgesMoveOnlyTheirEdge) {
  struct Case {
    int x, y, dx, dy;
    ImageRect expected;
  };
  // From (100, 100)-(300, 250) in P = (50, 50)-(450, 350).
  const Case cases[] = {
      {100, 175, 30, 9, {130, 100, 300, 250}},    // left edge
      {299, 175, -50, 0, {100, 100, 250, 250}},   // right edge
      {200, 100, 0, -20, {100, 80, 300, 250}},    // top edge
      {200, 249, 5, 60, {100, 100, 300, 310}},    // bottom edge
      {100, 175, 500, 0, {296, 100, 300, 250}},   // left edge stops t before the right
      {200, 249, 0, -400, {100, 100, 300, 104}},  // bottom edge stops t below the top
      {100, 175, -500, 0, {50, 100, 300, 250}},   // and the picture stops them
      {299, 175, 500, 0, {100, 100, 450, 250}},
  };
  for (const Case& c : cases) {
    CropState state = MakeState(0);
    state.SetCrop({100, 100, 300, 250});
    Drag(state, c.x, c.y, c.dx, c.dy);
    EXPECT_EQ(state.crop(), c.expected) << c.x << "," << c.y << " by " << c.dx << "," << c.dy;
  }
}

TEST(CropDrag, MoveStaysInsideThePicture) {
  CropState state = MakeState(3);  // 225 x 300, full height
  const ImageRect before = state.crop();
  Drag(state, 200, 200, -500, 37);
  EXPECT_EQ(state.crop(), (ImageRect{50, 50, 50 + before.width(), 350}));
  Drag(state, 100, 100, 1000, -1000);
  EXPECT_EQ(state.crop(), (ImageRect{450 - before.width(), 50, 450, 350}));
  CropState free = MakeState(0);
  free.SetCrop({100, 100, 200, 200});
  Drag(free, 150, 150, 25, -30);
  EXPECT_EQ(free.crop(), (ImageRect{125, 70, 225, 170}));
}

TEST(CropDrag, FixedRatioCornersKeepTheRatioAndCentre) {
  for (int entry = 1; entry < kCropRatioCount; ++entry) {
    for (const int corner : {kDragTopLeft, kDragBottomLeft, kDragTopRight, kDragBottomRight}) {
      CropState state = MakeState(entry);
      const ImageRect start = state.crop();
      const float aspect = state.aspect();
      const bool left = corner == kDragTopLeft || corner == kDragBottomLeft;
      const bool top = corner == kDragTopLeft || corner == kDragTopRight;
      const int x = left ? start.left : start.right - 1, y = top ? start.top : start.bottom - 1;
      ASSERT_EQ(state.BeginDrag(x, y), corner) << entry;
      // Inward by 30 along both axes, then further along x only.
      state.DragTo(x + (left ? 10 : -10), y + (top ? 30 : -30));
      state.DragTo(x + (left ? 40 : -40), y + (top ? 30 : -30));
      state.EndDrag(x + (left ? 40 : -40), y + (top ? 30 : -30));
      const ImageRect& crop = state.crop();
      SCOPED_TRACE(::testing::Message() << "entry " << entry << " corner " << corner);
      EXPECT_LT(crop.width(), start.width());
      EXPECT_TRUE(Inside(crop, state.picture()));
      EXPECT_NEAR(crop.width(), crop.height() * aspect, 1.0);
      EXPECT_LE(std::abs((crop.left + crop.right) - (start.left + start.right)), 2);
      EXPECT_LE(std::abs((crop.top + crop.bottom) - (start.top + start.bottom)), 2);
    }
  }
}

TEST(CropDrag, FixedRatioCornerNeverGoesBelowTwiceTheTolerance) {
  for (int entry = 1; entry < kCropRatioCount; ++entry) {
    CropState state = MakeState(entry);
    const ImageRect start = state.crop();
    Drag(state, start.left, start.top, 400, 400, 20);
    EXPECT_GE(state.crop().width(), 2 * kT) << entry;
    EXPECT_GE(state.crop().height(), 2 * kT) << entry;
    EXPECT_TRUE(Inside(state.crop(), state.picture())) << entry;
    // And outward again it grows back to the picture's edge without leaving it.
    const ImageRect small = state.crop();
    Drag(state, small.right - 1, small.bottom - 1, 500, 500, 10);
    EXPECT_TRUE(Inside(state.crop(), state.picture())) << entry;
    EXPECT_GT(state.crop().width(), small.width()) << entry;
  }
}

TEST(CropDrag, FreeCornerScalesWhileMovingAndMovesOnRelease) {
  CropState state = MakeState(0);
  state.SetCrop({150, 100, 350, 200});  // 2 : 1
  ASSERT_EQ(state.BeginDrag(349, 199), kDragBottomRight);
  state.DragTo(369, 209);  // dy = 10 is the smaller: dx wins, width + 40
  EXPECT_EQ(state.crop(), (ImageRect{130, 90, 370, 210}));
  EXPECT_FLOAT_EQ(state.aspect(), 2.0f);
  // The release's own displacement moves the corner freely.
  state.EndDrag(369, 229);
  EXPECT_EQ(state.crop(), (ImageRect{130, 90, 370, 230}));
  EXPECT_EQ(state.dragMode(), kDragNone);
}

TEST(CropDrag, RandomDragsNeverLeaveThePicture) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> coordinate(-100, 600);
  std::uniform_int_distribution<int> step(-60, 60);
  for (const auto& [w, h] : {std::pair{400, 300}, std::pair{7, 500}, std::pair{3, 2}}) {
    for (int entry = 0; entry < kCropRatioCount; ++entry) {
      CropState state;
      state.Layout(500, 520, w, h);
      state.SetRatio(entry);
      for (int drag = 0; drag < 60; ++drag) {
        // Start on the rectangle's edges or inside most of the time.
        const ImageRect& c = state.crop();
        const int picks[] = {c.left, c.right - 1, (c.left + c.right) / 2, coordinate(random)};
        const int pickY[] = {c.top, c.bottom - 1, (c.top + c.bottom) / 2, coordinate(random)};
        int x = picks[random() % 4], y = pickY[random() % 4];
        state.BeginDrag(x, y);
        for (int i = 0; i < 5; ++i) {
          x += step(random);
          y += step(random);
          state.DragTo(x, y);
          ASSERT_TRUE(Inside(state.crop(), state.picture())) << w << "x" << h << " entry " << entry;
        }
        state.EndDrag(x + step(random), y + step(random));
        ASSERT_TRUE(Inside(state.crop(), state.picture())) << w << "x" << h << " entry " << entry;
      }
    }
  }
}

TEST(CropSourceRect, UnscaledPictureMapsExactly) {
  CropState state;
  state.Layout(320, 320, 200, 100);  // P = (60, 110)-(260, 210)
  state.SetCrop({70, 120, 130, 200});
  EXPECT_EQ(state.SourceRect(200, 100), (ImageRect{10, 10, 70, 90}));
  state.SetRatio(0);
  EXPECT_EQ(state.SourceRect(200, 100), (ImageRect{0, 0, 200, 100}));
}

TEST(CropSourceRect, ScaledPicturesUseOneFactor) {
  CropState wide;
  wide.Layout(320, 320, 320, 240);  // a 640 x 480 source at half size
  wide.SetCrop({10, 50, 110, 250});
  EXPECT_EQ(wide.SourceRect(640, 480), (ImageRect{20, 20, 220, 420}));
  CropState tall;
  tall.Layout(320, 320, 240, 320);  // a 480 x 640 source
  tall.SetCrop({41, 1, 100, 320});
  EXPECT_EQ(tall.SourceRect(480, 640), (ImageRect{2, 2, 120, 640}));
}

TEST(CropSourceRect, ExtremePicturesStayInsideTheSource) {
  // A 60000 x 30 picture shows as a 520 x 1 line; its rows still map inside.
  CropState line;
  line.Layout(520, 520, 520, 1);
  EXPECT_EQ(line.SourceRect(60000, 30), (ImageRect{0, 0, 60000, 30}));
  CropState single;
  single.Layout(320, 320, 1, 1);
  EXPECT_EQ(single.SourceRect(1, 1), (ImageRect{0, 0, 1, 1}));
  // A rectangle narrower than the tolerance on a wide picture crops nothing.
  CropState narrow;
  narrow.Layout(320, 320, 300, 200);
  narrow.SetCrop({100, 100, 100 + kT - 1, 200});
  EXPECT_FALSE(narrow.SourceRect(300, 200).has_value());
  EXPECT_FALSE(narrow.SourceRect(0, 200).has_value());
}

TEST(CropTone, AppliesToEveryKindOfPicture) {
  std::array<std::uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i)
    table[std::size_t(i)] = std::uint8_t(255 - i);

  PackedImage colour = testing::MakePatternImage(5, 3, 24);
  PackedImage original = testing::MakePatternImage(5, 3, 24);
  ASSERT_TRUE(ApplyCropTone(colour, table));
  const RgbQuad before = testing::PixelAt(original.get(), 4, 2);
  const RgbQuad after = testing::PixelAt(colour.get(), 4, 2);
  EXPECT_EQ(after.red, 255 - before.red);
  EXPECT_EQ(after.green, 255 - before.green);
  EXPECT_EQ(after.blue, 255 - before.blue);

  PackedImage gray = testing::MakePatternImage(5, 3, 8, true);
  const std::uint32_t index = testing::RawPixelAt(gray.get(), 1, 1);
  ASSERT_TRUE(ApplyCropTone(gray, table));
  EXPECT_EQ(IsGrayImage(gray.get()), 1);
  EXPECT_EQ(testing::RawPixelAt(gray.get(), 1, 1), 255 - index);

  PackedImage indexed = testing::MakePatternImage(5, 3, 8);
  const RgbQuad entry = testing::PixelAt(indexed.get(), 2, 0);
  ASSERT_TRUE(ApplyCropTone(indexed, table));
  EXPECT_EQ(testing::PixelAt(indexed.get(), 2, 0).red, 255 - entry.red);

  PackedImage none;
  EXPECT_FALSE(ApplyCropTone(none, table));
}

}  // namespace
}  // namespace tx
