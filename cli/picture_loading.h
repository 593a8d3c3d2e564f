#pragma once
// Reading a picture file the way the program reads a target picture: the
// extension chooses the reading function, and unknown types are refused.

#include <string>

#include "platform/global_memory.h"

namespace tx::cli {

/// True when the extension (without the dot, any case) names a picture type
/// the program opens.
bool IsPictureExtension(const std::string& extension);

/// A new image of the file's own depth, or null with a reason in `error`.
GlobalHandle LoadPictureByExtension(const std::string& path, std::string& error);

}  // namespace tx::cli
