#include "app/program/open_picture_dialog.h"

#include <string>
#include <system_error>
#include <vector>

#include <QtCore/QStandardPaths>
#include <QtWidgets/QFileDialog>

#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "resources/messages.h"

namespace tx {

namespace {

// The catalogue's lists of (description, patterns) pairs.
constexpr unsigned kStrAllPictures = 3083;
constexpr unsigned kStrAllPicturesNoGif = 3084;
constexpr unsigned kStrPictureTypes = 3085;
constexpr unsigned kStrPictureTypesNoGif = 3086;
constexpr unsigned kStrOpenTitle = 3081;
constexpr char kLastDirKey[] = "LastDir";

// "Name (*.JPG)" and "*.jpg;*.jpeg" as a Qt filter matching either case:
// "Name (*.jpg *.jpeg *.JPG *.JPEG)".
QString QtFilter(const std::string& description, const std::string& patterns) {
  QString name = QString::fromStdString(description);
  const qsizetype open = name.lastIndexOf(QLatin1Char('('));
  if (open > 0) name = name.left(open).trimmed();
  const QStringList lower =
      QString::fromStdString(patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  QStringList all = lower;
  for (const QString& pattern : lower) {
    if (pattern.toUpper() != pattern) all << pattern.toUpper();
  }
  return QStringLiteral("%1 (%2)").arg(name, all.join(QLatin1Char(' ')));
}

}  // namespace

QStringList OpenPictureFilters(bool gifReading) {
  QStringList filters;
  const std::vector<std::string> all =
      SplitTextList(LoadTextList(gifReading ? kStrAllPictures : kStrAllPicturesNoGif));
  if (all.size() >= 2) filters << QtFilter(all[0], all[1]);
  const std::vector<std::string> types =
      SplitTextList(LoadTextList(gifReading ? kStrPictureTypes : kStrPictureTypesNoGif));
  for (std::size_t i = 0; i + 1 < types.size(); i += 2)
    filters << QtFilter(types[i], types[i + 1]);
  return filters;
}

std::filesystem::path OpenPictureFolder() {
  std::string remembered;
  ReadUserString(kLastDirKey, "", remembered);
  std::error_code error;
  if (!remembered.empty() && std::filesystem::is_directory(remembered, error)) return remembered;
  return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString();
}

std::filesystem::path AskOpenPictureFile(QWidget* owner) {
  QFileDialog dialog(owner, QString::fromStdString(LoadText(kStrOpenTitle)),
                     QString::fromStdString(OpenPictureFolder().string()));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(OpenPictureFilters(Settings().noGif == 0));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const std::filesystem::path chosen = dialog.selectedFiles().first().toStdString();
  if (Settings().sameLastDir != 0) WriteUserString(kLastDirKey, chosen.parent_path().string());
  return chosen;
}

}  // namespace tx
