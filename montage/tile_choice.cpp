#include "montage/tile_choice.h"

#include <algorithm>
#include <limits>

namespace tx {

namespace {

inline constexpr std::uint32_t kSpreadDivisor = 24;
inline constexpr std::int64_t kScoreFactor = 9;
inline constexpr std::int64_t kWeightOffset = 8;
inline constexpr std::uint16_t kMaxUsage = std::numeric_limits<std::uint16_t>::max();
inline constexpr std::uint32_t kNoBound = std::numeric_limits<std::uint32_t>::max();
// Tiles per chunk of the pre-filter's loops.
inline constexpr std::size_t kChunk = 16;
// The detail of a padding tile: its distance + detail is beyond kNoScore,
// so it never sets the pre-filter's bound.
inline constexpr std::uint32_t kPaddingDetail = 0x40000000;

// Sum over one plane of 48 values of (tile - cell - offset)^2. Written as a
// plain fixed-length loop on 16-bit differences without any branch, so that
// the compiler turns it into multiply-add vector instructions. The values
// stay small: |difference| <= 510, the sum <= 48 x 510^2 < 2^24.
inline std::int32_t PlaneDistance(const std::uint8_t* tile, const std::int16_t* cell,
                                  std::int16_t offset) {
  std::int32_t sum = 0;
  for (int i = 0; i < kSamplesPerCell; ++i) {
    const std::int16_t d = std::int16_t(std::int16_t(tile[i]) - cell[i] - offset);
    sum += std::int32_t(d) * std::int32_t(d);
  }
  return sum;
}

struct ChunkResult {
  std::uint32_t smallest;  // least distance + detail among tiles under the limit
  std::uint32_t hits;      // tiles whose distance is at most the threshold
};

// One chunk of the pre-filter: the colour distance of kChunk tiles to the
// cell (stored in `distance`), their least distance + detail among those
// with usage at most `limit`, and how many lie within `threshold`. Plain
// fixed-length arithmetic without branches, so that it vectorises. Means are
// bytes, so each difference fits 16 bits and its square (at most 255^2)
// fits 16 unsigned bits; the sums stay far below 2^31.
inline ChunkResult PrefilterChunk(
    const std::int16_t* __restrict red, const std::int16_t* __restrict green,
    const std::int16_t* __restrict blue, const std::uint32_t* __restrict detail,
    const std::uint16_t* __restrict usage, std::uint32_t* __restrict distance, std::int16_t cellRed,
    std::int16_t cellGreen, std::int16_t cellBlue, int limit, std::uint32_t threshold) {
  std::uint32_t smallest = kNoBound;
  std::uint32_t hits = 0;
  for (int j = 0; j < int(kChunk); ++j) {
    const std::int16_t dr = std::int16_t(red[j] - cellRed);
    const std::int16_t dg = std::int16_t(green[j] - cellGreen);
    const std::int16_t db = std::int16_t(blue[j] - cellBlue);
    const std::uint32_t d =
        std::uint32_t(std::uint16_t(dr * dr)) + std::uint16_t(dg * dg) + std::uint16_t(db * db);
    distance[j] = d;
    hits += d <= threshold ? 1u : 0u;
    // All ones when the tile is above the limit, so it never is the least.
    const std::uint32_t over = 0u - (std::uint32_t(limit - int(usage[j])) >> 31);
    smallest = std::min(smallest, (d + detail[j]) | over);
  }
  return {smallest, hits};
}

}  // namespace

std::uint32_t CellPattern::meanColour() const {
  return std::uint32_t(meanRed) | std::uint32_t(meanGreen) << 8 | std::uint32_t(meanBlue) << 16;
}

CellPattern MakeCellPattern(const CellSamples& samples) {
  CellPattern pattern;
  int sums[3] = {0, 0, 0};
  for (int i = 0; i < kSamplesPerCell; ++i) {
    for (int channel = 0; channel < 3; ++channel) {
      const int value = samples[4 * i + 1 + channel];
      pattern.plain[channel * kSamplesPerCell + i] = std::int16_t(value);
      sums[channel] += value;
    }
  }
  const int means[3] = {sums[0] / kSamplesPerCell, sums[1] / kSamplesPerCell,
                        sums[2] / kSamplesPerCell};
  pattern.meanBlue = means[0];
  pattern.meanGreen = means[1];
  pattern.meanRed = means[2];
  std::uint32_t spread = 0;
  for (int channel = 0; channel < 3; ++channel) {
    for (int i = 0; i < kSamplesPerCell; ++i) {
      const int index = channel * kSamplesPerCell + i;
      const int centred = pattern.plain[index] - means[channel];
      pattern.centred[index] = std::int16_t(centred);
      spread += std::uint32_t(centred * centred);
    }
  }
  pattern.spread = spread / kSpreadDivisor;
  return pattern;
}

TileChooser::TileChooser(TileView& tiles) : m_tiles(tiles), m_count(tiles.count()) {
  PrepareTileStatistics();
}

void TileChooser::PrepareTileStatistics() {
  const std::size_t n = m_count;
  // The per-cell arrays are padded to whole chunks. A padding tile cannot
  // set the pre-filter's bound (kPaddingDetail) and is never enabled (the
  // pre-filter collects tiles below the count only).
  const std::size_t padded = (n + kChunk - 1) / kChunk * kChunk;
  m_meanBlue.assign(padded, 0);
  m_meanGreen.assign(padded, 0);
  m_meanRed.assign(padded, 0);
  m_detail.assign(padded, kPaddingDetail);
  m_distance.assign(padded, 0);
  m_usage.assign(padded, 0);
  m_weight.assign(n, 0);
  m_planes.assign(n * kTileCellBytes, 0);
  m_enabled.clear();
  m_enabled.reserve(n);
  m_unusedTiles = 0;
  for (std::uint32_t i = 0; i < m_count; ++i) {
    const std::uint32_t mean = m_tiles.recordMeanColour(i);
    const int red = int(mean & 0xFF);
    const int green = int((mean >> 8) & 0xFF);
    const int blue = int((mean >> 16) & 0xFF);
    const std::uint8_t* miniature = m_tiles.miniature(i);
    std::uint8_t* planes = m_planes.data() + std::size_t(i) * kTileCellBytes;
    std::uint32_t spread = 0;
    for (int s = 0; s < kSamplesPerCell; ++s) {
      const int b = miniature[3 * s];
      const int g = miniature[3 * s + 1];
      const int r = miniature[3 * s + 2];
      planes[s] = std::uint8_t(b);
      planes[kSamplesPerCell + s] = std::uint8_t(g);
      planes[2 * kSamplesPerCell + s] = std::uint8_t(r);
      spread += std::uint32_t((b - blue) * (b - blue) + (g - green) * (g - green) +
                              (r - red) * (r - red));
    }
    m_meanBlue[i] = std::int16_t(blue);
    m_meanGreen[i] = std::int16_t(green);
    m_meanRed[i] = std::int16_t(red);
    m_detail[i] = spread / kSpreadDivisor;
    m_usage[i] = m_tiles.Get16(i, kEntryUsage);
    m_weight[i] = m_tiles.Get16(i, kEntryWeight);
    if (m_usage[i] == 0) ++m_unusedTiles;
    m_enabled.push_back(i);

    m_tiles.Set16(i, kEntryRed, std::uint16_t(red));
    m_tiles.Set16(i, kEntryGreen, std::uint16_t(green));
    m_tiles.Set16(i, kEntryBlue, std::uint16_t(blue));
    m_tiles.Set32(i, kEntryDetail, m_detail[i]);
    m_tiles.Set16(i, kEntryEnabled, 1);
  }
}

void TileChooser::PrefilterTiles(const CellPattern& pattern, CellRecord& cell, int& usageLimit,
                                 bool unlimited) {
  cell.meanColour = pattern.meanColour();
  // Kept within the range of usages so that limit - usage cannot overflow.
  const int limit = std::clamp(usageLimit, -1, int(kMaxUsage));
  const std::size_t padded = m_meanRed.size();

  // One pass finds both the bound and the tiles within it. The bound is the
  // least distance + detail + cell spread among tiles under the limit
  // (kNoScore when that is smaller). While scanning, the bound of the tiles
  // seen so far can only be at or above the final one, so every tile within
  // the final bound is within the running one when it is scanned: it is
  // collected then, and the list is cut to the final bound at the end.
  std::uint32_t smallest = kNoBound;
  std::uint32_t running = kNoScore;
  m_enabled.clear();
  for (std::size_t base = 0; base < padded; base += kChunk) {
    const ChunkResult chunk =
        PrefilterChunk(m_meanRed.data() + base, m_meanGreen.data() + base, m_meanBlue.data() + base,
                       m_detail.data() + base, m_usage.data() + base, m_distance.data() + base,
                       std::int16_t(pattern.meanRed), std::int16_t(pattern.meanGreen),
                       std::int16_t(pattern.meanBlue), limit, running);
    if (chunk.hits != 0) {
      const std::size_t end = std::min(base + kChunk, std::size_t(m_count));
      for (std::size_t i = base; i < end; ++i) {
        if (m_distance[i] <= running) m_enabled.push_back(std::uint32_t(i));
      }
    }
    smallest = std::min(smallest, chunk.smallest);
    if (smallest < kNoScore) running = std::min(running, smallest + pattern.spread);
  }
  const std::uint32_t best = running;
  std::erase_if(m_enabled, [&](std::uint32_t i) { return m_distance[i] > best; });

  // Too few candidates: the first entries of the table join them.
  const std::uint32_t passed = std::uint32_t(m_enabled.size());
  if (passed < kMinEnabledTiles) {
    const std::uint32_t extra = std::min(kMinEnabledTiles - passed, m_count);
    std::vector<std::uint32_t> merged;
    merged.reserve(extra + passed);
    for (std::uint32_t i = 0; i < extra; ++i)
      merged.push_back(i);
    for (std::uint32_t i : m_enabled) {
      if (i >= extra) merged.push_back(i);
    }
    m_enabled.swap(merged);
  }

  if (unlimited && m_unusedTiles == 0) usageLimit = std::max(usageLimit, kUnlimitedUsage);
}

// Why stopping early never changes the choice. A tile wins exactly when
// score = floor(total x 9 / (weight + 8)) < best, and since best is an
// integer that is the same as total x 9 < (weight + 8) x best, where total
// is its full penalty + sum. Every term of the sum is a square, so partial
// totals only grow, in whatever order the terms are added (here colour plane
// by colour plane rather than sample by sample): once a partial total
// reaches the bar, the full total is at or above it too and the tile cannot
// win. A tile that never reaches the bar is summed to the end and wins. So
// whether the bar is tested after every sample or only after the penalty
// and after each colour plane, exactly the same tiles are summed to the end
// and win, with the same scores, in the same table order.
//
// The arithmetic is 64-bit. The sums themselves fit 32 bits, but the
// penalty's product usage^2 x K passes 2^31 after about 400 uses (130 with
// the larger K), which under unlimited repetition would wrap to a small or
// negative total and make the most used tile look the best. Below that
// range every value is the one 32-bit arithmetic gives.
bool TileChooser::ChooseTile(const CellPattern& pattern, CellRecord& cell, int usageLimit,
                             bool colourAllowed) {
  const std::int64_t k =
      usageLimit < kUnlimitedUsage ? kReusePenaltyLimited : kReusePenaltyUnlimited;
  const std::int64_t limit = usageLimit;
  const std::int16_t* cellPlanes = colourAllowed ? pattern.centred.data() : pattern.plain.data();
  std::int64_t best = kNoScore;
  std::int64_t winner = -1;
  for (const std::uint32_t i : m_enabled) {
    const std::int64_t use = m_usage[i];
    if (use > limit) continue;
    const std::int64_t divisor = std::int64_t(m_weight[i]) + kWeightOffset;
    const std::int64_t bar = divisor * best;
    std::int64_t total = (use * use * k) >> 8;
    if (total * kScoreFactor >= bar) continue;
    const std::uint8_t* planes = m_planes.data() + std::size_t(i) * kTileCellBytes;
    // With colour variation the tile's own mean comes off its values.
    const std::int16_t offsetBlue = colourAllowed ? m_meanBlue[i] : 0;
    const std::int16_t offsetGreen = colourAllowed ? m_meanGreen[i] : 0;
    const std::int16_t offsetRed = colourAllowed ? m_meanRed[i] : 0;
    total += PlaneDistance(planes, cellPlanes, offsetBlue);
    if (total * kScoreFactor >= bar) continue;
    total += PlaneDistance(planes + kSamplesPerCell, cellPlanes + kSamplesPerCell, offsetGreen);
    if (total * kScoreFactor >= bar) continue;
    total +=
        PlaneDistance(planes + 2 * kSamplesPerCell, cellPlanes + 2 * kSamplesPerCell, offsetRed);
    if (total * kScoreFactor >= bar) continue;
    best = total * kScoreFactor / divisor;
    winner = i;
  }
  if (winner < 0) return false;
  AddUse(std::uint32_t(winner));
  cell.tileIndex = std::int32_t(winner);
  return true;
}

std::int32_t TileChooser::Distance(std::uint32_t tile, const CellPattern& pattern,
                                   bool colourAllowed) const {
  const std::uint8_t* planes = m_planes.data() + std::size_t(tile) * kTileCellBytes;
  const std::int16_t* cellPlanes = colourAllowed ? pattern.centred.data() : pattern.plain.data();
  return PlaneDistance(planes, cellPlanes, colourAllowed ? m_meanBlue[tile] : std::int16_t(0)) +
         PlaneDistance(planes + kSamplesPerCell, cellPlanes + kSamplesPerCell,
                       colourAllowed ? m_meanGreen[tile] : std::int16_t(0)) +
         PlaneDistance(planes + 2 * kSamplesPerCell, cellPlanes + 2 * kSamplesPerCell,
                       colourAllowed ? m_meanRed[tile] : std::int16_t(0));
}

std::int64_t TileChooser::MatchScore(std::uint32_t tile, const CellPattern& pattern,
                                     bool colourAllowed) const {
  const std::int64_t divisor = std::int64_t(m_weight[tile]) + kWeightOffset;
  return std::int64_t(Distance(tile, pattern, colourAllowed)) * kScoreFactor / divisor;
}

void TileChooser::AddUse(std::uint32_t tile) {
  if (tile >= m_count || m_usage[tile] == kMaxUsage) return;
  if (m_usage[tile] == 0) --m_unusedTiles;
  ++m_usage[tile];
  m_tiles.Set16(tile, kEntryUsage, m_usage[tile]);
}

}  // namespace tx
