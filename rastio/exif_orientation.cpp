// The orientation an EXIF block records, read with libexif.

#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "rastio/codec.h"

namespace tx::rastio {
namespace {

constexpr std::uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::uint8_t kTiffIntel[] = {'I', 'I', 0x2A, 0};
constexpr std::uint8_t kTiffMotorola[] = {'M', 'M', 0, 0x2A};
// An APP1 segment holds at most 64 KiB and libexif reads no further.
constexpr std::size_t kMaxExifBytes = sizeof kExifHeader + 0xFFFF;

bool StartsWith(ByteSpan data, const std::uint8_t* prefix, std::size_t size) {
  return data.size() >= size && std::memcmp(data.data(), prefix, size) == 0;
}

struct ExifDataUnref {
  void operator()(ExifData* exif) const { exif_data_unref(exif); }
};

int ReadOrientation(ByteSpan withHeader) {
  std::unique_ptr<ExifData, ExifDataUnref> exif(exif_data_new());
  if (!exif) return 1;
  // Read the block as it is: the "fixing" pass would invent default entries
  // and rewrite maker notes, neither of which says anything about the file.
  exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  std::size_t size = std::min<std::size_t>(withHeader.size(), kMaxExifBytes);
  exif_data_load_data(exif.get(), withHeader.data(), unsigned(size));
  // Orientation belongs to the main picture (IFD0); IFD1 describes the thumbnail.
  ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
  if (!entry || !entry->data || entry->components < 1) return 1;
  int value = 0;
  ExifByteOrder order = exif_data_get_byte_order(exif.get());
  if (entry->format == EXIF_FORMAT_SHORT && entry->size >= 2) {
    value = exif_get_short(entry->data, order);
  } else if (entry->format == EXIF_FORMAT_LONG && entry->size >= 4) {
    value = int(std::min<ExifLong>(exif_get_long(entry->data, order), 9));
  } else {
    return 1;
  }
  return value >= 1 && value <= 8 ? value : 1;
}

}  // namespace

int ExifOrientation(ByteSpan exif) {
  // libexif wants the block as it sits in a JPEG APP1 segment, behind
  // "Exif\0\0"; other containers (PNG eXIf, WebP EXIF) store the bare TIFF.
  if (StartsWith(exif, kExifHeader, sizeof kExifHeader)) return ReadOrientation(exif);
  if (!StartsWith(exif, kTiffIntel, sizeof kTiffIntel) &&
      !StartsWith(exif, kTiffMotorola, sizeof kTiffMotorola)) {
    return 1;
  }
  // The copy stays small whatever the caller passes: libexif would not read
  // past the first 64 KiB anyway.
  std::size_t size = std::min<std::size_t>(exif.size(), kMaxExifBytes - sizeof kExifHeader);
  ByteVector withHeader;
  try {
    withHeader.reserve(sizeof kExifHeader + size);
  } catch (const std::bad_alloc&) {
    return 1;
  }
  withHeader.insert(withHeader.end(), std::begin(kExifHeader), std::end(kExifHeader));
  withHeader.insert(withHeader.end(), exif.begin(), exif.begin() + std::ptrdiff_t(size));
  return ReadOrientation(withHeader);
}

}  // namespace tx::rastio
