#pragma once
// The album item record: what the program builds for every picture it adds
// to an album (layout in albumkit/albumkit_api.h).

#include <cstdint>
#include <string>
#include <string_view>

#include "albumkit/albumkit_api.h"
#include "platform/global_memory.h"

namespace tx {

/// The longest picture path a record can hold, in bytes (its field holds a
/// terminating NUL as well).
inline constexpr std::size_t kMaxAlbumItemPathBytes = ABM_ITEM_PATH_BYTES - 1;

struct ThumbnailSize {
  int width = 0;
  int height = 0;
  bool operator==(const ThumbnailSize&) const = default;
};

/// The thumbnail size of a width x height picture: its own size when
/// neither side exceeds 110 pixels, else the longer side 110 and the other
/// (other * 110 + longer / 2) / longer, at least 1. Sides below 1 give 0 x 0.
ThumbnailSize AlbumThumbnailSize(int width, int height);

/// The values a record stores besides the picture.
struct AlbumItemFields {
  std::string_view caption;  ///< cut to 15 bytes on a character boundary
  std::int16_t values[3] = {1, 1, 1};
};

/// A new album item record for `picture` (1, 4, 8, 16 (5-5-5), 24 or 32
/// bits; not freed), stored as the file `path`: the file's size and
/// modification time (0 when it cannot be read), the path, caption and
/// values, the picture's depth and size, and a 24-bit thumbnail in which
/// each pixel takes the nearest source pixel at or below its scaled
/// position (rows counted from the bottom, as stored). The block holds the
/// record, its thumbnail and ABM_ITEM_SPARE_BYTES zero bytes; the caller
/// owns it. Null for an unreadable picture or other depth, a side above
/// 65535, a path longer than kMaxAlbumItemPathBytes, or no memory.
GlobalHandle MakeAlbumItem(GlobalHandle picture, const std::string& path,
                           const AlbumItemFields& fields);

/// The path stored in an album item record; "" when the block is unreadable.
std::string AlbumItemPath(GlobalHandle item);

}  // namespace tx
