#pragma once
// Filling the cell table of a run: by similarity (spiral or random visiting
// order, the partner pre-pass, a retry with the usage limit raised after a
// failed choice) or in exact table order without matching.

#include <cstdint>
#include <vector>

#include "montage/cell_grid.h"
#include "montage/montage_types.h"

namespace tx {

/// One placement of one run. The tiles and the observer must outlive it;
/// the tile tables are not released here (the caller owns them).
class Placement {
 public:
  /// `observer` may be null.
  Placement(const RunParameters& parameters, TileView& tiles, MontageObserver* observer = nullptr);

  /// Fills the cell table from the 24-bit analysis image, choosing each
  /// cell's tile by similarity. Cells are visited ring by ring from the
  /// centre outwards, or at random (parameters.randomOrder) with the
  /// generator seeded by `seed`; the partner pre-pass runs first when
  /// parameters.forVanteo is set, repetition is limited and there are fewer
  /// tiles than cells. Polls the cancel flag before each ring. False when
  /// cancelled, when the grid is empty (image not 24-bit or smaller than a
  /// cell) or when there is no tile; the cell table then is not to be used.
  /// A cell whose choice failed twice stays empty (tile index -1).
  bool PlaceBySimilarity(GlobalHandle analysisImage, std::uint32_t seed = TimeSeed());

  /// Fills the cell table in table order (top row first, left to right):
  /// cell n gets tile n mod the tile count, with its mean colour and
  /// rectangle, without matching, usage counting, cancel or progress. False
  /// for an empty grid or no tile.
  bool PlaceInExactOrder(GlobalHandle analysisImage);

  CellTable& cells() { return m_cells; }
  const CellTable& cells() const { return m_cells; }
  /// The cells in the order they received their tiles.
  const std::vector<CellPosition>& visitingOrder() const { return m_order; }
  /// How well each cell's tile matches it, in table order: the choice's
  /// score without the reuse penalty (TileChooser::MatchScore) on the
  /// samples the tile was chosen for; kNoMatch for a cell without a tile.
  const std::vector<std::int64_t>& matchDistances() const { return m_matchDistances; }
  /// Cells that hold a tile.
  int placedCount() const { return m_placed; }
  /// The usage limit at the end of the run (it may have been raised).
  int usageLimit() const { return m_usageLimit; }

 private:
  // Sets up the grid for `image`; false when it is empty or there are no tiles.
  bool StartGrid(const ImageLock& image);
  void SetRectangle(CellRecord& cell, int x, int y) const;
  void ReportPlacement(int x, int y);
  std::int64_t& MatchDistanceAt(int x, int y) {
    return m_matchDistances[std::size_t(m_cells.rows - 1 - y) * m_cells.cols + x];
  }

  RunParameters m_parameters;
  TileView& m_tiles;
  MontageObserver* m_observer;
  CellTable m_cells;
  std::vector<CellPosition> m_order;
  std::vector<std::int64_t> m_matchDistances;
  int m_placed = 0;
  int m_usageLimit = 0;
  int m_areaWidth = 0;
  int m_areaHeight = 0;
};

}  // namespace tx
