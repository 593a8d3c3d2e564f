// TGA files, read and written by hand.
//
// An 18-byte header, an optional id field, an optional colour map and the
// pixels, bottom row first unless the header says otherwise, plain or as
// run-length packets. The format has no signature, so the header is checked
// strictly: a file that is not a TGA must not pass for one.

#include <algorithm>
#include <cstring>

#include "image/image_block.h"
#include "rastio/byte_reader_p.h"
#include "rastio/codec.h"

namespace tx::rastio {
namespace {

constexpr int kMaxSide = 65535;
constexpr std::uint8_t kColourMapped = 1;
constexpr std::uint8_t kTrueColour = 2;
constexpr std::uint8_t kGray = 3;
constexpr std::uint8_t kRleFlag = 8;  // added to the type for run-length data
constexpr std::uint8_t kRightToLeft = 0x10;
constexpr std::uint8_t kTopToBottom = 0x20;
constexpr std::uint8_t kInterleaving = 0xC0;
constexpr std::uint8_t kRunPacket = 0x80;
constexpr int kMaxPacket = 128;

struct TgaHeader {
  std::uint8_t idLength = 0;
  std::uint8_t mapType = 0;
  std::uint8_t type = 0;
  std::uint16_t mapFirst = 0;
  std::uint16_t mapLength = 0;
  std::uint8_t mapEntryBits = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t pixelBits = 0;
  std::uint8_t descriptor = 0;
};

Decoded Fail(std::string why) {
  return {PackedImage(), 1, "TGA: " + std::move(why)};
}

bool IsColourDepth(int bits) {
  return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

// Rejects every header a real TGA file of the supported kinds cannot have.
bool CheckHeader(const TgaHeader& h, std::string& error) {
  const int baseType = h.type & ~kRleFlag;
  if (baseType != kColourMapped && baseType != kTrueColour && baseType != kGray) {
    error = "unsupported or unknown image type " + std::to_string(h.type);
    return false;
  }
  if (h.mapType > 1) {
    error = "unknown colour map type " + std::to_string(h.mapType);
    return false;
  }
  if (h.mapType == 1 && (!IsColourDepth(h.mapEntryBits) || h.mapLength == 0)) {
    error = "a colour map of " + std::to_string(h.mapLength) + " entries of " +
            std::to_string(h.mapEntryBits) + " bits";
    return false;
  }
  if (h.mapType == 0 && h.mapLength != 0) {
    error = "colour map entries without a colour map";
    return false;
  }
  if (h.descriptor & kInterleaving) {
    error = "interleaved rows are not supported";
    return false;
  }
  bool depthOk = false;
  switch (baseType) {
    case kColourMapped:
      if (h.mapType != 1) {
        error = "a colour-mapped picture without a colour map";
        return false;
      }
      if (h.mapFirst > 255) {
        error = "the colour map starts beyond what 8-bit indices reach";
        return false;
      }
      depthOk = h.pixelBits == 8;
      break;
    case kTrueColour:
      depthOk = IsColourDepth(h.pixelBits);
      break;
    default:
      depthOk = h.pixelBits == 8;
  }
  if (!depthOk) {
    error = "unsupported depth " + std::to_string(h.pixelBits) + " for image type " +
            std::to_string(h.type);
    return false;
  }
  return true;
}

// A 15/16-bit pixel or map entry: 5 bits each of red, green, blue from the
// top down; the attribute bit is ignored.
RgbQuad FromFiveBits(std::uint8_t low, std::uint8_t high) {
  unsigned value = unsigned(low) | unsigned(high) << 8;
  auto scale = [](unsigned v) { return std::uint8_t((v * 255 + 15) / 31); };
  return RgbQuad{scale(value & 31), scale(value >> 5 & 31), scale(value >> 10 & 31), 0};
}

// Writes the pixels of the file in file order to their places in the image,
// following the origin and direction the header gives.
class PixelPlacer {
 public:
  PixelPlacer(const ImageLock& lock, const TgaHeader& h)
      : m_lock(lock),
        m_width(h.width),
        m_height(h.height),
        m_bytesPerPixel((h.pixelBits + 7) / 8),
        m_outBytes(lock.bitCount() / 8),
        m_fiveBits(h.pixelBits <= 16 && m_outBytes == 3),
        m_rightToLeft(h.descriptor & kRightToLeft),
        m_topDown(h.descriptor & kTopToBottom) {}

  std::size_t bytesPerPixel() const { return m_bytesPerPixel; }
  bool done() const { return m_row >= m_height; }
  std::int64_t left() const { return std::int64_t(m_height - m_row) * m_width - m_column; }

  /// Places one pixel of the file; `pixel` holds bytesPerPixel() bytes.
  void put(const std::uint8_t* pixel) {
    int y = m_topDown ? m_height - 1 - m_row : m_row;
    int x = m_rightToLeft ? m_width - 1 - m_column : m_column;
    std::uint8_t* out = m_lock.row(y) + std::size_t(x) * m_outBytes;
    if (m_outBytes == 1) {
      out[0] = pixel[0];
    } else if (m_fiveBits) {
      RgbQuad c = FromFiveBits(pixel[0], pixel[1]);
      out[0] = c.blue;
      out[1] = c.green;
      out[2] = c.red;
    } else {
      std::copy_n(pixel, 3, out);  // blue, green, red; alpha is dropped
    }
    if (++m_column == m_width) {
      m_column = 0;
      ++m_row;
    }
  }

 private:
  const ImageLock& m_lock;
  int m_width;
  int m_height;
  std::size_t m_bytesPerPixel;
  std::size_t m_outBytes;
  bool m_fiveBits;
  bool m_rightToLeft;
  bool m_topDown;
  int m_row = 0;  // rows of the file, in file order
  int m_column = 0;
};

// Run-length packets may cross scan lines; a packet reaching past the last
// pixel is cut short. Every packet places a pixel or fails, so the loop ends.
bool ReadPackets(ByteReader& in, PixelPlacer& placer) {
  const std::size_t size = placer.bytesPerPixel();
  while (!placer.done()) {
    std::uint8_t packet = in.u8();
    std::int64_t count = std::min<std::int64_t>((packet & 0x7F) + 1, placer.left());
    if (packet & kRunPacket) {
      ByteSpan pixel = in.take(size);
      if (!in.ok()) return false;
      for (std::int64_t i = 0; i < count; ++i) {
        placer.put(pixel.data());
      }
    } else {
      ByteSpan pixels = in.take(size * std::size_t(count));
      if (!in.ok()) return false;
      for (std::int64_t i = 0; i < count; ++i) {
        placer.put(pixels.data() + i * size);
      }
    }
  }
  return true;
}

}  // namespace

Decoded DecodeTga(ByteSpan data) {
  ByteReader in(data);
  TgaHeader h;
  h.idLength = in.u8();
  h.mapType = in.u8();
  h.type = in.u8();
  h.mapFirst = in.u16();
  h.mapLength = in.u16();
  h.mapEntryBits = in.u8();
  in.skip(4);  // x and y origin on a screen
  h.width = in.u16();
  h.height = in.u16();
  h.pixelBits = in.u8();
  h.descriptor = in.u8();
  if (!in.ok()) return Fail("the file ends inside its header");
  std::string error;
  if (!CheckHeader(h, error)) return Fail(error);
  if (!CheckPictureSize(h.width, h.height, error)) return Fail(error);

  in.skip(h.idLength);
  ByteSpan map;
  if (h.mapType == 1) map = in.take(std::size_t(h.mapLength) * ((h.mapEntryBits + 7) / 8));
  if (!in.ok()) return Fail("the file ends inside its id field or colour map");
  const int baseType = h.type & ~kRleFlag;
  const bool rle = h.type & kRleFlag;
  // Check the data can hold the picture before allocating it: a packet of
  // at least 1 + bytesPerPixel bytes yields at most 128 pixels.
  const std::uint64_t bytesPerPixel = (h.pixelBits + 7) / 8;
  const std::uint64_t pixelCount = std::uint64_t(h.width) * h.height;
  const std::uint64_t mostPixels =
      rle ? in.remaining() / (1 + bytesPerPixel) * kMaxPacket : in.remaining() / bytesPerPixel;
  if (pixelCount > mostPixels) return Fail("the file ends before its last pixel");

  const int outBits = baseType == kTrueColour ? 24 : 8;
  PackedImage image(NewDecodedImage(h.width, h.height, outBits, outBits == 8 ? 256 : 0, error));
  if (!image) return Fail(error);
  ImageLock lock(image.get());
  if (!lock) return Fail("the new picture cannot be locked");
  if (baseType == kGray) FillGrayRamp(lock.palette());
  if (baseType == kColourMapped) {
    // Entry k of the map is the colour of index mapFirst + k; indices the
    // map does not cover stay black.
    const std::size_t entryBytes = (h.mapEntryBits + 7) / 8;
    const std::size_t count = std::min<std::size_t>(h.mapLength, 256 - h.mapFirst);
    for (std::size_t k = 0; k < count; ++k) {
      const std::uint8_t* e = map.data() + k * entryBytes;
      lock.palette()[h.mapFirst + k] =
          entryBytes == 2 ? FromFiveBits(e[0], e[1]) : RgbQuad{e[0], e[1], e[2], 0};
    }
  }

  PixelPlacer placer(lock, h);
  if (rle) {
    if (!ReadPackets(in, placer)) return Fail("the run-length data ends before the picture does");
  } else {
    ByteSpan pixels = in.take(placer.bytesPerPixel() * h.width * h.height);
    for (std::size_t at = 0; !placer.done(); at += placer.bytesPerPixel()) {
      placer.put(pixels.data() + at);
    }
  }
  return {std::move(image), 1, {}};
}

namespace {

// Appends one scan line of `width` pixels of `size` bytes as packets of at
// most 128 pixels: runs of two or more equal pixels, the rest raw. Packets
// stop at the end of the line, which some readers require.
void PutPacketLine(ByteVector& out, const std::uint8_t* line, int width, std::size_t size) {
  auto same = [&](int a, int b) {
    return std::memcmp(line + std::size_t(a) * size, line + std::size_t(b) * size, size) == 0;
  };
  int x = 0;
  while (x < width) {
    int run = 1;
    while (x + run < width && run < kMaxPacket && same(x, x + run)) {
      ++run;
    }
    if (run > 1) {
      PutU8(out, kRunPacket | (run - 1));
      PutBytes(out, line + std::size_t(x) * size, size);
      x += run;
      continue;
    }
    int start = x;
    while (x < width && x - start < kMaxPacket && !(x + 1 < width && same(x, x + 1))) {
      ++x;
    }
    PutU8(out, std::uint32_t(x - start - 1));
    PutBytes(out, line + std::size_t(start) * size, std::size_t(x - start) * size);
  }
}

}  // namespace

bool EncodeTga(GlobalHandle image, bool rle, ByteVector& out, std::string& error) {
  ImageLock lock(image);
  if (!lock) {
    error = "TGA: no picture to write";
    return false;
  }
  const int bits = lock.bitCount();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    error = "TGA: pictures of " + std::to_string(bits) +
            " bits are not written; 1, 4, 8 and 24 bits are";
    return false;
  }
  const int width = lock.width(), height = lock.height();
  if (width > kMaxSide || height > kMaxSide) {
    error = "TGA: the picture is too large for a TGA file";
    return false;
  }
  // 1- and 4-bit pictures go out as 8-bit indices with their own table.
  const bool gray = bits == 8 && IsGrayImage(image);
  const std::uint8_t type = bits == 24 ? kTrueColour : gray ? kGray : kColourMapped;
  const std::uint32_t mapLength =
      type == kColourMapped ? std::min(lock.colourCount(), 1u << bits) : 0;
  const std::size_t size = bits == 24 ? 3 : 1;

  PutU8(out, 0);  // no id field
  PutU8(out, mapLength ? 1 : 0);
  PutU8(out, type + (rle ? kRleFlag : 0));
  PutU16(out, 0);  // first map entry
  PutU16(out, mapLength);
  PutU8(out, mapLength ? 24 : 0);
  PutU32(out, 0);  // screen origin
  PutU16(out, std::uint32_t(width));
  PutU16(out, std::uint32_t(height));
  PutU8(out, bits == 24 ? 24 : 8);
  PutU8(out, 0);  // bottom-left origin, no alpha
  for (std::uint32_t i = 0; i < mapLength; ++i) {
    const RgbQuad& entry = lock.palette()[i];
    PutU8(out, entry.blue);
    PutU8(out, entry.green);
    PutU8(out, entry.red);
  }

  ByteVector line(std::size_t(width) * size);
  for (int y = 0; y < height; ++y) {  // stored rows are bottom-up already
    const std::uint8_t* row = lock.row(y);
    if (bits < 8) {
      for (int x = 0; x < width; ++x) {
        line[std::size_t(x)] = IndexAt(row, x, bits);
      }
    } else {
      std::copy_n(row, line.size(), line.begin());
    }
    if (rle) {
      PutPacketLine(out, line.data(), width, size);
    } else {
      PutBytes(out, line.data(), line.size());
    }
  }
  return true;
}

}  // namespace tx::rastio
