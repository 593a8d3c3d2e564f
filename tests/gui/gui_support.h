#pragma once
// What every widget test needs: one QApplication on the offscreen platform,
// made before the first widget and kept until the process ends.

#include <QtCore/QByteArray>
#include <QtWidgets/QApplication>

namespace tx::guitest {

inline QApplication& App() {
  static QApplication* app = [] {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

}  // namespace tx::guitest
