#pragma once
// Near-duplicate tiles: tiles whose miniatures (the 48 cell colours of their
// index records) are so close that they look alike in a montage, such as
// the same photo recompressed, resized or shot twice in a burst. Found from
// the tile-set indexes alone, without opening a tile picture.
//
// Distance: the mean squared difference of the two miniatures, the sum over
// the 144 bytes (48 cells x blue, green, red) of the squared difference of
// the bytes, divided by 144. 0 for identical miniatures, at most 65025.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "collections/tile_set_index.h"

namespace tx {

class CollectionRegistry;

/// The largest distance two miniatures can have (255 squared).
inline constexpr double kMaxMiniatureDistance = 65025.0;

/// Distances at or below this mark tiles as near duplicates unless the
/// caller chooses otherwise. Measured on real photos (tools/
/// duplicates_threshold): copies recompressed at quality 60 to 90 or
/// rescaled to 90 to 97 % stay below 2, copies cropped or shifted by 2 to 4 %
/// below 90, while distinct photos lie above 350; this sits between with a
/// margin of about two either way.
inline constexpr double kDefaultDuplicateThreshold = 150.0;

/// One registry entry: collection kind (0 to 2) and entry index.
struct CollectionRef {
  int kind = 0;
  int index = 0;
  bool operator==(const CollectionRef&) const = default;
};

/// One tile of the search, in the order the tile tables hold it.
struct DuplicateTile {
  CollectionRef collection;
  std::uint32_t tileNumber = 0;
  /// The index header's picture-file flag (nonzero: disc pictures, ".jpg").
  std::uint32_t pictureFileFlag = 0;
};

/// The tiles to search and their miniatures (kTileCellBytes bytes per tile,
/// same order), plus one line for every collection that was skipped or cut
/// short because its index is missing or damaged.
struct DuplicateSearchSet {
  std::vector<DuplicateTile> tiles;
  std::vector<std::uint8_t> miniatures;
  std::vector<std::string> notices;
};

/// Loads the records of `named` (every entry of kinds 0 to 2 in it, whatever
/// its status), or of every selected collection when `named` is empty,
/// through LoadTileTables and so with its checks: a missing, short, foreign
/// or implausible index is skipped, never read beyond what was allocated.
/// Records that an index's header claims but its file does not hold (which
/// the loader leaves zero) are left out, so they cannot pass for a group of
/// black tiles. The registry itself is not changed. Tiles keep the loader's
/// order: kinds 0, 1, 2, registry order, record order.
DuplicateSearchSet LoadDuplicateSearchSet(CollectionRegistry& registry,
                                          std::span<const CollectionRef> named);

/// Sum over the 144 bytes of the squared differences of two miniatures.
std::uint32_t MiniatureSquaredDifference(const std::uint8_t* a, const std::uint8_t* b);

/// The distance of two miniatures (see the top of this file).
double MiniatureDistance(const std::uint8_t* a, const std::uint8_t* b);

/// True when `threshold` is usable: a finite number from 0 to
/// kMaxMiniatureDistance.
bool IsValidDuplicateThreshold(double threshold);

/// Groups of tiles whose distance is at most `threshold`, joined
/// transitively (if a is near b and b near c, all three form one group).
/// `miniatures` holds `count` miniatures of kTileCellBytes bytes, each
/// `stride` bytes after the previous one (kTileCellBytes for a packed list,
/// kTileRecordBytes when pointing into a record table at the cells). Each
/// group lists its tiles' positions ascending; groups are ordered by their
/// first tile; tiles without a near duplicate belong to no group. An invalid
/// threshold gives no groups. Compares only tiles whose mean colours are
/// close enough to allow the threshold, so a collection of photos needs far
/// fewer comparisons than all pairs.
std::vector<std::vector<std::uint32_t>> FindNearDuplicateGroups(const std::uint8_t* miniatures,
                                                                std::size_t stride,
                                                                std::size_t count,
                                                                double threshold);

}  // namespace tx
