#pragma once
// Turning drawn pictures into what the program reads: packed images inside
// skin files, and bitmap files.

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "image/image_lock.h"

namespace tx::skincomp {

/// A 24-bit packed image holding `image`'s pixels; null when it cannot be made.
PackedImage ToPackedImage(const QImage& image);

/// The bytes of a 24-bit Windows bitmap file of `image`; false with a reason.
bool BitmapFileBytes(const QImage& image, std::vector<std::uint8_t>& out, std::string& error);

/// Writes `bytes` to `path` (replacing it whole), making its folder.
bool WriteOutput(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                 std::string& error);

}  // namespace tx::skincomp
