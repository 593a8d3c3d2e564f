#pragma once
// Turning a decoded picture upright according to its EXIF orientation.

#include "platform/global_memory.h"

namespace tx::rastio {

/// A new image showing `image` upright for EXIF orientation 2..8 (mirrored,
/// rotated or both; 5 to 8 swap width and height), or null on failure. Any
/// depth the packed image has; the colour table is kept. Orientation 1 or
/// an unknown value returns null too: nothing needs doing.
GlobalHandle ApplyOrientation(GlobalHandle image, int orientation);

}  // namespace tx::rastio
