#include "app/program/help_pages.h"

#include <string>
#include <system_error>
#include <utility>

#include <QtGui/QDesktopServices>

#include "app/program/program_log.h"
#include "platform/notices.h"
#include "platform/paths.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"

namespace tx {
namespace {

/// "The help pages cannot be found."
constexpr unsigned kStrHelpMissing = 12420;

constexpr std::string_view kEnglishLibrary = "Res_EN";
constexpr std::string_view kEnglish = "en";
constexpr std::string_view kChinese = "zh-TW";

UrlOpener& Opener() {
  static UrlOpener opener;
  return opener;
}

bool IsFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::string_view HelpLanguage(std::string_view libraryName) {
  return libraryName == kEnglishLibrary ? kEnglish : kChinese;
}

std::filesystem::path FindHelpPage(const std::filesystem::path& programDir,
                                   std::string_view libraryName) {
  const std::string_view first = HelpLanguage(libraryName);
  const std::string_view second = first == kEnglish ? kChinese : kEnglish;
  for (std::string_view language : {first, second}) {
    std::filesystem::path page = programDir / "help" / std::string(language) / kHelpPageName;
    if (IsFile(page)) return page;
  }
  return {};
}

QUrl HelpUrl(const std::filesystem::path& page, int topic) {
  QUrl url = QUrl::fromLocalFile(QString::fromStdString(page.string()));
  if (topic != kHelpContents) url.setFragment(QString::number(topic));
  return url;
}

UrlOpener SetUrlOpener(UrlOpener opener) {
  return std::exchange(Opener(), std::move(opener));
}

bool OpenUrl(const QUrl& url) {
  ProgramLog("open url " + url.toString().toStdString());
  if (Opener()) return Opener()(url);
  return QDesktopServices::openUrl(url);
}

bool OpenHelp(int topic) {
  return OpenHelp(topic, ProgramDir());
}

bool OpenHelp(int topic, const std::filesystem::path& programDir) {
  const ResourceLibrary* library = ResourceInstance();
  const std::filesystem::path page =
      FindHelpPage(programDir, library != nullptr ? library->name() : ChosenResourceLibraryName());
  if (page.empty()) {
    if (LoadText(kStrHelpMissing).empty()) {
      Notices()->Beep();
    } else {
      ShowMessage(kStrHelpMissing);
    }
    return false;
  }
  return OpenUrl(HelpUrl(page, topic));
}

}  // namespace tx
