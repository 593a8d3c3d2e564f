#pragma once
// What a finished run says about its collections: how well each cell's tile
// matches it, how each collection was used, the worst-matched cells, and the
// cell colours the collections serve worst (the gaps), clustered so that a
// user knows which photos to add. Read from the placement after the choice;
// nothing here changes which tile a cell gets.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "montage/montage_types.h"

namespace tx {

class CollectionRegistry;

/// The report lists this many worst-matched cells at most.
inline constexpr std::size_t kWorstCellCount = 20;
/// And this many colour gaps at most.
inline constexpr std::size_t kMaxColourGaps = 12;

/// How one collection's tiles were used in the run.
struct CollectionUse {
  int kind = 0;
  std::string key;
  std::uint32_t loaded = 0;    // tiles of the collection in the run
  std::uint32_t used = 0;      // cells that got one of its tiles
  std::uint32_t distinct = 0;  // different tiles of it used
  std::uint32_t maxUses = 0;   // the most cells one of its tiles got
};

/// One badly matched cell; column and row are counted from the top left.
struct WorstCell {
  int col = 0;
  int row = 0;
  std::int64_t distance = 0;
  std::uint32_t meanColour = 0;  // the cell's, 0x00BBGGRR
  int kind = 0;
  std::string key;
  std::uint32_t tile = 0;  // the chosen tile's number in its collection
};

/// A cluster of cell colours the collections serve badly.
struct ColourGap {
  double share = 0;              // of the cells holding a tile
  std::uint32_t meanColour = 0;  // 0x00BBGGRR
  /// The distance of the tile whose mean colour is closest: 48 x the sum
  /// of the squared channel differences of the two means, which is what a
  /// flat tile of that colour would score on a flat cell of this one.
  std::int64_t nearest = 0;
};

/// Where the cells lie in the montage, for drawing the map over it.
struct MatchGeometry {
  int cellWidth = 8;  // analysis pixels of a cell
  int cellHeight = 6;
  bool staggered = false;
  int montageWidth = 0;  // the montage, output pixels
  int montageHeight = 0;
  int areaLeft = 0;  // the cell area within it, top-down
  int areaTop = 0;
  int areaWidth = 0;
  int areaHeight = 0;
};

struct MatchReport {
  int cols = 0;
  int rows = 0;
  /// Per cell in table order (top row first): the match distance, or
  /// kNoMatch (-1) for a cell without a tile.
  std::vector<std::int64_t> distances;
  std::int64_t median = 0;  // of the cells holding a tile, nearest rank
  std::int64_t p95 = 0;
  std::int64_t largest = 0;
  std::vector<CollectionUse> collections;
  std::vector<WorstCell> worst;  // the worst first
  std::vector<ColourGap> gaps;   // the largest share first
  MatchGeometry geometry;

  bool empty() const { return distances.empty(); }
};

/// The value at `percent` (0 to 100) of `values` by the nearest rank: the
/// smallest value with at least that share of the values at or below it.
/// 0 for no values.
std::int64_t NearestRank(std::vector<std::int64_t> values, int percent);

/// Everything but the geometry, from a run's cells, their match distances
/// (table order, as Placement gives them) and the run's tiles. Collections
/// are listed in table order of their first tile; a tile index outside the
/// tables counts as no tile.
MatchReport MakeMatchReport(const CellTable& cells, const std::vector<std::int64_t>& distances,
                            const TileView& tiles, CollectionRegistry& registry);

/// The colour gaps: per cell holding a tile, its colour error is 48 x the
/// squared distance between its mean colour and its tile's. The cells
/// visibly off (an error of at least kGapErrorFloor) are clustered by colour (CIELAB, at most
/// kMaxColourGaps clusters, none closer than a just-clear difference); each cluster gets its share
/// of all `cellColours`, its mean colour and the distance to the nearest of `tileColours`. Largest
/// share first. Colours are 0x00BBGGRR; `cellColours` and `chosenColours` run in parallel.
std::vector<ColourGap> FindColourGaps(std::span<const std::uint32_t> cellColours,
                                      std::span<const std::uint32_t> chosenColours,
                                      std::span<const std::uint32_t> tileColours);

/// 48 x the sum of the squared channel differences of two colour words.
std::int64_t FlatColourDistance(std::uint32_t a, std::uint32_t b);

/// A colour word as "RRGGBB".
std::string ColourHex(std::uint32_t colour);

/// An error a cell must reach to count as a gap: 12 levels off in every
/// channel (48 x 3 x 12^2), about where a tint starts to show.
inline constexpr std::int64_t kGapErrorFloor = 48 * 3 * 12 * 12;

}  // namespace tx
