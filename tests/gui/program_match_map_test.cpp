// The match map toggle on the home screen and the colours to add on the
// montage settings screen, after a run on the shipped sample collection.

#include <gtest/gtest.h>

#include <QtTest/QTest>

#include "app/program/montage_path.h"
#include "app/views/gap_swatches.h"
#include "app/views/montage_window.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
#include "config/startup_settings.h"
#include "montage/match_map.h"
#include "montage/montage_settings.h"
#include "platform/cancel_flag.h"
#include "rastio/rastio.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

class MatchMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    SetStartupSettings(StartupSettings{});
    SaveMontageSettings(MontageSettings{});
    m_configuration = env.ProgramConfiguration();
    m_registry = env.MakeRegistry(*m_configuration, true);
    ASSERT_TRUE(guitest::ShowProgramWindow(*m_registry, m_path, window));
    ClearCancel();
  }
  void TearDown() override {
    window.reset();
    m_path.reset();
  }

  bool CreateAndWait() { return guitest::CreateAndWait(*window, *m_path); }
  void ClickMatchMap() { guitest::ClickButton(window->panel(), kScreenHome, "MatchMap"); }
  // Whether the toggle is drawn on.
  bool ToggleDrawnOn() {
    for (const ButtonRecord& r : window->panel().panel().records(kScreenHome)) {
      if (r.command == "MatchMap") return r.on != 0;
    }
    ADD_FAILURE() << "no match map button";
    return false;
  }
  GapSwatches* swatches() { return m_path->settingsScreen()->gapSwatches(); }

  guitest::ProgramEnvironment env;
  std::unique_ptr<Configuration> m_configuration;
  std::unique_ptr<CollectionRegistry> m_registry;
  std::unique_ptr<MontagePath> m_path;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MatchMapTest, TheToggleShowsTheMapOverTheMontageOnly) {
  // Nothing to map yet: a beep, and the toggle stays off.
  ASSERT_TRUE(
      window->OpenTargetFile(guitest::ProgramEnvironment::ProgramFolder() / "sample-target.jpg"));
  const int beeps = env.sink->beeps;
  ClickMatchMap();
  EXPECT_EQ(env.sink->beeps, beeps + 1);
  EXPECT_FALSE(m_path->matchMapOn());
  EXPECT_FALSE(ToggleDrawnOn());

  ASSERT_TRUE(CreateAndWait());
  MontageWindow* shown = m_path->montageWindow();
  ASSERT_NE(shown, nullptr);
  EXPECT_FALSE(shown->matchOverlayShown());
  const QImage plain = shown->grab().toImage();

  ClickMatchMap();
  EXPECT_TRUE(m_path->matchMapOn());
  EXPECT_TRUE(ToggleDrawnOn());
  ASSERT_TRUE(shown->matchOverlayShown());
  // The middle of the window now shows mostly the map's colour: the cell's
  // viridis colour over a little of the montage.
  const MatchReport& match = m_path->engine().report().match;
  const QImage mapped = shown->grab().toImage();
  const QPoint middle(mapped.width() / 2, mapped.height() / 2);
  const int col = middle.x() * match.cols / mapped.width();
  const int row = middle.y() * match.rows / mapped.height();
  const QColor expected =
      ViridisColour(MatchScalePosition(match.distances[std::size_t(row) * match.cols + col],
                                       std::max<std::int64_t>(match.largest, 1)));
  const QColor seen = mapped.pixelColor(middle);
  const QColor under = plain.pixelColor(middle);
  EXPECT_NEAR(seen.red(), 0.85 * expected.red() + 0.15 * under.red(), 6);
  EXPECT_NEAR(seen.green(), 0.85 * expected.green() + 0.15 * under.green(), 6);
  EXPECT_NEAR(seen.blue(), 0.85 * expected.blue() + 0.15 * under.blue(), 6);

  // Not on the settings screen, where the montage shows smaller; back home
  // it is there again.
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  EXPECT_FALSE(m_path->montageWindow()->matchOverlayShown());
  ASSERT_TRUE(window->GoToScreen(kScreenHome));
  EXPECT_TRUE(m_path->montageWindow()->matchOverlayShown());

  // Showing the target turns it off; turning it on again shows the montage.
  window->hooks().showPicture(kShowTarget);
  EXPECT_FALSE(m_path->matchMapOn());
  EXPECT_FALSE(ToggleDrawnOn());
  EXPECT_FALSE(m_path->montageWindow()->matchOverlayShown());
  ClickMatchMap();
  EXPECT_TRUE(m_path->montageShown());
  EXPECT_TRUE(m_path->montageWindow()->matchOverlayShown());
  ClickMatchMap();
  EXPECT_FALSE(m_path->montageWindow()->matchOverlayShown());
  EXPECT_TRUE(m_path->montageShown());
}

TEST_F(MatchMapTest, TheSettingsScreenShowsTheColoursToAddAfterARun) {
  ASSERT_TRUE(
      window->OpenTargetFile(guitest::ProgramEnvironment::ProgramFolder() / "sample-target.jpg"));
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  ASSERT_NE(swatches(), nullptr);
  EXPECT_FALSE(swatches()->isVisible());

  ASSERT_TRUE(CreateAndWait());
  ClickMatchMap();
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  const std::vector<ColourGap>& gaps = m_path->engine().report().match.gaps;
  ASSERT_FALSE(gaps.empty());
  EXPECT_TRUE(swatches()->isVisible());
  ASSERT_EQ(swatches()->gaps().size(), gaps.size());
  EXPECT_EQ(swatches()->gaps().front().meanColour, gaps.front().meanColour);
  const QString tip = swatches()->TipOf(0);
  EXPECT_TRUE(tip.contains(QString::fromStdString(ColourHex(gaps.front().meanColour))))
      << tip.toStdString();
  EXPECT_FALSE(swatches()->SwatchRect(int(gaps.size()) - 1).isEmpty());
  EXPECT_TRUE(swatches()->SwatchRect(int(gaps.size())).isEmpty());
  // The swatches lie inside the panel of the ways to add photos and do
  // not cover its buttons.
  for (const ButtonRecord& r : window->panel().panel().records(kScreenMontageSettings)) {
    if (r.command != "Collections") continue;
    const QRect button(r.rect.left, r.rect.top, r.rect.right - r.rect.left,
                       r.rect.bottom - r.rect.top);
    EXPECT_FALSE(button.intersects(swatches()->geometry()));
  }

  // A new target drops the montage, its map and its gaps.
  ASSERT_TRUE(window->GoToScreen(kScreenHome));
  env.sink->answer = NoticeAnswer::No;
  ASSERT_TRUE(
      window->OpenTargetFile(guitest::ProgramEnvironment::ProgramFolder() / "sample-target.jpg"));
  EXPECT_FALSE(m_path->matchMapOn());
  EXPECT_FALSE(ToggleDrawnOn());
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  EXPECT_FALSE(swatches()->isVisible());
}

}  // namespace
}  // namespace tx
