#include "app/program/startup.h"

#include <cstdio>
#include <memory>
#include <system_error>

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>

#include "app/program/main_window.h"
#include "app/program/montage_path.h"
#include "app/program/program_log.h"
#include "app/program/qt_notice_sink.h"
#include "app/program/qt_translations.h"
#include "app/program/single_instance.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
#include "config/screen_class.h"
#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"
#include "resources/string_ids.h"

namespace tx {

std::vector<std::string> CommandLineFiles(const QStringList& arguments,
                                          const std::filesystem::path& workingDir) {
  std::vector<std::string> names;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    // Options are skipped; '/' starts a path here, not an option.
    if (argument.isEmpty() || argument.startsWith(u'-')) continue;
    std::filesystem::path path(argument.toStdString());
    if (path.is_relative()) path = workingDir / path;
    names.push_back(path.lexically_normal().string());
  }
  return names;
}

namespace {

std::filesystem::path CurrentFolder() {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::current_path(error);
  return error ? std::filesystem::path() : folder;
}

// Logs "home shown" at the first paint of the widget it watches, then removes
// itself: the moment the user first sees the home screen, which start-up
// timing measures to.
class FirstPaintLog : public QObject {
 public:
  explicit FirstPaintLog(QWidget* watched) : QObject(watched) { watched->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ProgramLog("home shown");
      watched->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }
};

}  // namespace

int RunProgram(int& argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("tesserix"));
  BindResourceLibraryOrExit();
  InstallQtTranslations(app);
  auto sink = std::make_shared<QtNoticeSink>();
  SetNoticeSink(sink);
  ProgramLog("start");

  // The screen decides the class and where the window goes; sizes are in
  // device-independent pixels, so a high-density screen counts by its
  // scaled size.
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect screenRect =
      screen != nullptr ? screen->geometry() : QRect(0, 0, kMainWindowWidth, kMainWindowHeight);
  const int depth = screen != nullptr ? screen->depth() : 32;
  int screenWidth = screenRect.width();
  int screenHeight = screenRect.height();
  InitialiseStartupSettings(screenWidth, screenHeight);
  GetSettingsFilePath();
  GetUserProfilePath();
  Collections().PrepareCollectionFolders();
  const int screenClass = GetScreenClass(screenWidth, screenHeight);

  const std::vector<std::string> names = CommandLineFiles(app.arguments(), CurrentFolder());
  SingleInstance instance(SingleInstance::ServerNameFor(QCoreApplication::applicationFilePath()));
  switch (instance.Claim()) {
    case SingleInstance::Outcome::Running:
      // A running instance on a screen that cannot show it, or on a display
      // of few colours, is left alone without a word.
      if (screenClass == kScreenClassTooSmall || depth < kMinHandOverDepth) return 0;
      if (!instance.HandOver(names)) {
        std::fprintf(stderr, "tesserix: the running instance did not take the files\n");
        ProgramLog("hand over failed");
        return kExitRefused;
      }
      ProgramLog("handed over " + std::to_string(names.size()) + " names");
      return 0;
    case SingleInstance::Outcome::OtherSession:
      ProgramLog("other session");
      ShowMessage(kStrOtherSessionNotice);
      return kExitRefused;
    case SingleInstance::Outcome::First:
      break;
  }

  if (depth <= kPaletteDepth) ShowMessage(kStrFullColourDisplay);
  if (screenClass == kScreenClassTooSmall) {
    const bool videoText =
        Settings().videoEdition != 0 && !LoadText(kStrVideoScreenTooSmall).empty();
    ShowMessage(videoText ? kStrVideoScreenTooSmall : kStrScreenTooSmall);
    ProgramLog("screen too small");
    return kExitRefused;
  }

  Collections().LoadCollections();
  MontagePath montagePath(Collections());
  MainWindow window(montagePath.Hooks());
  montagePath.Attach(window);
  sink->SetMainWindow(&window);
  QObject::connect(&instance, &SingleInstance::raiseRequested, &window,
                   [&window] { window.BringForward(); });
  QObject::connect(&instance, &SingleInstance::commandReceived, &window,
                   [&window](int id) { window.OnCommand(id); });

  const WindowRect rect = MainWindowRect(screenClass, screenWidth, screenHeight);
  // Installed before the window is shown so that no paint can come first.
  new FirstPaintLog(&window.panel());
  window.PlaceAndShow(QPoint(screenRect.x() + rect.x, screenRect.y() + rect.y));
  window.OpenAbout(true);
  for (std::size_t i = 0; i < names.size() && i < std::size_t(kMaxStartTargets); ++i)
    window.OpenTargetFile(names[i]);
  ProgramLog("running");

  const int code = app.exec();
  Collections().SaveCollections();
  sink->SetMainWindow(nullptr);
  ProgramLog("end");
  return code;
}

}  // namespace tx
