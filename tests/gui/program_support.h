#pragma once
// What the program's window tests share: the resource library and skins of
// the build, a user profile of their own, notices recorded instead of shown
// and URLs captured instead of opened.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QtCore/QUrl>

#include "app/program/help_pages.h"
#include "config/settings_access.h"
#include "platform/notices.h"
#include "resources/resource_binding.h"
#include "tests/gui/gui_support.h"
#include "tests/support/test_images.h"

namespace tx::guitest {

class ProgramSink : public NoticeSink {
 public:
  void Show(const std::string& text, const std::string&, NoticeIcon) override {
    shown.push_back(text);
  }
  NoticeAnswer AskYesNo(const std::string& text, const std::string&) override {
    asked.push_back(text);
    return answer == NoticeAnswer::Cancel ? NoticeAnswer::No : answer;
  }
  NoticeAnswer AskYesNoCancel(const std::string& text, const std::string&) override {
    asked.push_back(text);
    return answer;
  }
  void Beep() override { ++beeps; }

  NoticeAnswer answer = NoticeAnswer::Yes;
  std::vector<std::string> shown;
  std::vector<std::string> asked;
  int beeps = 0;
};

/// Sets up and restores everything a program window test touches.
class ProgramEnvironment {
 public:
  ProgramEnvironment() {
    App();
    // Closing a test's window must not end the tests' event loops.
    QApplication::setQuitOnLastWindowClosed(false);
    std::string error;
    bound = BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error);
    sink = std::make_shared<ProgramSink>();
    previousSink = SetNoticeSink(sink);
    // One profile folder for the whole run: the configuration outlives the
    // test that made it.
    static testing::TempDir profileDir;
    Configuration::SetCurrent(std::make_unique<Configuration>(profileDir.path() / "Tesserix.set",
                                                              profileDir.path() / "Tesserix.ini"));
    previousOpener = SetUrlOpener([this](const QUrl& url) {
      urls.push_back(url);
      return true;
    });
  }
  ~ProgramEnvironment() {
    SetUrlOpener(previousOpener);
    SetNoticeSink(previousSink);
  }
  static std::filesystem::path ProgramFolder() { return TESSERIX_BIN_DIR; }

  testing::TempDir dir;
  bool bound = false;
  std::shared_ptr<ProgramSink> sink;
  std::shared_ptr<NoticeSink> previousSink;
  UrlOpener previousOpener;
  std::vector<QUrl> urls;
};

}  // namespace tx::guitest
