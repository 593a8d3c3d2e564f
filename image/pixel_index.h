#pragma once
// Reading and writing one pixel of an indexed row (1, 4 or 8 bits, the
// leftmost pixel in the most significant bits, as bitmaps store them).

#include <cstdint>

namespace tx {

/// The value of pixel `x` of a row of `bits` bits per pixel.
inline std::uint8_t IndexAt(const std::uint8_t* row, std::int64_t x, int bits) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    default:
      return row[x];
  }
}

/// Stores `value` as pixel `x`; the other pixels sharing its byte are kept.
inline void PutIndex(std::uint8_t* row, std::int64_t x, int bits, std::uint8_t value) {
  switch (bits) {
    case 1: {
      auto mask = std::uint8_t(0x80 >> (x & 7));
      row[x >> 3] = std::uint8_t((row[x >> 3] & ~mask) | ((value & 1) ? mask : 0));
      break;
    }
    case 4: {
      int shift = (x & 1) ? 0 : 4;
      row[x >> 1] = std::uint8_t((row[x >> 1] & ~(15 << shift)) | ((value & 15) << shift));
      break;
    }
    default:
      row[x] = value;
  }
}

}  // namespace tx
