#include "rastio/orientation.h"

#include <gtest/gtest.h>

#include "tests/support/test_images.h"

namespace tx::rastio {
namespace {

using tx::testing::MakePatternImage;
using tx::testing::RawPixelAt;

// Where the stored pixel (sx, sy) of a w x h picture shows after turning it
// upright, written out independently of the implementation: each orientation
// as the camera records it (the 0th row and 0th column of the stored picture).
struct Placement {
  int x, y;
};
Placement Upright(int orientation, int sx, int sy, int w, int h) {
  switch (orientation) {
    case 2:
      return {w - 1 - sx, sy};  // mirrored left to right
    case 3:
      return {w - 1 - sx, h - 1 - sy};  // upside down
    case 4:
      return {sx, h - 1 - sy};  // mirrored top to bottom
    case 5:
      return {sy, sx};  // mirrored along the main diagonal
    case 6:
      return {h - 1 - sy, sx};  // needs a quarter turn clockwise
    case 7:
      return {h - 1 - sy, w - 1 - sx};  // mirrored along the other diagonal
    case 8:
      return {sy, w - 1 - sx};  // needs a quarter turn anticlockwise
    default:
      return {sx, sy};
  }
}

class OrientationTest : public ::testing::TestWithParam<int> {};

TEST_P(OrientationTest, EveryOrientationAtEveryDepth) {
  int orientation = GetParam();
  for (int bits : {1, 4, 8, 24}) {
    const int w = 5, h = 3;
    PackedImage source = MakePatternImage(w, h, bits);
    PackedImage upright(ApplyOrientation(source.get(), orientation));
    ASSERT_TRUE(upright) << bits;
    ImageLock lock(upright.get());
    bool swaps = orientation >= 5;
    EXPECT_EQ(lock.width(), swaps ? h : w);
    EXPECT_EQ(lock.height(), swaps ? w : h);
    for (int sy = 0; sy < h; ++sy) {
      for (int sx = 0; sx < w; ++sx) {
        Placement p = Upright(orientation, sx, sy, w, h);
        ASSERT_EQ(RawPixelAt(upright.get(), p.x, p.y), RawPixelAt(source.get(), sx, sy))
            << "orientation " << orientation << " bits " << bits << " at " << sx << "," << sy;
      }
    }
    if (bits <= 8) {
      ImageLock from(source.get());
      EXPECT_EQ(lock.palette()[1].red, from.palette()[1].red) << "colour table kept";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Orientation, OrientationTest, ::testing::Range(2, 9));

TEST(Orientation, NothingToDoOrNothingToTurn) {
  PackedImage image = MakePatternImage(2, 2, 24);
  EXPECT_EQ(ApplyOrientation(image.get(), 1), nullptr);
  EXPECT_EQ(ApplyOrientation(image.get(), 9), nullptr);
  EXPECT_EQ(ApplyOrientation(nullptr, 6), nullptr);
}

}  // namespace
}  // namespace tx::rastio
