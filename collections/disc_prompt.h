#pragma once
// The prompt that asks the user to insert the collection disc when a tile
// picture of a disc collection cannot be read.

#include <filesystem>
#include <string>

#include "platform/notices.h"

namespace tx {

class CollectionRegistry;

/// The prompt's text: "insert the %s collection %s into drive %s".
inline constexpr unsigned kStrInsertCollectionDisc = 9911;

/// The drive the prompt names for a tile picture path when the settings
/// file names none: "X:" for a path beginning with a drive letter and a
/// colon; otherwise the folder that holds the path's resolution folder
/// ("Res" and digits), which is the disc folder the collection expects
/// ("/media/cdrom" for /media/cdrom/Res15/001/234.jpg); without such a
/// folder, the folder holding the picture; for a path without folders, the
/// path itself.
std::string DiscDriveOfPath(const std::filesystem::path& tilePicturePath);

/// Asks the user to insert the disc holding disc collection `discIndex`
/// (kind 0 of `registry`), whose picture `tilePicturePath` could not be
/// read. The disc name, collection name and drive come from keys CDName,
/// Collection and Drive of section USER of the registry's settings file;
/// an empty Collection names the collection by its display name, an empty
/// Drive is taken from the path (DiscDriveOfPath). Returns 1 (OK) when the
/// user wants the picture tried again, another value when not; without the
/// prompt's text nothing is shown and the answer is Cancel, so the caller
/// never retries without end.
int AskForCollectionDisc(NoticeOwner owner, const std::filesystem::path& tilePicturePath,
                         CollectionRegistry& registry, int discIndex);

}  // namespace tx
