#pragma once
// The Save command of the home screen, and saving the new montage when the
// program is closed.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/global_memory.h"

class QWidget;

namespace tx {

class MontageEngine;

/// The Save command. Beeps and does nothing when there is no target
/// picture. Otherwise saves `shownPicture` (when null: the montage when
/// there is one, else the target picture) to the name the Save As dialog
/// gives, with the wait cursor shown while the file is written. After a
/// successful save of the montage its unsaved flag is cleared. Returns the
/// saved path in lower case, which becomes the montage window's title, or
/// nothing when the dialog was cancelled or the save failed (every flag
/// then stays as it was).
std::optional<std::string> SaveShownPicture(QWidget* owner, MontageEngine& engine,
                                            GlobalHandle shownPicture,
                                            const std::filesystem::path& defaultFolder = {});

/// Saving the new montage before the program closes (the user answered
/// yes to the unsaved-montage question): asks the name and writes the
/// montage; the unsaved flag is cleared on success. False when the dialog
/// was cancelled or the save failed: the closing stops. True with no
/// montage (nothing to save).
bool SaveBeforeClose(QWidget* owner, MontageEngine& engine,
                     const std::filesystem::path& defaultFolder = {});

}  // namespace tx
