#pragma once
// What the parts of a montage run share: the run parameters, the cell table,
// the cell samples, a view of the tile tables, and the progress observer.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "collections/tile_set_index.h"
#include "image/image_lock.h"

namespace tx {

/// Usage limits of 10000 or more mean unlimited repetition.
inline constexpr int kUnlimitedUsage = 10000;
inline constexpr int kSamplesPerCell = 48;
/// The starting "best" of the pre-filter and the choice: no tile yet.
inline constexpr std::uint32_t kNoScore = 31457280;  // 0x1E00000
/// The match distance of a cell without a tile.
inline constexpr std::int64_t kNoMatch = -1;

/// The parameters of one run, copied from the montage settings at its start.
struct RunParameters {
  int cellWidth = 8;  // analysis pixels of a cell: 8 x 6, or 6 x 8 (Orientation)
  int cellHeight = 6;
  bool staggered = false;
  int scale = 10;  // output pixels per analysis pixel
  bool grid = false;
  int borderWidth = 0;
  int cellCount = 600;
  bool signature = false;
  bool treasure = false;
  bool colourAllowed = true;
  int usageLimit = 0;
  // Switches of the settings file that change a run.
  bool randomOrder = false;
  bool unlimited = false;
  bool forVanteo = false;
  bool exactOrder = false;
};

/// One cell of the grid. The rectangle is in analysis pixels, rows counted
/// from the bottom; the unstaggered place is kept even in the staggered
/// layout (drawing applies the shift).
struct CellRecord {
  std::int32_t tileIndex = -1;
  std::uint32_t meanColour = 0;  // colour word 0x00BBGGRR
  std::int32_t left = 0;
  std::int32_t firstRow = 0;
  std::int32_t right = 0;
  std::int32_t rowBound = 0;
};

/// The cells of a run in picture order: the top row first, left to right.
/// Cell (x, y), y counted from the bottom, is entry (rows - 1 - y) x cols + x.
struct CellTable {
  int cols = 0;
  int rows = 0;
  std::vector<CellRecord> cells;

  void Reset(int columns, int gridRows) {
    cols = columns;
    rows = gridRows;
    cells.assign(std::size_t(cols) * std::size_t(rows), CellRecord{});
  }
  CellRecord& at(int x, int y) { return cells[std::size_t(rows - 1 - y) * cols + x]; }
  const CellRecord& at(int x, int y) const { return cells[std::size_t(rows - 1 - y) * cols + x]; }
};

/// A cell's 48 samples, bottom pixel row first, each 4 bytes: presence (1),
/// blue, green, red.
using CellSamples = std::array<std::uint8_t, 4 * kSamplesPerCell>;

/// The tile tables of a run (loaded by LoadTileTables), locked for access:
/// the 168-byte records and the 32-byte entries, in table order.
class TileView {
 public:
  /// Locks both blocks of `tables`; empty when they cannot be locked.
  explicit TileView(TileTables& tables);
  ~TileView();
  TileView(const TileView&) = delete;
  TileView& operator=(const TileView&) = delete;

  std::uint32_t count() const { return m_count; }
  std::uint8_t* record(std::uint32_t i) const {
    return m_records + std::size_t(i) * kTileRecordBytes;
  }
  std::uint8_t* entry(std::uint32_t i) const {
    return m_entries + std::size_t(i) * kTileEntryBytes;
  }

  // Record fields.
  std::uint32_t fileNumber(std::uint32_t i) const;
  std::uint32_t recordMeanColour(std::uint32_t i) const;
  /// The 48 miniature pixels, 3 bytes each (blue, green, red).
  const std::uint8_t* miniature(std::uint32_t i) const { return record(i) + 24; }

  // Entry fields (16-bit words unless said otherwise).
  std::uint16_t Get16(std::uint32_t i, std::size_t offset) const;
  void Set16(std::uint32_t i, std::size_t offset, std::uint16_t value);
  std::uint32_t Get32(std::uint32_t i, std::size_t offset) const;
  void Set32(std::uint32_t i, std::size_t offset, std::uint32_t value);

 private:
  TileTables& m_tables;
  std::uint8_t* m_records = nullptr;
  std::uint8_t* m_entries = nullptr;
  std::uint32_t m_count = 0;
};

/// Hears of a run's progress. Placement reports each placed cell; rendering
/// each drawn tile. Called on the thread that runs the montage.
class MontageObserver {
 public:
  virtual ~MontageObserver() = default;
  /// After each placement: the placed index (placed count - 1), the grid,
  /// and the montage area's size in output pixels (without border).
  virtual void ShowPlacementProgress(int placedIndex, int cols, int rows, int areaWidth,
                                     int areaHeight) {
    (void)placedIndex, (void)cols, (void)rows, (void)areaWidth, (void)areaHeight;
  }
  /// After each tile is drawn: the cell's rectangle (analysis pixels), the
  /// area's size, the tile picture as drawn, and the staggered flag.
  virtual void ShowRenderedTile(const CellRecord& cell, int areaWidth, int areaHeight,
                                GlobalHandle tile, bool staggered) {
    (void)cell, (void)areaWidth, (void)areaHeight, (void)tile, (void)staggered;
  }
};

}  // namespace tx
