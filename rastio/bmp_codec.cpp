// Windows and OS/2 bitmap files, read and written by hand.
//
// Reading accepts the core (12-byte), OS/2 2.x (16 or 64 bytes) and Windows
// (40, 52, 56, 108, 124 bytes) info headers; 1-, 4- and 8-bit files (also
// run-length encoded) keep their depth, 16- and 32-bit files become 24-bit.
// Writing produces plain uncompressed files with a 40-byte info header.

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "image/image_block.h"
#include "rastio/byte_reader_p.h"
#include "rastio/codec.h"

namespace tx::rastio {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kOs2ShortHeaderSize = 16;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV2HeaderSize = 52;  // adds the red, green and blue masks
constexpr std::uint32_t kV3HeaderSize = 56;  // adds the alpha mask
constexpr std::uint32_t kOs2HeaderSize = 64;
constexpr std::uint32_t kV4HeaderSize = 108;
constexpr std::uint32_t kV5HeaderSize = 124;

enum Compression : std::uint32_t {
  kBiRgb = 0,
  kBiRle8 = 1,
  kBiRle4 = 2,
  kBiBitFields = 3,
  kBiJpeg = 4,
  kBiPng = 5,
  kBiAlphaBitFields = 6,
};

struct BmpLayout {
  std::int64_t width = 0;
  std::int64_t height = 0;  // always positive; topDown tells the row order
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t coloursUsed = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t masks[3] = {};  // red, green, blue
  std::size_t paletteAt = 0;
  std::size_t paletteEntrySize = 4;
  std::size_t pixelsAt = 0;
};

Decoded Fail(std::string why) {
  return {PackedImage(), 1, "BMP: " + std::move(why)};
}

bool IsKnownHeaderSize(std::uint32_t size) {
  return size == kCoreHeaderSize || size == kOs2ShortHeaderSize || size == kInfoHeaderSize ||
         size == kV2HeaderSize || size == kV3HeaderSize || size == kOs2HeaderSize ||
         size == kV4HeaderSize || size == kV5HeaderSize;
}

// Reads the file and info headers and the bitfield masks, and checks that
// the compression suits the depth. The palette and pixels are checked later.
bool ReadLayout(ByteSpan data, BmpLayout& layout, std::string& error) {
  ByteReader in(data);
  if (in.u8() != 'B' || in.u8() != 'M') {
    error = "not a bitmap file";
    return false;
  }
  in.skip(8);  // file size and two reserved words: often wrong, never needed
  std::uint32_t pixelsAt = in.u32();
  std::uint32_t headerSize = in.u32();
  if (!in.ok()) {
    error = "the file ends inside its header";
    return false;
  }
  if (!IsKnownHeaderSize(headerSize)) {
    error = "unknown info header size " + std::to_string(headerSize);
    return false;
  }
  bool os2 = headerSize == kOs2ShortHeaderSize || headerSize == kOs2HeaderSize;
  if (headerSize == kCoreHeaderSize) {
    layout.width = in.u16();
    layout.height = in.u16();
    in.skip(2);  // planes
    layout.bitCount = in.u16();
    layout.paletteEntrySize = 3;
  } else {
    layout.width = in.i32();
    std::int64_t height = in.i32();
    layout.topDown = height < 0;
    layout.height = height < 0 ? -height : height;
    in.skip(2);  // planes: some writers put 0 there; it tells nothing
    layout.bitCount = in.u16();
    if (headerSize >= kInfoHeaderSize) {
      layout.compression = in.u32();
      in.skip(4);  // image size: unreliable, the rows are measured instead
      layout.xPelsPerMeter = in.i32();
      layout.yPelsPerMeter = in.i32();
      layout.coloursUsed = in.u32();
      in.skip(4);  // important colours
    }
  }
  bool bitFields =
      !os2 && (layout.compression == kBiBitFields || layout.compression == kBiAlphaBitFields);
  if (bitFields) {
    // Masks follow a 40-byte header; longer headers hold them inside.
    for (std::uint32_t& mask : layout.masks) {
      mask = in.u32();
    }
  }
  std::size_t headersEnd = kFileHeaderSize + headerSize;
  if (bitFields && headerSize == kInfoHeaderSize) {
    headersEnd += layout.compression == kBiAlphaBitFields ? 16 : 12;
  }
  if (!in.ok() || data.size() < headersEnd) {
    error = "the file ends inside its header";
    return false;
  }

  int bits = layout.bitCount;
  bool suits = false;
  // OS/2 2.x gives codes 3 and 4 other meanings (Huffman, 24-bit runs): unsupported.
  std::uint32_t compression = layout.compression;
  if (os2 && compression > kBiRle4) compression = std::numeric_limits<std::uint32_t>::max();
  switch (compression) {
    case kBiRgb:
      suits = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
      break;
    case kBiRle8:
      suits = bits == 8;
      break;
    case kBiRle4:
      suits = bits == 4;
      break;
    case kBiBitFields:
    case kBiAlphaBitFields:
      suits = bits == 16 || bits == 32;
      break;
    case kBiJpeg:
    case kBiPng:
      error = "bitmaps holding a compressed JPEG or PNG picture are not supported";
      return false;
    default:
      error = "unsupported compression " + std::to_string(layout.compression);
      return false;
  }
  if (!suits) {
    error = "unsupported depth " + std::to_string(bits) + " for compression " +
            std::to_string(layout.compression);
    return false;
  }
  if (!bitFields || (layout.masks[0] | layout.masks[1] | layout.masks[2]) == 0) {
    // Uncompressed 16-bit pixels are 5-5-5; 32-bit ones are blue, green, red, unused.
    bool five = bits == 16;
    layout.masks[0] = five ? 0x7C00 : 0xFF0000;
    layout.masks[1] = five ? 0x03E0 : 0x00FF00;
    layout.masks[2] = five ? 0x001F : 0x0000FF;
  }
  layout.paletteAt = headersEnd;
  if (pixelsAt < headersEnd) {
    error = "the pixel offset points into the header";
    return false;
  }
  if (pixelsAt > data.size()) {
    error = "the pixel offset points past the end of the file";
    return false;
  }
  layout.pixelsAt = pixelsAt;
  return true;
}

// One colour channel of a 16- or 32-bit pixel, scaled to 0..255.
class Channel {
 public:
  explicit Channel(std::uint32_t mask)
      : m_mask(mask), m_shift(mask ? std::countr_zero(mask) : 0), m_max(mask >> m_shift) {}
  std::uint8_t operator()(std::uint32_t pixel) const {
    if (m_max == 0) return 0;
    std::uint64_t value = (pixel & m_mask) >> m_shift;
    return std::uint8_t((value * 255 + m_max / 2) / m_max);
  }

 private:
  std::uint32_t m_mask;
  int m_shift;
  std::uint64_t m_max;
};

// Copies the uncompressed rows; false when the file is shorter than they are.
bool ReadRows(ByteSpan data, const BmpLayout& layout, const ImageLock& lock, std::string& error) {
  int bits = layout.bitCount;
  std::uint64_t fileStride = RowStride(bits, layout.width);
  std::uint64_t rowBytes = (std::uint64_t(bits) * std::uint64_t(layout.width) + 7) / 8;
  // The last row's padding may be missing without losing a pixel.
  std::uint64_t needed = fileStride * std::uint64_t(layout.height - 1) + rowBytes;
  if (needed > data.size() - layout.pixelsAt) {
    error = "the file ends before its last pixel row";
    return false;
  }
  Channel red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
  for (std::int64_t y = 0; y < layout.height; ++y) {
    const std::uint8_t* source = data.data() + layout.pixelsAt + y * fileStride;
    std::uint8_t* row = lock.row(int(layout.topDown ? layout.height - 1 - y : y));
    if (bits <= 8 || bits == 24) {
      CopyPackedRow(row, source, bits, layout.width);
      continue;
    }
    for (std::int64_t x = 0; x < layout.width; ++x) {
      std::uint32_t pixel;
      if (bits == 16) {
        pixel = std::uint32_t(source[2 * x]) | std::uint32_t(source[2 * x + 1]) << 8;
      } else {
        const std::uint8_t* p = source + 4 * x;
        pixel = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                std::uint32_t(p[3]) << 24;
      }
      row[3 * x] = blue(pixel);
      row[3 * x + 1] = green(pixel);
      row[3 * x + 2] = red(pixel);
    }
  }
  return true;
}

// Decodes BI_RLE8 / BI_RLE4 data. Runs are clipped to the row, pixels the
// data skips (by delta or early end of line) stay index 0. Every step reads
// at least two bytes, so hostile data ends the loop when it runs out.
bool ReadRle(ByteSpan data, const BmpLayout& layout, const ImageLock& lock, std::string& error) {
  ByteReader in(data, layout.pixelsAt);
  const int bits = layout.bitCount;
  const std::int64_t width = layout.width, height = layout.height;
  std::int64_t x = 0, y = 0;
  auto put = [&](std::uint8_t index) {
    if (x < width) {
      PutIndex(lock.row(int(layout.topDown ? height - 1 - y : y)), x, bits, index);
    }
    ++x;
  };
  auto nibbleOrByte = [bits](std::uint8_t value, int i) {
    return bits == 8 ? value : std::uint8_t(i % 2 ? value & 15 : value >> 4);
  };
  while (y < height) {
    if (in.remaining() < 2) {
      if (y == height - 1 && x >= width) return true;  // only the end marker is missing
      error = "the run-length data ends before the picture does";
      return false;
    }
    std::uint8_t count = in.u8();
    std::uint8_t value = in.u8();
    if (count > 0) {
      for (int i = 0; i < count && x < width; ++i) {
        put(nibbleOrByte(value, i));
      }
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta: move right and up
      std::uint8_t dx = in.u8();
      std::uint8_t dy = in.u8();
      if (!in.ok()) {
        error = "the run-length data ends inside a delta";
        return false;
      }
      x += dx;
      y += dy;
    } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
      std::size_t bytes = bits == 8 ? value : (value + 1) / 2;
      ByteSpan run = in.take(bytes);
      if (!in.ok()) {
        error = "the run-length data ends inside an absolute run";
        return false;
      }
      for (int i = 0; i < value && x < width; ++i) {
        put(nibbleOrByte(run[bits == 8 ? i : i / 2], i));
      }
      if (bytes % 2 && in.remaining() > 0) in.skip(1);
    }
  }
  return true;
}

}  // namespace

Decoded DecodeBmp(ByteSpan data) {
  BmpLayout layout;
  std::string error;
  if (!ReadLayout(data, layout, error)) return Fail(error);
  if (!CheckPictureSize(layout.width, layout.height, error)) return Fail(error);

  const int bits = layout.bitCount;
  const bool indexed = bits <= 8;
  const int outBits = indexed ? bits : 24;
  const std::uint32_t tableSize = indexed ? 1u << bits : 0;
  PackedImage image(NewDecodedImage(layout.width, layout.height, outBits, tableSize, error));
  if (!image) return Fail(error);
  ImageLock lock(image.get());
  if (!lock) return Fail("the new picture cannot be locked");
  if (layout.xPelsPerMeter > 0 && layout.yPelsPerMeter > 0) {
    lock.header().biXPelsPerMeter = layout.xPelsPerMeter;
    lock.header().biYPelsPerMeter = layout.yPelsPerMeter;
  }

  if (indexed) {
    // Take as many entries as the header claims, the depth allows and the
    // bytes before the pixels hold; the rest of the full table stays black.
    std::uint64_t wanted = layout.coloursUsed ? layout.coloursUsed : tableSize;
    std::uint64_t present = (layout.pixelsAt - layout.paletteAt) / layout.paletteEntrySize;
    auto count = std::size_t(std::min({wanted, present, std::uint64_t(tableSize)}));
    const std::uint8_t* entry = data.data() + layout.paletteAt;
    for (std::size_t i = 0; i < count; ++i, entry += layout.paletteEntrySize) {
      lock.palette()[i] = RgbQuad{entry[0], entry[1], entry[2], 0};
    }
  }

  bool rle = layout.compression == kBiRle8 || layout.compression == kBiRle4;
  if (!(rle ? ReadRle(data, layout, lock, error) : ReadRows(data, layout, lock, error))) {
    return Fail(error);
  }
  return {std::move(image), 1, {}};
}

bool EncodeBmp(GlobalHandle image, ByteVector& out, std::string& error) {
  ImageLock lock(image);
  if (!lock) {
    error = "BMP: no picture to write";
    return false;
  }
  const int bits = lock.bitCount();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    error = "BMP: pictures of " + std::to_string(bits) +
            " bits are not written; 1, 4, 8 and 24 bits are";
    return false;
  }
  const std::uint32_t colours = bits <= 8 ? std::min(lock.colourCount(), 1u << bits) : 0;
  const std::uint64_t imageSize = std::uint64_t(lock.stride()) * std::uint64_t(lock.height());
  const std::uint64_t pixelsAt = kFileHeaderSize + kInfoHeaderSize + 4ull * colours;
  const std::uint64_t fileSize = pixelsAt + imageSize;
  if (fileSize > std::numeric_limits<std::uint32_t>::max()) {
    error = "BMP: the picture is too large for a bitmap file";
    return false;
  }
  out.reserve(out.size() + std::size_t(fileSize));
  PutU8(out, 'B');
  PutU8(out, 'M');
  PutU32(out, std::uint32_t(fileSize));
  PutU32(out, 0);  // two reserved words
  PutU32(out, std::uint32_t(pixelsAt));

  const BitmapInfoHeader& header = lock.header();
  PutU32(out, kInfoHeaderSize);
  PutU32(out, std::uint32_t(lock.width()));
  PutU32(out, std::uint32_t(lock.height()));  // positive: rows bottom-up, as stored
  PutU16(out, 1);
  PutU16(out, std::uint32_t(bits));
  PutU32(out, kBiRgb);
  PutU32(out, std::uint32_t(imageSize));
  PutU32(out, std::uint32_t(header.biXPelsPerMeter));
  PutU32(out, std::uint32_t(header.biYPelsPerMeter));
  PutU32(out, colours);
  PutU32(out, 0);  // all colours important

  for (std::uint32_t i = 0; i < colours; ++i) {
    const RgbQuad& entry = lock.palette()[i];
    PutU8(out, entry.blue);
    PutU8(out, entry.green);
    PutU8(out, entry.red);
    PutU8(out, 0);
  }
  PutBytes(out, lock.bits(), std::size_t(imageSize));
  return true;
}

}  // namespace tx::rastio
