#pragma once
// What the program's window tests share: the resource library and skins of
// the build, a user profile of their own, notices recorded instead of shown
// and URLs captured instead of opened.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtTest/QTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>

#include "app/program/help_pages.h"
#include "app/program/main_window.h"
#include "app/program/montage_path.h"
#include "app/program/save_dialog.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
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
    // One profile folder and configuration for the whole run: the process's
    // collection registry keeps a reference to the configuration.
    static testing::TempDir profileDir;
    static const bool configured = [] {
      Configuration::SetCurrent(std::make_unique<Configuration>(
          profileDir.path() / "Tesserix.set", profileDir.path() / "Tesserix.ini"));
      return true;
    }();
    (void)configured;
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
  /// The test's user folder.
  std::filesystem::path UserFolder() const { return dir.path() / "U"; }
  /// The build's settings file (it names the shipped sample collection) with
  /// a user profile of the test's own.
  std::unique_ptr<Configuration> ProgramConfiguration() const {
    return std::make_unique<Configuration>(ProgramFolder() / "Tesserix.set",
                                           dir.path() / "Tesserix.ini");
  }
  /// A collection registry on `configuration` for the test's user folder and
  /// the build's program folder; with `load` its folders are prepared and the
  /// collections loaded, the shipped sample among them.
  std::unique_ptr<CollectionRegistry> MakeRegistry(Configuration& configuration, bool load) const {
    auto registry =
        std::make_unique<CollectionRegistry>(configuration, UserFolder(), ProgramFolder());
    if (load) {
      registry->PrepareCollectionFolders();
      registry->LoadCollections();
    }
    return registry;
  }

  testing::TempDir dir;
  bool bound = false;
  std::shared_ptr<ProgramSink> sink;
  std::shared_ptr<NoticeSink> previousSink;
  UrlOpener previousOpener;
  std::vector<QUrl> urls;
};

constexpr int kPollMs = 10;

/// The program's main window with every screen on `registry`, made as the
/// program makes it and shown; false when it did not show.
inline bool ShowProgramWindow(CollectionRegistry& registry, std::unique_ptr<MontagePath>& path,
                              std::unique_ptr<MainWindow>& window) {
  path = std::make_unique<MontagePath>(registry);
  window = std::make_unique<MainWindow>(path->Hooks(), ProgramEnvironment::ProgramFolder());
  path->Attach(*window);
  window->show();
  return QTest::qWaitForWindowExposed(window.get());
}

/// How long a test waits for a run on the sample collection.
inline constexpr int kRunTimeoutMs = 60000;

/// Create from the montage settings screen, then waits for the run to end;
/// true when it made a montage.
inline bool CreateAndWait(MainWindow& window, MontagePath& path) {
  if (!window.GoToScreen(kScreenMontageSettings)) return false;
  bool made = false;
  bool ended = false;
  const QMetaObject::Connection connection =
      QObject::connect(&path.run(), &MontageRun::finished, &window, [&](bool result) {
        made = result;
        ended = true;
      });
  path.Create();
  const bool started = path.run().running();
  if (started) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return ended; }, kRunTimeoutMs));
  }
  QObject::disconnect(connection);
  return started && made;
}

/// Clicks the middle of the button of `command` on screen `screen` as a
/// user would (the pointer moves there first); with `argument` not 0, the
/// button with that argument.
inline void ClickButton(SkinPanelWidget& panel, int screen, const std::string& command,
                        int argument = 0) {
  for (const ButtonRecord& r : panel.panel().records(screen)) {
    if (r.command != command || (argument != 0 && ArgLow(r.argument) != argument)) continue;
    const QPoint at((r.rect.left + r.rect.right) / 2, (r.rect.top + r.rect.bottom) / 2);
    QTest::mouseMove(&panel, at);
    QTest::mouseClick(&panel, Qt::LeftButton, {}, at);
    return;
  }
  ADD_FAILURE() << "no button " << command << " on screen " << screen;
}

/// Clicks the middle of the row showing item `item` of open list `id`.
inline void ClickListRow(SkinPanelWidget& panel, int id, int item) {
  SkinnedList* list = panel.lists().FindList(id);
  if (list == nullptr) {
    ADD_FAILURE() << "list " << id << " is not open";
    return;
  }
  const std::vector<ListRowDraw> rows = list->RowsToDraw();
  const int row = item - list->store().top();
  if (row < 0 || row >= int(rows.size())) {
    ADD_FAILURE() << "item " << item << " of list " << id << " is not in view";
    return;
  }
  const ButtonRect& rect = rows[std::size_t(row)].rect;
  const QPoint at((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  QTest::mouseMove(&panel, at);
  QTest::mouseClick(&panel, Qt::LeftButton, {}, at);
}

// Acts on the Save As dialog each time it is found showing: the first
// action on the first showing, and so on. A showing left without an
// action is cancelled so that a test can never hang in the dialog.
class DialogDriver {
 public:
  using Action = std::function<void(SaveAsDialog&)>;
  explicit DialogDriver(std::vector<Action> actions) : m_actions(std::move(actions)) {
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    m_timer.start(kPollMs);
  }
  int showings() const { return m_showings; }

 private:
  void Tick() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<SaveAsDialog*>(qobject_cast<QFileDialog*>(widget));
      if (!dialog || !dialog->isVisible()) continue;
      if (m_showings < int(m_actions.size())) {
        m_actions[std::size_t(m_showings++)](*dialog);
      } else {
        dialog->reject();
      }
      return;
    }
  }

  std::vector<Action> m_actions;
  QTimer m_timer;
  int m_showings = 0;
};

// Answers No to every message box that shows, recording its text.
class MessageBoxRefuser {
 public:
  MessageBoxRefuser() {
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible()) continue;
        texts.push_back(box->text());
        if (QAbstractButton* no = box->button(QMessageBox::No)) {
          no->click();
        } else {
          box->reject();
        }
      }
    });
    m_timer.start(kPollMs);
  }
  QStringList texts;

 private:
  QTimer m_timer;
};

}  // namespace tx::guitest
