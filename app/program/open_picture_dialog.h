#pragma once
// The open-file dialog for one picture: the target picture, or the source of
// a signature or treasure picture.

#include <filesystem>

#include <QtCore/QStringList>

class QWidget;

namespace tx {

/// The dialog's name filters: every picture type first, then each type of
/// the catalogue's open filter (without GIF in an edition without it),
/// each matching its extensions in either case.
QStringList OpenPictureFilters(bool gifReading);

/// The folder the dialog opens in: the remembered folder when it still
/// exists, else the user's pictures folder.
std::filesystem::path OpenPictureFolder();

/// Asks for a picture file; the folder it was in is remembered when the
/// settings file keeps the last folder. Empty when the user cancelled.
std::filesystem::path AskOpenPictureFile(QWidget* owner);

}  // namespace tx
