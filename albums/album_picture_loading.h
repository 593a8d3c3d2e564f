#pragma once
// Loading a picture file that is being added to an album.

#include <filesystem>
#include <string>

#include "platform/global_memory.h"
#include "platform/notices.h"

namespace tx {

/// True when the extension of `path` (any case) names a type the album
/// loader reads: TIF, TIFF, GIF (not in an edition without GIF), MSK (read
/// as JPEG), BMP, PCX, TGA, JPG, JPEG, FPX, PNG, WEBP, HEIC, HEIF.
bool IsAlbumPictureFile(const std::filesystem::path& path);

/// Loads the picture at `path` for an album, telling the user why when it
/// cannot: an LZW-compressed TIFF or a GIF in an edition without GIF, and a
/// type outside the picture types, each have their message; a file that
/// exists but yields no picture shows "unknown file format" (or, when
/// `savingStill` is set, the save error message of a still frame being
/// saved), and a missing file shows its path with "cannot be found". An
/// 8-bit gray picture comes back as its 24-bit conversion. Returns a new
/// image the caller owns, or null after the message.
GlobalHandle LoadAlbumPicture(NoticeOwner owner, const std::string& path, bool savingStill);

}  // namespace tx
