#pragma once
// The cell grid over the analysis image: reading a cell's samples (aligned
// or staggered rows), the spiral visiting order, and the random order's
// generator.

#include <cstdint>
#include <vector>

#include "image/image_lock.h"
#include "montage/montage_types.h"

namespace tx {

/// A cell of the grid: column from the left, row from the bottom.
struct CellPosition {
  int x = 0;
  int y = 0;
  bool operator==(const CellPosition&) const = default;
};

/// Fills `samples` with cell (x, y) of the 24-bit analysis image `image`:
/// the cellHeight pixel rows of the cell bottom first, cellWidth pixels each,
/// every sample 1, blue, green, red. In the staggered layout odd rows are
/// read half a cell to the left, and their first cell wraps round: its left
/// half comes from the right end of the row of cells. False (samples left
/// alone) when the image is not 24-bit or the cell lies outside it.
bool GatherCellSamples(const ImageLock& image, int x, int y, int cellWidth, int cellHeight,
                       bool staggered, CellSamples& samples);

/// The integer mean of the samples per channel, as a colour word.
std::uint32_t MeanColourOf(const CellSamples& samples);

/// The steps of ring `ring` of the spiral (ring 0 runs along the picture's
/// edge): 2 x (cols + rows - 4 x ring - 2) steps, at least 1, walked
/// clockwise as the picture is seen from just above the ring's bottom-left
/// corner. A ring one row or one column thick repeats cells; the placement
/// skips cells that already hold a tile.
std::vector<CellPosition> SpiralRingSteps(int cols, int rows, int ring);
/// Number of rings: (min(cols, rows) + 1) / 2.
int SpiralRingCount(int cols, int rows);
/// Every step of the spiral, innermost ring first (repeats included).
std::vector<CellPosition> SpiralOrder(int cols, int rows);

/// The random order's generator: the classic linear congruential rand()
/// (next = next x 1103515245 + 12345, result (next / 65536) mod 32768), so
/// that a seed always reproduces the same run on every platform.
class CellRandom {
 public:
  explicit CellRandom(std::uint32_t seed) : m_next(seed) {}
  int Next() {
    m_next = m_next * 1103515245u + 12345u;
    return int((m_next / 65536u) % 32768u);
  }

 private:
  std::uint32_t m_next;
};

/// A seed taken from the clock.
std::uint32_t TimeSeed();

}  // namespace tx
