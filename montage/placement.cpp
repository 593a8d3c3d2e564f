#include "montage/placement.h"

#include <algorithm>
#include <limits>

#include "montage/tile_choice.h"
#include "platform/cancel_flag.h"

namespace tx {

namespace {

// Random draws for one step before the step gives up on chance and takes
// the first empty cell instead. The generator reaches every cell of any
// real grid long before that; the bound only guarantees the loop ends.
std::int64_t MaxRandomDraws(int cellCount) {
  return 64 * std::int64_t(cellCount) + 4096;
}

int ClampToInt(std::int64_t value) {
  return int(std::clamp<std::int64_t>(value, 0, std::numeric_limits<int>::max()));
}

}  // namespace

Placement::Placement(const RunParameters& parameters, TileView& tiles, MontageObserver* observer)
    : m_parameters(parameters), m_tiles(tiles), m_observer(observer) {}

bool Placement::StartGrid(const ImageLock& image) {
  m_cells.Reset(0, 0);
  m_order.clear();
  m_matchDistances.clear();
  m_placed = 0;
  m_usageLimit = m_parameters.usageLimit;
  const int cellWidth = m_parameters.cellWidth;
  const int cellHeight = m_parameters.cellHeight;
  if (!image || image.bitCount() != 24) return false;
  if (cellWidth < 1 || cellHeight < 1 || cellWidth * cellHeight != kSamplesPerCell) return false;
  const int cols = image.width() / cellWidth;
  const int rows = image.height() / cellHeight;
  if (cols == 0 || rows == 0 || m_tiles.count() == 0) return false;
  m_cells.Reset(cols, rows);
  m_matchDistances.assign(std::size_t(cols) * std::size_t(rows), kNoMatch);
  m_order.reserve(std::size_t(cols) * std::size_t(rows));
  const std::int64_t scale = m_parameters.scale;
  m_areaWidth = ClampToInt(std::int64_t(cols) * cellWidth * scale);
  m_areaHeight = ClampToInt(std::int64_t(rows) * cellHeight * scale);
  return true;
}

void Placement::SetRectangle(CellRecord& cell, int x, int y) const {
  cell.left = x * m_parameters.cellWidth;
  cell.firstRow = y * m_parameters.cellHeight;
  cell.right = cell.left + m_parameters.cellWidth;
  cell.rowBound = cell.firstRow + m_parameters.cellHeight;
}

void Placement::ReportPlacement(int x, int y) {
  m_order.push_back({x, y});
  if (m_observer) {
    m_observer->ShowPlacementProgress(m_placed - 1, m_cells.cols, m_cells.rows, m_areaWidth,
                                      m_areaHeight);
  }
}

bool Placement::PlaceBySimilarity(GlobalHandle analysisImage, std::uint32_t seed) {
  ImageLock image(analysisImage);
  if (!StartGrid(image)) return false;
  const int cols = m_cells.cols;
  const int rows = m_cells.rows;
  const int cellTotal = cols * rows;
  const int cellWidth = m_parameters.cellWidth;
  const int cellHeight = m_parameters.cellHeight;
  TileChooser chooser(m_tiles);
  CellRandom random(seed);
  CellSamples samples{};

  // Partner pre-pass: every tile once, each in the empty cell it matches
  // best (bottom row first, first of equals), then unlimited repetition.
  const std::uint32_t tileCount = chooser.count();
  if (m_parameters.forVanteo && m_usageLimit < kUnlimitedUsage &&
      tileCount < std::uint32_t(cellTotal)) {
    std::vector<CellPattern> blocks(static_cast<std::size_t>(cellTotal));
    for (int y = 0; y < rows; ++y) {
      for (int x = 0; x < cols; ++x) {
        GatherCellSamples(image, x, y, cellWidth, cellHeight, false, samples);
        blocks[std::size_t(y) * cols + x] = MakeCellPattern(samples);
      }
    }
    for (std::uint32_t tile = 0; tile < tileCount; ++tile) {
      std::int32_t bestSum = std::numeric_limits<std::int32_t>::max();
      int bestCell = -1;
      for (int index = 0; index < cellTotal; ++index) {
        const int x = index % cols;
        const int y = index / cols;
        if (m_cells.at(x, y).tileIndex >= 0) continue;
        const std::int32_t sum = chooser.Distance(tile, blocks[index], m_parameters.colourAllowed);
        if (sum < bestSum) {
          bestSum = sum;
          bestCell = index;
        }
      }
      if (bestCell < 0) break;
      const int x = bestCell % cols;
      const int y = bestCell / cols;
      CellRecord& cell = m_cells.at(x, y);
      ++m_placed;
      chooser.AddUse(tile);
      cell.tileIndex = std::int32_t(tile);
      cell.meanColour = blocks[bestCell].meanColour();
      MatchDistanceAt(x, y) =
          chooser.MatchScore(tile, blocks[bestCell], m_parameters.colourAllowed);
      SetRectangle(cell, x, y);
      ReportPlacement(x, y);
    }
    m_usageLimit = kUnlimitedUsage;
  }

  // One cell: its samples, the pre-filter and the choice; after a failed
  // choice the usage limit rises by one for the rest of the run and the
  // cell is tried once more.
  auto visit = [&](int x, int y) {
    ++m_placed;
    CellRecord& cell = m_cells.at(x, y);
    GatherCellSamples(image, x, y, cellWidth, cellHeight, m_parameters.staggered, samples);
    SetRectangle(cell, x, y);
    const CellPattern pattern = MakeCellPattern(samples);
    chooser.PrefilterTiles(pattern, cell, m_usageLimit, m_parameters.unlimited);
    bool chosen = chooser.ChooseTile(pattern, cell, m_usageLimit, m_parameters.colourAllowed);
    if (!chosen) {
      ++m_usageLimit;
      chooser.PrefilterTiles(pattern, cell, m_usageLimit, m_parameters.unlimited);
      chosen = chooser.ChooseTile(pattern, cell, m_usageLimit, m_parameters.colourAllowed);
    }
    if (chosen) {
      MatchDistanceAt(x, y) =
          chooser.MatchScore(std::uint32_t(cell.tileIndex), pattern, m_parameters.colourAllowed);
      ReportPlacement(x, y);
    } else {
      cell.tileIndex = -1;
      --m_placed;
    }
  };

  // An empty cell drawn at random: column, then row, until one is empty.
  auto drawEmptyCell = [&]() -> CellPosition {
    for (std::int64_t draw = 0; draw < MaxRandomDraws(cellTotal); ++draw) {
      const int x = random.Next() % cols;
      const int y = random.Next() % rows;
      if (m_cells.at(x, y).tileIndex < 0) return {x, y};
    }
    for (int y = 0; y < rows; ++y) {
      for (int x = 0; x < cols; ++x) {
        if (m_cells.at(x, y).tileIndex < 0) return {x, y};
      }
    }
    return {0, 0};
  };

  // Rings from the centre outwards; the random order keeps the same number
  // of steps per ring but draws each step's cell.
  for (int ring = SpiralRingCount(cols, rows) - 1; ring >= 0; --ring) {
    if (PollCancel()) return false;
    for (const CellPosition& step : SpiralRingSteps(cols, rows, ring)) {
      if (m_placed >= cellTotal) return true;
      CellPosition cell = step;
      if (m_parameters.randomOrder) {
        cell = drawEmptyCell();
      } else if (m_cells.at(cell.x, cell.y).tileIndex >= 0) {
        continue;
      }
      visit(cell.x, cell.y);
    }
  }
  return true;
}

bool Placement::PlaceInExactOrder(GlobalHandle analysisImage) {
  ImageLock image(analysisImage);
  if (!StartGrid(image)) return false;
  const std::uint32_t tileCount = m_tiles.count();
  // Only for the match distances: the order itself matches nothing.
  TileChooser chooser(m_tiles);
  CellSamples samples{};
  std::uint32_t n = 0;
  for (int y = m_cells.rows - 1; y >= 0; --y) {
    for (int x = 0; x < m_cells.cols; ++x, ++n) {
      CellRecord& cell = m_cells.at(x, y);
      GatherCellSamples(image, x, y, m_parameters.cellWidth, m_parameters.cellHeight,
                        m_parameters.staggered, samples);
      cell.meanColour = MeanColourOf(samples);
      SetRectangle(cell, x, y);
      cell.tileIndex = std::int32_t(n % tileCount);
      MatchDistanceAt(x, y) = chooser.MatchScore(
          std::uint32_t(cell.tileIndex), MakeCellPattern(samples), m_parameters.colourAllowed);
      m_order.push_back({x, y});
    }
  }
  m_placed = m_cells.cols * m_cells.rows;
  return true;
}

}  // namespace tx
