#include "montage/cell_grid.h"

#include <algorithm>
#include <ctime>

namespace tx {

bool GatherCellSamples(const ImageLock& image, int x, int y, int cellWidth, int cellHeight,
                       bool staggered, CellSamples& samples) {
  if (!image || image.bitCount() != 24) return false;
  if (cellWidth < 1 || cellHeight < 1 || cellWidth * cellHeight != kSamplesPerCell) return false;
  const int cols = image.width() / cellWidth;
  const int rows = image.height() / cellHeight;
  if (x < 0 || y < 0 || x >= cols || y >= rows) return false;

  const int half = cellWidth / 2;
  const bool shifted = staggered && (y % 2) == 1;
  const bool wraps = shifted && x == 0;
  const int firstColumn = x * cellWidth - (shifted && x > 0 ? half : 0);
  std::uint8_t* out = samples.data();
  for (int row = 0; row < cellHeight; ++row) {
    const std::uint8_t* line = image.row(y * cellHeight + row);
    for (int j = 0; j < cellWidth; ++j) {
      // The wrapped first cell of a shifted row: its left half is the last
      // half-cell of the row, its right half the row's first half-cell.
      const int column =
          wraps ? (j < half ? cols * cellWidth - half + j : j - half) : firstColumn + j;
      const std::uint8_t* pixel = line + std::size_t(column) * 3;
      *out++ = 1;
      *out++ = pixel[0];
      *out++ = pixel[1];
      *out++ = pixel[2];
    }
  }
  return true;
}

std::uint32_t MeanColourOf(const CellSamples& samples) {
  std::uint32_t blue = 0;
  std::uint32_t green = 0;
  std::uint32_t red = 0;
  for (int i = 0; i < kSamplesPerCell; ++i) {
    blue += samples[4 * i + 1];
    green += samples[4 * i + 2];
    red += samples[4 * i + 3];
  }
  blue /= kSamplesPerCell;
  green /= kSamplesPerCell;
  red /= kSamplesPerCell;
  return red | green << 8 | blue << 16;
}

int SpiralRingCount(int cols, int rows) {
  if (cols < 1 || rows < 1) return 0;
  return (std::min(cols, rows) + 1) / 2;
}

std::vector<CellPosition> SpiralRingSteps(int cols, int rows, int ring) {
  std::vector<CellPosition> steps;
  if (ring < 0 || ring >= SpiralRingCount(cols, rows)) return steps;
  const int k = ring;
  const std::size_t length = std::size_t(std::max(2 * (cols + rows - 4 * k - 2), 1));
  steps.reserve(length + 1);
  for (int y = k + 1; y <= rows - k - 2; ++y)
    steps.push_back({k, y});  // left, upwards
  for (int x = k; x <= cols - k - 2; ++x)
    steps.push_back({x, rows - k - 1});  // top, rightwards
  for (int y = rows - k - 1; y >= k + 1; --y)
    steps.push_back({cols - k - 1, y});  // right, down
  for (int x = cols - k - 1; x >= k; --x)
    steps.push_back({x, k});  // bottom, leftwards
  // A ring one row thick walks its row twice; it still takes only its L
  // steps (they cover the row: the second pass starts at its unvisited end).
  if (steps.size() > length) steps.resize(length);
  return steps;
}

std::vector<CellPosition> SpiralOrder(int cols, int rows) {
  std::vector<CellPosition> order;
  for (int ring = SpiralRingCount(cols, rows) - 1; ring >= 0; --ring) {
    const std::vector<CellPosition> steps = SpiralRingSteps(cols, rows, ring);
    order.insert(order.end(), steps.begin(), steps.end());
  }
  return order;
}

std::uint32_t TimeSeed() {
  return std::uint32_t(std::time(nullptr));
}

}  // namespace tx
