#pragma once
// Helpers shared by the image utilities; not part of the public interface.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "image/image_lock.h"
#include "image/image_utils.h"
#include "image/pixel_index.h"
#include "platform/cancel_flag.h"

namespace tx::detail {

/// True when the abort switch is on and a cancel has been requested since the
/// last poll. Nothing is polled while the switch is off.
inline bool AbortRequested() {
  return ImageAbortSwitch() && PollCancel();
}

/// A table of `count` default-initialised entries, or null when memory is
/// short: the utilities report failure by a null result, never by throwing.
template <typename T>
std::unique_ptr<T[]> NewTable(std::size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count == 0 ? 1 : count]);
}

/// The colour table widened to 256 entries; indices past the table read as
/// black so that a pixel value the table does not cover never reads beyond it.
inline std::array<RgbQuad, 256> FullPalette(const ImageLock& lock) {
  std::array<RgbQuad, 256> table{};
  std::uint32_t count = lock.colourCount() < 256 ? lock.colourCount() : 256;
  for (std::uint32_t i = 0; i < count; ++i) {
    table[i] = lock.palette()[i];
    table[i].reserved = 0;
  }
  return table;
}

/// A 16-bit 5-5-5 pixel (little-endian, blue in the low bits) as 8-bit channels.
inline RgbQuad Rgb555(const std::uint8_t* pixel) {
  std::uint8_t low = pixel[0], high = pixel[1];
  return RgbQuad{std::uint8_t((low & 31) * 8), std::uint8_t(((low >> 5) | (high & 3) << 3) * 8),
                 std::uint8_t(((high >> 2) & 31) * 8), 0};
}

/// The colour of pixel `x` of a row of 1, 4, 8, 16 (5-5-5) or 24 bits; indexed
/// pixels go through `palette` (see FullPalette).
inline RgbQuad ColourAt(const std::uint8_t* row, std::int64_t x, int bits,
                        const std::array<RgbQuad, 256>& palette) {
  switch (bits) {
    case 24: {
      const std::uint8_t* p = row + 3 * x;
      return RgbQuad{p[0], p[1], p[2], 0};
    }
    case 16:
      return Rgb555(row + 2 * x);
    default:
      return palette[IndexAt(row, x, bits)];
  }
}

/// Integer luma with weights 77, 150 and 29 (sum 256) for red, green and blue,
/// rounded; a gray colour (v, v, v) gives back exactly v.
inline std::uint8_t GrayOf(const RgbQuad& c) {
  return std::uint8_t((c.red * 77 + c.green * 150 + c.blue * 29 + 128) >> 8);
}

}  // namespace tx::detail
