// JPEG reading and writing with libjpeg(-turbo).
//
// libjpeg reports a fatal error by calling error_exit, which must not
// return; we copy its message and longjmp back to the decoder. A longjmp
// skips destructors, so every call into libjpeg happens inside a small
// function (ReadJpegHeader, ReadJpegPixels, WriteJpegRows) that holds the
// setjmp and no object with a destructor; everything that needs cleaning
// up lives in the caller's frame, which the jump never crosses.
//
// Damage policy: libjpeg carries on through corrupt or missing entropy data
// with a warning and fills the lost blocks with gray. A tile made of such
// a picture is silently wrong, so any warning that means pixels were lost
// fails the read. Warnings that leave the pixels intact (stray bytes
// before a marker, an odd JFIF version, a bad ICC marker) are ignored, and
// so is a missing end-of-image marker when all the picture data is there.

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "image/image_block.h"
#include "rastio/codec.h"

namespace tx::rastio {
namespace {

// Progressive files normally have about ten scans; each scan is another
// pass over the whole picture, so a file with thousands of tiny scans is a
// way to make a small file cost minutes.
constexpr int kMaxScans = 256;
constexpr std::size_t kOutputChunk = 16384;
const JOCTET kFakeEndOfImage[] = {0xFF, JPEG_EOI};

struct JpegErrors {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void FailWith(j_common_ptr info, const char* message) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  std::snprintf(errors->message, sizeof errors->message, "%s", message);
  std::longjmp(errors->jump, 1);
}

[[noreturn]] void OnJpegError(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

/// True for the warnings after which libjpeg has made up pixels.
bool MeansLostPixels(int code) {
  switch (code) {
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_JPEG_EOF:
      return true;
    default:
      return false;
  }
}

void OnJpegMessage(j_common_ptr info, int level) {
  // Level -1 is a warning; higher levels are trace output. Nothing goes to
  // stderr: a library must not write to the program's console.
  if (level == -1 && MeansLostPixels(info->err->msg_code)) OnJpegError(info);
}

void OnJpegProgress(j_common_ptr info) {
  if (info->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
    FailWith(info, "the file has too many progressive scans");
  }
}

void InstallErrors(JpegErrors& errors) {
  jpeg_std_error(&errors.pub);
  errors.pub.error_exit = OnJpegError;
  errors.pub.emit_message = OnJpegMessage;
  errors.pub.output_message = [](j_common_ptr) {};
}

// --- Reading -----------------------------------------------------------------

/// Hands libjpeg the whole file at once. Past the end it supplies an
/// end-of-image marker without a warning and notes that it did: the
/// entropy decoder reads ahead a few bytes, so running out is only damage
/// when pixels were actually missing (which libjpeg does warn about) or
/// when later scans of a multi-scan file are missing (checked by the caller).
struct JpegSource {
  jpeg_source_mgr pub;
  bool reachedEnd;
};

boolean FillJpegInput(j_decompress_ptr info) {
  auto* source = reinterpret_cast<JpegSource*>(info->src);
  source->reachedEnd = true;
  source->pub.next_input_byte = kFakeEndOfImage;
  source->pub.bytes_in_buffer = sizeof kFakeEndOfImage;
  return TRUE;
}

void SkipJpegInput(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  if (std::size_t(count) >= info->src->bytes_in_buffer) {
    FillJpegInput(info);
    return;
  }
  info->src->next_input_byte += count;
  info->src->bytes_in_buffer -= std::size_t(count);
}

struct JpegDecoder {
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  JpegSource source{};
  jpeg_progress_mgr progress{};
  JpegDecoder() = default;
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;
  // Safe in any state, also when creation failed (it checks for the pool).
  ~JpegDecoder() { jpeg_destroy_decompress(&info); }
};

/// Where the decoded rows go: packed rows (bottom-up) and, for CMYK files,
/// a one-row buffer of width x 4 bytes to convert from.
struct JpegTarget {
  std::uint8_t* bits;
  std::uint32_t stride;
  JDIMENSION width;
  JDIMENSION height;
  int components;
  std::uint8_t* cmykRow;
  bool invertedCmyk;
};

/// Holds the setjmp: nothing with a destructor may live in this frame.
bool ReadJpegHeader(JpegDecoder& d, ByteSpan data) {
  if (setjmp(d.errors.jump)) return false;
  d.info.err = &d.errors.pub;
  jpeg_create_decompress(&d.info);
  d.source.pub.next_input_byte = data.data();
  d.source.pub.bytes_in_buffer = data.size();
  d.source.pub.init_source = [](j_decompress_ptr) {};
  d.source.pub.fill_input_buffer = FillJpegInput;
  d.source.pub.skip_input_data = SkipJpegInput;
  d.source.pub.resync_to_restart = jpeg_resync_to_restart;
  d.source.pub.term_source = [](j_decompress_ptr) {};
  d.info.src = &d.source.pub;
  d.progress.progress_monitor = OnJpegProgress;
  d.info.progress = &d.progress;
  jpeg_save_markers(&d.info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&d.info, TRUE);
  return true;
}

/// CMYK as Adobe writes it (inverted: 255 is no ink) or plain, to B,G,R.
void CmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    // Each channel is now the light left through one ink and the black.
    bgr[0] = std::uint8_t((y * k + 127) / 255);
    bgr[1] = std::uint8_t((m * k + 127) / 255);
    bgr[2] = std::uint8_t((c * k + 127) / 255);
  }
}

/// Holds the setjmp: nothing with a destructor may live in this frame.
bool ReadJpegPixels(JpegDecoder& d, const JpegTarget& t) {
  if (setjmp(d.errors.jump)) return false;
  jpeg_start_decompress(&d.info);
  if (d.info.output_width != t.width || d.info.output_height != t.height ||
      d.info.output_components != t.components) {
    FailWith(reinterpret_cast<j_common_ptr>(&d.info), "unexpected decoder output");
  }
  // A multi-scan file is read whole by jpeg_start_decompress; when it ran
  // out of data the later scans (detail, or whole colour channels) are missing.
  if (jpeg_has_multiple_scans(&d.info) && d.source.reachedEnd) {
    FailWith(reinterpret_cast<j_common_ptr>(&d.info), "Premature end of JPEG file");
  }
  while (d.info.output_scanline < t.height) {
    std::uint8_t* row = t.bits + std::size_t(t.height - 1 - d.info.output_scanline) * t.stride;
    JSAMPROW target = t.cmykRow ? t.cmykRow : row;
    if (jpeg_read_scanlines(&d.info, &target, 1) != 1) {
      FailWith(reinterpret_cast<j_common_ptr>(&d.info), "Premature end of JPEG file");
    }
    if (t.cmykRow) CmykToBgr(t.cmykRow, row, t.width, t.invertedCmyk);
  }
  // jpeg_finish_decompress is skipped on purpose: it only reads what follows
  // the picture, and the destructor frees the decoder in any state.
  return true;
}

int OrientationOf(const jpeg_decompress_struct& info) {
  constexpr std::uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
  for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length > sizeof kExifHeader &&
        std::memcmp(m->data, kExifHeader, sizeof kExifHeader) == 0) {
      return ExifOrientation(ByteSpan(m->data, m->data_length));
    }
  }
  return 1;
}

// --- Writing -----------------------------------------------------------------

/// Collects the compressed bytes in a fixed buffer and appends them to the
/// caller's vector a chunk at a time.
struct JpegDestination {
  jpeg_destination_mgr pub;
  ByteVector* out;
  JOCTET buffer[kOutputChunk];
};

bool AppendBytes(ByteVector& out, const JOCTET* bytes, std::size_t count) {
  try {
    out.insert(out.end(), bytes, bytes + count);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void StartJpegOutput(j_compress_ptr info) {
  auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kOutputChunk;
}

boolean FlushJpegOutput(j_compress_ptr info) {
  auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
  // libjpeg calls this only when the whole buffer is full.
  if (!AppendBytes(*dest->out, dest->buffer, kOutputChunk)) {
    FailWith(reinterpret_cast<j_common_ptr>(info), "not enough memory for the JPEG file");
  }
  StartJpegOutput(info);
  return TRUE;
}

void EndJpegOutput(j_compress_ptr info) {
  auto* dest = reinterpret_cast<JpegDestination*>(info->dest);
  if (!AppendBytes(*dest->out, dest->buffer, kOutputChunk - dest->pub.free_in_buffer)) {
    FailWith(reinterpret_cast<j_common_ptr>(info), "not enough memory for the JPEG file");
  }
}

struct JpegEncoder {
  jpeg_compress_struct info{};
  JpegErrors errors{};
  JpegDestination destination{};
  JpegEncoder() = default;
  JpegEncoder(const JpegEncoder&) = delete;
  JpegEncoder& operator=(const JpegEncoder&) = delete;
  ~JpegEncoder() { jpeg_destroy_compress(&info); }
};

/// What WriteJpegRows reads: the packed image's rows and, for indexed
/// pictures, the colour table and a width x 3 buffer to expand a row into.
struct JpegPicture {
  const std::uint8_t* bits;
  std::uint32_t stride;
  int width;
  int height;
  int bitCount;
  bool gray;
  const RgbQuad* palette;
  std::uint32_t colourCount;
  std::uint8_t* expandedRow;
  int quality;
  int pelsPerMeter;
};

void ExpandIndexedRow(const JpegPicture& p, const std::uint8_t* row) {
  std::uint8_t* bgr = p.expandedRow;
  for (int x = 0; x < p.width; ++x, bgr += 3) {
    unsigned index = 0;
    switch (p.bitCount) {
      case 8:
        index = row[x];
        break;
      case 4:
        index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
        break;
      default:
        index = (row[x / 8] >> (7 - x % 8)) & 1;
        break;
    }
    // Indexes past the table are shown black, as a bitmap viewer does.
    RgbQuad colour = index < p.colourCount ? p.palette[index] : RgbQuad{0, 0, 0, 0};
    bgr[0] = colour.blue;
    bgr[1] = colour.green;
    bgr[2] = colour.red;
  }
}

/// Holds the setjmp: nothing with a destructor may live in this frame.
bool WriteJpegRows(JpegEncoder& e, const JpegPicture& p, ByteVector& out) {
  if (setjmp(e.errors.jump)) return false;
  e.info.err = &e.errors.pub;
  jpeg_create_compress(&e.info);
  e.destination.out = &out;
  e.destination.pub.init_destination = StartJpegOutput;
  e.destination.pub.empty_output_buffer = FlushJpegOutput;
  e.destination.pub.term_destination = EndJpegOutput;
  e.info.dest = &e.destination.pub;
  e.info.image_width = JDIMENSION(p.width);
  e.info.image_height = JDIMENSION(p.height);
  e.info.input_components = p.gray ? 1 : 3;
  e.info.in_color_space = p.gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&e.info);
  jpeg_set_quality(&e.info, p.quality, TRUE);
  e.info.optimize_coding = TRUE;
  if (p.pelsPerMeter > 0) {
    // Dots per inch, rounded; 7874 per metre is 200 dpi.
    e.info.density_unit = 1;
    int dpi = int((std::int64_t(p.pelsPerMeter) * 254 + 5000) / 10000);
    e.info.X_density = e.info.Y_density = UINT16(dpi > 65535 ? 65535 : dpi);
  }
  jpeg_start_compress(&e.info, TRUE);
  while (e.info.next_scanline < e.info.image_height) {
    int y = int(e.info.next_scanline);
    const std::uint8_t* row = p.bits + std::size_t(p.height - 1 - y) * p.stride;
    if (p.expandedRow) {
      ExpandIndexedRow(p, row);
      row = p.expandedRow;
    }
    // libjpeg only reads the rows it is given.
    JSAMPROW sample = const_cast<JSAMPROW>(row);
    jpeg_write_scanlines(&e.info, &sample, 1);
  }
  jpeg_finish_compress(&e.info);
  return true;
}

}  // namespace

// The smallest scale n/8 at which the picture, turned upright, is still at
// least minWidth x minHeight; libjpeg-turbo then skips most of the inverse
// DCT work. Sizes round up as the library rounds them.
void ChooseJpegScale(jpeg_decompress_struct& info, int orientation, int minWidth, int minHeight) {
  if (minWidth <= 0 && minHeight <= 0) return;
  // Orientations 5 to 8 turn the picture a quarter: its width becomes height.
  if (orientation >= 5 && orientation <= 8) std::swap(minWidth, minHeight);
  auto scaled = [](JDIMENSION side, unsigned n) { return (std::uint64_t(side) * n + 7) / 8; };
  unsigned n = 1;
  while (n < 8 && (scaled(info.image_width, n) < std::uint64_t(std::max(minWidth, 0)) ||
                   scaled(info.image_height, n) < std::uint64_t(std::max(minHeight, 0)))) {
    ++n;
  }
  info.scale_num = n;
  info.scale_denom = 8;
}

/// Holds the setjmp: nothing with a destructor may live in this frame.
bool CalculateJpegOutput(JpegDecoder& d) {
  if (setjmp(d.errors.jump)) return false;
  jpeg_calc_output_dimensions(&d.info);
  return true;
}

Decoded DecodeJpeg(ByteSpan data) {
  return DecodeJpegAtLeast(data, 0, 0);
}

Decoded DecodeJpegAtLeast(ByteSpan data, int minWidth, int minHeight) {
  Decoded result;
  JpegDecoder d;
  InstallErrors(d.errors);
  if (!ReadJpegHeader(d, data)) {
    result.error = std::string("JPEG: ") + d.errors.message;
    return result;
  }
  result.orientation = OrientationOf(d.info);
  // Size is checked before jpeg_start_decompress, which allocates per width
  // (and for multi-scan files the whole picture's coefficients).
  std::int64_t width = d.info.image_width, height = d.info.image_height;
  if (!CheckPictureSize(width, height, result.error)) return result;

  int bitCount = 24, components = 3;
  bool cmyk = false;
  switch (d.info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      d.info.out_color_space = JCS_GRAYSCALE;
      bitCount = 8;
      components = 1;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      // libjpeg turns YCCK into CMYK; the step to RGB is ours.
      d.info.out_color_space = JCS_CMYK;
      components = 4;
      cmyk = true;
      break;
    default:
      d.info.out_color_space = JCS_EXT_BGR;
      break;
  }
  ChooseJpegScale(d.info, result.orientation, minWidth, minHeight);
  if (!CalculateJpegOutput(d)) {
    result.error = std::string("JPEG: ") + d.errors.message;
    return result;
  }
  width = d.info.output_width;
  height = d.info.output_height;
  PackedImage image(
      NewDecodedImage(width, height, bitCount, bitCount == 8 ? 256 : 0, result.error));
  if (!image) return result;
  ByteVector cmykRow;
  try {
    if (cmyk) cmykRow.resize(std::size_t(width) * 4);
  } catch (const std::bad_alloc&) {
    result.error = "not enough memory to read the JPEG file";
    return result;
  }
  {
    ImageLock lock(image.get());
    if (!lock) {
      result.error = "not enough memory to read the JPEG file";
      return result;
    }
    if (bitCount == 8) FillGrayRamp(lock.palette());
    JpegTarget target{lock.bits(),
                      lock.stride(),
                      JDIMENSION(width),
                      JDIMENSION(height),
                      components,
                      cmyk ? cmykRow.data() : nullptr,
                      d.info.saw_Adobe_marker != 0};
    if (!ReadJpegPixels(d, target)) {
      result.error = std::string("JPEG: ") + d.errors.message;
      return result;
    }
  }
  result.image = std::move(image);
  return result;
}

bool EncodeJpeg(GlobalHandle image, int quality, ByteVector& out, std::string& error) {
  int kind = GetImageKind(image);
  ImageLock lock(image);
  if (!lock) {
    error = "not a valid picture";
    return false;
  }
  int bits = lock.bitCount();
  if (bits != 24 && bits != 8 && bits != 4 && bits != 1) {
    error = "a JPEG file cannot hold a picture of " + std::to_string(bits) + " bits per pixel";
    return false;
  }
  bool gray = kind == kImageKindGray;
  bool indexed = bits <= 8 && !gray;
  ByteVector expandedRow;
  try {
    if (indexed) expandedRow.resize(std::size_t(lock.width()) * 3);
  } catch (const std::bad_alloc&) {
    error = "not enough memory to write the JPEG file";
    return false;
  }
  JpegPicture picture{lock.bits(),
                      lock.stride(),
                      lock.width(),
                      lock.height(),
                      bits,
                      gray,
                      lock.palette(),
                      lock.colourCount(),
                      indexed ? expandedRow.data() : nullptr,
                      quality < 1 ? 1 : (quality > 100 ? 100 : quality),
                      lock.header().biXPelsPerMeter};
  std::size_t before = out.size();
  JpegEncoder e;
  InstallErrors(e.errors);
  if (!WriteJpegRows(e, picture, out)) {
    out.resize(before);
    error = std::string("JPEG: ") + e.errors.message;
    return false;
  }
  return true;
}

}  // namespace tx::rastio
