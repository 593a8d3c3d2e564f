// The cross-fade: its arithmetic against the rounded formula, its frame
// planning on a fake clock, and which state changes fade at all.

#include <gtest/gtest.h>

#include <cmath>

#include "app/buttons/cross_fade_p.h"
#include "tests/app/button_fake_host.h"

namespace tx::testing {
namespace {

// The blend written out from its definition, independently of the tables.
int Blend(int newByte, int oldByte, int frame, int frames) {
  const int p = 100 * frame / frames;
  return int((std::lround(newByte * p * 0.64) + std::lround(oldByte * (100 - p) * 0.64)) >> 6);
}

TEST(FadeTablesTest, TablesAndBlendFollowTheRoundedFormula) {
  const int plans[][2] = {{0, 200}, {1, 200}, {10, 200}, {11, 40}, {27, 40}, {40, 40}, {3, 7}};
  for (const auto& plan : plans) {
    const FadeTables t = MakeFadeTables(plan[0], plan[1]);
    const int p = 100 * plan[0] / plan[1];
    for (int v = 0; v < 256; ++v) {
      ASSERT_EQ(t.newPart[v], std::lround(v * p * 0.64)) << v << " at " << p;
      ASSERT_EQ(t.oldPart[v], std::lround(v * (100 - p) * 0.64)) << v << " at " << p;
    }
    std::uint8_t newBytes[256], oldBytes[256], out[256];
    for (int i = 0; i < 256; ++i) {
      newBytes[i] = std::uint8_t(i);
      oldBytes[i] = std::uint8_t(255 - i);
    }
    BlendBytes(t, newBytes, oldBytes, out, 256);
    for (int i = 0; i < 256; ++i)
      ASSERT_EQ(out[i], Blend(i, 255 - i, plan[0], plan[1]));
  }
  // Equal bytes stay themselves at every step: the fade never flickers.
  for (int p = 0; p <= 100; ++p) {
    const FadeTables t = MakeFadeTables(p, 100);
    for (int v = 0; v < 256; ++v) {
      const std::uint8_t b = std::uint8_t(v);
      std::uint8_t out = 0;
      BlendBytes(t, &b, &b, &out, 1);
      ASSERT_EQ(out, v) << "p " << p;
    }
  }
}

TEST(FadePlanTest, ReplansAfterTenFramesFromTheirTime) {
  struct Case {
    std::int64_t tenFramesMs;
    int frames;
    int resumeAt;
  } cases[] = {
      {50, 40, 10},   // 5 ms a frame: 40 frames, 200 ms in all
      {3, 200, 10},   // faster than the floor of 10 ms: counted as 10
      {100, 20, 10},  // slow: fewer frames
      {4000, 1, 20},  // very slow: the plan ends at once
  };
  for (const Case& c : cases) {
    FadePlan plan(0);
    int frame = 0;
    int frames = 0;
    for (int k = 1; k < kFadeMeasuredFrames; ++k) {
      plan.Step(k, frame, frames);
      EXPECT_EQ(frame, k);
      EXPECT_EQ(frames, kFadePlannedFrames);
    }
    plan.Step(c.tenFramesMs, frame, frames);
    EXPECT_EQ(frame, kFadeMeasuredFrames) << "the tenth frame is drawn as planned";
    EXPECT_EQ(plan.frames(), c.frames) << c.tenFramesMs;
    EXPECT_EQ(plan.frame(), c.resumeAt) << c.tenFramesMs;
    EXPECT_EQ(plan.Done(), c.resumeAt >= c.frames);
  }
}

class ButtonFadeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.AddButton(0, 10, 10, 5, 3, 24);  // 0
    skin.AddButton(0, 20, 10, 5, 3, 24);  // 1
    skin.AddButton(0, 30, 10, 5, 3, 8);   // 2: gray pictures switch at once
    skin.AddButton(0, 40, 10, 5, 3, 24);  // 3: choice group 8 never fades
    skin.AddButton(0, 50, 10, 5, 3, 24);  // 4: choice group 5: no highlight fade
    records = {Rec(kButtonPush), Rec(kButtonPush), Rec(kButtonPush), Rec(kButtonPush, 0, 8),
               Rec(kButtonPush, 0, 5)};
    group = std::make_unique<ButtonGroup>(host, 0, ButtonRect{}, skin.Write(), records,
                                          ButtonGroupOptions{});
    ASSERT_TRUE(group->valid());
  }

  // Checks every pixel byte the record shows against the blend of its
  // pictures `from` and `to` at frame/frames.
  void ExpectFrame(int index, int from, int to, int frame, int frames) {
    const GlobalHandle shown = ShownPicture(*group, index);
    ASSERT_NE(shown, records[std::size_t(index)].pictures[std::size_t(to)]);
    ImageLock work(shown);
    ImageLock a(records[std::size_t(index)].pictures[std::size_t(to)]);
    ImageLock b(records[std::size_t(index)].pictures[std::size_t(from)]);
    ASSERT_TRUE(work && a && b);
    for (int y = 0; y < work.height(); ++y) {
      for (int x = 0; x < 3 * work.width(); ++x) {
        ASSERT_EQ(work.row(y)[x], Blend(a.row(y)[x], b.row(y)[x], frame, frames))
            << "byte " << x << " row " << y << " frame " << frame << "/" << frames;
      }
    }
  }

  FakeHost host;
  TestSkin skin;
  std::vector<ButtonRecord> records;
  std::unique_ptr<ButtonGroup> group;
};

TEST_F(ButtonFadeTest, PointerChangeFadesFrameByFrameAndReplans) {
  group->OnMouse(MouseMessage::Move, 11, 11);
  EXPECT_EQ(records[0].drawnState, kStateNormal) << "the new state counts once the fade ends";
  EXPECT_EQ(host.Interval(*group, kTimerFade), kFadeFrameMs);
  EXPECT_TRUE(group->IsBusy());
  host.Advance(5);
  ExpectFrame(0, 0, 1, 1, 200);
  host.Advance(5);
  ExpectFrame(0, 0, 1, 2, 200);
  host.Advance(40);  // frame 10 at 50 ms: 40 frames in all, going on from frame 10
  ExpectFrame(0, 0, 1, 10, 200);
  host.Advance(5);
  ExpectFrame(0, 0, 1, 11, 40);
  host.Advance(5);
  ExpectFrame(0, 0, 1, 12, 40);
  host.Advance(135);
  EXPECT_EQ(records[0].drawnState, kStateNormal);
  host.Advance(5);  // 200 ms: done
  EXPECT_EQ(records[0].drawnState, kStateHighlighted);
  EXPECT_EQ(ShownPicture(*group, 0), records[0].pictures[1]);
  EXPECT_FALSE(host.Running(*group, kTimerFade));
  EXPECT_FALSE(group->IsBusy());
}

TEST_F(ButtonFadeTest, SeveralButtonsFadeAtOnceAndAFadeCanTurnBack) {
  group->OnMouse(MouseMessage::Move, 11, 11);
  host.Advance(20);
  group->OnMouse(MouseMessage::Move, 21, 11);  // 0 fades back from its frame, 1 fades in
  host.Advance(5);
  EXPECT_NE(ShownPicture(*group, 0), records[0].pictures[0]);
  EXPECT_NE(ShownPicture(*group, 1), records[1].pictures[1]);
  host.Advance(300);
  EXPECT_EQ(records[0].drawnState, kStateNormal);
  EXPECT_EQ(records[1].drawnState, kStateHighlighted);
  EXPECT_EQ(ShownPicture(*group, 0), records[0].pictures[0]);
  EXPECT_FALSE(host.Running(*group, kTimerFade));
}

TEST_F(ButtonFadeTest, SomeChangesSwitchAtOnce) {
  // Gray pictures, choice group 8, a highlight in group 5, and a handler's change.
  group->OnMouse(MouseMessage::Move, 31, 11);
  EXPECT_EQ(records[2].drawnState, kStateHighlighted);
  group->OnMouse(MouseMessage::Move, 41, 11);
  EXPECT_EQ(records[3].drawnState, kStateHighlighted);
  group->OnMouse(MouseMessage::LeftDown, 41, 11);
  EXPECT_EQ(records[3].drawnState, kStatePressed);
  group->OnMouse(MouseMessage::LeftUp, 41, 11);
  group->OnMouse(MouseMessage::Move, 51, 11);
  EXPECT_EQ(records[4].drawnState, kStateHighlighted);
  EXPECT_FALSE(host.Running(*group, kTimerFade));
  group->OnMouse(MouseMessage::LeftDown, 51, 11);
  EXPECT_TRUE(host.Running(*group, kTimerFade)) << "group 5 fades its press";
  group->SetButtonState(1, kStatePressed);
  EXPECT_EQ(records[1].drawnState, kStatePressed);
  // A handler's change during a fade ends that fade at once.
  group->SetButtonState(4, kStateNormal);
  EXPECT_EQ(records[4].drawnState, kStateNormal);
  EXPECT_EQ(ShownPicture(*group, 4), records[4].pictures[0]);
}

}  // namespace
}  // namespace tx::testing
