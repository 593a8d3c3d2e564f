// PNG reading and writing with libpng.
//
// libpng reports errors by longjmp to the setjmp in png_jmpbuf. A longjmp
// skips destructors, so each stretch of libpng calls runs in a small
// function (ReadPngHeader, ReadPngRows, ReadPngEnd, WritePngRows) that
// holds the setjmp and no object with a destructor; the structs and
// buffers live in the caller's frame, which the jump never crosses. The
// error callback copies libpng's message into the reader before jumping.
//
// What a file becomes:
//   palette of 1, 4 or 8 bits      -> indexed image of that depth
//   palette of 2 bits              -> 4-bit indexed image
//   gray of 1 bit                  -> 1-bit image, black and white
//   gray of 2 to 16 bits           -> 8-bit gray image (16 bits rounded to 8,
//                                     so the picture stays a gray image)
//   RGB of 8 or 16 bits            -> 24-bit image
//   any transparency (alpha, tRNS) -> 24-bit image, composited over white
// Every indexed image gets a full table (2^depth entries, unused ones black)
// so that no index in the file can point past it.

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "image/image_block.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"

namespace tx::rastio {
namespace {

// Ancillary chunks (text, ICC profiles, EXIF) are small; this keeps a
// hostile file from making libpng inflate a huge one.
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;
constexpr png_uint_32 kMaxCachedChunks = 256;

// Writing true-colour and gray pictures: every row Paeth-filtered, then
// deflated with run-length matching only (zlib's Z_RLE; the compression
// level does not change that strategy). On large photo montages this is
// about six times faster than the default adaptive filtering at level 6 and
// the file is about 2% larger: Paeth leaves small residues in long runs, which
// RLE matching catches nearly as well as a full match search. Indexed
// pictures keep libpng's defaults (no filter, full search), as PNG advises.
constexpr int kFastFilter = PNG_FILTER_PAETH;
constexpr int kFastStrategy = Z_RLE;
// Bigger IDAT chunks: fewer calls and chunk headers for large pictures.
constexpr std::size_t kCompressionBufferBytes = 256u << 10;

struct PngMessage {
  char text[256];
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* target = static_cast<PngMessage*>(png_get_error_ptr(png));
  std::snprintf(target->text, sizeof target->text, "%s", message ? message : "error");
  png_longjmp(png, 1);
}

// Warnings (a bad CRC on an ancillary chunk, an unknown chunk) leave the
// pixels intact; a library must not write them to the program's console.
void OnPngWarning(png_structp, png_const_charp) {}

// --- Reading -----------------------------------------------------------------

enum class PngLayout {
  Direct,        // libpng's rows are the packed rows (BGR, gray, 1/4/8-bit index)
  Palette2To4,   // 2-bit indexes unpacked to bytes, repacked as nibbles
  BgraOverWhite  // B,G,R,A composited over white into BGR
};

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ByteSpan data;
  std::size_t offset = 0;
  PngMessage message{};
  PngReader() = default;
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
  ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
};

/// What the header says and how the rows will arrive.
struct PngShape {
  png_uint_32 width;
  png_uint_32 height;
  int bitCount;  // of the packed image
  PngLayout layout;
  bool gray;        // 8-bit gray image
  bool blackWhite;  // 1-bit gray
  int passes;
  std::size_t rowBytes;  // of libpng's rows after the transformations
};

void ReadPngData(png_structp png, png_bytep out, std::size_t count) {
  auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
  if (count > reader->data.size() - reader->offset) png_error(png, "the file ends early");
  std::memcpy(out, reader->data.data() + reader->offset, count);
  reader->offset += count;
}

/// Picks the transformations for a colour type and depth; no libpng calls
/// here that can fail.
void ChooseLayout(png_structp png, int colourType, int depth, bool transparent, PngShape& s) {
  bool alpha = transparent || (colourType & PNG_COLOR_MASK_ALPHA);
  if (alpha) {
    png_set_expand(png);  // palette to RGB, tRNS to alpha, low gray depths to 8
    png_set_gray_to_rgb(png);
    png_set_scale_16(png);
    png_set_bgr(png);
    s.bitCount = 24;
    s.layout = PngLayout::BgraOverWhite;
  } else if (colourType == PNG_COLOR_TYPE_PALETTE) {
    if (depth == 2) {
      png_set_packing(png);
      s.bitCount = 4;
      s.layout = PngLayout::Palette2To4;
    } else {
      s.bitCount = depth;
      s.layout = PngLayout::Direct;
    }
  } else if (colourType == PNG_COLOR_TYPE_GRAY && depth == 1) {
    s.bitCount = 1;
    s.blackWhite = true;
    s.layout = PngLayout::Direct;
  } else if (colourType == PNG_COLOR_TYPE_GRAY) {
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_scale_16(png);
    s.bitCount = 8;
    s.gray = true;
    s.layout = PngLayout::Direct;
  } else {
    png_set_scale_16(png);
    png_set_bgr(png);
    s.bitCount = 24;
    s.layout = PngLayout::Direct;
  }
}

/// Holds the setjmp: nothing with a destructor may live in this frame.
bool ReadPngHeader(PngReader& r, PngShape& s) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_set_user_limits(r.png, png_uint_32(kMaxPictureSide), png_uint_32(kMaxPictureSide));
  png_set_chunk_malloc_max(r.png, kMaxChunkBytes);
  png_set_chunk_cache_max(r.png, kMaxCachedChunks);
  png_set_benign_errors(r.png, 1);
  png_set_read_fn(r.png, &r, ReadPngData);
  png_read_info(r.png, r.info);
  int depth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(r.png, r.info, &s.width, &s.height, &depth, &colourType, &interlace, nullptr,
               nullptr);
  bool transparent = png_get_valid(r.png, r.info, PNG_INFO_tRNS) != 0;
  ChooseLayout(r.png, colourType, depth, transparent, s);
  s.passes = png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  s.rowBytes = png_get_rowbytes(r.png, r.info);
  return true;
}

/// Where ReadPngRows puts the pixels. `work` holds libpng's rows when they
/// need converting: the whole picture for an interlaced file (each pass
/// adds to every row), else one row.
struct PngTarget {
  std::uint8_t* bits;
  std::uint32_t stride;
  std::uint8_t* work;
  bool wholePicture;
};

void ConvertPngRow(const PngShape& s, const std::uint8_t* from, std::uint8_t* to) {
  if (s.layout == PngLayout::Palette2To4) {
    for (png_uint_32 x = 0; x < s.width; ++x) {
      to[x / 2] |= std::uint8_t((from[x] & 0x0F) << (x % 2 ? 0 : 4));
    }
    return;
  }
  for (png_uint_32 x = 0; x < s.width; ++x, from += 4, to += 3) {
    unsigned alpha = from[3], clear = 255 - alpha;
    for (int c = 0; c < 3; ++c)
      to[c] = std::uint8_t((from[c] * alpha + 255 * clear + 127) / 255);
  }
}

/// Holds the setjmp: nothing with a destructor may live in this frame.
bool ReadPngRows(PngReader& r, const PngShape& s, const PngTarget& t) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  for (int pass = 0; pass < s.passes; ++pass) {
    bool lastPass = pass == s.passes - 1;
    for (png_uint_32 y = 0; y < s.height; ++y) {
      std::uint8_t* packed = t.bits + std::size_t(s.height - 1 - y) * t.stride;
      if (s.layout == PngLayout::Direct) {
        png_read_row(r.png, packed, nullptr);
        continue;
      }
      std::uint8_t* work = t.work + (t.wholePicture ? std::size_t(y) * s.rowBytes : 0);
      png_read_row(r.png, work, nullptr);
      if (lastPass) ConvertPngRow(s, work, packed);
    }
  }
  return true;
}

/// Reads the chunks after the picture, where an eXIf chunk may sit. The
/// pixels are all read by now, so damage here is not worth failing for.
/// Holds the setjmp: nothing with a destructor may live in this frame.
void ReadPngEnd(PngReader& r) {
  if (setjmp(png_jmpbuf(r.png))) return;
  png_read_end(r.png, r.info);
}

/// The row size the chosen layout must give; anything else would make the
/// row loops read or write past a row.
std::size_t ExpectedRowBytes(const PngShape& s) {
  switch (s.layout) {
    case PngLayout::Direct:
      return (std::size_t(s.width) * std::size_t(s.bitCount) + 7) / 8;
    case PngLayout::Palette2To4:
      return s.width;
    case PngLayout::BgraOverWhite:
      return std::size_t(s.width) * 4;
  }
  return 0;
}

int PngOrientation(const PngReader& r) {
  png_uint_32 size = 0;
  png_bytep exif = nullptr;
  if (png_get_eXIf_1(r.png, r.info, &size, &exif) == 0 || !exif) return 1;
  return ExifOrientation(ByteSpan(exif, size));
}

void FillPngTable(const PngReader& r, const PngShape& s, RgbQuad* table) {
  if (s.blackWhite) {
    table[1] = RgbQuad{255, 255, 255, 0};
    return;
  }
  if (s.gray) {
    FillGrayRamp(table);
    return;
  }
  png_colorp palette = nullptr;
  int count = 0;
  if (!png_get_PLTE(r.png, r.info, &palette, &count) || !palette) return;
  count = std::min(count, 1 << s.bitCount);
  for (int i = 0; i < count; ++i) {
    table[i] = RgbQuad{palette[i].blue, palette[i].green, palette[i].red, 0};
  }
}

// --- Writing -----------------------------------------------------------------

struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ByteVector* out = nullptr;
  PngMessage message{};
  PngWriter() = default;
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;
  ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

void WritePngData(png_structp png, png_bytep bytes, std::size_t count) {
  auto* writer = static_cast<PngWriter*>(png_get_io_ptr(png));
  bool appended = true;
  try {
    writer->out->insert(writer->out->end(), bytes, bytes + count);
  } catch (const std::bad_alloc&) {
    appended = false;
  }
  // Outside the catch block: jumping out of a handler would leak the exception.
  if (!appended) png_error(png, "not enough memory for the PNG file");
}

/// What WritePngRows writes.
struct PngPicture {
  const ImageLock* lock;
  int depth;
  int colourType;
  const png_color* palette;
  int paletteSize;
};

/// Holds the setjmp: nothing with a destructor may live in this frame.
bool WritePngRows(PngWriter& w, const PngPicture& p) {
  if (setjmp(png_jmpbuf(w.png))) return false;
  const ImageLock& lock = *p.lock;
  png_set_write_fn(w.png, &w, WritePngData, [](png_structp) {});
  png_set_compression_buffer_size(w.png, kCompressionBufferBytes);
  if (p.colourType != PNG_COLOR_TYPE_PALETTE) {
    png_set_filter(w.png, PNG_FILTER_TYPE_BASE, kFastFilter);
    png_set_compression_strategy(w.png, kFastStrategy);
  }
  png_set_IHDR(w.png, w.info, png_uint_32(lock.width()), png_uint_32(lock.height()), p.depth,
               p.colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (p.palette) png_set_PLTE(w.png, w.info, p.palette, p.paletteSize);
  std::int32_t xRes = lock.header().biXPelsPerMeter, yRes = lock.header().biYPelsPerMeter;
  if (xRes > 0 && yRes > 0) {
    png_set_pHYs(w.png, w.info, png_uint_32(xRes), png_uint_32(yRes), PNG_RESOLUTION_METER);
  }
  png_write_info(w.png, w.info);
  if (p.colourType == PNG_COLOR_TYPE_RGB) png_set_bgr(w.png);
  for (int y = 0; y < lock.height(); ++y)
    png_write_row(w.png, lock.topDownRow(y));
  png_write_end(w.png, w.info);
  return true;
}

/// Largest colour index any pixel of an indexed image uses.
unsigned HighestIndex(const ImageLock& lock) {
  unsigned highest = 0;
  int bits = lock.bitCount();
  for (int y = 0; y < lock.height(); ++y) {
    const std::uint8_t* row = lock.row(y);
    for (int x = 0; x < lock.width(); ++x) {
      unsigned index = bits == 8   ? row[x]
                       : bits == 4 ? (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F
                                   : (row[x / 8] >> (7 - x % 8)) & 1;
      highest = std::max(highest, index);
    }
  }
  return highest;
}

}  // namespace

Decoded DecodePng(ByteSpan data) {
  Decoded result;
  PngReader r;
  r.data = data;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.message, OnPngError, OnPngWarning);
  if (r.png) r.info = png_create_info_struct(r.png);
  if (!r.png || !r.info) {
    result.error = "not enough memory to read the PNG file";
    return result;
  }
  PngShape shape{};
  if (!ReadPngHeader(r, shape)) {
    result.error = std::string("PNG: ") + r.message.text;
    return result;
  }
  if (!CheckPictureSize(shape.width, shape.height, result.error)) return result;
  std::uint32_t colours = shape.bitCount <= 8 ? 1u << shape.bitCount : 0;
  PackedImage image(
      NewDecodedImage(shape.width, shape.height, shape.bitCount, colours, result.error));
  if (!image) return result;

  ByteVector work;
  bool wholePicture = shape.passes > 1;
  try {
    if (shape.layout != PngLayout::Direct) {
      work.resize(shape.rowBytes * (wholePicture ? shape.height : 1));
    }
  } catch (const std::bad_alloc&) {
    result.error = "not enough memory to read the PNG file";
    return result;
  }
  {
    ImageLock lock(image.get());
    if (!lock || shape.rowBytes != ExpectedRowBytes(shape)) {
      result.error = "PNG: unexpected row size";
      return result;
    }
    if (colours) FillPngTable(r, shape, lock.palette());
    PngTarget target{lock.bits(), lock.stride(), work.data(), wholePicture};
    if (!ReadPngRows(r, shape, target)) {
      result.error = std::string("PNG: ") + r.message.text;
      return result;
    }
  }
  ReadPngEnd(r);
  result.orientation = PngOrientation(r);
  result.image = std::move(image);
  return result;
}

bool EncodePng(GlobalHandle image, ByteVector& out, std::string& error) {
  int kind = GetImageKind(image);
  ImageLock lock(image);
  if (!lock) {
    error = "not a valid picture";
    return false;
  }
  int bits = lock.bitCount();
  PngPicture picture{&lock, 8, PNG_COLOR_TYPE_RGB, nullptr, 0};
  png_color palette[256] = {};
  if (bits == 24) {
    picture.colourType = PNG_COLOR_TYPE_RGB;
  } else if (bits == 8 && kind == kImageKindGray) {
    picture.colourType = PNG_COLOR_TYPE_GRAY;
  } else if (bits == 8 || bits == 4 || bits == 1) {
    picture.depth = bits;
    picture.colourType = PNG_COLOR_TYPE_PALETTE;
    // PNG forbids indexes past the palette; a pixel that uses one gets a
    // black entry, which is how a bitmap shows it too.
    unsigned tableSize = std::min(lock.colourCount(), 1u << bits);
    unsigned size = std::max(tableSize, HighestIndex(lock) + 1);
    for (unsigned i = 0; i < tableSize; ++i) {
      palette[i] =
          png_color{lock.palette()[i].red, lock.palette()[i].green, lock.palette()[i].blue};
    }
    picture.palette = palette;
    picture.paletteSize = int(size);
  } else {
    error = "a PNG file cannot be written from a picture of " + std::to_string(bits) +
            " bits per pixel";
    return false;
  }

  PngWriter w;
  w.out = &out;
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w.message, OnPngError, OnPngWarning);
  if (w.png) w.info = png_create_info_struct(w.png);
  if (!w.png || !w.info) {
    error = "not enough memory to write the PNG file";
    return false;
  }
  std::size_t before = out.size();
  if (!WritePngRows(w, picture)) {
    out.resize(before);
    error = std::string("PNG: ") + w.message.text;
    return false;
  }
  return true;
}

}  // namespace tx::rastio
