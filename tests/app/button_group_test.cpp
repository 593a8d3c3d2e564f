// A button group on a fake window: loading a screen, hit-testing, states,
// choices and toggles, the mouse, auto-repeat and tool tips.

#include <gtest/gtest.h>

#include "tests/app/button_fake_host.h"

namespace tx::testing {
namespace {

// A screen of 8-bit buttons (they switch states at once, without a fade).
class ButtonGroupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.AddButton(0, 10, 10, 40, 20);   // 0: push button
    skin.AddButton(0, 60, 10, 40, 20);   // 1: arrow
    skin.AddButton(0, 110, 10, 40, 20);  // 2: choice A of group 3
    skin.AddButton(0, 160, 10, 40, 20);  // 3: choice B of group 3
    skin.AddButton(0, 210, 10, 40, 20);  // 4: toggle (group 4)
    skinPath = skin.Write();
    host.texts[700] = "Push me";
    records = {Rec(kButtonPush, 7), Rec(kButtonArrow, 1), Rec(kButtonPush, 1, 3, 1),
               Rec(kButtonPush, 2, 3, 0), Rec(kButtonPush, 0, 4, 0)};
    records[0].tipId = 700;
    for (auto& r : records)
      r.handler = Logger(calls);
  }
  std::unique_ptr<ButtonGroup> Make(ButtonGroupOptions options = {}) {
    return std::make_unique<ButtonGroup>(host, 0, ButtonRect{}, skinPath, records, options);
  }
  void Click(ButtonGroup& g, int x, int y) {
    g.OnMouse(MouseMessage::Move, x, y);
    g.OnMouse(MouseMessage::LeftDown, x, y);
    g.OnMouse(MouseMessage::LeftUp, x, y);
  }

  FakeHost host;
  TestSkin skin;
  std::filesystem::path skinPath;
  std::vector<ButtonRecord> records;
  std::vector<LoggedCall> calls;
};

TEST_F(ButtonGroupTest, LoadingPlacesRecordsAndSizesTheWindow) {
  auto g = Make();
  ASSERT_TRUE(g->valid());
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.resizedW, 800);
  EXPECT_EQ(host.resizedH, 600);
  ASSERT_FALSE(host.invalidated.empty());
  EXPECT_EQ(host.invalidated.front(), (ButtonRect{0, 0, 800, 600}));
  EXPECT_EQ(records[1].rect, (ButtonRect{60, 10, 100, 30}));
  for (const auto& r : records)
    EXPECT_NE(r.pictures[2], nullptr);
  // The choice that is on starts with its "on" look.
  EXPECT_EQ(records[2].drawnState, kStatePressed);
  EXPECT_EQ(records[3].drawnState, kStateNormal);
  EXPECT_EQ(g->hot(), -1);
  EXPECT_EQ(ShownPicture(*g, 2), records[2].pictures[2]);
}

TEST_F(ButtonGroupTest, SubPanelOffsetsSkinAndTableRectanglesOnceAcrossReloads) {
  records.push_back(Rec(kButtonArea));
  records.back().rect = {1, 2, 30, 40};
  records.back().controlId = 100;
  ButtonGroupOptions options;
  options.isMain = false;
  for (int load = 0; load < 2; ++load) {
    ButtonGroup g(host, 0, ButtonRect{100, 200, 0, 0}, skinPath, records, options);
    ASSERT_TRUE(g.valid());
    EXPECT_EQ(host.resizedW, -1) << "only the main panel resizes the window";
    EXPECT_EQ(g.panel(), (ButtonRect{100, 200, 900, 800}));
    EXPECT_EQ(records[0].rect, (ButtonRect{110, 210, 150, 230}));
    EXPECT_EQ(g.GetButtonRect(100), (ButtonRect{101, 202, 130, 240}));
  }
  // Gone with the group: pictures, and rectangles back as the table gave them.
  EXPECT_EQ(records[0].rect, ButtonRect{});
  EXPECT_EQ(records[5].rect, (ButtonRect{1, 2, 30, 40}));
  EXPECT_EQ(records[0].pictures[0], nullptr);
}

TEST_F(ButtonGroupTest, SkinKindsMakeSliderPartsAndShortGroupsLackPositions) {
  TestSkin s;
  s.AddButton(0, 10, 100, 200, 10, 8, skin::kKindSliderTrack, 1);
  s.AddButton(0, 10, 95, 10, 20, 8, skin::kKindSliderThumb, 7);
  s.AddLoneEntry(0, 8, 8);  // a fourth button of one entry: normal picture only
  std::vector<ButtonRecord> recs = {Rec(kButtonPush), Rec(kButtonPush), Rec(kButtonPush),
                                    Rec(kButtonPush)};
  ButtonGroup g(host, 0, ButtonRect{}, s.Write(), recs, {});
  ASSERT_TRUE(g.valid());
  EXPECT_EQ(recs[0].type, kButtonSliderTrack);
  EXPECT_EQ(recs[0].link, 1);
  EXPECT_EQ(recs[1].type, kButtonSliderRange);
  EXPECT_EQ(recs[1].link, -1);
  EXPECT_NE(recs[2].pictures[0], nullptr);
  EXPECT_EQ(recs[2].pictures[1], nullptr);
  EXPECT_EQ(recs[2].rect, ButtonRect{});
  // A record beyond the skin's buttons gets nothing.
  EXPECT_EQ(recs[3].pictures[0], nullptr);
  ASSERT_EQ(g.sliders().size(), 1u);
  EXPECT_EQ(g.sliders()[0].range, 1);
}

TEST_F(ButtonGroupTest, MissingOrDamagedFilesLeaveAnEmptyGroupThatIgnoresTheMouse) {
  std::filesystem::remove(skin.folder() / "screen0.800");
  {
    auto g = Make();
    EXPECT_FALSE(g->valid());
    EXPECT_EQ(host.messages, std::vector<int>{kStrCannotOpenComponent});
  }
  skin.WriteBackground("screen0.800", 800, 600);
  skin.WriteBytes("button.800", {'N', 'O', 'P', 'E', 0, 0, 0, 0});
  host.messages.clear();
  auto g = Make();
  EXPECT_FALSE(g->valid());
  EXPECT_EQ(host.messages, std::vector<int>{kStrCannotOpenSkin});
  EXPECT_EQ(g->Background(), nullptr);
  EXPECT_TRUE(g->DrawItems().empty());
  EXPECT_EQ(records[0].pictures[0], nullptr);
  EXPECT_FALSE(g->OnMouse(MouseMessage::LeftDown, 20, 15));
  EXPECT_FALSE(g->OnMouse(MouseMessage::LeftUp, 20, 15));
  EXPECT_FALSE(g->OnTimer(kTimerAutoRepeat));
  EXPECT_FALSE(host.capture);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(host.timers.empty());
}

TEST_F(ButtonGroupTest, HitTestingEdgesOverlapsAndSkippedRecords) {
  records.push_back(Rec(kButtonArea));  // 5: area without handler over button 0
  records[5].rect = {0, 0, 60, 40};
  records[5].controlId = 100;
  records.push_back(Rec(kButtonPush));  // 6: overlaps button 1, later in the table
  records[6].rect = {70, 15, 120, 25};
  records.push_back(Rec(kButtonSliderRange));  // 7: a thumb, earlier than record 9
  records[7].rect = {295, 30, 340, 60};
  records.push_back(Rec(kButtonPush, 0, 0, kOnSkippable));  // 8: skippable
  records[8].rect = {300, 0, 320, 20};
  records.push_back(Rec(kButtonPush));  // 9: over the thumb
  records[9].rect = {310, 40, 330, 50};
  auto g = Make();
  // Right and bottom edges are outside.
  EXPECT_EQ(g->HitTest(10, 10), 0);
  EXPECT_EQ(g->HitTest(49, 29), 0);
  EXPECT_EQ(g->HitTest(50, 15), -1);
  EXPECT_EQ(g->HitTest(20, 30), -1);
  // The earlier record wins an overlap; a thumb only when nothing else is there.
  EXPECT_EQ(g->HitTest(80, 20), 1);
  EXPECT_EQ(g->HitTest(105, 20), 6);
  EXPECT_EQ(g->HitTest(320, 45), 9);
  EXPECT_EQ(g->HitTest(298, 35), 7);
  EXPECT_EQ(g->HitTest(310, 10), -1);
  // An area without a handler takes no clicks but is found as an area.
  EXPECT_EQ(g->HitTestArea(5, 35), 5);
  EXPECT_EQ(g->HitTest(5, 35), -1);
  records[5].handler = Logger(calls);
  EXPECT_EQ(g->HitTest(5, 35), 5);
  EXPECT_EQ(g->FindButton(100), 5);
  EXPECT_EQ(g->FindButton(-1), -1);
  EXPECT_EQ(g->GetButtonRect(999), ButtonRect{});
}

TEST_F(ButtonGroupTest, PointerDrivesStatesCaptureTimersAndTheHandler) {
  auto g = Make();
  EXPECT_TRUE(g->OnMouse(MouseMessage::Move, 20, 15));
  EXPECT_EQ(g->hot(), 0);
  EXPECT_EQ(records[0].drawnState, kStateHighlighted);
  EXPECT_EQ(host.status.back(), "Push me");
  EXPECT_EQ(host.Interval(*g, kTimerToolTip), kToolTipDelayMs);

  EXPECT_TRUE(g->OnMouse(MouseMessage::LeftDown, 20, 15));
  EXPECT_EQ(records[0].drawnState, kStatePressed);
  EXPECT_EQ(g->pressed(), 0);
  EXPECT_TRUE(host.capture);
  EXPECT_EQ(host.sounds, 1);
  EXPECT_EQ(host.status.back(), "");
  EXPECT_EQ(host.Interval(*g, kTimerAutoRepeat), kAutoRepeatMs);
  EXPECT_FALSE(host.Running(*g, kTimerToolTip));
  EXPECT_TRUE(g->IsBusy());

  // Off the pressed button and back: normal, then pressed again.
  g->OnMouse(MouseMessage::Move, 300, 300);
  EXPECT_EQ(records[0].drawnState, kStateNormal);
  EXPECT_EQ(g->hot(), -1);
  g->OnMouse(MouseMessage::Move, 21, 16);
  EXPECT_EQ(records[0].drawnState, kStatePressed);

  EXPECT_TRUE(g->OnMouse(MouseMessage::LeftUp, 21, 16));
  EXPECT_FALSE(host.capture);
  EXPECT_FALSE(host.Running(*g, kTimerAutoRepeat));
  EXPECT_EQ(records[0].drawnState, kStateHighlighted);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].argument, 7);
  EXPECT_EQ(calls[0].extra, (16 << 16) | 21);
  EXPECT_FALSE(calls[0].hasRow);

  g->OnMouse(MouseMessage::Move, 300, 300);
  EXPECT_EQ(records[0].drawnState, kStateNormal);
  EXPECT_FALSE(host.Running(*g, kTimerToolTip));
}

TEST_F(ButtonGroupTest, ReleaseElsewhereCallsNothingAndSoundFollowsTheOption) {
  ButtonGroupOptions quiet;
  quiet.clickSound = false;
  auto g = Make(quiet);
  g->OnMouse(MouseMessage::LeftDown, 20, 15);
  EXPECT_EQ(host.sounds, 0);
  g->OnMouse(MouseMessage::Move, 70, 15);
  EXPECT_EQ(g->OnMouse(MouseMessage::LeftUp, 70, 15), true);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(records[0].drawnState, kStateNormal);
  EXPECT_EQ(records[1].drawnState, kStateHighlighted);
  EXPECT_FALSE(host.capture);
  // Nothing under the pointer: the press is not taken.
  EXPECT_FALSE(g->OnMouse(MouseMessage::LeftDown, 500, 500));
  EXPECT_FALSE(host.capture);
}

TEST_F(ButtonGroupTest, ChoicesTurnOnOneAndRefusalsBeep) {
  records[3].controlId = 33;
  records.push_back(Rec(kButtonPush));  // 5: companion of choice B
  records[5].rect = {400, 400, 420, 420};
  records[5].controlId = 901;
  records[3].tipId = 901;
  auto g = Make();
  // An "on" choice is not highlighted.
  g->OnMouse(MouseMessage::Move, 120, 15);
  EXPECT_EQ(records[2].drawnState, kStatePressed);
  // Moving over B highlights its companion too.
  g->OnMouse(MouseMessage::Move, 170, 15);
  EXPECT_EQ(records[5].drawnState, kStateHighlighted);

  g->OnMouse(MouseMessage::LeftDown, 170, 15);
  g->OnMouse(MouseMessage::LeftUp, 170, 15);
  EXPECT_EQ(records[2].on, 0);
  EXPECT_EQ(records[3].on, 1);
  EXPECT_EQ(records[2].drawnState, kStateNormal);
  EXPECT_EQ(records[3].drawnState, kStatePressed);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].argument, 2);
  g->OnMouse(MouseMessage::Move, 500, 500);
  EXPECT_EQ(records[3].drawnState, kStatePressed) << "on stays on when the pointer leaves";

  // Handlers set choices directly: the last turned off is returned.
  EXPECT_EQ(g->SetChoice(3, 1), 3);
  EXPECT_EQ(g->SetChoice(3, 1), -1);
  EXPECT_EQ(records[2].drawnState, kStatePressed);

  // A refused choice beeps, changes nothing and calls no handler.
  host.refusedChoices.insert({3, 2});
  EXPECT_EQ(g->SetChoice(3, 2), -2);
  EXPECT_EQ(host.beeps, 1);
  Click(*g, 170, 15);
  EXPECT_EQ(host.beeps, 2);
  EXPECT_EQ(records[3].on, 0);
  EXPECT_EQ(records[2].on, 1);
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_EQ(records[3].drawnState, kStateHighlighted);
}

TEST_F(ButtonGroupTest, PlainMarkedChoicesAndTogglesKeepTheirMarks) {
  records[3].on = kOnPlainChoice;
  auto g = Make();
  Click(*g, 170, 15);
  EXPECT_EQ(records[3].on, kOnPlainChoice);
  EXPECT_EQ(records[2].on, 1) << "a plain-marked click turns no choice";
  EXPECT_EQ(records[3].drawnState, kStateHighlighted);
  EXPECT_EQ(calls.size(), 1u);
  // A choice that turns its group off never overwrites a plain mark.
  EXPECT_EQ(g->SetChoice(3, 5), 2);
  EXPECT_EQ(records[3].on, kOnPlainChoice);

  g->Toggle(4, -1);
  EXPECT_EQ(records[4].on, 1);
  EXPECT_EQ(records[4].drawnState, kStatePressed);
  g->Toggle(4, -1);
  EXPECT_EQ(records[4].on, 0);
  EXPECT_EQ(records[4].drawnState, kStateNormal);
  g->Toggle(4, 1);
  g->Toggle(4, 1);
  EXPECT_EQ(records[4].on, 1);
  g->Toggle(99, -1);  // outside the table: nothing
}

TEST_F(ButtonGroupTest, AutoRepeatAfterThreeTicksOnlyForArrowsOnThePointer) {
  auto g = Make();
  // Short press: one call, on release.
  g->OnMouse(MouseMessage::LeftDown, 70, 15);
  host.Advance(350);
  EXPECT_TRUE(calls.empty());
  g->OnMouse(MouseMessage::LeftUp, 70, 15);
  EXPECT_EQ(calls.size(), 1u);

  // Long press: ticks at 100..1000 ms, calls from the fourth tick on, then the release.
  calls.clear();
  g->OnMouse(MouseMessage::LeftDown, 70, 15);
  host.Advance(399);
  EXPECT_TRUE(calls.empty());
  host.Advance(1);
  EXPECT_EQ(calls.size(), 1u);
  host.Advance(600);
  EXPECT_EQ(calls.size(), 7u);
  // Off the button the repeat pauses.
  g->OnMouse(MouseMessage::Move, 500, 500);
  host.Advance(300);
  EXPECT_EQ(calls.size(), 7u);
  g->OnMouse(MouseMessage::Move, 70, 15);
  host.Advance(100);
  EXPECT_EQ(calls.size(), 8u);
  g->OnMouse(MouseMessage::LeftUp, 70, 15);
  EXPECT_EQ(calls.size(), 9u);
  EXPECT_FALSE(host.Running(*g, kTimerAutoRepeat));

  // A push button held long is called once.
  calls.clear();
  g->OnMouse(MouseMessage::LeftDown, 20, 15);
  host.Advance(1000);
  g->OnMouse(MouseMessage::LeftUp, 20, 15);
  EXPECT_EQ(calls.size(), 1u);
}

TEST_F(ButtonGroupTest, ToolTipAfterOneSecondWithItsBlanks) {
  auto g = Make();
  g->OnMouse(MouseMessage::Move, 20, 15);
  host.Advance(999);
  EXPECT_FALSE(host.TipShowing());
  host.Advance(1);
  ASSERT_TRUE(host.TipShowing());
  EXPECT_EQ(host.tips.back().text, "  Push me ");
  EXPECT_EQ(host.tips.back().x, 20);
  EXPECT_EQ(host.tips.back().y, 15);
  EXPECT_FALSE(host.Running(*g, kTimerToolTip)) << "one tip per visit";
  // A press closes it.
  g->OnMouse(MouseMessage::LeftDown, 20, 15);
  EXPECT_FALSE(host.TipShowing());
  g->OnMouse(MouseMessage::LeftUp, 20, 15);

  // A button without text, and a group with tool tips off, show none.
  host.tips.clear();
  g->OnMouse(MouseMessage::Move, 70, 15);
  host.Advance(2000);
  EXPECT_FALSE(host.TipShowing());
  g.reset();
  ButtonGroupOptions noTips;
  noTips.toolTips = false;
  g = Make(noTips);
  g->OnMouse(MouseMessage::Move, 20, 15);
  host.Advance(2000);
  EXPECT_FALSE(host.TipShowing());
}

TEST_F(ButtonGroupTest, DestroyingReleasesCaptureTipAndTimers) {
  auto g = Make();
  g->OnMouse(MouseMessage::LeftDown, 70, 15);
  g->OnMouse(MouseMessage::Move, 20, 15);
  host.Advance(1000);
  ASSERT_TRUE(host.TipShowing());
  ASSERT_TRUE(host.capture);
  g.reset();
  EXPECT_FALSE(host.capture);
  EXPECT_FALSE(host.TipShowing());
  EXPECT_TRUE(host.timers.empty());
  for (const auto& r : records)
    EXPECT_EQ(r.pictures[0], nullptr);
}

TEST_F(ButtonGroupTest, ListRowsGetPhasesWithTheirContext) {
  std::vector<LoggedCall> rowCalls;
  records.push_back(Rec(kButtonListRow, 42));  // 5
  records[5].rect = {300, 100, 400, 120};
  records[5].handler = Logger(rowCalls);
  records.push_back(Rec(kButtonListRowPart, -1));  // 6: acts for record 5
  records[6].rect = {400, 100, 420, 120};
  records[6].handler = Logger(calls);
  auto g = Make();
  g->OnMouse(MouseMessage::Move, 310, 105);
  g->OnMouse(MouseMessage::LeftDown, 310, 105);
  g->OnMouse(MouseMessage::LeftUp, 310, 105);
  g->OnMouse(MouseMessage::LeftDoubleClick, 310, 105);
  g->OnMouse(MouseMessage::Move, 405, 110);  // onto the part: the row hears it left, then moved
  g->OnMouse(MouseMessage::LeftDown, 405, 110);
  g->OnMouse(MouseMessage::LeftUp, 405, 110);
  std::vector<int> phases;
  for (const auto& c : rowCalls) {
    EXPECT_EQ(c.argument, kRowHandlerArgument);
    ASSERT_TRUE(c.hasRow);
    EXPECT_EQ(c.row.group, g.get());
    EXPECT_EQ(c.row.index, 5);
    EXPECT_EQ(c.row.argument, 42);
    phases.push_back(c.row.phase);
  }
  EXPECT_EQ(phases, (std::vector<int>{kPhaseMove, kPhasePress, kPhaseRelease, kPhaseDoubleClick,
                                      kPhaseLeave, kPhaseMove, kPhasePress, kPhaseRelease}));
  EXPECT_EQ(rowCalls[0].extra, (105 << 16) | 310);
  EXPECT_EQ(rowCalls[0].row.x, 310);
  EXPECT_TRUE(calls.empty()) << "a row part acts for its row, not itself";
  EXPECT_EQ(g->pressed(), -1);
}

TEST_F(ButtonGroupTest, DoubleClickOnAPlainButtonCountsAsASecondClick) {
  auto g = Make();
  Click(*g, 20, 15);
  g->OnMouse(MouseMessage::LeftDoubleClick, 20, 15);
  g->OnMouse(MouseMessage::LeftUp, 20, 15);
  EXPECT_EQ(calls.size(), 2u);
}

TEST(PlaceToolTipTest, OffsetFromThePointerAndKeptInsideTheParent) {
  struct Case {
    int x, y, w, h, left, top;
  } cases[] = {
      {100, 100, 50, 20, 106, 166},  // room enough
      {780, 100, 50, 20, 746, 166},  // right edge: ends 4 px inside
      {100, 560, 50, 20, 106, 576},  // bottom edge
      {790, 590, 50, 20, 746, 576},  // corner
      {10, 10, 900, 700, 0, 0},      // larger than the parent: never below 0
  };
  for (const Case& c : cases) {
    int left = -1;
    int top = -1;
    PlaceToolTip(c.x, c.y, c.w, c.h, 800, 600, left, top);
    EXPECT_EQ(left, c.left) << c.x << "," << c.y;
    EXPECT_EQ(top, c.top) << c.x << "," << c.y;
  }
}

}  // namespace
}  // namespace tx::testing
