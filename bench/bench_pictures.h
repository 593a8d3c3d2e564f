#pragma once
// The picture the picture benchmarks work on: camera-sized, 24 bits, with
// gradients and texture in every channel, made once.

#include <cstdint>

#include "image/image_lock.h"

namespace tx::bench {

inline constexpr int kSourceWidth = 4000;
inline constexpr int kSourceHeight = 3000;

inline GlobalHandle SourcePicture() {
  static PackedImage picture = [] {
    PackedImage image(CreatePackedImage(kSourceWidth, kSourceHeight, 0, 0));
    ImageLock lock(image.get());
    for (int y = 0; lock && y < kSourceHeight; ++y) {
      std::uint8_t* row = lock.row(y);
      for (int x = 0; x < kSourceWidth; ++x) {
        row[3 * x] = std::uint8_t(x * 255 / kSourceWidth);
        row[3 * x + 1] = std::uint8_t(y * 255 / kSourceHeight);
        row[3 * x + 2] = std::uint8_t((x * 7) ^ (y * 13));
      }
    }
    return image;
  }();
  return picture.get();
}

}  // namespace tx::bench
