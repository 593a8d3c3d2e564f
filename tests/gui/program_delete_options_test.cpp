// The delete-options question as a user meets it, and the web page screen's
// button.

#include <gtest/gtest.h>

#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

#include "app/program/delete_options_dialog.h"
#include "app/program/main_window.h"
#include "app/widgets/skin_panel_widget.h"
#include "config/startup_settings.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

// Acts on the dialog once it shows: `pickSecond` checks the second choice,
// then OK, or Cancel when `accept` is false.
void AnswerDialogSoon(bool pickSecond, bool accept, QStringList* choicesSeen) {
  QTimer::singleShot(20, [=] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QDialog*>(widget);
      if (dialog == nullptr || !dialog->isVisible()) continue;
      const QList<QRadioButton*> choices = dialog->findChildren<QRadioButton*>();
      for (QRadioButton* choice : choices)
        choicesSeen->push_back(choice->text() + (choice->isChecked() ? " *" : ""));
      if (pickSecond && choices.size() > 1) choices[1]->setChecked(true);
      auto* buttons = dialog->findChild<QDialogButtonBox*>();
      for (QAbstractButton* button : buttons->buttons()) {
        const bool isAccept = buttons->buttonRole(button) == QDialogButtonBox::AcceptRole;
        if (isAccept == accept) {
          button->click();
          return;
        }
      }
    }
  });
}

TEST(DeleteOptionsTest, TheDialogOffersBothChoicesWithTheFirstPreselected) {
  guitest::ProgramEnvironment env;
  ASSERT_TRUE(env.bound);
  QStringList seen;
  AnswerDialogSoon(false, true, &seen);
  EXPECT_EQ(AskDeleteOptions(nullptr, kDialogDeletePictures), DeleteChoice::ListOnly);
  ASSERT_EQ(seen.size(), 2);
  EXPECT_TRUE(seen[0].endsWith(" *"));
  EXPECT_FALSE(seen[1].endsWith(" *"));

  seen.clear();
  AnswerDialogSoon(true, true, &seen);
  EXPECT_EQ(AskDeleteOptions(nullptr, kDialogDeleteVideos), DeleteChoice::AlsoFile);

  // Cancel deletes nothing, whatever was chosen; an unknown template too.
  AnswerDialogSoon(true, false, &seen);
  EXPECT_EQ(AskDeleteOptions(nullptr, kDialogDeleteVideos), std::nullopt);
  EXPECT_EQ(AskDeleteOptions(nullptr, 4321), std::nullopt);

  // Tests and scripts answer without a dialog.
  const DeleteOptionsAsker previous =
      SetDeleteOptionsAsker([](unsigned id) -> std::optional<DeleteChoice> {
        return id == kDialogDeletePictures ? DeleteChoice::AlsoFile : DeleteChoice::ListOnly;
      });
  EXPECT_EQ(AskDeleteOptions(nullptr, kDialogDeletePictures), DeleteChoice::AlsoFile);
  SetDeleteOptionsAsker(previous);
}

// Clicks the button of `command` on the screen shown, as a user would.
void ClickCommand(MainWindow& window, const std::string& command) {
  guitest::ClickButton(window.panel(), window.screen(), command);
}

TEST(WebPageScreenTest, TheButtonOpensTheServiceOrBeeps) {
  guitest::ProgramEnvironment env;
  ASSERT_TRUE(env.bound);
  MainWindow window({}, guitest::ProgramEnvironment::ProgramFolder());
  window.GoToScreen(kScreenWebPage);
  ASSERT_EQ(window.screen(), kScreenWebPage);

  StartupSettings settings;
  settings.showMeUrl = "https://photos.example.org/share";
  SetStartupSettings(settings);
  window.show();
  ClickCommand(window, "OpenShowMeUrl");
  ASSERT_EQ(env.urls.size(), 1u);
  EXPECT_EQ(env.urls[0].toString(), QStringLiteral("https://photos.example.org/share"));

  settings.showMeUrl.clear();
  SetStartupSettings(settings);
  const int beeps = env.sink->beeps;
  ClickCommand(window, "OpenShowMeUrl");
  EXPECT_EQ(env.sink->beeps, beeps + 1);
  EXPECT_EQ(env.urls.size(), 1u);
  SetStartupSettings(StartupSettings{});
}

}  // namespace
}  // namespace tx
