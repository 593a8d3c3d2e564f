#pragma once
// What the screenshot tools of the program's own window share: the program
// started as the real one starts (resource library, Qt's words, notices,
// settings, the user folder's collections) without claiming the single
// instance, and waiting and shooting helpers.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>

#include "app/program/main_window.h"
#include "app/program/montage_path.h"
#include "app/program/qt_notice_sink.h"
#include "app/program/qt_translations.h"
#include "collections/collection_registry.h"
#include "config/startup_settings.h"
#include "resources/resource_binding.h"

namespace tx::shots {

inline constexpr int kSettleMs = 150;

inline void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

/// Waits until `done` or `limitMs` have passed; false on the limit.
inline bool WaitFor(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > limitMs) return false;
    Wait(10);
  }
  return true;
}

/// Writes `widget` as it shows now to folder/name.png.
inline bool Shoot(QWidget& widget, const std::filesystem::path& folder, const std::string& name) {
  const std::filesystem::path file = folder / (name + ".png");
  if (!widget.grab().save(QString::fromStdString(file.string()))) {
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return false;
  }
  return true;
}

/// The program's main window with its screens, on the home screen, shown.
/// Made after the QApplication.
class ProgramForShots {
 public:
  explicit ProgramForShots(QApplication& app) {
    BindResourceLibraryOrExit();
    InstallQtTranslations(app);
    m_sink = std::make_shared<QtNoticeSink>();
    SetNoticeSink(m_sink);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    InitialiseStartupSettings(screen.width(), screen.height());
    Collections().PrepareCollectionFolders();
    Collections().LoadCollections();
    m_path = std::make_unique<MontagePath>(Collections());
    m_window = std::make_unique<MainWindow>(m_path->Hooks());
    m_path->Attach(*m_window);
    m_sink->SetMainWindow(m_window.get());
    m_window->PlaceAndShow(QPoint(0, 0));
    Wait(kSettleMs);
  }
  ~ProgramForShots() {
    m_window.reset();
    m_path.reset();
  }
  ProgramForShots(const ProgramForShots&) = delete;
  ProgramForShots& operator=(const ProgramForShots&) = delete;

  MontagePath& path() { return *m_path; }
  MainWindow& window() { return *m_window; }

 private:
  std::shared_ptr<QtNoticeSink> m_sink;
  std::unique_ptr<MontagePath> m_path;
  std::unique_ptr<MainWindow> m_window;
};

}  // namespace tx::shots
