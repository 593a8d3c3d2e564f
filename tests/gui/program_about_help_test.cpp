#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <QtCore/QFile>
#include <QtTest/QTest>

#include "app/program/about_window.h"
#include "app/program/help_pages.h"
#include "app/program/main_window.h"
#include "app/skin/screen_layout.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

using guitest::ProgramEnvironment;

TEST(ProgramAbout, TheSplashClosesItselfAfterThreeSecondsAndEscClosesIt) {
  ProgramEnvironment env;
  ASSERT_TRUE(env.bound);
  MainWindow window({}, ProgramEnvironment::ProgramFolder());
  window.show();
  ASSERT_TRUE(window.OpenAbout(true));
  AboutWindow* about = window.aboutWindow();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isSplash());
  EXPECT_EQ(about->size(), QSize(600, 400));
  // Centred on the main window.
  EXPECT_EQ(about->geometry().center(), window.geometry().center());
  QTest::qWait(kAboutSplashMs - 500);
  EXPECT_TRUE(about->isVisible());
  QTest::qWait(1000);
  EXPECT_FALSE(about->isVisible());

  // From the button it stays until Esc.
  ASSERT_TRUE(window.OpenAbout(false));
  EXPECT_FALSE(about->isSplash());
  QTest::keyClick(about, Qt::Key_Escape);
  EXPECT_FALSE(about->isVisible());
  ASSERT_TRUE(window.OpenAbout(true));
  QTest::keyClick(about, Qt::Key_Escape);
  EXPECT_FALSE(about->isVisible());
}

TEST(ProgramAbout, WithoutItsPictureTheWindowNeverOpens) {
  ProgramEnvironment env;
  AboutWindow about(nullptr, env.dir.path());
  EXPECT_FALSE(about.loaded());
  EXPECT_FALSE(about.Open(true));
  EXPECT_FALSE(about.isVisible());
}

// Every topic a screen or button names has its anchor in both languages.
TEST(ProgramHelp, EveryTopicTheScreensNameHasAnAnchorInBothLanguages) {
  const std::filesystem::path folder = ProgramEnvironment::ProgramFolder();
  for (const char* library : {"Res_TX", "Res_EN"}) {
    const std::filesystem::path page = FindHelpPage(folder, library);
    ASSERT_FALSE(page.empty()) << library;
    EXPECT_EQ(page.parent_path().filename().string(), std::string(HelpLanguage(library)));
    QFile file(QString::fromStdString(page.string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    std::vector<int> topics{kHelpWindowButtons};
    for (int n = 0; n < kScreenCount; ++n) {
      topics.push_back(MainScreenLayout(n).helpTopic);
      for (const ButtonLayout& button : MainScreenLayout(n).buttons)
        if (button.help != 0) topics.push_back(button.help);
    }
    topics.push_back(DetailBarLayout().helpTopic);
    for (int topic : topics) {
      EXPECT_TRUE(html.contains(QStringLiteral("id=\"%1\"").arg(topic)))
          << library << " lacks topic " << topic;
    }
  }
}

TEST(ProgramHelp, UrlsPointAtTheTopicAndAMissingPageIsReported) {
  ProgramEnvironment env;
  const QUrl url = HelpUrl("/opt/tesserix/help/en/index.html", 500);
  EXPECT_EQ(url.toString().toStdString(), "file:///opt/tesserix/help/en/index.html#500");
  EXPECT_FALSE(HelpUrl("/x/index.html", kHelpContents).hasFragment());

  EXPECT_TRUE(OpenHelp(700, ProgramEnvironment::ProgramFolder()));
  ASSERT_EQ(env.urls.size(), 1u);
  EXPECT_EQ(env.urls[0].fragment().toStdString(), "700");

  // A folder without help pages opens nothing and tells the user.
  EXPECT_FALSE(OpenHelp(700, env.dir.path()));
  EXPECT_EQ(env.urls.size(), 1u);
  EXPECT_EQ(env.sink->shown.size() + std::size_t(env.sink->beeps), 1u);
}

}  // namespace
}  // namespace tx
