#include "app/program/qt_translations.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QLibraryInfo>
#include <QtCore/QTranslator>

#include "resources/resource_binding.h"

namespace tx {

bool InstallQtTranslations(QCoreApplication& app) {
  if (ChosenResourceLibraryName() != "Res_TX") return true;
  // Owned by the application, so it lives as long as the words are shown.
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_zh_TW"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace tx
