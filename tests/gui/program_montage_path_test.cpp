// The home screen's path from a picture file to what the montage window and
// the full-screen view show.

#include <gtest/gtest.h>

#include <QtTest/QTest>

#include "app/program/montage_path.h"
#include "app/views/full_screen_view.h"
#include "app/views/montage_window.h"
#include "collections/collection_registry.h"
#include "rastio/rastio.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

constexpr int kHome = 0;
constexpr int kPictureSource = 1;
constexpr int kMontageSettings = 3;

class MontagePathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    window =
        std::make_unique<MainWindow>(path.Hooks(), guitest::ProgramEnvironment::ProgramFolder());
    path.Attach(*window);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }
  void TearDown() override {
    if (FullScreenView* view = CurrentFullScreenView()) view->close();
    window.reset();
  }
  // A 24-bit picture file of w x h in the test's folder.
  std::filesystem::path Picture(const std::string& name, int w, int h) {
    const PackedImage image = testing::MakePatternImage(w, h, 24);
    const std::filesystem::path file = env.dir.path() / name;
    EXPECT_EQ(EzSaveFile(image.get(), file.string().c_str(), kSaveByExtension, nullptr), 0);
    return file;
  }

  guitest::ProgramEnvironment env;
  MontagePath path{Collections()};
  std::unique_ptr<MainWindow> window;
};

TEST_F(MontagePathTest, AnOpenedTargetShowsFittedInThePictureArea) {
  EXPECT_FALSE(window->OpenTargetFile(env.dir.path() / "missing.bmp"));
  EXPECT_EQ(path.montageWindow(), nullptr);

  ASSERT_TRUE(window->OpenTargetFile(Picture("wide.bmp", 400, 200)));
  MontageWindow* shown = path.montageWindow();
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->isVisible());
  // 400 x 200 fitted into the 520 x 520 area keeps its proportions.
  const QSize display = shown->displaySize();
  EXPECT_EQ(display.width(), 2 * display.height());
  EXPECT_LE(display.width(), 520);
  EXPECT_EQ(path.ShownPicture(), path.engine().target());
}

TEST_F(MontagePathTest, TheMontageSwitchBeepsWithoutAMontageAndKeepsTheTarget) {
  ASSERT_TRUE(window->OpenTargetFile(Picture("target.bmp", 64, 48)));
  const int beeps = env.sink->beeps;
  window->hooks().showPicture(1);
  EXPECT_EQ(env.sink->beeps, beeps + 1);
  EXPECT_FALSE(path.montageShown());
  EXPECT_EQ(path.ShownPicture(), path.engine().target());
}

TEST_F(MontagePathTest, FullScreenShowsThePictureAndBeepsWithoutOne) {
  const int beeps = env.sink->beeps;
  window->hooks().fullScreen();
  EXPECT_EQ(env.sink->beeps, beeps + 1);
  EXPECT_EQ(CurrentFullScreenView(), nullptr);

  ASSERT_TRUE(window->OpenTargetFile(Picture("target.bmp", 64, 48)));
  window->hooks().fullScreen();
  EXPECT_NE(CurrentFullScreenView(), nullptr);
}

TEST_F(MontagePathTest, TheMontageWindowShowsOnTheHomeAndSettingsScreensOnly) {
  ASSERT_TRUE(window->OpenTargetFile(Picture("target.bmp", 640, 480)));
  EXPECT_EQ(path.montageWindow()->displaySize(), QSize(520, 390));
  ASSERT_TRUE(window->GoToScreen(kMontageSettings));
  EXPECT_TRUE(path.montageWindow()->isVisible());
  EXPECT_EQ(path.montageWindow()->displaySize(), QSize(360, 270));
  ASSERT_TRUE(window->GoToScreen(kPictureSource));
  EXPECT_FALSE(path.montageWindow()->isVisible());
  ASSERT_TRUE(window->GoToScreen(kHome));
  EXPECT_TRUE(path.montageWindow()->isVisible());
}

}  // namespace
}  // namespace tx
