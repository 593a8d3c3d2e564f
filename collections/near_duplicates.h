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
  /// The place of its record in its index file (0 for the first).
  std::uint32_t record = 0;
};

/// An index file as it was when its records were loaded, so that it can be
/// recognised before it is rewritten.
struct DuplicateIndex {
  CollectionRef collection;
  /// The file's length and the record count the loader took from it.
  std::uint64_t fileSize = 0;
  std::uint32_t recordCount = 0;
};

/// The tiles to search and their miniatures (kTileCellBytes bytes per tile,
/// same order), plus one line for every collection that was skipped or cut
/// short because its index is missing or damaged.
struct DuplicateSearchSet {
  std::vector<DuplicateTile> tiles;
  std::vector<std::uint8_t> miniatures;
  std::vector<std::string> notices;
  /// Every index whose records were loaded, in the order of its tiles.
  std::vector<DuplicateIndex> indexes;
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

/// The outcome of PruneIndexRecords.
enum class PruneStatus {
  kPruned,   // the records were removed
  kChanged,  // the index is no longer the one that was read; left as it is
  kRefused,  // the index is a link, not a regular file or outside its folder
  kFailed,   // it could not be read or replaced; the old index is untouched
};

struct PruneResult {
  PruneStatus status = PruneStatus::kFailed;
  /// Why it was not pruned (empty when it was).
  std::string reason;
};

/// Empty when `ref`'s index may be rewritten: its path lies directly in the
/// user's index folder of its kind and names a regular file, not a
/// symbolic link. Otherwise the reason.
std::string CheckIndexToPrune(const CollectionRegistry& registry, const CollectionRef& ref);

/// Removes the records of `drop` (tiles of `index`'s collection, by their
/// record places) from its index file: the other records keep their order,
/// the header's file size and record count follow, its picture-file flag is
/// kept. Refused as CheckIndexToPrune says. The file is read again first
/// and left alone (kChanged) unless it still has the length and record
/// count of `index`, holds all its records and each dropped record still
/// holds its tile number. The new index goes to a temporary file beside the
/// old one, renamed over it, so a failure leaves the old index whole. The
/// tile pictures are not touched.
PruneResult PruneIndexRecords(const CollectionRegistry& registry, const DuplicateIndex& index,
                              std::span<const DuplicateTile> drop);

}  // namespace tx
