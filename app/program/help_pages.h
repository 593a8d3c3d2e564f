#pragma once
// Help: one HTML page per language in help/ of the program folder, with one
// anchor per topic number, opened in the user's browser.

#include <filesystem>
#include <functional>
#include <string_view>

#include <QtCore/QUrl>

namespace tx {

/// Topic 0 stands for the contents (the page's top).
inline constexpr int kHelpContents = 0;
/// The help of the four window buttons.
inline constexpr int kHelpWindowButtons = 190;
/// The page of every language.
inline constexpr char kHelpPageName[] = "index.html";

/// The help folder's language for the resource library `libraryName`:
/// "en" for the English library, "zh-TW" for any other.
std::string_view HelpLanguage(std::string_view libraryName);

/// The help page for `libraryName` under `programDir`/help: the library's
/// language, else the other shipped language; empty when neither exists.
std::filesystem::path FindHelpPage(const std::filesystem::path& programDir,
                                   std::string_view libraryName);

/// A file URL of `page` pointing at `topic` (its number as the fragment), or
/// at the page itself for kHelpContents.
QUrl HelpUrl(const std::filesystem::path& page, int topic);

/// How URLs are opened: the desktop's browser by default; tests capture them.
using UrlOpener = std::function<bool(const QUrl&)>;
/// Replaces the opener and returns the previous one; an empty opener puts
/// the desktop's back.
UrlOpener SetUrlOpener(UrlOpener opener);
bool OpenUrl(const QUrl& url);

/// Opens help `topic` of the bound resource library's language from the
/// program folder. Without any help page the user is told (string 12420;
/// a beep when the library lacks it) and false is returned.
bool OpenHelp(int topic);
bool OpenHelp(int topic, const std::filesystem::path& programDir);

}  // namespace tx
