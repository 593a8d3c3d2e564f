#include <gtest/gtest.h>

#include <cstdlib>

#include "app/views/full_screen_state.h"

namespace tx {
namespace {

// An 800 x 600 screen with the control bar's 144 x 68 navigator area.
FullScreenState On800x600(int width, int height) {
  FullScreenState state(width, height, 800, 600);
  state.SetNavigatorSize(144, 68);
  return state;
}

TEST(FullScreenStateTest, SmallPictureStaysCentredUnderTheArrow) {
  FullScreenState state = On800x600(400, 300);
  EXPECT_EQ(state.CursorId(), kViewCursorArrow);
  EXPECT_EQ(state.PictureRect(), (ButtonRect{200, 150, 600, 450}));
  state.BeginDrag(100, 100);
  EXPECT_FALSE(state.DragTo(700, 500));
  EXPECT_EQ(state.offsetX(), 0);
  EXPECT_EQ(state.FrameRect(), state.ThumbnailRect());
  EXPECT_FALSE(state.NavigateTo(70, 30));
  // Exactly the screen's size is not larger either; a bad size refuses everything.
  EXPECT_EQ(On800x600(800, 600).CursorId(), kViewCursorArrow);
  FullScreenState bad = On800x600(0, 100);
  EXPECT_FALSE(bad.ZoomOut());
  EXPECT_TRUE(bad.ThumbnailRect().IsEmpty());
}

TEST(FullScreenStateTest, DraggingStopsAtHalfTheExcessOnEachAxis) {
  FullScreenState state = On800x600(1601, 1200);
  EXPECT_EQ(state.CursorId(), kViewCursorHand);
  // Far right and down: the picture's left and top edges reach the screen's.
  state.BeginDrag(100, 100);
  EXPECT_TRUE(state.DragTo(5000, 3000));
  EXPECT_EQ(state.offsetX(), -400);
  EXPECT_EQ(state.offsetY(), -300);
  EXPECT_EQ(state.PictureRect().left, 0);
  EXPECT_EQ(state.PictureRect().top, 0);
  // Coming back moves at once, without a dead zone.
  EXPECT_FALSE(state.DragTo(6000, 3000));
  EXPECT_TRUE(state.DragTo(5990, 3000));
  EXPECT_EQ(state.offsetX(), -390);
  EXPECT_TRUE(state.DragTo(-9000, 3000));
  EXPECT_EQ(state.offsetX(), 400);
  EXPECT_GE(state.PictureRect().right, 800);
  state.EndDrag();
  EXPECT_FALSE(state.DragTo(0, 0));

  // An axis on which the picture fits never moves.
  FullScreenState wide = On800x600(2000, 500);
  wide.BeginDrag(400, 300);
  EXPECT_TRUE(wide.DragTo(300, 500));
  EXPECT_EQ(wide.offsetX(), 100);
  EXPECT_EQ(wide.offsetY(), 0);
}

TEST(FullScreenStateTest, ZoomStepsRecentreAndStopAtBothEnds) {
  FullScreenState state = On800x600(1600, 1200);
  EXPECT_FALSE(state.ZoomIn());  // already at 100 percent
  state.BeginDrag(0, 0);
  state.DragTo(100, 50);
  state.EndDrag();
  // Three steps out give 25 percent, one step in then 33; each recentres.
  EXPECT_TRUE(state.ZoomOut());
  EXPECT_EQ(state.offsetX(), 0);
  EXPECT_EQ(state.CursorId(), kViewCursorArrow);  // 800 x 600 fills the screen exactly
  EXPECT_TRUE(state.ZoomOut());
  EXPECT_TRUE(state.ZoomOut());
  EXPECT_EQ(state.Percent(), 25);
  EXPECT_TRUE(state.ZoomIn());
  EXPECT_EQ(state.Percent(), 33);
  EXPECT_EQ(state.ScaledWidth(), 533);

  // Out stops while a pixel is left on the shorter side: 5 x 3 reaches 1/3, not 1/4.
  FullScreenState small = On800x600(5, 3);
  EXPECT_TRUE(small.ZoomOut());
  EXPECT_TRUE(small.ZoomOut());
  EXPECT_FALSE(small.ZoomOut());
  EXPECT_EQ(small.divisor(), 3);
  EXPECT_FALSE(On800x600(1, 1).ZoomOut());
  FullScreenState banner = On800x600(8000, 37);
  for (int i = 0; i < 1000 && banner.ZoomOut(); ++i) {
  }
  EXPECT_EQ(banner.divisor(), 37);
}

TEST(FullScreenStateTest, ControlBarStandsCentredOnTheBottomEdge) {
  EXPECT_EQ(ControlBarPlace(1024, 768, 400, 80), (ButtonRect{312, 688, 712, 768}));
  EXPECT_EQ(ControlBarPlace(801, 600, 400, 80), (ButtonRect{200, 520, 600, 600}));
}

TEST(FullScreenStateTest, NavigatorFrameAndClicks) {
  FullScreenState state = On800x600(1600, 1200);
  // 4:3 into 144 x 68: 90 x 68, centred; the middle half is shown at 100 percent.
  const ButtonRect thumb = state.ThumbnailRect();
  EXPECT_EQ(thumb, (ButtonRect{27, 0, 117, 68}));
  EXPECT_EQ(state.FrameRect(), (ButtonRect{27 + 22, 17, 27 + 67, 51}));
  // A third of the way across is picture x 533.
  EXPECT_TRUE(state.NavigateTo(thumb.left + 30, 34));
  EXPECT_EQ(state.offsetX(), 533 - 800);
  EXPECT_EQ(state.offsetY(), 0);
  // Where the part would reach past the picture's edge, or off the thumbnail: ignored.
  EXPECT_FALSE(state.NavigateTo(thumb.left + 2, 34));
  EXPECT_FALSE(state.NavigateTo(thumb.left + 45, 1));
  EXPECT_FALSE(state.NavigateTo(thumb.left - 1, 34));
  EXPECT_EQ(state.offsetX(), 533 - 800);

  // Every accepted position stays within the limits and frames the pointer.
  for (int x = thumb.left; x < thumb.right; ++x) {
    for (int y = thumb.top; y < thumb.bottom; y += 5) {
      if (!state.NavigateTo(x, y)) continue;
      EXPECT_LE(std::abs(state.offsetX()), state.LimitX());
      EXPECT_LE(std::abs(state.offsetY()), state.LimitY());
      const ButtonRect frame = state.FrameRect();
      EXPECT_TRUE(frame.left <= x && x <= frame.right && frame.top <= y && y <= frame.bottom)
          << x << "," << y;
    }
  }
  // A banner still gets a thumbnail and a frame at least a pixel thick.
  FullScreenState banner = On800x600(60000, 100);
  EXPECT_EQ(banner.ThumbnailRect().Height(), 1);
  EXPECT_GE(banner.FrameRect().Width(), 1);
}

}  // namespace
}  // namespace tx
