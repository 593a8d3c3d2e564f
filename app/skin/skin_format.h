#pragma once
// The skin file layout: what the reader and the skin compiler's writer share.
//
// A skin file is little-endian: a 236-byte header, a table of 288-byte
// entries, then the entries' pictures. Each picture is a packed image
// (header, colour table, bottom-up rows) stored exactly as it lies in memory.
// Three consecutive entries make one button: normal, highlighted, pressed.

#include <cstddef>
#include <cstdint>

#include "image/packed_image.h"

namespace tx::skin {

inline constexpr char kMagic[4] = {'P', 'A', 'L', 'M'};

// Header.
inline constexpr std::size_t kHeaderSize = 236;
inline constexpr std::size_t kEntryCountOffset =
    8;  // int32; above kMaxEntries counts as kMaxEntries
inline constexpr std::size_t kGroupCountOffset = 32;  // int32; below 2: the whole file is one group
inline constexpr std::size_t kGroupStartsOffset = 36;  // kMaxGroups int32 first-entry indices
inline constexpr int kMaxGroups = 50;
inline constexpr int kMaxEntries = 2000;

// Entry table: entry i lies at kHeaderSize + kEntrySize * i.
inline constexpr std::size_t kEntrySize = 288;
inline constexpr std::size_t kKindOffset = 152;           // uint16: 2 slider track, 3 slider thumb
inline constexpr std::size_t kXOffset = 156;              // uint16
inline constexpr std::size_t kYOffset = 158;              // uint16
inline constexpr std::size_t kWidthOffset = 160;          // uint16
inline constexpr std::size_t kHeightOffset = 162;         // uint16
inline constexpr std::size_t kLinkOffset = 166;           // uint16: a track's range-record index
inline constexpr std::size_t kPictureOffsetOffset = 272;  // uint32, from the end of the entry table
inline constexpr std::size_t kPictureSizeOffset = 280;    // uint32, bytes

/// Where the pictures start: the end of a table of `entries` entries. Picture
/// offsets count from here, and `entries` is the count the header states,
/// not the part of it the reader uses.
constexpr std::uint64_t EntryTableEnd(std::uint64_t entries) {
  return kHeaderSize + kEntrySize * entries;
}

inline constexpr std::uint16_t kKindSliderTrack = 2;
inline constexpr std::uint16_t kKindSliderThumb = 3;

/// Entries per button: normal, highlighted, pressed.
inline constexpr int kEntriesPerButton = 3;

/// Pictures the reader accepts: no side above this, and only these depths.
inline constexpr int kMaxPictureSide = 4096;

/// A stored picture may carry up to this many bytes beyond its rows (the
/// spare bytes some writers keep at the end of an image block).
inline constexpr std::uint64_t kMaxPictureSlack = 16;

/// The bytes a stored picture with this header needs (header, colour table
/// and rows padded to 4 bytes), or 0 when the header describes a picture that
/// skin files do not hold: biSize other than 40, a side not in 1 to
/// kMaxPictureSide, planes other than 1, a depth other than 1, 4, 8, 24 or 32,
/// any compression, or a colour table larger than the depth can index (24
/// and 32 bits take none). biClrUsed 0 at 8 bits or fewer means a full table.
/// The reader and the writer both use it, so that every picture the writer
/// stores is one the reader takes.
constexpr std::uint64_t StoredPictureBytes(const BitmapInfoHeader& header) {
  if (header.biSize != kBitmapHeaderSize || header.biPlanes != 1 || header.biCompression != 0)
    return 0;
  if (header.biWidth < 1 || header.biWidth > kMaxPictureSide || header.biHeight < 1 ||
      header.biHeight > kMaxPictureSide) {
    return 0;
  }
  const int bits = header.biBitCount;
  std::uint64_t colours = header.biClrUsed;
  if (bits == 1 || bits == 4 || bits == 8) {
    const std::uint64_t most = std::uint64_t{1} << bits;
    if (colours == 0) colours = most;
    if (colours > most) return 0;
  } else if (bits == 24 || bits == 32) {
    if (colours != 0) return 0;
  } else {
    return 0;
  }
  return kBitmapHeaderSize + 4 * colours + RowStride(bits, header.biWidth) * header.biHeight;
}

}  // namespace tx::skin
