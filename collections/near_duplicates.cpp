// Near-duplicate tiles: loading the miniatures of chosen collections through
// the tile-table loader, and grouping those that lie within a distance.

#include "collections/near_duplicates.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "collections/collection_registry.h"
#include "platform/file_io.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

std::uint16_t Get16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

std::uint32_t Get32(const std::uint8_t* at) {
  return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
         std::uint32_t{at[3]} << 24;
}

// Owns the tile tables for the length of one load.
struct TablesOwner {
  TileTables tables;
  ~TablesOwner() { tables.Release(); }
};

// The length of a file now (0 when it cannot be told).
std::uint64_t FileSize(const fs::path& file) {
  std::error_code ec;
  const std::uintmax_t size = file.empty() ? 0 : fs::file_size(file, ec);
  return ec ? 0 : size;
}

// How many whole records an index file of `size` bytes holds behind its header.
std::uint64_t RecordsIn(std::uint64_t size) {
  return size <= kIndexHeaderBytes ? 0 : (size - kIndexHeaderBytes) / kTileRecordBytes;
}

void Put32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Where an index header keeps its file size and record count.
constexpr std::size_t kHeaderFileSize = 4;
constexpr std::size_t kHeaderRecordCount = 8;

// Where a record's 48 cell colours start.
constexpr std::size_t kRecordCellsOffset = 24;

constexpr int kCellColumns = 8;
constexpr int kCellRows = 6;
constexpr int kChannels = 3;
constexpr int kParts = 4;  // the miniature in four quarters
constexpr int kCellsPerPart = kTileCellCount / kParts;
constexpr int kFeatures = kParts * kChannels;
// Channel sums over all 48 cells lie in 0 .. 48 x 255.
constexpr int kMaxChannelSum = kTileCellCount * 255;
// At most this many buckets along each channel axis (64 cubed in all).
constexpr int kMaxBucketsPerAxis = 64;
constexpr std::size_t kRowBytes = kTileCellBytes / kCellRows;

// The quarter of cell `cell`: left or right half, lower or upper three rows.
// For a portrait grid (6 x 8) the quarters are other cells, which keeps the
// bound below valid, since it only needs the cells split into equal parts.
constexpr int PartOf(int cell) {
  return (cell % kCellColumns >= kCellColumns / 2 ? 1 : 0) +
         (cell / kCellColumns >= kCellRows / 2 ? 2 : 0);
}

// Per quarter and channel, the sum of the cell values. By Cauchy-Schwarz the
// squared differences of these sums, divided by the 12 cells of a quarter,
// never exceed the squared difference of the whole miniatures, so they
// reject most pairs without touching the 144 bytes.
using Features = std::array<std::int32_t, kFeatures>;

Features FeaturesOf(const std::uint8_t* cells) {
  Features features{};
  for (int cell = 0; cell < kTileCellCount; ++cell) {
    const int part = PartOf(cell);
    for (int c = 0; c < kChannels; ++c) {
      features[std::size_t(part * kChannels + c)] += cells[cell * kChannels + c];
    }
  }
  return features;
}

std::int64_t FeatureDistance(const Features& a, const Features& b) {
  std::int64_t sum = 0;
  for (int f = 0; f < kFeatures; ++f) {
    const std::int64_t d = a[std::size_t(f)] - b[std::size_t(f)];
    sum += d * d;
  }
  return sum;
}

// Brightness contrasts of a miniature from its quarter sums, over all three
// channels: right half minus left half, and upper rows minus lower rows.
constexpr std::size_t kContrastKinds = 2;
using Contrasts = std::array<std::int32_t, kContrastKinds>;

Contrasts ContrastsOf(const Features& features) {
  Contrasts contrasts{};
  for (int part = 0; part < kParts; ++part) {
    for (int c = 0; c < kChannels; ++c) {
      const std::int32_t value = features[std::size_t(part * kChannels + c)];
      contrasts[0] += part % 2 ? value : -value;
      contrasts[1] += part / 2 ? value : -value;
    }
  }
  return contrasts;
}

// The squared difference of two miniatures, or more than `limit` as soon as
// it is certain to exceed it (checked after each row of cells).
std::uint32_t SquaredDifferenceUpTo(const std::uint8_t* a, const std::uint8_t* b,
                                    std::uint32_t limit) {
  std::uint32_t sum = 0;
  for (std::size_t row = 0; row < kTileCellBytes; row += kRowBytes) {
    for (std::size_t i = row; i < row + kRowBytes; ++i) {
      const int d = int(a[i]) - int(b[i]);
      sum += std::uint32_t(d * d);
    }
    if (sum > limit) return sum;
  }
  return sum;
}

// Groups by union of near pairs; the root of a group is its smallest member.
class DisjointSets {
 public:
  explicit DisjointSets(std::size_t count) : m_parent(count) {
    for (std::size_t i = 0; i < count; ++i)
      m_parent[i] = std::uint32_t(i);
  }
  std::uint32_t Find(std::uint32_t x) {
    while (m_parent[x] != x) {
      m_parent[x] = m_parent[m_parent[x]];
      x = m_parent[x];
    }
    return x;
  }
  void Join(std::uint32_t a, std::uint32_t b) {
    a = Find(a);
    b = Find(b);
    if (a == b) return;
    if (a < b) {
      m_parent[b] = a;
    } else {
      m_parent[a] = b;
    }
  }

 private:
  std::vector<std::uint32_t> m_parent;
};

}  // namespace

std::uint32_t MiniatureSquaredDifference(const std::uint8_t* a, const std::uint8_t* b) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < kTileCellBytes; ++i) {
    const int d = int(a[i]) - int(b[i]);
    sum += std::uint32_t(d * d);
  }
  return sum;
}

double MiniatureDistance(const std::uint8_t* a, const std::uint8_t* b) {
  return double(MiniatureSquaredDifference(a, b)) / double(kTileCellBytes);
}

bool IsValidDuplicateThreshold(double threshold) {
  return std::isfinite(threshold) && threshold >= 0.0 && threshold <= kMaxMiniatureDistance;
}

DuplicateSearchSet LoadDuplicateSearchSet(CollectionRegistry& registry,
                                          std::span<const CollectionRef> named) {
  DuplicateSearchSet set;
  // The loader reads the selected collections of a registry; a copy whose
  // statuses select exactly the named ones lets it read those with all its
  // checks, and the user's own selection stays as it was.
  CollectionRegistry chosen = registry;
  std::vector<CollectionRef> wanted;
  for (int kind : {kDiscCollection, kMyCollection, kVideoCollection}) {
    for (int i = 0; i < chosen.GetCollectionCount(kind); ++i) {
      const CollectionRef ref{kind, i};
      if (!named.empty()) {
        const bool isNamed = std::find(named.begin(), named.end(), ref) != named.end();
        chosen.SetCollectionStatus(kind, i, isNamed ? 1 : 0);
      }
      if (chosen.GetCollectionStatus(kind, i) > 0) wanted.push_back(ref);
    }
  }

  TablesOwner owner;
  const std::uint32_t count = LoadTileTables(chosen, owner.tables);
  const BlockLock records(owner.tables.records);
  const BlockLock entries(owner.tables.entries);
  if (count > 0 && (!records.bytes() || !entries.bytes())) {
    set.notices.push_back("the tile tables could not be read");
    return set;
  }

  set.tiles.reserve(count);
  set.miniatures.reserve(std::size_t(count) * kTileCellBytes);
  std::vector<CollectionRef> loaded;
  CollectionRef current{-1, -1};
  std::uint64_t position = 0;
  std::uint64_t held = 0;
  std::uint64_t claimed = 0;
  auto reportShortfall = [&] {
    if (claimed > held) {
      set.notices.push_back(chosen.GetCollectionKey(current.kind, current.index) +
                            ": its index holds " + std::to_string(held) + " of the " +
                            std::to_string(claimed) +
                            " records its header claims; the missing ones are left out");
    }
  };
  for (std::uint32_t t = 0; t < count; ++t) {
    const std::uint8_t* entry = entries.bytes() + std::size_t(t) * kTileEntryBytes;
    const std::uint8_t* record = records.bytes() + std::size_t(t) * kTileRecordBytes;
    const CollectionRef ref{Get16(entry + kEntryKind), Get16(entry + kEntryIndex)};
    if (!(ref == current)) {
      // A collection's records lie together: the first one starts its run.
      reportShortfall();
      current = ref;
      loaded.push_back(ref);
      position = 0;
      claimed = 0;
      const std::uint64_t size = FileSize(chosen.IndexFilePath(ref.kind, ref.index));
      held = RecordsIn(size);
      set.indexes.push_back({ref, size, 0});
    }
    ++claimed;
    set.indexes.back().recordCount = std::uint32_t(claimed);
    // Records beyond the end of a short file are zeros made by the loader.
    const std::uint64_t place = position++;
    if (place >= held) continue;
    set.tiles.push_back(
        {ref, Get32(record), Get32(entry + kEntryPictureFileFlag), std::uint32_t(place)});
    set.miniatures.insert(set.miniatures.end(), record + kRecordCellsOffset,
                          record + kRecordCellsOffset + kTileCellBytes);
  }
  reportShortfall();

  for (const CollectionRef& ref : wanted) {
    if (std::find(loaded.begin(), loaded.end(), ref) == loaded.end()) {
      set.notices.push_back(chosen.GetCollectionKey(ref.kind, ref.index) +
                            ": no usable tile-set index (missing, damaged or empty); skipped");
    }
  }
  return set;
}

std::vector<std::vector<std::uint32_t>> FindNearDuplicateGroups(const std::uint8_t* miniatures,
                                                                std::size_t stride,
                                                                std::size_t count,
                                                                double threshold) {
  std::vector<std::vector<std::uint32_t>> groups;
  if (!miniatures || count < 2 || stride < kTileCellBytes ||
      count > std::numeric_limits<std::uint32_t>::max() || !IsValidDuplicateThreshold(threshold)) {
    return groups;
  }
  const auto limit = static_cast<std::uint32_t>(std::floor(threshold * double(kTileCellBytes)));
  auto cellsOf = [&](std::size_t i) { return miniatures + i * stride; };

  std::vector<Features> features(count);
  for (std::size_t i = 0; i < count; ++i)
    features[i] = FeaturesOf(cellsOf(i));
  // A near pair's quarter sums differ by at most this (squared) ...
  const std::int64_t featureLimit = std::int64_t{kCellsPerPart} * limit;
  // ... and so its whole-miniature channel sums by at most `reach` each,
  // which sizes the buckets: near tiles lie in the same or adjacent buckets.
  const auto reach =
      static_cast<std::int64_t>(std::ceil(std::sqrt(double(kTileCellCount) * double(limit))));
  const std::int64_t width = std::max<std::int64_t>(
      {reach, (kMaxChannelSum + kMaxBucketsPerAxis) / kMaxBucketsPerAxis, 1});
  const int axis = int(kMaxChannelSum / width) + 1;

  // Whole-miniature channel sums: their squared differences, over 48 cells,
  // bound the distance too, more loosely but in three numbers.
  using Sums = std::array<std::int32_t, kChannels>;
  std::vector<Sums> sums(count);
  for (std::size_t i = 0; i < count; ++i) {
    for (int c = 0; c < kChannels; ++c) {
      for (int p = 0; p < kParts; ++p)
        sums[i][std::size_t(c)] += features[i][std::size_t(p * kChannels + c)];
    }
  }
  const std::int64_t sumLimit = std::int64_t{kTileCellCount} * limit;
  auto bucketAxes = [&](const Sums& sum) {
    std::array<int, kChannels> at{};
    for (int c = 0; c < kChannels; ++c)
      at[std::size_t(c)] = int(sum[std::size_t(c)] / width);
    return at;
  };
  auto bucketOf = [&](const std::array<int, kChannels>& at) {
    return std::size_t((at[0] * axis + at[1]) * axis + at[2]);
  };

  // Counting sort of the tiles by bucket; within a bucket, ascending. The
  // sums and features are copied in that order, so that the tiles of a
  // bucket lie together in memory.
  const std::size_t buckets = std::size_t(axis) * std::size_t(axis) * std::size_t(axis);
  std::vector<std::uint32_t> start(buckets + 1, 0);
  std::vector<std::uint32_t> bucketOfTile(count);
  for (std::size_t i = 0; i < count; ++i) {
    bucketOfTile[i] = std::uint32_t(bucketOf(bucketAxes(sums[i])));
    ++start[bucketOfTile[i] + 1];
  }
  for (std::size_t b = 0; b < buckets; ++b)
    start[b + 1] += start[b];
  std::vector<std::uint32_t> sorted(count);
  {
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (std::size_t i = 0; i < count; ++i)
      sorted[fill[bucketOfTile[i]]++] = std::uint32_t(i);
  }

  // Within a bucket the tiles are ordered by a brightness contrast (right
  // minus left half, or top minus bottom, whichever spreads the bucket's
  // tiles more): where nearly all tiles share one mean colour, as in dark
  // video frames, the buckets say little, but a near pair's contrasts
  // differ by at most `window`, so each tile meets only a slice of a bucket.
  std::vector<Contrasts> contrasts(count);
  for (std::size_t i = 0; i < count; ++i)
    contrasts[i] = ContrastsOf(features[i]);
  std::vector<std::uint8_t> bucketContrast(buckets, 0);
  for (std::size_t b = 0; b < buckets; ++b) {
    if (start[b + 1] - start[b] < 2) continue;
    std::array<std::int32_t, kContrastKinds> low{};
    std::array<std::int32_t, kContrastKinds> high{};
    low = high = contrasts[sorted[start[b]]];
    for (std::uint32_t at = start[b]; at < start[b + 1]; ++at) {
      for (std::size_t k = 0; k < kContrastKinds; ++k) {
        low[k] = std::min(low[k], contrasts[sorted[at]][k]);
        high[k] = std::max(high[k], contrasts[sorted[at]][k]);
      }
    }
    const std::size_t kind = high[1] - low[1] > high[0] - low[0] ? 1 : 0;
    bucketContrast[b] = std::uint8_t(kind);
    std::sort(sorted.begin() + start[b], sorted.begin() + start[b + 1],
              [&](std::uint32_t x, std::uint32_t y) {
                return contrasts[x][kind] < contrasts[y][kind] ||
                       (contrasts[x][kind] == contrasts[y][kind] && x < y);
              });
  }
  // Every contrast weighs each of the 144 bytes by 1 or -1, so by
  // Cauchy-Schwarz a near pair's contrasts differ by at most the root of
  // 144 times its squared difference.
  const std::int64_t contrastLimit = std::int64_t{kTileCellBytes} * limit;
  auto window = static_cast<std::int64_t>(std::sqrt(double(contrastLimit)));
  while (window * window > contrastLimit)
    --window;
  while ((window + 1) * (window + 1) <= contrastLimit)
    ++window;

  std::vector<Sums> sortedSums(count);
  std::vector<Features> sortedFeatures(count);
  std::vector<std::int32_t> sortedKey(count);
  for (std::size_t b = 0; b < buckets; ++b) {
    for (std::uint32_t at = start[b]; at < start[b + 1]; ++at) {
      sortedSums[at] = sums[sorted[at]];
      sortedFeatures[at] = features[sorted[at]];
      sortedKey[at] = contrasts[sorted[at]][bucketContrast[b]];
    }
  }
  features = {};
  sums = {};

  DisjointSets sets(count);
  for (std::size_t bi = 0; bi < buckets; ++bi) {
    for (std::uint32_t si = start[bi]; si < start[bi + 1]; ++si) {
      const std::uint32_t i = sorted[si];
      const Sums& sumI = sortedSums[si];
      const std::array<int, kChannels> at = bucketAxes(sumI);
      for (int d0 = -1; d0 <= 1; ++d0) {
        for (int d1 = -1; d1 <= 1; ++d1) {
          for (int d2 = -1; d2 <= 1; ++d2) {
            const std::array<int, kChannels> near{at[0] + d0, at[1] + d1, at[2] + d2};
            if (std::any_of(near.begin(), near.end(), [&](int v) { return v < 0 || v >= axis; })) {
              continue;
            }
            const std::size_t b = bucketOf(near);
            // Each pair once: from the lower bucket, or within a bucket
            // from the tile placed first.
            if (b < bi) continue;
            const std::int64_t key = contrasts[i][bucketContrast[b]];
            const auto first = sortedKey.begin() + (b == bi ? si + 1 : start[b]);
            const auto last = sortedKey.begin() + start[b + 1];
            auto s = std::uint32_t(
                std::lower_bound(first, last, key - window,
                                 [](std::int32_t v, std::int64_t bound) { return v < bound; }) -
                sortedKey.begin());
            for (; s < start[b + 1] && sortedKey[s] <= key + window; ++s) {
              const std::uint32_t j = sorted[s];
              const std::int64_t e0 = sumI[0] - sortedSums[s][0];
              const std::int64_t e1 = sumI[1] - sortedSums[s][1];
              const std::int64_t e2 = sumI[2] - sortedSums[s][2];
              if (e0 * e0 + e1 * e1 + e2 * e2 > sumLimit) continue;
              if (FeatureDistance(sortedFeatures[si], sortedFeatures[s]) > featureLimit) continue;
              // Tiles already joined need no comparison: a burst or a video
              // collection holds many tiles that are all near each other.
              if (sets.Find(i) == sets.Find(j)) continue;
              if (SquaredDifferenceUpTo(cellsOf(i), cellsOf(j), limit) > limit) continue;
              sets.Join(i, j);
            }
          }
        }
      }
    }
  }

  // Groups in the order of their first tile, members ascending.
  std::vector<std::uint32_t> size(count, 0);
  for (std::size_t i = 0; i < count; ++i)
    ++size[sets.Find(std::uint32_t(i))];
  std::vector<std::int32_t> slot(count, -1);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t root = sets.Find(std::uint32_t(i));
    if (size[root] < 2) continue;
    if (slot[root] < 0) {
      slot[root] = std::int32_t(groups.size());
      groups.emplace_back().reserve(size[root]);
    }
    groups[std::size_t(slot[root])].push_back(std::uint32_t(i));
  }
  return groups;
}

std::string CheckIndexToPrune(const CollectionRegistry& registry, const CollectionRef& ref) {
  const fs::path file = registry.IndexFilePath(ref.kind, ref.index);
  const fs::path folder = registry.IndexFolder(ref.kind);
  if (file.empty() || folder.empty() ||
      file.lexically_normal().parent_path() != folder.lexically_normal().parent_path() ||
      !file.has_filename()) {
    return "its index does not lie in the index folder " + folder.string();
  }
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(file, ec);
  if (ec) return "its index " + file.string() + " cannot be examined: " + ec.message();
  if (fs::is_symlink(status)) return "its index " + file.string() + " is a symbolic link";
  if (!fs::is_regular_file(status)) return "its index " + file.string() + " is not a regular file";
  return {};
}

PruneResult PruneIndexRecords(const CollectionRegistry& registry, const DuplicateIndex& index,
                              std::span<const DuplicateTile> drop) {
  if (std::string reason = CheckIndexToPrune(registry, index.collection); !reason.empty()) {
    return {PruneStatus::kRefused, reason};
  }
  const fs::path file = registry.IndexFilePath(index.collection.kind, index.collection.index);
  std::vector<std::uint8_t> bytes;
  std::string error;
  const std::uint64_t largest =
      kIndexHeaderBytes + std::uint64_t{kMaxTileRecords} * kTileRecordBytes;
  if (!ReadWholeFile(file, largest, bytes, error)) return {PruneStatus::kFailed, error};

  const PruneResult changed{PruneStatus::kChanged,
                            "its index " + file.string() + " has changed since it was read"};
  if (bytes.size() != index.fileSize || bytes.size() < kIndexHeaderBytes ||
      std::memcmp(bytes.data(), kIndexMagic, sizeof kIndexMagic) != 0 ||
      Get32(bytes.data() + kHeaderRecordCount) != index.recordCount ||
      RecordsIn(bytes.size()) < index.recordCount) {
    return changed;
  }
  std::vector<bool> dropped(index.recordCount, false);
  for (const DuplicateTile& tile : drop) {
    if (!(tile.collection == index.collection) || tile.record >= index.recordCount) return changed;
    const std::uint8_t* record = bytes.data() + kIndexHeaderBytes + tile.record * kTileRecordBytes;
    if (Get32(record) != tile.tileNumber) return changed;
    dropped[tile.record] = true;
  }

  // The kept records in their order behind the old header; bytes beyond the
  // counted records are not carried over.
  std::vector<std::uint8_t> out(bytes.begin(), bytes.begin() + kIndexHeaderBytes);
  std::uint32_t kept = 0;
  for (std::uint32_t r = 0; r < index.recordCount; ++r) {
    if (dropped[r]) continue;
    const auto from = bytes.begin() + std::ptrdiff_t(kIndexHeaderBytes + r * kTileRecordBytes);
    out.insert(out.end(), from, from + std::ptrdiff_t(kTileRecordBytes));
    ++kept;
  }
  Put32(out.data() + kHeaderFileSize, std::uint32_t(out.size()));
  Put32(out.data() + kHeaderRecordCount, kept);
  if (!WriteFileAtomically(file, out, error)) return {PruneStatus::kFailed, error};
  return {PruneStatus::kPruned, {}};
}

}  // namespace tx
