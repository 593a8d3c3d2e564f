#pragma once
// Choosing the tile for one cell: per-tile statistics made once per run, a
// cheap pre-filter on mean colour, then the full 48-sample comparison with a
// penalty that grows with the square of a tile's earlier uses.

#include <array>
#include <cstdint>
#include <vector>

#include "montage/montage_types.h"

namespace tx {

/// The score constant K of the reuse penalty (usage x usage x K) >> 8, while
/// the usage limit is below kUnlimitedUsage and from then on.
inline constexpr std::int64_t kReusePenaltyLimited = 122880;   // 0x1E000
inline constexpr std::int64_t kReusePenaltyUnlimited = 13653;  // 0x1E000 / 9
/// The pre-filter enables at least this many tiles (the first of the table
/// when too few pass the colour test).
inline constexpr std::uint32_t kMinEnabledTiles = 600;

/// A cell's samples laid out for comparison: planar (the 48 blue values in
/// sample order, then the 48 green, then the 48 red), once as they are and
/// once with the cell's mean removed, plus the cell's mean and spread.
struct CellPattern {
  alignas(16) std::array<std::int16_t, 3 * kSamplesPerCell> plain{};
  alignas(16) std::array<std::int16_t, 3 * kSamplesPerCell> centred{};
  int meanBlue = 0;  // per channel: sum / 48, truncated
  int meanGreen = 0;
  int meanRed = 0;
  /// Sum over the samples of the squared distance to the mean, / 24.
  std::uint32_t spread = 0;
  std::uint32_t meanColour() const;
};
CellPattern MakeCellPattern(const CellSamples& samples);

/// The tile side of the choice for one run. Keeps a compact working copy of
/// the tiles (means, detail, usage, weight, miniatures in planar order) and
/// writes what the rest of the run reads back into the tile entries: means,
/// detail and enabled at preparation, usage on every use. `tiles` must
/// outlive the chooser, and during the run usage changes only through
/// AddUse. Not thread-safe.
class TileChooser {
 public:
  /// Reads the tiles and runs PrepareTileStatistics.
  explicit TileChooser(TileView& tiles);

  /// Per tile: the mean channels from the record's mean colour, detail =
  /// (sum over the miniature of the squared distance to that mean) / 24,
  /// enabled = 1; the usage is taken from the entry.
  void PrepareTileStatistics();

  /// For one cell: stores its mean colour in `cell`; computes every tile's
  /// colour distance to it; enables the tiles whose distance is at most the
  /// smallest distance + detail + cell spread among tiles still under the
  /// usage limit, and the first kMinEnabledTiles - n of the table when only
  /// n pass. With `unlimited` set, lifts `usageLimit` to kUnlimitedUsage
  /// once every tile has been used.
  void PrefilterTiles(const CellPattern& pattern, CellRecord& cell, int& usageLimit,
                      bool unlimited);

  /// Picks among the enabled tiles with usage at most `usageLimit` the one
  /// of least (penalty + sum of squared differences) x 9 / (weight + 8),
  /// the first in table order on ties; with `colourAllowed` both sides'
  /// means are removed before comparing. Records it in `cell`, counts the
  /// use and returns true; false (nothing changed) when no tile qualifies.
  bool ChooseTile(const CellPattern& pattern, CellRecord& cell, int usageLimit, bool colourAllowed);

  /// The sum over the 48 samples of the squared channel differences between
  /// `tile`'s miniature and the cell, both means removed when
  /// `colourAllowed` (no penalty, no weight).
  std::int32_t Distance(std::uint32_t tile, const CellPattern& pattern, bool colourAllowed) const;

  /// The score ChooseTile gives `tile` on the cell when the tile has never
  /// been used: Distance x 9 / (weight + 8), rounded down. This is how well
  /// the tile matches, without the reuse penalty.
  std::int64_t MatchScore(std::uint32_t tile, const CellPattern& pattern, bool colourAllowed) const;

  /// Counts one more use of `tile` (saturating at 65535).
  void AddUse(std::uint32_t tile);

  std::uint32_t count() const { return m_count; }
  std::uint16_t usage(std::uint32_t tile) const { return m_usage[tile]; }
  std::uint32_t detail(std::uint32_t tile) const { return m_detail[tile]; }
  /// The colour distance to the cell of the last pre-filter.
  std::uint32_t distance(std::uint32_t tile) const { return m_distance[tile]; }
  /// The tiles the last pre-filter enabled, in table order.
  const std::vector<std::uint32_t>& enabledTiles() const { return m_enabled; }
  int meanBlue(std::uint32_t tile) const { return m_meanBlue[tile]; }
  int meanGreen(std::uint32_t tile) const { return m_meanGreen[tile]; }
  int meanRed(std::uint32_t tile) const { return m_meanRed[tile]; }
  /// The miniature in planar order: 48 blue, 48 green, 48 red.
  const std::uint8_t* planes(std::uint32_t tile) const {
    return m_planes.data() + std::size_t(tile) * kTileCellBytes;
  }

 private:
  TileView& m_tiles;
  std::uint32_t m_count = 0;
  std::vector<std::int16_t> m_meanBlue;
  std::vector<std::int16_t> m_meanGreen;
  std::vector<std::int16_t> m_meanRed;
  std::vector<std::uint32_t> m_detail;
  std::vector<std::uint32_t> m_distance;
  std::vector<std::uint16_t> m_usage;
  std::vector<std::uint16_t> m_weight;
  std::vector<std::uint8_t> m_planes;
  std::vector<std::uint32_t> m_enabled;
  std::uint32_t m_unusedTiles = 0;
};

}  // namespace tx
