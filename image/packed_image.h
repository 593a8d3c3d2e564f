#pragma once
// The packed image: the one picture type every part of the program passes on.
//
// A packed image is a block of global memory (platform/global_memory.h) laid
// out as a 40-byte bitmap information header, a colour table of biClrUsed
// entries (blue, green, red, 0) and the pixel rows, bottom row first, each
// padded with zeros to a multiple of 4 bytes. 24-bit pixels are stored blue,
// green, red. The handle is the image; whoever holds it owns it and frees it
// with GlobalFree. Every function here accepts a null handle and returns its
// failure value for it.

#include <bit>
#include <cstdint>

#include "platform/global_memory.h"

namespace tx {

static_assert(std::endian::native == std::endian::little,
              "packed images and file formats are little-endian");

struct BitmapInfoHeader {
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

struct RgbQuad {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
  std::uint8_t reserved;
};
static_assert(sizeof(RgbQuad) == 4);

inline constexpr std::uint32_t kBitmapHeaderSize = 40;
/// 200 dots per inch, written into every image the program creates.
inline constexpr std::int32_t kDefaultPelsPerMeter = 7874;
/// Size of a gray image's head: header plus a 256-entry colour table.
inline constexpr std::uint32_t kGrayHeadSize = kBitmapHeaderSize + 256 * 4;

/// What GetImageKind reports.
enum ImageKind : int {
  kImageKindOther = 0,
  kImageKindGray = 1,
  kImageKindTrueColour = 2,
  kImageKindPalette8 = 3,
  kImageKind4Bit = 4,
  kImageKind1Bit = 5,
};

/// One colour as 0x00BBGGRR, red in the low byte.
using ColourWord = std::uint32_t;

constexpr ColourWord MakeColourWord(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return ColourWord(red) | ColourWord(green) << 8 | ColourWord(blue) << 16;
}
constexpr std::uint8_t RedOf(ColourWord c) {
  return std::uint8_t(c);
}
constexpr std::uint8_t GreenOf(ColourWord c) {
  return std::uint8_t(c >> 8);
}
constexpr std::uint8_t BlueOf(ColourWord c) {
  return std::uint8_t(c >> 16);
}

/// Writes a colour word into a 24-bit pixel (blue, green, red).
inline void PutColourWord(std::uint8_t* pixel, ColourWord c) {
  pixel[0] = BlueOf(c);
  pixel[1] = GreenOf(c);
  pixel[2] = RedOf(c);
}

/// Bytes in one stored row: bits per row rounded up to 32, in bytes. 64-bit
/// so that absurd sizes can be detected instead of wrapping.
constexpr std::uint64_t RowStride(int bitCount, std::int64_t width) {
  return ((std::uint64_t(bitCount) * std::uint64_t(width) + 31) / 32) * 4;
}

/// A new width x height image filled with `fill`: 8-bit gray (every pixel the
/// low byte of fill) when grayFlag > 0, else 24-bit (every pixel the colour
/// word fill). Null when memory is exhausted or the size is not positive or
/// does not fit a 32-bit block. Shows no message.
GlobalHandle CreatePackedImage(int width, int height, ColourWord fill, int grayFlag);

/// Stores the low 16 bits of width and height; 1 on success, 0 for a null or
/// unlockable handle (the outputs are then left alone).
int GetImageSize(GlobalHandle image, std::uint16_t& width, std::uint16_t& height);

/// biBitCount, or -1 for a null or unlockable handle.
int GetImageBitCount(GlobalHandle image);

/// The ImageKind of the image (kImageKindOther for a null handle).
int GetImageKind(GlobalHandle image);

/// 1 for a gray image (8 bits, exactly 256 entries, entry i = (i, i, i)), else 0.
int IsGrayImage(GlobalHandle image);

}  // namespace tx
