// The button panel: switching screens, routing the mouse between the main
// group and sub-panels, and choices on screens not shown.

#include <gtest/gtest.h>

#include "app/buttons/button_panel.h"
#include "tests/app/button_fake_host.h"

namespace tx::testing {
namespace {

class ButtonPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skin.AddButton(0, 10, 10, 40, 20);  // screen 0: one push button
    skin.AddButton(1, 10, 10, 40, 20);  // screen 1: three choices of group 3
    skin.AddButton(1, 60, 10, 40, 20);
    skin.AddButton(1, 110, 10, 40, 20);
    skin.AddButton(2, 0, 0, 100, 100);  // sub-panel A: two buttons side by side
    skin.AddButton(2, 100, 0, 100, 100);
    skin.AddButton(3, 0, 0, 100, 100);  // sub-panel B: one button
    skinPath = skin.Write();
    std::vector<std::vector<ButtonRecord>> screens(2);
    screens[0] = {Rec(kButtonPush, 5)};
    screens[0][0].controlId = 77;
    screens[1] = {Rec(kButtonPush, 1, 3, 1), Rec(kButtonPush, 2, 3, 0), Rec(kButtonPush, 3, 3, 0)};
    for (auto& screen : screens) {
      for (auto& r : screen)
        r.handler = Logger(calls);
    }
    panel = std::make_unique<ButtonPanel>(host, skinPath, std::move(screens), ButtonGroupOptions{});
  }
  std::unique_ptr<ButtonGroup> SubPanel(int group, const ButtonRect& area,
                                        std::vector<ButtonRecord>& records) {
    ButtonGroupOptions options;
    options.isMain = false;
    options.backgroundName = "screen" + std::to_string(group) + ".800";
    return std::make_unique<ButtonGroup>(host, group, area, skinPath, records, options);
  }

  FakeHost host;
  TestSkin skin;
  std::filesystem::path skinPath;
  std::vector<LoggedCall> calls;
  std::unique_ptr<ButtonPanel> panel;
};

TEST_F(ButtonPanelTest, SetScreenReplacesTheGroupOnlyForAnotherScreen) {
  EXPECT_EQ(panel->main(), nullptr);
  EXPECT_EQ(panel->GetButtonRect(77), ButtonRect{});
  panel->SetScreen(0);
  ButtonGroup* first = panel->main();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->valid());
  EXPECT_EQ(panel->GetButtonRect(77), (ButtonRect{10, 10, 50, 30}));
  const std::size_t paints = host.invalidated.size();
  panel->SetScreen(0);
  EXPECT_EQ(panel->main(), first);
  EXPECT_EQ(host.invalidated.size(), paints);

  panel->SetScreen(1);
  EXPECT_EQ(panel->screen(), 1);
  EXPECT_EQ(panel->main()->group(), 1);
  EXPECT_EQ(panel->records(0)[0].pictures[0], nullptr) << "screen 0's pictures went with it";
  EXPECT_NE(panel->records(1)[2].pictures[0], nullptr);
  EXPECT_EQ(panel->GetButtonRect(77), ButtonRect{});
  panel->SetScreen(8);  // no such screen
  EXPECT_EQ(panel->screen(), 1);
  EXPECT_TRUE(panel->records(8).empty());
}

TEST_F(ButtonPanelTest, RoutingPrefersThePressedGroupThenTheLastSubPanel) {
  panel->SetScreen(0);
  std::vector<ButtonRecord> aRecords = {Rec(kButtonPush, 1), Rec(kButtonPush, 2)};
  std::vector<ButtonRecord> bRecords = {Rec(kButtonPush, 3)};
  for (auto* records : {&aRecords, &bRecords}) {
    for (auto& r : *records)
      r.handler = Logger(calls);
  }
  auto a = SubPanel(2, {500, 100, 700, 300}, aRecords);
  auto b = SubPanel(3, {600, 100, 800, 300}, bRecords);
  panel->AddSubPanel(a.get());
  panel->AddSubPanel(b.get());
  ButtonGroup& main = *panel->main();

  // Where the sub-panels overlap, the last added takes the pointer.
  panel->OnMouse(MouseMessage::Move, 650, 150);
  EXPECT_EQ(b->hot(), 0);
  EXPECT_EQ(a->hot(), -1);
  // Entering another group drops the highlight left behind.
  panel->OnMouse(MouseMessage::Move, 550, 150);
  EXPECT_EQ(a->hot(), 0);
  EXPECT_EQ(b->hot(), -1);
  EXPECT_EQ(bRecords[0].drawnState, kStateNormal);

  // A press keeps the messages in its group until the release.
  panel->OnMouse(MouseMessage::LeftDown, 550, 150);
  panel->OnMouse(MouseMessage::Move, 20, 20);
  EXPECT_EQ(main.hot(), -1);
  EXPECT_EQ(a->hot(), -1);
  panel->OnMouse(MouseMessage::Move, 560, 150);
  panel->OnMouse(MouseMessage::LeftUp, 560, 150);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].argument, 1);

  panel->OnMouse(MouseMessage::Move, 20, 20);
  EXPECT_EQ(main.hot(), 0);
  EXPECT_EQ(a->hot(), -1);
  panel->OnMouse(MouseMessage::Leave, 0, 0);
  EXPECT_EQ(main.hot(), -1);

  // A removed sub-panel gets nothing more.
  panel->RemoveSubPanel(b.get());
  panel->OnMouse(MouseMessage::Move, 750, 150);
  EXPECT_EQ(b->hot(), -1);
  EXPECT_EQ(panel->subPanels().size(), 1u);
}

TEST_F(ButtonPanelTest, ChoicesAndTogglesOnAScreenNotShownChangeOnlyTheRecords) {
  panel->SetScreen(0);
  const std::size_t paints = host.invalidated.size();
  EXPECT_EQ(panel->SetChoice(1, 3, 3), 0);
  EXPECT_EQ(panel->records(1)[0].on, 0);
  EXPECT_EQ(panel->records(1)[2].on, 1);
  host.refusedChoices.insert({3, 2});
  EXPECT_EQ(panel->SetChoice(1, 3, 2), -2);
  EXPECT_EQ(host.beeps, 1);
  EXPECT_EQ(panel->records(1)[2].on, 1);
  panel->Toggle(1, 1, -1);
  EXPECT_EQ(panel->records(1)[1].on, 1);
  EXPECT_EQ(host.invalidated.size(), paints);

  // Shown later, the screen draws what was set.
  panel->SetScreen(1);
  EXPECT_EQ(panel->records(1)[2].drawnState, kStatePressed);
  EXPECT_EQ(panel->records(1)[0].drawnState, kStateNormal);
  host.invalidated.clear();
  EXPECT_EQ(panel->SetChoice(1, 3, 1), 2);
  EXPECT_FALSE(host.invalidated.empty());
}

TEST_F(ButtonPanelTest, AHandlerMayReplaceTheScreenItWasCalledFrom) {
  panel->SetScreen(0);
  panel->records(0)[0].handler = [this](const ButtonCall&) { panel->SetScreen(1); };
  panel->OnMouse(MouseMessage::Move, 20, 20);
  panel->OnMouse(MouseMessage::LeftDown, 20, 20);
  panel->OnMouse(MouseMessage::LeftUp, 20, 20);
  EXPECT_EQ(panel->screen(), 1);
  EXPECT_FALSE(host.capture);
  EXPECT_FALSE(host.Running(*panel->main(), kTimerAutoRepeat));
  panel->OnMouse(MouseMessage::Move, 70, 20);
  EXPECT_EQ(panel->main()->hot(), 1);
}

TEST(MakeRecordsTest, CopiesTheTableUpToItsEnd) {
  const ButtonLayout buttons[] = {
      {"showPicture", 1, 100, 6500, kButtonPush, 2, 1, 207, 6600, 5, 6, 7, 8},
      {nullptr, 0, -1, -1, kButtonArea, 0, 0, 0, 0, 0, 0, 0, 0},
      {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // ends the list
      {"after", 0, 0, 0, kButtonPush, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  const ScreenLayout screen{3, 500, buttons, {}};
  const std::vector<ButtonRecord> records = MakeRecords(screen);
  ASSERT_EQ(records.size(), 2u);
  const ButtonRecord& r = records[0];
  EXPECT_EQ(r.command, "showPicture");
  EXPECT_EQ(r.argument, 1);
  EXPECT_EQ(r.controlId, 100);
  EXPECT_EQ(r.tipId, 6500);
  EXPECT_EQ(r.type, kButtonPush);
  EXPECT_EQ(r.choiceGroup, 2);
  EXPECT_EQ(r.on, 1);
  EXPECT_EQ(r.help, 207);
  EXPECT_EQ(r.labelId, 6600);
  EXPECT_EQ(r.rect, ButtonRect{}) << "the skin places buttons";
  EXPECT_FALSE(r.HasHandler());
  EXPECT_EQ(records[1].command, "");
}

}  // namespace
}  // namespace tx::testing
