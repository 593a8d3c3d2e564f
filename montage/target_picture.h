#pragma once
// Reading a picture file as the target picture of a montage.

#include <filesystem>

#include "image/image_lock.h"
#include "platform/notices.h"

namespace tx {

/// Reads `path` as a 24-bit target picture. A missing file, an LZW TIFF or
/// a GIF in an edition without GIF, and a type that is not a picture are
/// refused with their messages; a file the picture reader cannot read is
/// refused silently. Returns the picture, or an empty one.
PackedImage ReadTargetPicture(NoticeOwner owner, const std::filesystem::path& path);

}  // namespace tx
