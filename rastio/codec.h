#pragma once
// The contract between the library's front (rastio.cpp) and its codecs.
//
// Each codec decodes from and encodes to memory, so the front does all file
// access (with atomic replacement) and fuzzers can feed bytes directly.
// Decoders check sizes with CheckPictureSize before allocating, allocate
// with NewDecodedImage, and never throw, exit or longjmp past a destructor.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/image_lock.h"

namespace tx::rastio {

using ByteSpan = std::span<const std::uint8_t>;
using ByteVector = std::vector<std::uint8_t>;

struct Decoded {
  PackedImage image;    // null on failure
  int orientation = 1;  // EXIF orientation 1..8 the front still applies
  std::string error;    // why, when image is null
};

/// False (with a reason) when width or height is below 1 or the picture is
/// beyond the size limits.
bool CheckPictureSize(std::int64_t width, std::int64_t height, std::string& error);
/// The pixel count limit CheckPictureSize applies now.
std::int64_t MaxPicturePixels();

/// A zero-filled image with its header set (see NewImageBlock), allocated
/// quietly after CheckPictureSize. Null with a reason on failure.
GlobalHandle NewDecodedImage(std::int64_t width, std::int64_t height, int bitCount,
                             std::uint32_t colours, std::string& error);

Decoded DecodeJpeg(ByteSpan data);
/// A JPEG scaled in the DCT to the smallest size of n/8 (n = 1..8) that is
/// still at least minWidth x minHeight once turned upright.
Decoded DecodeJpegAtLeast(ByteSpan data, int minWidth, int minHeight);
Decoded DecodePng(ByteSpan data);
Decoded DecodeTiff(ByteSpan data);
Decoded DecodeGif(ByteSpan data);
Decoded DecodeWebp(ByteSpan data);
Decoded DecodeHeif(ByteSpan data);
Decoded DecodeBmp(ByteSpan data);
Decoded DecodePcx(ByteSpan data);
Decoded DecodeTga(ByteSpan data);

/// Encoders append the whole file to `out`; false with a reason on failure.
bool EncodeJpeg(GlobalHandle image, int quality, ByteVector& out, std::string& error);
bool EncodePng(GlobalHandle image, ByteVector& out, std::string& error);
bool EncodeTiff(GlobalHandle image, bool lzw, ByteVector& out, std::string& error);
bool EncodeGif(GlobalHandle image, bool interlace, ByteVector& out, std::string& error);
bool EncodeBmp(GlobalHandle image, ByteVector& out, std::string& error);
bool EncodePcx(GlobalHandle image, ByteVector& out, std::string& error);
bool EncodeTga(GlobalHandle image, bool rle, ByteVector& out, std::string& error);

/// The orientation (1..8) an EXIF block records; 1 when it records none or
/// cannot be read. `exif` is the TIFF-structured payload, with or without
/// the leading "Exif\0\0".
int ExifOrientation(ByteSpan exif);

/// True when `data` is a TIFF whose first page uses LZW (compression 5).
bool TiffIsLzw(ByteSpan data);

}  // namespace tx::rastio
