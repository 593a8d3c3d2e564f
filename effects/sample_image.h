#pragma once
// Filters and distortions take 24-bit images and gray images only and treat
// both alike: a pixel is `channels` bytes (blue, green, red, or one gray
// level) and a row holds width x channels of them before its padding.

#include <cstdint>

#include "effects/effects_p.h"
#include "image/image_lock.h"

namespace tx::fx {

/// 3 for a 24-bit image, 1 for a gray image, 0 for any other image.
int SampleChannels(const ImageLock& image);

/// The bytes a pixel of `channels` takes for the colour 0x00BBGGRR (red in the
/// low byte): blue, green, red; or for gray the level
/// round(0.30 red + 0.59 green + 0.11 blue).
struct BackgroundPixel {
  std::uint8_t bytes[3] = {0, 0, 0};
};
BackgroundPixel MakeBackgroundPixel(std::uint32_t colour, int channels);

}  // namespace tx::fx
