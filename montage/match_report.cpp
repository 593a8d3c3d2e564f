#include "montage/match_report.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <utility>

#include "collections/collection_registry.h"

namespace tx {
namespace {

// Clusters whose centres are closer than this (CIELAB units) are one colour
// to a shopper: about twice the difference most people just notice.
constexpr double kClusterSeparation = 10.0;
constexpr int kClusterRounds = 20;

using Lab = std::array<double, 3>;

int Red(std::uint32_t colour) {
  return int(colour & 0xFF);
}
int Green(std::uint32_t colour) {
  return int(colour >> 8 & 0xFF);
}
int Blue(std::uint32_t colour) {
  return int(colour >> 16 & 0xFF);
}

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// sRGB to CIELAB under D65.
Lab LabOf(std::uint32_t colour) {
  const double r = Linear(Red(colour));
  const double g = Linear(Green(colour));
  const double b = Linear(Blue(colour));
  const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
  const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
  const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
  auto f = [](double t) {
    return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0;
  };
  const double fx = f(x);
  const double fy = f(y);
  const double fz = f(z);
  return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

double SquaredDistance(const Lab& a, const Lab& b) {
  const double d0 = a[0] - b[0];
  const double d1 = a[1] - b[1];
  const double d2 = a[2] - b[2];
  return d0 * d0 + d1 * d1 + d2 * d2;
}

std::size_t NearestCentre(const Lab& point, const std::vector<Lab>& centres) {
  std::size_t best = 0;
  double bestDistance = std::numeric_limits<double>::max();
  for (std::size_t c = 0; c < centres.size(); ++c) {
    const double d = SquaredDistance(point, centres[c]);
    if (d < bestDistance) {
      bestDistance = d;
      best = c;
    }
  }
  return best;
}

// Lloyd rounds from the given centres; empty clusters are dropped. Returns
// each point's cluster.
std::vector<std::size_t> RefineClusters(const std::vector<Lab>& points, std::vector<Lab>& centres) {
  std::vector<std::size_t> member(points.size(), 0);
  for (int round = 0; round < kClusterRounds && !centres.empty(); ++round) {
    bool moved = round == 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const std::size_t c = NearestCentre(points[i], centres);
      moved = moved || c != member[i];
      member[i] = c;
    }
    std::vector<Lab> sums(centres.size(), Lab{0, 0, 0});
    std::vector<std::size_t> counts(centres.size(), 0);
    for (std::size_t i = 0; i < points.size(); ++i) {
      for (int k = 0; k < 3; ++k)
        sums[member[i]][k] += points[i][k];
      ++counts[member[i]];
    }
    std::vector<Lab> next;
    std::vector<std::size_t> renumber(centres.size(), 0);
    for (std::size_t c = 0; c < centres.size(); ++c) {
      if (counts[c] == 0) continue;
      renumber[c] = next.size();
      next.push_back({sums[c][0] / double(counts[c]), sums[c][1] / double(counts[c]),
                      sums[c][2] / double(counts[c])});
    }
    for (std::size_t& m : member)
      m = renumber[m];
    const bool dropped = next.size() != centres.size();
    centres = std::move(next);
    if (!moved && !dropped) break;
  }
  return member;
}

// Joins the two closest centres while any two are closer than the
// separation, each join weighted by the clusters' sizes.
void MergeCloseCentres(std::vector<Lab>& centres, std::vector<std::size_t> sizes) {
  const double limit = kClusterSeparation * kClusterSeparation;
  while (centres.size() > 1) {
    std::size_t a = 0;
    std::size_t b = 0;
    double closest = std::numeric_limits<double>::max();
    for (std::size_t i = 0; i < centres.size(); ++i) {
      for (std::size_t j = i + 1; j < centres.size(); ++j) {
        const double d = SquaredDistance(centres[i], centres[j]);
        if (d < closest) {
          closest = d;
          a = i;
          b = j;
        }
      }
    }
    if (closest >= limit) break;
    const double wa = double(std::max<std::size_t>(sizes[a], 1));
    const double wb = double(std::max<std::size_t>(sizes[b], 1));
    for (int k = 0; k < 3; ++k)
      centres[a][k] = (centres[a][k] * wa + centres[b][k] * wb) / (wa + wb);
    sizes[a] += sizes[b];
    centres.erase(centres.begin() + std::ptrdiff_t(b));
    sizes.erase(sizes.begin() + std::ptrdiff_t(b));
  }
}

}  // namespace

std::int64_t NearestRank(std::vector<std::int64_t> values, int percent) {
  if (values.empty()) return 0;
  percent = std::clamp(percent, 0, 100);
  // The rank ceil(percent x n / 100), at least the first.
  const std::size_t n = values.size();
  std::size_t rank = (std::size_t(percent) * n + 99) / 100;
  rank = std::clamp<std::size_t>(rank, 1, n);
  std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(rank - 1), values.end());
  return values[rank - 1];
}

std::int64_t FlatColourDistance(std::uint32_t a, std::uint32_t b) {
  const std::int64_t dr = Red(a) - Red(b);
  const std::int64_t dg = Green(a) - Green(b);
  const std::int64_t db = Blue(a) - Blue(b);
  return std::int64_t(kSamplesPerCell) * (dr * dr + dg * dg + db * db);
}

std::string ColourHex(std::uint32_t colour) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", Red(colour), Green(colour), Blue(colour));
  return text;
}

std::vector<ColourGap> FindColourGaps(std::span<const std::uint32_t> cellColours,
                                      std::span<const std::uint32_t> chosenColours,
                                      std::span<const std::uint32_t> tileColours) {
  const std::size_t cellCount = std::min(cellColours.size(), chosenColours.size());
  if (cellCount == 0 || tileColours.empty()) return {};
  std::vector<std::int64_t> errors(cellCount);
  for (std::size_t i = 0; i < cellCount; ++i)
    errors[i] = FlatColourDistance(cellColours[i], chosenColours[i]);

  std::vector<Lab> points;
  std::vector<std::uint32_t> colours;
  std::size_t worst = 0;
  for (std::size_t i = 0; i < cellCount; ++i) {
    if (errors[i] < kGapErrorFloor) continue;
    if (points.empty() || errors[i] > errors[worst]) worst = i;
    points.push_back(LabOf(cellColours[i]));
    colours.push_back(cellColours[i]);
  }
  if (points.empty()) return {};

  // Seeds spread as far apart as the colours go: the worst cell first, then
  // each time the colour farthest from every seed, until the farthest is
  // within the separation or there are enough.
  std::vector<Lab> centres{LabOf(cellColours[worst])};
  std::vector<double> gap(points.size(), std::numeric_limits<double>::max());
  while (centres.size() < kMaxColourGaps) {
    std::size_t farthest = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      gap[i] = std::min(gap[i], SquaredDistance(points[i], centres.back()));
      if (gap[i] > gap[farthest]) farthest = i;
    }
    if (gap[farthest] < kClusterSeparation * kClusterSeparation) break;
    centres.push_back(points[farthest]);
  }
  std::vector<std::size_t> member = RefineClusters(points, centres);
  std::vector<std::size_t> sizes(centres.size(), 0);
  for (std::size_t m : member)
    ++sizes[m];
  MergeCloseCentres(centres, sizes);
  member = RefineClusters(points, centres);

  struct Sum {
    std::int64_t red = 0, green = 0, blue = 0;
    std::size_t count = 0;
  };
  std::vector<Sum> sums(centres.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    Sum& sum = sums[member[i]];
    sum.red += Red(colours[i]);
    sum.green += Green(colours[i]);
    sum.blue += Blue(colours[i]);
    ++sum.count;
  }
  std::vector<ColourGap> gaps;
  for (const Sum& sum : sums) {
    if (sum.count == 0) continue;
    const auto mean = [&](std::int64_t total) {
      return std::uint32_t((total + std::int64_t(sum.count / 2)) / std::int64_t(sum.count));
    };
    ColourGap gapEntry;
    gapEntry.share = double(sum.count) / double(cellCount);
    gapEntry.meanColour = mean(sum.red) | mean(sum.green) << 8 | mean(sum.blue) << 16;
    gapEntry.nearest = std::numeric_limits<std::int64_t>::max();
    for (std::uint32_t tile : tileColours)
      gapEntry.nearest = std::min(gapEntry.nearest, FlatColourDistance(gapEntry.meanColour, tile));
    gaps.push_back(gapEntry);
  }
  std::sort(gaps.begin(), gaps.end(), [](const ColourGap& a, const ColourGap& b) {
    if (a.share != b.share) return a.share > b.share;
    if (a.nearest != b.nearest) return a.nearest > b.nearest;
    return a.meanColour < b.meanColour;
  });
  if (gaps.size() > kMaxColourGaps) gaps.resize(kMaxColourGaps);
  return gaps;
}

MatchReport MakeMatchReport(const CellTable& cells, const std::vector<std::int64_t>& distances,
                            const TileView& tiles, CollectionRegistry& registry) {
  MatchReport report;
  report.cols = cells.cols;
  report.rows = cells.rows;
  const std::size_t cellCount = cells.cells.size();
  report.distances.assign(cellCount, kNoMatch);

  std::vector<std::int64_t> placed;
  std::vector<std::uint32_t> cellColours;
  std::vector<std::uint32_t> chosenColours;
  std::vector<std::uint32_t> uses(tiles.count(), 0);
  // Collections by (kind, index), numbered in order of their first tile.
  std::map<std::pair<int, int>, std::size_t> collectionOf;
  std::vector<std::size_t> tileCollection(tiles.count(), 0);
  for (std::uint32_t t = 0; t < tiles.count(); ++t) {
    const std::pair<int, int> id{tiles.Get16(t, kEntryKind), tiles.Get16(t, kEntryIndex)};
    auto [it, added] = collectionOf.emplace(id, report.collections.size());
    if (added) {
      CollectionUse use;
      use.kind = id.first;
      use.key = registry.GetCollectionKey(id.first, id.second);
      report.collections.push_back(std::move(use));
    }
    tileCollection[t] = it->second;
    ++report.collections[it->second].loaded;
  }

  struct Ranked {
    std::int64_t distance;
    std::size_t cell;
  };
  std::vector<Ranked> ranked;
  for (std::size_t i = 0; i < cellCount; ++i) {
    const std::int32_t tile = cells.cells[i].tileIndex;
    if (tile < 0 || std::uint32_t(tile) >= tiles.count()) continue;
    const std::int64_t distance = i < distances.size() ? distances[i] : kNoMatch;
    if (distance < 0) continue;
    report.distances[i] = distance;
    placed.push_back(distance);
    ranked.push_back({distance, i});
    cellColours.push_back(cells.cells[i].meanColour);
    chosenColours.push_back(tiles.recordMeanColour(std::uint32_t(tile)));
    CollectionUse& use = report.collections[tileCollection[std::size_t(tile)]];
    ++use.used;
    if (uses[std::size_t(tile)]++ == 0) ++use.distinct;
    use.maxUses = std::max(use.maxUses, uses[std::size_t(tile)]);
  }
  report.median = NearestRank(placed, 50);
  report.p95 = NearestRank(placed, 95);
  report.largest = placed.empty() ? 0 : *std::max_element(placed.begin(), placed.end());

  // The worst cells, the first in table order among equals.
  const std::size_t worstCount = std::min(kWorstCellCount, ranked.size());
  std::partial_sort(ranked.begin(), ranked.begin() + std::ptrdiff_t(worstCount), ranked.end(),
                    [](const Ranked& a, const Ranked& b) {
                      return a.distance != b.distance ? a.distance > b.distance : a.cell < b.cell;
                    });
  for (std::size_t w = 0; w < worstCount; ++w) {
    const std::size_t i = ranked[w].cell;
    const std::uint32_t tile = std::uint32_t(cells.cells[i].tileIndex);
    WorstCell cell;
    cell.col = int(i % std::size_t(cells.cols));
    cell.row = int(i / std::size_t(cells.cols));
    cell.distance = ranked[w].distance;
    cell.meanColour = cells.cells[i].meanColour;
    cell.kind = report.collections[tileCollection[tile]].kind;
    cell.key = report.collections[tileCollection[tile]].key;
    cell.tile = tiles.fileNumber(tile);
    report.worst.push_back(std::move(cell));
  }

  std::vector<std::uint32_t> tileColours;
  tileColours.reserve(tiles.count());
  for (std::uint32_t t = 0; t < tiles.count(); ++t)
    tileColours.push_back(tiles.recordMeanColour(t));
  std::sort(tileColours.begin(), tileColours.end());
  tileColours.erase(std::unique(tileColours.begin(), tileColours.end()), tileColours.end());
  report.gaps = FindColourGaps(cellColours, chosenColours, tileColours);
  return report;
}

}  // namespace tx
