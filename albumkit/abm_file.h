#pragma once
// The .abm album file: reading, checking and writing.
//
// Layout, little-endian:
//   0    4    magic "TXAB"
//   4    4    version (1)
//   8    256  display name, UTF-8, NUL-terminated
//   264  4    picture count (0 to ABM_MAX_PICTURES)
//   268  8    the two browser values
//   276  4    reserved (0)
//   280  ...  per picture: the record size (4 bytes), then the album item
//             record with its thumbnail (albumkit_api.h)
// Nothing follows the last record. Every size and count read from a file is
// checked against the limits and the bytes the file holds before it is used.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "albumkit/albumkit_api.h"

namespace tx::abm {

inline constexpr std::array<std::uint8_t, 4> kMagic = {'T', 'X', 'A', 'B'};
inline constexpr std::uint32_t kFormatVersion = 1;
inline constexpr std::size_t kFileHeaderBytes = 280;

/// The largest thumbnail row and record: a 110-pixel-wide 24-bit row padded
/// to 4 bytes, 110 rows.
inline constexpr std::size_t kMaxThumbRowBytes = (3 * ABM_THUMB_MAX_SIDE + 3) / 4 * 4;
inline constexpr std::size_t kMaxItemRecordBytes =
    ABM_ITEM_PIXELS + kMaxThumbRowBytes * ABM_THUMB_MAX_SIDE;
/// No album file of this format is larger.
inline constexpr std::uint64_t kMaxAlbumFileBytes =
    kFileHeaderBytes + std::uint64_t{ABM_MAX_PICTURES} * (4 + kMaxItemRecordBytes);

/// The header of an album file.
struct AlbumFileHeader {
  std::string name;
  std::int32_t pictureCount = 0;
  std::int32_t browserValues[2] = {0, 0};
};

/// A whole album file as read: its header and the bytes of each record
/// (views into the file's bytes).
struct AlbumFile {
  AlbumFileHeader header;
  std::vector<std::span<const std::uint8_t>> records;
};

/// The size of the album item record at `record`: ABM_ITEM_THUMBNAIL_INFO
/// plus its bitmap size, when that fits in `available` bytes and every field
/// that bounds a read is sound (terminated path and caption, path form 0 or
/// 1, thumbnail sides 1 to 110, a 24-bit bitmap header agreeing with them).
/// 0 for a malformed record.
std::size_t ItemRecordSize(const std::uint8_t* record, std::size_t available);

/// Parses the first kFileHeaderBytes of `bytes`; false when they are not an
/// album header of this format and version with a terminated name and a
/// picture count within the limit.
bool ParseAlbumHeader(std::span<const std::uint8_t> bytes, AlbumFileHeader& header);

/// Parses a whole album file; false for anything malformed, truncated or
/// followed by extra bytes. `album` points into `bytes`.
bool ParseAlbumFile(std::span<const std::uint8_t> bytes, AlbumFile& album);

/// Reads and parses `path` (at most kMaxAlbumFileBytes); `bytes` keeps the
/// file's bytes that `album` points into.
bool ReadAlbumFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                   AlbumFile& album);

/// Reads only the header of `path`.
bool ReadAlbumHeader(const std::filesystem::path& path, AlbumFileHeader& header);

/// The bytes of an album file with `header` and `records` (each already
/// checked with ItemRecordSize and exactly that long).
std::vector<std::uint8_t> SerializeAlbumFile(
    const AlbumFileHeader& header, std::span<const std::span<const std::uint8_t>> records);

}  // namespace tx::abm
