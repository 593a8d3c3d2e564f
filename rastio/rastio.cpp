// The front of the image-file library: file access, format recognition,
// orientation, and the choice of encoder when writing.

#include "rastio/rastio.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "platform/file_io.h"
#include "rastio/codec.h"
#include "rastio/orientation.h"

namespace tx::rastio {
namespace {

// Large enough for an uncompressed picture at the pixel limit.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t(2) << 30;
constexpr int kDefaultQuality = 90;
// Words of the option block: quality first, the compress flag third, the
// interlace flag fifth.
constexpr int kOptionQuality = 0;
constexpr int kOptionCompress = 2;
constexpr int kOptionInterlace = 4;

thread_local std::string t_lastError;

enum class Format { Unknown, Jpeg, Png, Gif, Tiff, Bmp, Pcx, Tga, Webp, Heif, Fpx };

std::string LowerExtension(const char* path) {
  std::string p(path);
  std::size_t dot = p.find_last_of('.');
  std::size_t slash = p.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = p.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return ext;
}

bool StartsWith(ByteSpan data, std::size_t offset, const char* magic, std::size_t size) {
  return data.size() >= offset + size && std::memcmp(data.data() + offset, magic, size) == 0;
}

bool IsHeifBrand(ByteSpan data) {
  if (!StartsWith(data, 4, "ftyp", 4)) return false;
  static const char* const kBrands[] = {"heic", "heix", "hevc", "hevx", "heim",
                                        "heis", "mif1", "msf1", "avif", "avis"};
  for (const char* brand : kBrands) {
    if (StartsWith(data, 8, brand, 4)) return true;
  }
  return false;
}

// Recognises a picture by its first bytes; only TGA, which has no signature,
// is taken from the extension.
Format SniffFormat(ByteSpan data, const std::string& extension) {
  if (StartsWith(data, 0, "\xFF\xD8\xFF", 3)) return Format::Jpeg;
  if (StartsWith(data, 0, "\x89PNG", 4)) return Format::Png;
  if (StartsWith(data, 0, "GIF87a", 6) || StartsWith(data, 0, "GIF89a", 6)) return Format::Gif;
  if (StartsWith(data, 0, "II*\0", 4) || StartsWith(data, 0, "MM\0*", 4) ||
      StartsWith(data, 0, "II+\0", 4) || StartsWith(data, 0, "MM\0+", 4)) {
    return Format::Tiff;
  }
  if (StartsWith(data, 0, "BM", 2)) return Format::Bmp;
  if (StartsWith(data, 0, "RIFF", 4) && StartsWith(data, 8, "WEBP", 4)) return Format::Webp;
  if (IsHeifBrand(data)) return Format::Heif;
  if (StartsWith(data, 0, "\xD0\xCF\x11\xE0", 4) || extension == "fpx") return Format::Fpx;
  if (data.size() >= 3 && data[0] == 0x0A && data[1] <= 5 && data[2] == 1) return Format::Pcx;
  if (extension == "tga") return Format::Tga;
  return Format::Unknown;
}

Decoded Decode(Format format, ByteSpan data, int minWidth = 0, int minHeight = 0) {
  switch (format) {
    case Format::Jpeg:
      return DecodeJpegAtLeast(data, minWidth, minHeight);
    case Format::Png:
      return DecodePng(data);
    case Format::Gif:
      return DecodeGif(data);
    case Format::Tiff:
      return DecodeTiff(data);
    case Format::Bmp:
      return DecodeBmp(data);
    case Format::Pcx:
      return DecodePcx(data);
    case Format::Tga:
      return DecodeTga(data);
    case Format::Webp:
      return DecodeWebp(data);
    case Format::Heif:
      return DecodeHeif(data);
    case Format::Fpx:
      return {PackedImage(), 1, "FPX pictures are not supported"};
    case Format::Unknown:
      break;
  }
  // A TGA file has no signature: try it last, its header check is strict.
  Decoded tga = DecodeTga(data);
  if (!tga.image) tga.error = "unrecognised picture format";
  return tga;
}

GlobalHandle Fail(const std::string& reason) {
  t_lastError = reason;
  return nullptr;
}

// Reads `path` and decodes it; `expected` limits the accepted format
// (Unknown accepts every format).
GlobalHandle ReadPicture(const char* path, Format expected, const char* formatName,
                         int minWidth = 0, int minHeight = 0) {
  if (!path || !*path) return Fail("no file name");
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, kMaxFileBytes, bytes, error)) return Fail(error);
  Format format = SniffFormat(bytes, LowerExtension(path));
  if (expected != Format::Unknown && format != expected) {
    return Fail(std::string(path) + ": not a " + formatName + " file");
  }
  Decoded decoded = Decode(format, bytes, minWidth, minHeight);
  if (!decoded.image) {
    return Fail(std::string(path) + ": " + (decoded.error.empty() ? "unreadable" : decoded.error));
  }
  if (decoded.orientation != 1) {
    GlobalHandle upright = ApplyOrientation(decoded.image.get(), decoded.orientation);
    if (!upright) return Fail(std::string(path) + ": not enough memory to turn the picture");
    decoded.image.reset(upright);
  }
  t_lastError.clear();
  return decoded.image.release();
}

int Write(const char* path, const ByteVector& bytes, const std::string& encodeError, bool encoded,
          FlushToDisc flush = FlushToDisc::Yes) {
  if (!encoded) {
    t_lastError = std::string(path) + ": " + encodeError;
    return -1;
  }
  std::string error;
  if (!WriteFileAtomically(path, bytes, error, flush)) {
    t_lastError = error;
    return -1;
  }
  t_lastError.clear();
  return 0;
}

// Writers need both; the reason is left for EzLastError when one is missing.
bool HasPictureAndPath(GlobalHandle image, const char* path) {
  if (image && path && *path) return true;
  t_lastError = "no picture or no file name";
  return false;
}

int Option(const std::int32_t* options, int index, int fallback) {
  return options ? options[index] : fallback;
}

}  // namespace
}  // namespace tx::rastio

using namespace tx::rastio;
using tx::GlobalHandle;

extern "C" {

GlobalHandle EzOpenFile(const char* path, int, int) {
  return ReadPicture(path, Format::Unknown, "picture");
}

GlobalHandle EzLoadJpgFileThumbnail(const char* path, int, int) {
  return ReadPicture(path, Format::Jpeg, "JPEG");
}

GlobalHandle EzLoadBmpFileThumbnail(const char* path, int, int) {
  return ReadPicture(path, Format::Bmp, "bitmap");
}

GlobalHandle EzLoadGifFile(const char* path, int) {
  return ReadPicture(path, Format::Gif, "GIF");
}

GlobalHandle EzLoadTifFile(const char* path) {
  return ReadPicture(path, Format::Tiff, "TIFF");
}

int EzSaveFile(GlobalHandle image, const char* path, int formatCode, const std::int32_t* options) {
  if (!HasPictureAndPath(image, path)) return -1;
  ByteVector bytes;
  std::string error;
  int quality = Option(options, kOptionQuality, kDefaultQuality);
  bool compress = Option(options, kOptionCompress, 0) != 0;
  if (formatCode == tx::kSaveJpeg) {
    return Write(path, bytes, error, EncodeJpeg(image, quality, bytes, error));
  }
  if (formatCode != tx::kSaveByExtension) {
    t_lastError = "unknown format code " + std::to_string(formatCode);
    return -1;
  }
  std::string ext = LowerExtension(path);
  bool ok = false;
  if (ext == "jpg" || ext == "jpeg" || ext == "jpe") {
    ok = EncodeJpeg(image, quality, bytes, error);
  } else if (ext == "bmp" || ext == "dib") {
    ok = EncodeBmp(image, bytes, error);
  } else if (ext == "tif" || ext == "tiff") {
    ok = EncodeTiff(image, compress, bytes, error);
  } else if (ext == "tga") {
    ok = EncodeTga(image, compress, bytes, error);
  } else if (ext == "png") {
    ok = EncodePng(image, bytes, error);
  } else if (ext == "pcx") {
    ok = EncodePcx(image, bytes, error);
  } else if (ext == "gif") {
    ok = EncodeGif(image, Option(options, kOptionInterlace, 0) != 0, bytes, error);
  } else if (ext == "fpx") {
    error = "FPX pictures are not supported";
  } else {
    error = "no picture type has the extension \"" + ext + "\"";
  }
  return Write(path, bytes, error, ok);
}

int EzDumpGifFile(const char* path, GlobalHandle image, int interlace, int, int) {
  if (!HasPictureAndPath(image, path)) return -1;
  ByteVector bytes;
  std::string error;
  return Write(path, bytes, error, EncodeGif(image, interlace != 0, bytes, error));
}

int EzDumpPcxFile(const char* path, GlobalHandle image) {
  if (!HasPictureAndPath(image, path)) return -1;
  ByteVector bytes;
  std::string error;
  return Write(path, bytes, error, EncodePcx(image, bytes, error));
}

int EzIsLzwTiff(const char* path) {
  if (!path) return 0;
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!tx::ReadWholeFile(path, kMaxFileBytes, bytes, error)) return 0;
  return TiffIsLzw(bytes) ? 1 : 0;
}

const char* EzLastError() {
  return t_lastError.c_str();
}

}  // extern "C"

namespace tx {

GlobalHandle LoadPictureAtLeast(const char* path, int minWidth, int minHeight) {
  return ReadPicture(path, Format::Unknown, "picture", minWidth, minHeight);
}

int SaveJpegUnflushed(GlobalHandle image, const char* path, int quality) {
  if (!HasPictureAndPath(image, path)) return -1;
  ByteVector bytes;
  std::string error;
  return Write(path, bytes, error, EncodeJpeg(image, quality, bytes, error), FlushToDisc::No);
}

}  // namespace tx
