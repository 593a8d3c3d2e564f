#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QtCore/QMimeData>
#include <QtGui/QDropEvent>
#include <QtTest/QTest>
#include <QtWidgets/QMenu>

#include "app/program/main_window.h"
#include "app/program/single_instance.h"
#include "app/skin/screen_layout.h"
#include "app/widgets/skin_panel_widget.h"
#include "config/config_keys.h"
#include "platform/cancel_flag.h"
#include "resources/messages.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

using guitest::ProgramEnvironment;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    hooks.openTarget = [this](const std::filesystem::path& path) {
      opened.push_back(path.string());
      return true;
    };
    window = std::make_unique<MainWindow>(hooks, ProgramEnvironment::ProgramFolder());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  // The centre of the first button of the current screen that runs
  // `command` (with argument `argument` when not negative).
  QPoint ButtonCentre(const std::string& command, int argument = -1) {
    const auto& records = window->panel().panel().main()->records();
    for (const ButtonRecord& r : records) {
      if (r.command == command && (argument < 0 || ArgLow(r.argument) == argument))
        return QPoint((r.rect.left + r.rect.right) / 2, (r.rect.top + r.rect.bottom) / 2);
    }
    ADD_FAILURE() << "no button " << command << " on screen " << window->screen();
    return QPoint(-1, -1);
  }
  void Click(const std::string& command, int argument = -1) {
    const QPoint at = ButtonCentre(command, argument);
    QTest::mouseMove(&window->panel(), QPoint(at.x() + 3, at.y() + 3));
    QTest::mouseClick(&window->panel(), Qt::LeftButton, {}, at);
  }
  void RightClick(QPoint at) { QTest::mouseClick(&window->panel(), Qt::RightButton, {}, at); }
  void Drop(const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &enter);
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window.get(), &drop);
  }
  std::string Fragment(std::size_t i) const { return env.urls.at(i).fragment().toStdString(); }

  ProgramEnvironment env;
  MainWindowHooks hooks;
  std::vector<std::string> opened;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, IsAFramelessFixedWindowOnTheHomeScreen) {
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_EQ(window->size(), QSize(kMainWindowWidth, kMainWindowHeight));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(window->windowTitle().toStdString(), ProgramName());
  EXPECT_TRUE(window->acceptDrops());
}

// Every screen is reached by its buttons and left again, as a user would.
TEST_F(MainWindowTest, EveryScreenIsReachedByItsButtonsAndLeft) {
  std::vector<std::pair<int, int>> moves;
  window->hooks().screenChanged = [&moves](int from, int to) { moves.emplace_back(from, to); };
  struct Move {
    const char* command;
    int argument;
    int to;
  };
  const Move path[] = {
      {"PictureSource", -1, kScreenPictureSource},
      {"Home", -1, kScreenHome},
      {"Crop", -1, kScreenCrop},
      {"CropCancel", -1, kScreenHome},
      {"MontageSettings", -1, kScreenMontageSettings},
      {"Collections", 0, kScreenMyCollection},
      {"MontageSettings", -1, kScreenMontageSettings},
      {"Collections", 1, kScreenVideo},
      {"MontageSettings", -1, kScreenMontageSettings},
      {"Home", -1, kScreenHome},
      {"Print", -1, kScreenPrint},
      {"PrintCancel", -1, kScreenHome},
      {"MemberLink", -1, kScreenWebPage},
      {"Home", -1, kScreenHome},
  };
  int from = kScreenHome;
  for (const Move& move : path) {
    Click(move.command, move.argument);
    ASSERT_EQ(window->screen(), move.to) << move.command;
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back(), std::make_pair(from, move.to)) << move.command;
    from = move.to;
  }
  EXPECT_EQ(moves.size(), std::size(path));
  EXPECT_EQ(env.sink->beeps, 0);
  EXPECT_TRUE(env.sink->shown.empty());
}

TEST_F(MainWindowTest, ARefusedScreenBeepsAndStays) {
  window->hooks().canEnterScreen = [](int screen) { return screen != kScreenCrop; };
  Click("Crop");
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_EQ(env.sink->beeps, 1);
  Click("MontageSettings");
  EXPECT_EQ(window->screen(), kScreenMontageSettings);
}

TEST_F(MainWindowTest, LeavingAScreenClosesItsDropDownsAndStatusLine) {
  window->GoToScreen(kScreenCrop);
  window->panel().SetStatusText("busy");
  window->GoToScreen(kScreenHome);
  EXPECT_TRUE(window->panel().statusText().isEmpty());
  EXPECT_TRUE(window->panel().lists().OpenLists().empty());
}

// Buttons of features that are not connected answer with a beep and change
// nothing; connected hooks are called instead.
TEST_F(MainWindowTest, UnconnectedButtonsBeepAndHooksReplaceTheBeep) {
  Click("Save");
  Click("FullScreen");
  Click("ShowPicture", 1);
  EXPECT_EQ(env.sink->beeps, 3);
  window->GoToScreen(kScreenMontageSettings);
  Click("Create");
  EXPECT_EQ(env.sink->beeps, 4);
  window->GoToScreen(kScreenCrop);
  Click("CropOk");  // nothing applies the crop yet: it stays
  EXPECT_EQ(env.sink->beeps, 5);
  EXPECT_EQ(window->screen(), kScreenCrop);

  int saves = 0;
  window->hooks().save = [&saves] { ++saves; };
  window->hooks().cropApply = [] { return true; };
  Click("Save");
  EXPECT_EQ(saves, 1);
  Click("CropOk");
  EXPECT_EQ(window->screen(), kScreenHome);
  int shown = -1;
  window->hooks().showPicture = [&shown](int which) { shown = which; };
  Click("ShowPicture", 1);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(env.sink->beeps, 5);
}

TEST_F(MainWindowTest, WindowButtonsHelpAboutMinimiseAndExit) {
  Click("Help");
  ASSERT_EQ(env.urls.size(), 1u);
  EXPECT_TRUE(env.urls[0].isLocalFile());
  EXPECT_TRUE(env.urls[0].toLocalFile().endsWith("help/zh-TW/index.html"));
  EXPECT_TRUE(env.urls[0].fragment().isEmpty());

  Click("About");
  ASSERT_NE(window->aboutWindow(), nullptr);
  EXPECT_TRUE(window->aboutWindow()->isVisible());
  EXPECT_FALSE(window->aboutWindow()->isSplash());
  QTest::keyClick(window->aboutWindow(), Qt::Key_Escape);
  EXPECT_FALSE(window->aboutWindow()->isVisible());

  Click("Minimize");
  EXPECT_TRUE(window->isMinimized());
  window->BringForward();
  EXPECT_FALSE(window->isMinimized());
  EXPECT_TRUE(window->isVisible());

  Click("Exit");
  EXPECT_FALSE(window->isVisible());
}

// F1 opens the contents; a right click on a button its own topic, on an
// area the screen's; an empty place shows the one-item menu.
TEST_F(MainWindowTest, HelpByF1RightClickAndThePopUpMenu) {
  QTest::keyClick(window.get(), Qt::Key_F1);
  ASSERT_EQ(env.urls.size(), 1u);
  EXPECT_EQ(Fragment(0), "");

  RightClick(ButtonCentre("ShowPicture", 1));
  ASSERT_EQ(env.urls.size(), 2u);
  EXPECT_EQ(Fragment(1), "208");
  RightClick(ButtonCentre("Exit"));
  EXPECT_EQ(Fragment(2), "190");
  RightClick(ButtonCentre("About"));  // the About button takes its screen's
  EXPECT_EQ(Fragment(3), "200");
  RightClick(QPoint(200, 200));  // the picture area
  EXPECT_EQ(Fragment(4), "200");

  window->GoToScreen(kScreenVideo);
  EXPECT_EQ(window->HelpTopicAt(ButtonCentre("About")), 2000);
  EXPECT_EQ(window->HelpTopicAt(QPoint(5, 590)), 0);

  RightClick(QPoint(5, 590));
  ASSERT_EQ(env.urls.size(), 5u);
  QMenu* menu = window->popupMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions()[0]->text().toStdString(), "說明(&H)");
  menu->actions()[0]->trigger();
  ASSERT_EQ(env.urls.size(), 6u);
  EXPECT_EQ(Fragment(5), "2000");
}

TEST_F(MainWindowTest, AcceleratorsComeFromTheLibraryAndLeaveOtherKeysAlone) {
  const AcceleratorTable& table = window->accelerators();
  EXPECT_EQ(table.Match(Qt::Key_F1, {}), kCmdHelpContents);
  EXPECT_EQ(table.Match(Qt::Key_Q, Qt::ControlModifier), kCmdClose);
  EXPECT_EQ(table.Match(Qt::Key_Q, {}), 0);
  EXPECT_EQ(table.Match(Qt::Key_Escape, {}), kCmdEscape);
  EXPECT_EQ(table.Match(Qt::Key_V, Qt::ControlModifier | Qt::KeypadModifier), kCmdPaste);

  // Without the library's table the same keys still work.
  EXPECT_EQ(AcceleratorTable::FromLibrary(nullptr).Match(Qt::Key_Q, Qt::ControlModifier),
            kCmdClose);
  EXPECT_EQ(QtKeyOfVirtualKey(0x70), Qt::Key_F1);
  EXPECT_EQ(QtKeyOfVirtualKey(0x87), Qt::Key_F24);
  EXPECT_EQ(QtKeyOfVirtualKey('Q'), Qt::Key_Q);
  EXPECT_EQ(QtKeyOfVirtualKey(0xFF), 0);

  ClearCancel();
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_TRUE(PollCancel());
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, DropsOpenTheFirstFileOnHomeAndBeepElsewhere) {
  Drop({QUrl::fromLocalFile("/pictures/Holiday/First.JPG"),
        QUrl::fromLocalFile("/pictures/second.jpg")});
  ASSERT_EQ(opened.size(), 1u);
  // The name is kept as it is: file names here are case-sensitive.
  EXPECT_EQ(opened[0], "/pictures/Holiday/First.JPG");
  EXPECT_EQ(env.sink->beeps, 0);

  window->GoToScreen(kScreenMontageSettings);
  Drop({QUrl::fromLocalFile("/pictures/third.jpg")});
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_EQ(env.sink->beeps, 1);

  window->GoToScreen(kScreenHome);
  Drop({QUrl("https://example.org/picture.jpg")});  // not a file
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_EQ(env.sink->beeps, 2);
}

TEST_F(MainWindowTest, HandedOverNamesAreReadBackOnHomeOnly) {
  const std::string longName = "/pictures/" + std::string(300, 'n') + ".jpg";
  ASSERT_TRUE(WriteUserString(kTransferNameKey, longName));
  window->OnCommand(kCmdOpenTransferName);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], longName);  // read in full, not cut to 256 bytes

  window->GoToScreen(kScreenPrint);
  ASSERT_TRUE(WriteUserString(kTransferNameKey, "/pictures/other.jpg"));
  window->OnCommand(kCmdOpenTransferName);
  EXPECT_EQ(opened.size(), 1u);
}

class CloseChecksTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    window->hooks().isMontageUnsaved = [this] { return unsaved; };
    window->hooks().saveBeforeClose = [this] {
      ++saveDialogs;
      return saveSucceeds;
    };
    window->hooks().aboutToClose = [this] { ++closes; };
  }
  void CtrlQ() { QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier); }

  bool unsaved = true;
  bool saveSucceeds = false;
  int saveDialogs = 0;
  int closes = 0;
};

TEST_F(CloseChecksTest, CtrlQAsksAboutTheUnsavedMontageAndCancelKeepsTheWindow) {
  env.sink->answer = NoticeAnswer::Cancel;
  CtrlQ();
  ASSERT_EQ(env.sink->asked.size(), 1u);
  EXPECT_EQ(env.sink->asked[0], LoadText(kStrSaveNewMontage));
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(saveDialogs, 0);
  EXPECT_EQ(closes, 0);
}

TEST_F(CloseChecksTest, YesSavesFirstAndAFailedSaveKeepsTheWindow) {
  env.sink->answer = NoticeAnswer::Yes;
  CtrlQ();
  EXPECT_EQ(saveDialogs, 1);
  EXPECT_TRUE(window->isVisible());
  saveSucceeds = true;
  Click("Exit");  // the Exit button goes through the same checks
  EXPECT_EQ(saveDialogs, 2);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(closes, 1);
}

TEST_F(CloseChecksTest, NoDropsTheMontageAndARefusingFeatureComesFirst) {
  int checkedOn = -1;
  window->hooks().canClose = [&checkedOn](int screen) {
    checkedOn = screen;
    return false;
  };
  window->GoToScreen(kScreenPictureSource);
  CtrlQ();
  EXPECT_EQ(checkedOn, kScreenPictureSource);
  EXPECT_TRUE(env.sink->asked.empty());  // refused before the question
  EXPECT_TRUE(window->isVisible());

  window->hooks().canClose = {};
  env.sink->answer = NoticeAnswer::No;
  CtrlQ();
  EXPECT_EQ(env.sink->asked.size(), 1u);
  EXPECT_EQ(saveDialogs, 0);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(closes, 1);
}

TEST_F(CloseChecksTest, ASavedMontageClosesWithoutAQuestion) {
  unsaved = false;
  CtrlQ();
  EXPECT_TRUE(env.sink->asked.empty());
  EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace tx
