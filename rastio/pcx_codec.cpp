// PCX files, read and written by hand.
//
// A PCX file is a 128-byte header followed by run-length encoded scan lines,
// each made of one line per plane, top row first; 8-bit files end with a
// 256-colour palette. Reading accepts 1 bit x 1 plane (black and white),
// 1 bit x 2-4 planes and 4 bits x 1 plane (16 colours), 8 bits x 1 plane
// (256 colours) and 8 bits x 3 or 4 planes (true colour; the fourth plane
// is dropped).

#include <algorithm>
#include <array>

#include "image/image_block.h"
#include "rastio/byte_reader_p.h"
#include "rastio/codec.h"

namespace tx::rastio {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::uint8_t kManufacturer = 0x0A;
constexpr std::uint8_t kLatestVersion = 5;  // the version that may carry a 256-colour palette
constexpr std::uint8_t kRleEncoding = 1;
constexpr std::uint8_t kPaletteMarker = 0x0C;
constexpr std::size_t kVgaPaletteSize = 768;
constexpr std::size_t kHeaderPaletteSize = 48;
constexpr std::uint8_t kRunFlags = 0xC0;
constexpr std::uint8_t kMaxRun = 0x3F;
constexpr std::uint16_t kPaletteInfoColour = 1;
constexpr std::uint16_t kPaletteInfoGray = 2;

// The 16 colours an EGA shows by default: used when a 16-colour file's
// header palette is missing (version 3) or empty.
constexpr std::array<std::array<std::uint8_t, 3>, 16> kDefaultPalette = {{
    {0, 0, 0},
    {0, 0, 170},
    {0, 170, 0},
    {0, 170, 170},
    {170, 0, 0},
    {170, 0, 170},
    {170, 85, 0},
    {170, 170, 170},
    {85, 85, 85},
    {85, 85, 255},
    {85, 255, 85},
    {85, 255, 255},
    {255, 85, 85},
    {255, 85, 255},
    {255, 255, 85},
    {255, 255, 255},
}};

Decoded Fail(std::string why) {
  return {PackedImage(), 1, "PCX: " + std::move(why)};
}

// Expands the run-length stream one scan line at a time. A run left over at
// the end of one line continues into the next, as some writers let them.
// Every step consumes a byte, so the stream ends even on hostile data.
class RunReader {
 public:
  explicit RunReader(ByteSpan data) : m_data(data) {}

  /// Fills `line`; false when the data ends first.
  bool fill(std::span<std::uint8_t> line) {
    std::size_t done = 0;
    while (done < line.size()) {
      if (m_pending == 0) {
        if (m_offset >= m_data.size()) return false;
        std::uint8_t code = m_data[m_offset++];
        if ((code & kRunFlags) == kRunFlags) {
          if (m_offset >= m_data.size()) return false;
          m_pending = code & kMaxRun;
          m_value = m_data[m_offset++];
        } else {
          m_pending = 1;
          m_value = code;
        }
        continue;
      }
      std::size_t count = std::min<std::size_t>(m_pending, line.size() - done);
      std::fill_n(line.begin() + std::ptrdiff_t(done), count, m_value);
      done += count;
      m_pending -= unsigned(count);
    }
    return true;
  }

 private:
  ByteSpan m_data;
  std::size_t m_offset = 0;
  unsigned m_pending = 0;
  std::uint8_t m_value = 0;
};

// Puts the colours of the header palette (or the default one) into the
// first 16 entries of `palette`.
void ReadHeaderPalette(ByteSpan header, int version, RgbQuad* palette) {
  ByteSpan colours = header.subspan(16, kHeaderPaletteSize);
  bool empty = std::all_of(colours.begin(), colours.end(), [](std::uint8_t v) { return v == 0; });
  for (std::size_t i = 0; i < 16; ++i) {
    const std::uint8_t* rgb =
        version == 3 || empty ? kDefaultPalette[i].data() : colours.data() + 3 * i;
    palette[i] = RgbQuad{rgb[2], rgb[1], rgb[0], 0};
  }
}

}  // namespace

Decoded DecodePcx(ByteSpan data) {
  ByteReader in(data);
  const std::uint8_t manufacturer = in.u8();
  const std::uint8_t version = in.u8();
  const std::uint8_t encoding = in.u8();
  const int bitsPerPlane = in.u8();
  const std::int64_t xMin = in.u16(), yMin = in.u16(), xMax = in.u16(), yMax = in.u16();
  in.skip(4 + kHeaderPaletteSize + 1);  // resolution, header palette, reserved
  const int planes = in.u8();
  const std::int64_t bytesPerLine = in.u16();
  if (!in.ok() || data.size() < kHeaderSize) return Fail("the file ends inside its header");
  if (manufacturer != kManufacturer || version > kLatestVersion || version == 1) {
    return Fail("not a PCX file");
  }
  if (encoding != kRleEncoding) return Fail("unsupported encoding " + std::to_string(encoding));
  if (xMax < xMin || yMax < yMin) return Fail("the picture window is empty");
  const std::int64_t width = xMax - xMin + 1, height = yMax - yMin + 1;

  int outBits = 0;
  if (bitsPerPlane == 1 && planes == 1) {
    outBits = 1;
  } else if ((bitsPerPlane == 1 && planes >= 2 && planes <= 4) ||
             (bitsPerPlane == 4 && planes == 1)) {
    outBits = 4;
  } else if (bitsPerPlane == 8 && planes == 1) {
    outBits = 8;
  } else if (bitsPerPlane == 8 && (planes == 3 || planes == 4)) {
    outBits = 24;
  } else {
    return Fail("unsupported layout of " + std::to_string(bitsPerPlane) + " bits x " +
                std::to_string(planes) + " planes");
  }
  std::string error;
  if (!CheckPictureSize(width, height, error)) return Fail(error);
  if (bytesPerLine < (width * bitsPerPlane + 7) / 8) {
    return Fail("a line of " + std::to_string(bytesPerLine) + " bytes cannot hold " +
                std::to_string(width) + " pixels");
  }

  // A 256-colour palette sits behind a marker 769 bytes from the end; the
  // pixel data stops before it.
  ByteSpan pixels = data.subspan(kHeaderSize);
  ByteSpan vgaPalette;
  if (outBits == 8 && pixels.size() >= kVgaPaletteSize + 1 &&
      data[data.size() - kVgaPaletteSize - 1] == kPaletteMarker) {
    vgaPalette = data.last(kVgaPaletteSize);
    pixels = pixels.first(pixels.size() - kVgaPaletteSize - 1);
  }

  // A byte of run-length data yields at most 32 bytes of scan line, so a
  // file too short for its claimed size fails before the picture is allocated.
  const std::uint64_t lineBytes = std::uint64_t(bytesPerLine) * std::uint64_t(planes);
  if (lineBytes * std::uint64_t(height) > 32 * std::uint64_t(pixels.size())) {
    return Fail("the file is far too short for a picture of " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels");
  }

  const std::uint32_t colours = outBits <= 8 ? 1u << outBits : 0;
  PackedImage image(NewDecodedImage(width, height, outBits, colours, error));
  if (!image) return Fail(error);
  ImageLock lock(image.get());
  if (!lock) return Fail("the new picture cannot be locked");
  RgbQuad* palette = lock.palette();
  if (outBits == 1) {
    // Writers disagree on what the header palette of a 2-colour file holds.
    palette[1] = RgbQuad{255, 255, 255, 0};
  } else if (outBits == 4) {
    ReadHeaderPalette(data.first(kHeaderSize), version, palette);
  } else if (outBits == 8 && !vgaPalette.empty()) {
    for (std::size_t i = 0; i < 256; ++i) {
      palette[i] = RgbQuad{vgaPalette[3 * i + 2], vgaPalette[3 * i + 1], vgaPalette[3 * i], 0};
    }
  } else if (outBits == 8) {
    FillGrayRamp(palette);
  }

  RunReader runs(pixels);
  ByteVector line(std::size_t(lineBytes), 0);
  const auto planeBytes = std::size_t(bytesPerLine);
  for (std::int64_t y = 0; y < height; ++y) {
    if (!runs.fill(line)) return Fail("the file ends before its last scan line");
    std::uint8_t* row = lock.topDownRow(int(y));
    if (outBits == 24) {
      const std::uint8_t* red = line.data();
      const std::uint8_t* green = red + planeBytes;
      const std::uint8_t* blue = green + planeBytes;
      for (std::int64_t x = 0; x < width; ++x) {
        row[3 * x] = blue[x];
        row[3 * x + 1] = green[x];
        row[3 * x + 2] = red[x];
      }
    } else if (planes == 1) {
      CopyPackedRow(row, line.data(), outBits, width);
    } else {
      // One bit of the index in each plane, plane 0 the lowest.
      for (std::int64_t x = 0; x < width; ++x) {
        std::uint8_t index = 0;
        for (int p = 0; p < planes; ++p) {
          index |= std::uint8_t(IndexAt(line.data() + p * planeBytes, x, 1) << p);
        }
        PutIndex(row, x, 4, index);
      }
    }
  }
  return {std::move(image), 1, {}};
}

namespace {

// Appends one plane line, runs never crossing its end so that readers which
// decode plane by plane agree. Bytes with both top bits set cannot stand
// alone, so they always go out as runs.
void PutRunLine(ByteVector& out, const std::uint8_t* line, std::size_t size) {
  std::size_t x = 0;
  while (x < size) {
    std::uint8_t value = line[x];
    std::size_t run = 1;
    while (x + run < size && run < kMaxRun && line[x + run] == value) {
      ++run;
    }
    if (run > 1 || (value & kRunFlags) == kRunFlags) PutU8(out, kRunFlags | run);
    PutU8(out, value);
    x += run;
  }
}

bool IsColour(const RgbQuad& entry, std::uint8_t level) {
  return entry.red == level && entry.green == level && entry.blue == level;
}

}  // namespace

bool EncodePcx(GlobalHandle image, ByteVector& out, std::string& error) {
  ImageLock lock(image);
  if (!lock) {
    error = "PCX: no picture to write";
    return false;
  }
  const int bits = lock.bitCount();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    error = "PCX: pictures of " + std::to_string(bits) +
            " bits are not written; 1, 4, 8 and 24 bits are";
    return false;
  }
  const int width = lock.width(), height = lock.height();
  if (width > 65536 || height > 65536) {
    error = "PCX: the picture is too large for a PCX file";
    return false;
  }
  // Entries past the image's table count as black.
  RgbQuad palette[256] = {};
  if (bits <= 8) {
    std::copy_n(lock.palette(), std::min(lock.colourCount(), 1u << bits), palette);
  }

  // A black-and-white picture (in either order) is stored as one bit plane,
  // which readers show black and white; any other 2-colour picture keeps its
  // colours as a 16-colour one.
  bool invert = false;
  bool oneBitPlane = false;
  if (bits == 1) {
    invert = IsColour(palette[0], 255) && IsColour(palette[1], 0);
    oneBitPlane = invert || (IsColour(palette[0], 0) && IsColour(palette[1], 255));
  }
  const int bitsPerPlane = bits == 8 || bits == 24 ? 8 : 1;
  const int planes = bits == 24 ? 3 : bits == 8 || oneBitPlane ? 1 : 4;
  const std::size_t planeBytes =
      ((std::size_t(width) * bitsPerPlane + 7) / 8 + 1) & ~std::size_t(1);

  const std::size_t headerAt = out.size();
  auto dotsPerInch = [](std::int32_t pelsPerMeter) {
    return std::uint32_t(std::clamp<std::int64_t>((pelsPerMeter * 254ll + 5000) / 10000, 0, 65535));
  };
  PutU8(out, kManufacturer);
  PutU8(out, kLatestVersion);
  PutU8(out, kRleEncoding);
  PutU8(out, std::uint32_t(bitsPerPlane));
  PutU16(out, 0);  // window: left, top, right, bottom (inclusive)
  PutU16(out, 0);
  PutU16(out, std::uint32_t(width - 1));
  PutU16(out, std::uint32_t(height - 1));
  PutU16(out, dotsPerInch(lock.header().biXPelsPerMeter));
  PutU16(out, dotsPerInch(lock.header().biYPelsPerMeter));
  for (int i = 0; i < 16; ++i) {
    PutU8(out, palette[i].red);
    PutU8(out, palette[i].green);
    PutU8(out, palette[i].blue);
  }
  PutU8(out, 0);  // reserved
  PutU8(out, std::uint32_t(planes));
  PutU16(out, std::uint32_t(planeBytes));
  PutU16(out, bits == 8 && IsGrayImage(image) ? kPaletteInfoGray : kPaletteInfoColour);
  out.resize(headerAt + kHeaderSize, 0);  // screen size and filler

  ByteVector line(planeBytes * std::size_t(planes));
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = lock.topDownRow(y);
    std::fill(line.begin(), line.end(), 0);
    if (bits == 24) {
      for (int x = 0; x < width; ++x) {
        line[std::size_t(x)] = row[3 * x + 2];
        line[planeBytes + std::size_t(x)] = row[3 * x + 1];
        line[2 * planeBytes + std::size_t(x)] = row[3 * x];
      }
    } else if (invert) {
      for (int x = 0; x < width; ++x) {
        PutIndex(line.data(), x, 1, IndexAt(row, x, 1) ^ 1);
      }
    } else if (planes == 1) {
      CopyPackedRow(line.data(), row, bits, width);
    } else {
      for (int x = 0; x < width; ++x) {
        std::uint8_t index = IndexAt(row, x, bits);
        for (int p = 0; p < planes; ++p) {
          PutIndex(line.data() + std::size_t(p) * planeBytes, x, 1, (index >> p) & 1);
        }
      }
    }
    for (int p = 0; p < planes; ++p) {
      PutRunLine(out, line.data() + std::size_t(p) * planeBytes, planeBytes);
    }
  }

  if (bits == 8) {
    PutU8(out, kPaletteMarker);
    for (const RgbQuad& entry : palette) {
      PutU8(out, entry.red);
      PutU8(out, entry.green);
      PutU8(out, entry.blue);
    }
  }
  return true;
}

}  // namespace tx::rastio
