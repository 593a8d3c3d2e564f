// Sliders: their range, the spin buttons that step them, and dragging the
// thumb along the track.

#include <gtest/gtest.h>

#include "app/buttons/slider_p.h"
#include "tests/app/button_fake_host.h"

namespace tx::testing {
namespace {

TEST(SliderTest, RangeComesFromTheLinkedRecord) {
  std::vector<ButtonRecord> records = {Rec(kButtonSliderTrack), Rec(kButtonSliderRange)};
  records[0].rect = {0, 0, 110, 10};
  records[0].link = 1;
  records[1].argument = MakeArg(30, 60);
  Slider s = MakeSlider(records, 0);
  EXPECT_EQ(s.range, 1);
  EXPECT_EQ(s.maximum, 60);
  EXPECT_EQ(s.value, 30);
  records[1].argument = MakeArg(90, 60);  // a start beyond the range is held to it
  EXPECT_EQ(MakeSlider(records, 0).value, 60);
  records[1].argument = MakeArg(7, 0);  // no range: 100, starting at 50
  s = MakeSlider(records, 0);
  EXPECT_EQ(s.maximum, 100);
  EXPECT_EQ(s.value, 50);
  records[0].link = 9;  // a link to no record
  s = MakeSlider(records, 0);
  EXPECT_EQ(s.range, -1);
  EXPECT_EQ(s.maximum, 100);
  EXPECT_EQ(GrownTrack(records[0].rect), (ButtonRect{-55, -50, 165, 60}));
}

class ButtonSliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.AddButton(0, 100, 100, 210, 10, 8, skin::kKindSliderTrack, 1);  // 0: track
    skin.AddButton(0, 100, 95, 10, 20, 8, skin::kKindSliderThumb);       // 1: thumb, range
    skin.AddButton(0, 50, 95, 20, 20);                                   // 2: spin -1
    skin.AddButton(0, 320, 95, 20, 20);                                  // 3: spin +1
    skin.AddButton(0, 400, 95, 20, 20);                                  // 4: spin without slider
    records = {Rec(kButtonPush), Rec(kButtonPush), Rec(kButtonSpin, MakeArg(0, -1)),
               Rec(kButtonSpin, MakeArg(0, 1)), Rec(kButtonSpin, MakeArg(0, 1))};
    for (auto& r : records) {
      r.command = "crop";
      r.handler = Logger(calls);
    }
    records[4].command = "other";
    group = std::make_unique<ButtonGroup>(host, 0, ButtonRect{}, skin.Write(), records,
                                          ButtonGroupOptions{});
    ASSERT_TRUE(group->valid());
    ASSERT_EQ(group->sliders().size(), 1u);
  }
  int Value() const { return group->sliders()[0].value; }
  void Click(int x, int y) {
    group->OnMouse(MouseMessage::LeftDown, x, y);
    group->OnMouse(MouseMessage::LeftUp, x, y);
  }
  ButtonRect ThumbShown() const {
    for (const DrawItem& item : group->DrawItems()) {
      if (item.index == 1) return item.rect;
    }
    return {};
  }

  FakeHost host;
  TestSkin skin;
  std::vector<ButtonRecord> records;
  std::vector<LoggedCall> calls;
  std::unique_ptr<ButtonGroup> group;
};

TEST_F(ButtonSliderTest, ThumbStandsAtTheValue) {
  EXPECT_EQ(Value(), 50);
  EXPECT_EQ(group->sliders()[0].trackRect, (ButtonRect{100, 100, 310, 110}));
  // 200 px of travel for 100 steps.
  EXPECT_EQ(ThumbShown(), (ButtonRect{200, 95, 210, 115}));
  group->SetSliderValue(0, 500);
  EXPECT_EQ(Value(), 100);
  EXPECT_EQ(ThumbShown(), (ButtonRect{300, 95, 310, 115}));
  EXPECT_TRUE(calls.empty()) << "setting a value calls no handler";
  // The thumb answers where it stands now.
  EXPECT_EQ(group->HitTest(305, 96), 1);
  EXPECT_EQ(group->HitTest(105, 96), -1);
}

TEST_F(ButtonSliderTest, SpinButtonsStepTheValueAndReportIt) {
  Click(330, 100);
  EXPECT_EQ(Value(), 51);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].argument, MakeArg(0, 51));
  Click(60, 100);
  Click(60, 100);
  EXPECT_EQ(Value(), 49);
  EXPECT_EQ(calls.back().argument, MakeArg(0, 49));
  EXPECT_EQ(host.sounds, 0) << "slider parts make no click";
  // Held: it repeats, and stops at the end of the range.
  group->SetSliderValue(0, 97);
  calls.clear();
  group->OnMouse(MouseMessage::LeftDown, 330, 100);
  host.Advance(1000);
  group->OnMouse(MouseMessage::LeftUp, 330, 100);
  EXPECT_EQ(calls.size(), 8u);
  EXPECT_EQ(Value(), 100);
  EXPECT_EQ(calls.back().argument, MakeArg(0, 100));
}

TEST_F(ButtonSliderTest, SpinWithoutItsSliderShowsTheScrollBarError) {
  Click(410, 100);
  EXPECT_EQ(host.messages, std::vector<int>{kStrScrollBarError});
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(Value(), 50);
}

TEST_F(ButtonSliderTest, ThumbDragFollowsNearTheTrackAndCancelsFarAway) {
  // Pressing the track puts the thumb's centre under the pointer.
  group->OnMouse(MouseMessage::LeftDown, 150, 105);
  EXPECT_EQ(Value(), 23);
  EXPECT_EQ(ShownPicture(*group, 1), records[1].pictures[2]);
  group->OnMouse(MouseMessage::Move, 255, 105);
  EXPECT_EQ(Value(), 75);
  group->OnMouse(MouseMessage::LeftUp, 255, 105);
  EXPECT_EQ(Value(), 75);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].argument, MakeArg(0, 75));
  EXPECT_EQ(ShownPicture(*group, 1), records[1].pictures[0]);

  // Released far below: the thumb goes back and nothing is called.
  group->OnMouse(MouseMessage::LeftDown, 150, 105);
  group->OnMouse(MouseMessage::Move, 150, 300);
  EXPECT_EQ(Value(), 75);
  group->OnMouse(MouseMessage::LeftUp, 150, 300);
  EXPECT_EQ(Value(), 75);
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_FALSE(host.capture);

  // Released off the track but within its 50 px margin: the thumb follows.
  group->OnMouse(MouseMessage::LeftDown, 150, 105);
  group->OnMouse(MouseMessage::LeftUp, 358, 159);
  EXPECT_EQ(Value(), 100);
  EXPECT_EQ(calls.size(), 2u);
  group->OnMouse(MouseMessage::LeftDown, 150, 105);
  group->OnMouse(MouseMessage::LeftUp, 150, 160);
  EXPECT_EQ(Value(), 100) << "the margin's bottom edge is outside";
  EXPECT_EQ(calls.size(), 2u);
}

}  // namespace
}  // namespace tx::testing
