// TIFF reading and writing through libtiff, entirely in memory.
//
// Reading keeps the page's depth where the packed image has the same one
// (bilevel, 4- and 8-bit palette or gray, 8-bit RGB in strips) and brings
// everything else in as 24-bit through libtiff's RGBA reader. Either way the
// rows are stored as the file stores them and the page's Orientation tag is
// handed back for the front to apply.

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "image/image_block.h"
#include "rastio/codec.h"

namespace tx::rastio {
namespace {

constexpr char kNoMemory[] = "not enough memory to read or write the TIFF picture";
// Classic TIFF addresses its file with 32-bit offsets.
constexpr std::uint64_t kMaxTiffFileBytes = std::numeric_limits<std::uint32_t>::max();

// ---- libtiff messages ------------------------------------------------------

// The first error libtiff reports on one handle: the reason we give when the
// operation then fails. Warnings are dropped.
struct TiffMessages {
  std::string firstError;
};

int KeepFirstError(TIFF*, void* user, const char*, const char* format, va_list args) {
  auto* messages = static_cast<TiffMessages*>(user);
  if (messages && messages->firstError.empty()) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    try {
      messages->firstError = text;
    } catch (...) {
    }
  }
  return 1;  // handled: libtiff calls no global handler after this
}

int DropWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

// A few libtiff paths still report through the process-wide handlers, which
// print to stderr by default; nothing else in the program uses libtiff.
void SilenceGlobalTiffHandlers() {
  [[maybe_unused]] static const bool silenced = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
}

std::string Reason(const TiffMessages& messages, const char* fallback) {
  return messages.firstError.empty() ? std::string(fallback)
                                     : "the TIFF file cannot be read: " + messages.firstError;
}

// ---- memory files ----------------------------------------------------------

// Where a seek lands, or false when it would leave [0, limit].
bool SeekTarget(std::uint64_t position, std::uint64_t size, toff_t offset, int whence,
                std::uint64_t limit, std::uint64_t& target) {
  if (whence == SEEK_SET) {
    target = offset;
    return target <= limit;
  }
  std::uint64_t base = whence == SEEK_CUR ? position : whence == SEEK_END ? size : limit + 1;
  if (base > limit) return false;
  // Relative offsets come as two's complement in the unsigned offset type.
  auto delta = static_cast<std::int64_t>(offset);
  if (delta < 0 ? std::uint64_t(-(delta + 1)) + 1 > base : std::uint64_t(delta) > limit - base) {
    return false;
  }
  target = base + std::uint64_t(delta);
  return true;
}

tmsize_t CopyOut(const std::uint8_t* data, std::uint64_t size, std::uint64_t& position,
                 void* buffer, tmsize_t count) {
  if (count <= 0 || position >= size) return 0;
  std::uint64_t n = std::min<std::uint64_t>(std::uint64_t(count), size - position);
  std::memcpy(buffer, data + position, n);
  position += n;
  return tmsize_t(n);
}

// Read-only file over the caller's bytes; libtiff never reads or seeks past them.
struct TiffSource {
  ByteSpan data;
  std::uint64_t position = 0;
};

tmsize_t ReadSource(thandle_t handle, void* buffer, tmsize_t count) {
  auto* source = static_cast<TiffSource*>(handle);
  return CopyOut(source->data.data(), source->data.size(), source->position, buffer, count);
}

tmsize_t RefuseWrite(thandle_t, void*, tmsize_t) {
  return -1;
}

toff_t SeekSource(thandle_t handle, toff_t offset, int whence) {
  auto* source = static_cast<TiffSource*>(handle);
  std::uint64_t target = 0;
  if (!SeekTarget(source->position, source->data.size(), offset, whence, source->data.size(),
                  target)) {
    return static_cast<toff_t>(-1);
  }
  source->position = target;
  return target;
}

toff_t SourceSize(thandle_t handle) {
  return static_cast<TiffSource*>(handle)->data.size();
}

// Growable file for writing; seeking past the end leaves a gap that the next
// write fills with zeros.
struct TiffSink {
  ByteVector bytes;
  std::uint64_t position = 0;
};

tmsize_t ReadSink(thandle_t handle, void* buffer, tmsize_t count) {
  auto* sink = static_cast<TiffSink*>(handle);
  return CopyOut(sink->bytes.data(), sink->bytes.size(), sink->position, buffer, count);
}

tmsize_t WriteSink(thandle_t handle, void* buffer, tmsize_t count) {
  auto* sink = static_cast<TiffSink*>(handle);
  if (count < 0 || std::uint64_t(count) > kMaxTiffFileBytes - sink->position) return -1;
  std::uint64_t end = sink->position + std::uint64_t(count);
  try {
    if (end > sink->bytes.size()) sink->bytes.resize(end);
  } catch (...) {
    return -1;
  }
  std::memcpy(sink->bytes.data() + sink->position, buffer, std::size_t(count));
  sink->position = end;
  return count;
}

toff_t SeekSink(thandle_t handle, toff_t offset, int whence) {
  auto* sink = static_cast<TiffSink*>(handle);
  std::uint64_t target = 0;
  if (!SeekTarget(sink->position, sink->bytes.size(), offset, whence, kMaxTiffFileBytes, target)) {
    return static_cast<toff_t>(-1);
  }
  sink->position = target;
  return target;
}

toff_t SinkSize(thandle_t handle) {
  return static_cast<TiffSink*>(handle)->bytes.size();
}

int CloseNothing(thandle_t) {
  return 0;
}

int MapNothing(thandle_t, void**, toff_t*) {
  return 0;
}

void UnmapNothing(thandle_t, void*, toff_t) {}

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

struct OpenOptionsFree {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

TiffPtr OpenTiff(const char* mode, thandle_t file, TIFFReadWriteProc read, TIFFReadWriteProc write,
                 TIFFSeekProc seek, TIFFSizeProc size, TIFFMapFileProc map,
                 TiffMessages& messages) {
  SilenceGlobalTiffHandlers();
  std::unique_ptr<TIFFOpenOptions, OpenOptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), KeepFirstError, &messages);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), DropWarning, nullptr);
  return TiffPtr(TIFFClientOpenExt("memory", mode, file, read, write, seek, CloseNothing, size, map,
                                   UnmapNothing, options.get()));
}

// Lets libtiff take strips and tiles straight from the bytes. libtiff never
// writes through a mapping it opened for reading (it maps files read-only)
// and checks every mapped access against the size. Without a mapping,
// libtiff 4.5 refuses uncompressed tiles whose size is not a multiple of 1 KiB.
int MapSource(thandle_t handle, void** base, toff_t* size) {
  auto* source = static_cast<TiffSource*>(handle);
  if (source->data.empty()) return 0;
  *base = const_cast<std::uint8_t*>(source->data.data());
  *size = source->data.size();
  return 1;
}

TiffPtr OpenForReading(TiffSource& source, TiffMessages& messages) {
  return OpenTiff("r", &source, ReadSource, RefuseWrite, SeekSource, SourceSize, MapSource,
                  messages);
}

// ---- reading ---------------------------------------------------------------

// What the first page's tags say about its samples.
struct PageFormat {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t bits = 1;
  std::uint16_t samples = 1;
  std::uint16_t photometric = 0;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  bool hasPhotometric = false;
  bool tiled = false;
};

PageFormat ReadPageFormat(TIFF* tif) {
  PageFormat page;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &page.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &page.samples);
  page.hasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &page.photometric) != 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &page.planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &page.sampleFormat);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &page.orientation);
  page.tiled = TIFFIsTiled(tif) != 0;
  return page;
}

enum class DirectKind { None, Indexed, Rgb };

// Pages whose stored samples are already packed-image pixels; the rest go
// through the RGBA reader.
DirectKind DirectKindOf(const PageFormat& page) {
  if (page.tiled || !page.hasPhotometric || page.sampleFormat != SAMPLEFORMAT_UINT) {
    return DirectKind::None;
  }
  bool indexedDepth = page.bits == 1 || page.bits == 4 || page.bits == 8;
  bool indexedColour = page.photometric == PHOTOMETRIC_MINISWHITE ||
                       page.photometric == PHOTOMETRIC_MINISBLACK ||
                       page.photometric == PHOTOMETRIC_PALETTE;
  if (page.samples == 1 && indexedDepth && indexedColour) return DirectKind::Indexed;
  if (page.samples == 3 && page.bits == 8 && page.photometric == PHOTOMETRIC_RGB &&
      page.planar == PLANARCONFIG_CONTIG) {
    return DirectKind::Rgb;
  }
  return DirectKind::None;
}

// Fills the 2^bits entries of an indexed page's table. 8-bit gray gets the
// plain ramp (its min-is-white pixels are inverted while reading instead), so
// it comes in as a gray image.
bool FillIndexedTable(TIFF* tif, const PageFormat& page, RgbQuad* table, std::string& error) {
  std::uint32_t entries = 1u << page.bits;
  if (page.photometric == PHOTOMETRIC_PALETTE) {
    std::uint16_t* red = nullptr;
    std::uint16_t* green = nullptr;
    std::uint16_t* blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) {
      error = "the TIFF palette picture has no colour map";
      return false;
    }
    // Some writers store 8-bit values in the 16-bit map; take those as they are.
    bool eightBit = true;
    for (std::uint32_t i = 0; i < entries; ++i) {
      if (red[i] > 255 || green[i] > 255 || blue[i] > 255) eightBit = false;
    }
    auto scale = [eightBit](std::uint16_t v) {
      return std::uint8_t(eightBit ? v : (std::uint32_t(v) + 128) / 257);
    };
    for (std::uint32_t i = 0; i < entries; ++i) {
      table[i] = RgbQuad{scale(blue[i]), scale(green[i]), scale(red[i]), 0};
    }
    return true;
  }
  if (page.bits == 8) {
    FillGrayRamp(table);
    return true;
  }
  bool minIsWhite = page.photometric == PHOTOMETRIC_MINISWHITE;
  for (std::uint32_t i = 0; i < entries; ++i) {
    auto level = std::uint8_t(i * 255 / (entries - 1));
    if (minIsWhite) level = std::uint8_t(255 - level);
    table[i] = RgbQuad{level, level, level, 0};
  }
  return true;
}

PackedImage ReadScanlines(TIFF* tif, const PageFormat& page, DirectKind kind,
                          const TiffMessages& messages, std::string& error) {
  int bitCount = kind == DirectKind::Rgb ? 24 : page.bits;
  std::uint32_t colours = kind == DirectKind::Rgb ? 0 : 1u << page.bits;
  PackedImage image(NewDecodedImage(page.width, page.height, bitCount, colours, error));
  if (!image) return {};
  ImageLock lock(image.get());
  if (!lock) {
    error = kNoMemory;
    return {};
  }
  if (kind == DirectKind::Indexed && !FillIndexedTable(tif, page, lock.palette(), error)) return {};

  std::uint64_t rowBytes = (std::uint64_t(page.width) * page.bits * page.samples + 7) / 8;
  // libtiff writes a whole scanline into the buffer: size it by libtiff's count.
  std::uint64_t scanline = TIFFScanlineSize64(tif);
  if (scanline < rowBytes) {
    error = "the TIFF page's rows are shorter than its width";
    return {};
  }
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[scanline]);
  if (!buffer) {
    error = kNoMemory;
    return {};
  }
  bool invert = page.photometric == PHOTOMETRIC_MINISWHITE && page.bits == 8;
  // Bits past the width in the last byte of a 1- or 4-bit row stay zero.
  unsigned tailBits = unsigned(std::uint64_t(page.width) * page.bits % 8);
  auto tailMask = std::uint8_t(tailBits ? 0xFF << (8 - tailBits) : 0xFF);
  for (std::uint32_t y = 0; y < page.height; ++y) {
    if (TIFFReadScanline(tif, buffer.get(), y, 0) < 0) {
      error = Reason(messages, "the TIFF picture data is damaged or cut short");
      return {};
    }
    std::uint8_t* row = lock.topDownRow(int(y));
    const std::uint8_t* in = buffer.get();
    if (kind == DirectKind::Rgb) {
      for (std::uint32_t x = 0; x < page.width; ++x, in += 3, row += 3) {
        row[0] = in[2];
        row[1] = in[1];
        row[2] = in[0];
      }
    } else if (invert) {
      for (std::uint64_t i = 0; i < rowBytes; ++i)
        row[i] = std::uint8_t(255 - in[i]);
    } else {
      std::memcpy(row, in, rowBytes);
      row[rowBytes - 1] &= tailMask;
    }
  }
  return image;
}

// Any other page, as 24-bit: libtiff converts it to 8-bit RGBA, which we lay
// over white. Asking for the page's own orientation keeps libtiff from
// flipping anything, so the rows come in stored order like the direct path.
PackedImage ReadThroughRgba(TIFF* tif, const PageFormat& page, const TiffMessages& messages,
                            std::string& error) {
  char message[1024] = "";
  if (!TIFFRGBAImageOK(tif, message)) {
    error = std::string("this kind of TIFF picture cannot be read: ") + message;
    return {};
  }
  PackedImage image(NewDecodedImage(page.width, page.height, 24, 0, error));
  if (!image) return {};
  std::size_t pixels = std::size_t(page.width) * page.height;
  std::unique_ptr<std::uint32_t[]> raster(new (std::nothrow) std::uint32_t[pixels]);
  ImageLock lock(image.get());
  if (!raster || !lock) {
    error = kNoMemory;
    return {};
  }
  if (!TIFFReadRGBAImageOriented(tif, page.width, page.height, raster.get(), page.orientation, 1)) {
    error = Reason(messages, "the TIFF picture data is damaged or cut short");
    return {};
  }
  // libtiff hands out premultiplied colour, so over white each channel is c + (255 - alpha).
  auto overWhite = [](std::uint32_t channel, std::uint32_t alpha) {
    return std::uint8_t(std::min<std::uint32_t>(255, channel + 255 - alpha));
  };
  const std::uint32_t* in = raster.get();
  for (std::uint32_t y = 0; y < page.height; ++y) {
    std::uint8_t* row = lock.topDownRow(int(y));
    for (std::uint32_t x = 0; x < page.width; ++x, ++in, row += 3) {
      std::uint32_t alpha = TIFFGetA(*in);
      row[0] = overWhite(TIFFGetB(*in), alpha);
      row[1] = overWhite(TIFFGetG(*in), alpha);
      row[2] = overWhite(TIFFGetR(*in), alpha);
    }
  }
  return image;
}

Decoded DecodeFirstPage(ByteSpan data) {
  Decoded result;
  TiffSource source{data};
  TiffMessages messages;
  TiffPtr tif = OpenForReading(source, messages);
  if (!tif) {
    result.error = Reason(messages, "not a TIFF file");
    return result;
  }
  PageFormat page = ReadPageFormat(tif.get());
  if (!CheckPictureSize(page.width, page.height, result.error)) return result;
  // Complaints about the directory that libtiff got past are not the reason
  // for a failure that comes later.
  messages.firstError.clear();
  DirectKind kind = DirectKindOf(page);
  result.image = kind == DirectKind::None
                     ? ReadThroughRgba(tif.get(), page, messages, result.error)
                     : ReadScanlines(tif.get(), page, kind, messages, result.error);
  if (result.image) {
    result.error.clear();
    bool known = page.orientation >= ORIENTATION_TOPLEFT && page.orientation <= ORIENTATION_LEFTBOT;
    result.orientation = known ? page.orientation : 1;
  }
  return result;
}

// ---- writing ---------------------------------------------------------------

RgbQuad EntryOf(const ImageLock& lock, std::uint32_t index) {
  return index < lock.colourCount() ? lock.palette()[index] : RgbQuad{0, 0, 0, 0};
}

bool IsLevel(RgbQuad entry, std::uint8_t level) {
  return entry.blue == level && entry.green == level && entry.red == level;
}

// The photometric interpretation that keeps the image's colours exactly.
std::uint16_t PhotometricFor(GlobalHandle image, const ImageLock& lock) {
  switch (lock.bitCount()) {
    case 24:
      return PHOTOMETRIC_RGB;
    case 8:
      return IsGrayImage(image) ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_PALETTE;
    case 1:
      if (IsLevel(EntryOf(lock, 0), 0) && IsLevel(EntryOf(lock, 1), 255)) {
        return PHOTOMETRIC_MINISBLACK;
      }
      if (IsLevel(EntryOf(lock, 0), 255) && IsLevel(EntryOf(lock, 1), 0)) {
        return PHOTOMETRIC_MINISWHITE;
      }
      return PHOTOMETRIC_PALETTE;
    default:
      return PHOTOMETRIC_PALETTE;
  }
}

bool WriteTiff(GlobalHandle image, bool lzw, ByteVector& file, std::string& error) {
  ImageLock lock(image);
  if (!lock) {
    error = "there is no picture to write";
    return false;
  }
  int bits = lock.bitCount();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    error = "TIFF files are written from 1-, 4-, 8- or 24-bit pictures, not " +
            std::to_string(bits) + "-bit ones";
    return false;
  }
  auto width = std::uint32_t(lock.width());
  auto height = std::uint32_t(lock.height());
  std::uint16_t photometric = PhotometricFor(image, lock);
  bool colour = bits == 24;

  TiffSink sink;
  TiffMessages messages;
  {
    TiffPtr tif =
        OpenTiff("wl", &sink, ReadSink, WriteSink, SeekSink, SinkSize, MapNothing, messages);
    if (!tif) {
      error = Reason(messages, "the TIFF writer could not start");
      return false;
    }
    TIFF* t = tif.get();
    bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width) &&
              TIFFSetField(t, TIFFTAG_IMAGELENGTH, height) &&
              TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, colour ? 8 : bits) &&
              TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, colour ? 3 : 1) &&
              TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric) &&
              TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
              TIFFSetField(t, TIFFTAG_COMPRESSION, lzw ? COMPRESSION_LZW : COMPRESSION_NONE);
    // Differencing neighbours helps LZW on continuous tone; it means nothing for indices.
    if (ok && lzw && photometric != PHOTOMETRIC_PALETTE && bits >= 8) {
      ok = TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    }
    if (ok && lock.header().biXPelsPerMeter > 0 && lock.header().biYPelsPerMeter > 0) {
      ok = TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER) &&
           TIFFSetField(t, TIFFTAG_XRESOLUTION, lock.header().biXPelsPerMeter / 100.0) &&
           TIFFSetField(t, TIFFTAG_YRESOLUTION, lock.header().biYPelsPerMeter / 100.0);
    }
    if (ok && photometric == PHOTOMETRIC_PALETTE) {
      // The map has 2^bits entries of 16 bits; entries the image lacks are black.
      std::uint16_t red[256] = {};
      std::uint16_t green[256] = {};
      std::uint16_t blue[256] = {};
      for (std::uint32_t i = 0; i < (1u << bits); ++i) {
        RgbQuad entry = EntryOf(lock, i);
        red[i] = std::uint16_t(entry.red * 257);
        green[i] = std::uint16_t(entry.green * 257);
        blue[i] = std::uint16_t(entry.blue * 257);
      }
      ok = TIFFSetField(t, TIFFTAG_COLORMAP, red, green, blue);
    }
    if (ok) ok = TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    if (!ok) {
      error = Reason(messages, "the TIFF writer refused the picture's layout");
      return false;
    }

    std::size_t rowBytes = (std::size_t(width) * (colour ? 24 : bits) + 7) / 8;
    std::unique_ptr<std::uint8_t[]> row(new (std::nothrow) std::uint8_t[rowBytes]);
    if (!row) {
      error = kNoMemory;
      return false;
    }
    for (std::uint32_t y = 0; y < height; ++y) {
      const std::uint8_t* in = lock.topDownRow(int(y));
      if (colour) {
        for (std::size_t i = 0; i < rowBytes; i += 3) {
          row[i] = in[i + 2];
          row[i + 1] = in[i + 1];
          row[i + 2] = in[i];
        }
      } else {
        std::memcpy(row.get(), in, rowBytes);
      }
      if (TIFFWriteScanline(t, row.get(), y, 0) < 0) {
        error = Reason(messages, "the TIFF picture could not be written");
        return false;
      }
    }
    if (!TIFFWriteDirectory(t)) {
      error = Reason(messages, "the TIFF picture could not be written");
      return false;
    }
  }
  file = std::move(sink.bytes);
  return true;
}

}  // namespace

Decoded DecodeTiff(ByteSpan data) {
  try {
    return DecodeFirstPage(data);
  } catch (...) {
    return {PackedImage(), 1, kNoMemory};
  }
}

bool EncodeTiff(GlobalHandle image, bool lzw, ByteVector& out, std::string& error) {
  try {
    ByteVector file;
    if (!WriteTiff(image, lzw, file, error)) return false;
    // Offsets inside a TIFF count from its first byte, so it is built apart and appended.
    if (out.empty()) {
      out.swap(file);
    } else {
      out.insert(out.end(), file.begin(), file.end());
    }
    return true;
  } catch (...) {
    error = kNoMemory;
    return false;
  }
}

bool TiffIsLzw(ByteSpan data) {
  try {
    TiffSource source{data};
    TiffMessages messages;
    TiffPtr tif = OpenForReading(source, messages);
    std::uint16_t compression = COMPRESSION_NONE;
    return tif && TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression) &&
           compression == COMPRESSION_LZW;
  } catch (...) {
    return false;
  }
}

}  // namespace tx::rastio
