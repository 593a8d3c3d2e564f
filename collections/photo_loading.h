#pragma once
// Loading the photos that become tiles.

#include <filesystem>
#include <string>

#include "platform/global_memory.h"

namespace tx {

/// True when `path` has the extension of a picture type that builds accept:
/// BMP, PCX, TGA, JPG, JPEG, FPX, PNG, TIF, TIFF, GIF (not in an edition
/// without GIF), and the types phones and the web use, WEBP, HEIC, HEIF.
/// Compared without regard to case.
bool IsBuildPicture(const std::filesystem::path& path);

/// Loads a photo as a 24-bit or lower packed image the caller owns, or null
/// (the reason in `reason` when given). By the extension: TIFF (refused in
/// an edition without GIF when LZW-compressed), GIF (refused there), the
/// other accepted types by their contents; any other extension is refused.
/// An 8-bit gray picture comes back as its 24-bit conversion. With a
/// minimum size, JPEG photos are decoded at the smallest eighth of their
/// size that still has it (see LoadPictureAtLeast).
GlobalHandle LoadPictureFile(const std::filesystem::path& path, int minWidth = 0, int minHeight = 0,
                             std::string* reason = nullptr);

}  // namespace tx
