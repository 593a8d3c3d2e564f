#pragma once
// The file name the Save As dialog hands back: the type's extension added
// to a bare name, and the folder remembered for the next dialog.

#include <string>
#include <string_view>

#include "output/save_options.h"

namespace tx {

/// Characters at the end of a name that are searched for an extension dot.
inline constexpr std::size_t kExtensionSearchChars = 4;

/// True when the name part of `path` (after the last '/', '\\' or ':') has
/// a '.' among its last four characters (UTF-8 characters, not bytes). A dot
/// in a folder name does not count.
bool HasTypedExtension(std::string_view path);

/// `path` with the extension of save type `code` appended when it has no
/// typed extension (HasTypedExtension); otherwise `path` unchanged. An
/// unknown code appends nothing.
std::string WithSaveExtension(std::string_view path, int code);

/// What the dialog's OK does with the user's choice: stores `typeCode` and
/// the options that type shows (taken from `shown`; the others keep their
/// values) into CurrentSaveOptions(), and returns the typed name with the
/// type's extension when it has none, remembering its folder. An empty name
/// gives "" and remembers nothing: the dialog is shown again.
std::string AcceptSaveChoice(std::string_view typedName, int typeCode, const SaveOptions& shown);

/// The folder part of `path`: everything before its last '/', or "/" when
/// that is the first character; "" when `path` holds no '/'.
std::string FolderPart(std::string_view path);

/// The folder of the last chosen save path, for the whole process; "" until
/// a name has been chosen.
const std::string& RememberedSaveFolder();

/// Remembers the folder part of `chosenPath` (nothing when it has none).
void RememberSaveFolder(std::string_view chosenPath);

/// Forgets the remembered folder (a new session, or tests).
void ForgetSaveFolder();

/// The folder the dialog opens in: the remembered one when there is one and
/// it still exists as a folder, else `defaultFolder`.
std::string InitialSaveFolder(const std::string& defaultFolder);

}  // namespace tx
