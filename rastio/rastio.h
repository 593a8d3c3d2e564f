#pragma once
// Rastio: reading and writing picture files as packed images.
//
// The program calls these eight functions and nothing else of the library.
// Reading functions return a new packed image the caller owns (frees with
// GlobalFree), or null; the image keeps the file's own depth (1, 4, 8 or 24
// bits; deeper or alpha pictures come in as 24-bit) and is turned upright
// when the file records an orientation. Writing functions neither free nor
// change the image and return 0 on success, -1 on failure; files are
// replaced atomically. EzLastError() tells why the last call on this thread
// failed. No function throws, exits or reads past what the file holds.

#include <cstdint>

#include "platform/global_memory.h"

extern "C" {

/// Any supported picture file (BMP, PCX, TGA, JPEG, PNG, TIFF, GIF, WebP,
/// HEIF), recognised by its contents. width and height must be 0 (full size).
tx::GlobalHandle EzOpenFile(const char* path, int width, int height);

/// A JPEG file at full size (width and height 0).
tx::GlobalHandle EzLoadJpgFileThumbnail(const char* path, int width, int height);

/// A Windows bitmap file at full size (width and height 0).
tx::GlobalHandle EzLoadBmpFileThumbnail(const char* path, int width, int height);

/// The first picture of a GIF file, 8 bits. `flag` is ignored.
tx::GlobalHandle EzLoadGifFile(const char* path, int flag);

/// The first page of a TIFF file.
tx::GlobalHandle EzLoadTifFile(const char* path);

/// Writes `image` to `path`. Format code 4 writes JPEG whatever the
/// extension, with options[0] the quality (1 to 100). Code 0 writes the type
/// the extension names: BMP, TIF/TIFF (LZW when options[2] is nonzero), TGA
/// (run-length encoded when options[2] is nonzero), JPG/JPEG (quality
/// options[0]), PNG, PCX, and GIF for images of 8 bits or fewer. `options`
/// may be null (quality 90, no compression). FPX is refused.
int EzSaveFile(tx::GlobalHandle image, const char* path, int formatCode,
               const std::int32_t* options);

/// Writes an image of 8 bits or fewer as GIF; interlaced when `interlace`
/// is nonzero. `secondFlag` and `reserved` are ignored.
int EzDumpGifFile(const char* path, tx::GlobalHandle image, int interlace, int secondFlag,
                  int reserved);

/// Writes `image` as PCX (run-length encoded, as the format requires).
int EzDumpPcxFile(const char* path, tx::GlobalHandle image);

/// 1 when `path` is a TIFF file whose first page is LZW-compressed
/// (compression code 5), else 0.
int EzIsLzwTiff(const char* path);

/// Why the last failed call on this thread failed (UTF-8, never null).
const char* EzLastError();

}  // extern "C"

namespace tx {

/// Format codes of EzSaveFile.
inline constexpr int kSaveByExtension = 0;
inline constexpr int kSaveJpeg = 4;

/// Largest picture a reader accepts: a side and a pixel count. Checked
/// against the sizes a file claims before anything is allocated.
inline constexpr std::int64_t kMaxPictureSide = 65535;
inline constexpr std::int64_t kMaxPicturePixels = 400'000'000;

/// Any supported picture file, like EzOpenFile, but a JPEG file is decoded
/// at the smallest eighth of its size (1/8 to 8/8) that is still at least
/// minWidth x minHeight once upright: much faster for large photos that
/// become small pictures. Other formats come at full size.
GlobalHandle LoadPictureAtLeast(const char* path, int minWidth, int minHeight);

/// Writes `image` as a JPEG file of `quality` (1 to 100) like EzSaveFile
/// with format code 4, without waiting for the disc to hold it: for the
/// thousands of small tile pictures of a collection build. 0 or -1.
int SaveJpegUnflushed(GlobalHandle image, const char* path, int quality);

/// Lowers (or restores) both limits for this process; fuzzers use it so that
/// decode bombs take the normal failure path quickly.
void SetPictureSizeLimits(std::int64_t maxSide, std::int64_t maxPixels);

}  // namespace tx
