#pragma once
// Qt's own words (the buttons of message boxes, the file, font and colour
// dialogs) in the language of the resource library in use.

class QCoreApplication;

namespace tx {

/// Installs Qt's Traditional Chinese translation unless the English
/// resource library is chosen. False when it is not installed on this
/// system (Qt's English words are shown then).
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace tx
