#pragma once
// The delete-options question of the album pictures (dialog 123) and the
// video sources (dialog 8000): remove from the list only, preselected, or
// also delete the file on disk, under a warning that deleted files cannot be
// brought back. Built from the resource library's dialog template, so its
// words follow the language.

#include <functional>
#include <optional>

class QWidget;

namespace tx {

/// The dialog templates and their two choices.
inline constexpr unsigned kDialogDeletePictures = 123;
inline constexpr unsigned kDialogDeleteVideos = 8000;

enum class DeleteChoice { ListOnly, AlsoFile };

/// Asks with dialog template `dialogId`; the first choice is preselected.
/// Nothing (the user cancelled, or the template is missing) deletes nothing.
std::optional<DeleteChoice> AskDeleteOptions(QWidget* owner, unsigned dialogId);

/// How the question is answered: the dialog by default; tests answer it.
using DeleteOptionsAsker = std::function<std::optional<DeleteChoice>(unsigned dialogId)>;
/// Replaces the asker and returns the previous one; an empty one puts the
/// dialog back.
DeleteOptionsAsker SetDeleteOptionsAsker(DeleteOptionsAsker asker);

}  // namespace tx
