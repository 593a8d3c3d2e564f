// Near-duplicate tiles: grouping miniatures by distance (checked against a
// comparison of all pairs), and loading chosen collections' records through
// the loader's checks, hostile index files included.

#include "collections/near_duplicates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "collections/collection_registry.h"
#include "config/settings_access.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Miniature = std::array<std::uint8_t, kTileCellBytes>;
using Groups = std::vector<std::vector<std::uint32_t>>;

// A smooth miniature: a base colour and a slope across the cells.
Miniature Smooth(int blue, int green, int red, int slope) {
  Miniature cells{};
  for (int cell = 0; cell < kTileCellCount; ++cell) {
    const int shade = slope * (cell % 8 - 4) + slope * (cell / 8 - 3);
    const int base[3] = {blue, green, red};
    for (int c = 0; c < 3; ++c) {
      cells[std::size_t(cell * 3 + c)] = std::uint8_t(std::clamp(base[c] + shade, 0, 255));
    }
  }
  return cells;
}

// `cells` with every byte moved by up to `amount` either way.
Miniature Jitter(Miniature cells, int amount, std::mt19937& random) {
  std::uniform_int_distribution<int> step(-amount, amount);
  for (std::uint8_t& byte : cells)
    byte = std::uint8_t(std::clamp(byte + step(random), 0, 255));
  return cells;
}

Groups Find(const std::vector<Miniature>& tiles, double threshold) {
  return FindNearDuplicateGroups(tiles.empty() ? nullptr : tiles.front().data(), kTileCellBytes,
                                 tiles.size(), threshold);
}

// The groups by comparing every pair, for reference.
Groups AllPairs(const std::uint8_t* cells, std::size_t stride, std::size_t count,
                double threshold) {
  std::vector<std::uint32_t> group(count);
  for (std::size_t i = 0; i < count; ++i)
    group[i] = std::uint32_t(i);
  auto root = [&](std::uint32_t x) {
    while (group[x] != x)
      x = group[x];
    return x;
  };
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t j = i + 1; j < count; ++j) {
      if (MiniatureDistance(cells + i * stride, cells + j * stride) > threshold) continue;
      const std::uint32_t a = root(std::uint32_t(i));
      const std::uint32_t b = root(std::uint32_t(j));
      group[std::max(a, b)] = std::min(a, b);
    }
  }
  Groups groups;
  std::vector<int> slot(count, -1);
  std::vector<int> size(count, 0);
  for (std::size_t i = 0; i < count; ++i)
    ++size[root(std::uint32_t(i))];
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t r = root(std::uint32_t(i));
    if (size[r] < 2) continue;
    if (slot[r] < 0) {
      slot[r] = int(groups.size());
      groups.emplace_back();
    }
    groups[std::size_t(slot[r])].push_back(std::uint32_t(i));
  }
  return groups;
}

TEST(NearDuplicateGroups, CopiesGroupTransitivelyInTableOrderAndDistinctTilesStayAlone) {
  std::mt19937 random(1);
  const Miniature sky = Smooth(200, 150, 90, 3);
  const Miniature forest = Smooth(40, 120, 50, -4);
  const Miniature step1 = Jitter(forest, 6, random);
  std::vector<Miniature> tiles = {
      sky,                       // 0
      forest,                    // 1
      Smooth(90, 90, 200, 2),    // 2: alone
      Jitter(sky, 4, random),    // 3: near 0
      Jitter(step1, 6, random),  // 4: near 1 only through 5
      step1,                     // 5: near 1 and 4
      Smooth(200, 150, 90, 9),   // 6: the sky's colours, another picture
  };
  const double threshold = 20.0;
  auto distance = [&](int a, int b) { return MiniatureDistance(tiles[a].data(), tiles[b].data()); };
  ASSERT_LE(distance(1, 5), threshold);
  ASSERT_LE(distance(5, 4), threshold);
  ASSERT_GT(distance(1, 4), threshold);
  EXPECT_EQ(Find(tiles, threshold), (Groups{{0, 3}, {1, 4, 5}}));
  // Only the identical pair at distance 0; nothing for a single tile.
  tiles.push_back(tiles[2]);
  EXPECT_EQ(Find(tiles, 0.0), (Groups{{2, 7}}));
  EXPECT_TRUE(Find({sky}, 1000.0).empty());
}

TEST(NearDuplicateGroups, ThresholdIsAnInclusiveMeanSquaredDifference) {
  Miniature a = Smooth(100, 100, 100, 0);
  Miniature b = a;
  b[70] = std::uint8_t(b[70] + 12);  // 12 squared over 144 bytes: distance 1
  EXPECT_DOUBLE_EQ(MiniatureDistance(a.data(), b.data()), 1.0);
  EXPECT_EQ(MiniatureSquaredDifference(a.data(), b.data()), 144u);
  EXPECT_EQ(Find({a, b}, 1.0), (Groups{{0, 1}}));
  EXPECT_TRUE(Find({a, b}, 0.99).empty());
  // Black against white is the largest distance there is.
  EXPECT_DOUBLE_EQ(MiniatureDistance(Smooth(0, 0, 0, 0).data(), Smooth(255, 255, 255, 0).data()),
                   kMaxMiniatureDistance);
  EXPECT_EQ(Find({Smooth(0, 0, 0, 0), Smooth(255, 255, 255, 0)}, kMaxMiniatureDistance).size(), 1u);

  for (double bad :
       {-0.5, kMaxMiniatureDistance + 1, std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(IsValidDuplicateThreshold(bad)) << bad;
    EXPECT_TRUE(Find({a, a}, bad).empty()) << bad;
  }
}

// The buckets must never hide a near pair: random tiles, many of them near
// copies and many on the edges of colour buckets, give the same groups as
// comparing all pairs, at small and large thresholds, read from a record
// table's layout.
TEST(NearDuplicateGroups, FindTheSameGroupsAsComparingAllPairs) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> edge(0, 63);
  std::uniform_int_distribution<int> slope(-8, 8);
  std::vector<Miniature> tiles;
  while (tiles.size() < 700) {
    // Channel means near multiples of 192 / 48 = 4, where buckets part.
    const Miniature base =
        tiles.size() % 3 == 0
            ? Smooth(edge(random) * 4, edge(random) * 4, edge(random) * 4, slope(random))
            : Smooth(byte(random), byte(random), byte(random), slope(random));
    tiles.push_back(base);
    for (int copies = random() % 3; copies > 0; --copies) {
      tiles.push_back(Jitter(base, 2 + int(random() % 20), random));
    }
  }
  Bytes records(tiles.size() * kTileRecordBytes, 0xEE);
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    std::memcpy(records.data() + i * kTileRecordBytes + 24, tiles[i].data(), kTileCellBytes);
  }
  for (double threshold : {0.0, 5.0, 40.0, 150.0, 600.0, 3000.0}) {
    const Groups expected =
        AllPairs(records.data() + 24, kTileRecordBytes, tiles.size(), threshold);
    EXPECT_EQ(
        FindNearDuplicateGroups(records.data() + 24, kTileRecordBytes, tiles.size(), threshold),
        expected)
        << "threshold " << threshold;
    if (threshold == 150.0) {
      EXPECT_GT(expected.size(), 100u);
    }
  }

  // Crowded: dark tiles that share nearly one mean colour and differ in
  // their slopes and a bright patch, so that the order inside a bucket and
  // its window decide which tiles meet.
  std::vector<Miniature> dark;
  std::uniform_int_distribution<int> dim(0, 30);
  std::uniform_int_distribution<int> steep(-12, 12);
  while (dark.size() < 900) {
    Miniature base = Smooth(dim(random), dim(random), dim(random), 0);
    const int dx = steep(random);
    const int dy = steep(random);
    const int patch = int(random() % kTileCellCount);
    for (int cell = 0; cell < kTileCellCount; ++cell) {
      const int lift = dx * (cell % 8 - 4) + dy * (cell / 8 - 3) + (cell == patch ? 90 : 0);
      for (int c = 0; c < 3; ++c) {
        std::uint8_t& value = base[std::size_t(cell * 3 + c)];
        value = std::uint8_t(std::clamp(value + lift, 0, 255));
      }
    }
    dark.push_back(base);
    if (random() % 2) dark.push_back(Jitter(base, 3 + int(random() % 12), random));
  }
  for (double threshold : {10.0, 150.0, 400.0}) {
    EXPECT_EQ(Find(dark, threshold),
              AllPairs(dark.front().data(), kTileCellBytes, dark.size(), threshold))
        << "crowded, threshold " << threshold;
  }
}

// Loading: a registry in a temporary user folder with index files made by hand.
class DuplicateLoading : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(GlobalLiveBlockCount(), m_blocksBefore); }

  static void PutWord(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
      bytes[offset + i] = std::uint8_t(value >> (8 * i));
  }
  // An index claiming `claimed` records and holding `held`, record i with
  // tile number i and every cell byte `shade` + i.
  static Bytes MakeIndex(std::uint32_t claimed, std::uint32_t held, std::uint8_t shade,
                         std::uint32_t flag = 0) {
    Bytes bytes(kIndexHeaderBytes + kTileRecordBytes * held, 0);
    std::memcpy(bytes.data(), kIndexMagic, 4);
    PutWord(bytes, 4, std::uint32_t(bytes.size()));
    PutWord(bytes, 8, claimed);
    PutWord(bytes, 12, flag);
    for (std::uint32_t i = 0; i < held; ++i) {
      std::uint8_t* record = bytes.data() + kIndexHeaderBytes + kTileRecordBytes * i;
      PutWord(bytes, kIndexHeaderBytes + kTileRecordBytes * i, i);
      std::memset(record + 24, shade + int(i), kTileCellBytes);
    }
    return bytes;
  }
  void Add(int kind, const std::string& title, int status, const Bytes& index) {
    ASSERT_EQ(m_registry.AddCollection(kind, title + ".TXS", title, "/p", status), 1);
    const fs::path file = m_registry.IndexFilePath(kind, m_registry.GetCollectionCount(kind) - 1);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(index.data()), std::streamsize(index.size()));
  }
  // "key:tile" of every tile loaded.
  static std::vector<std::string> Tiles(const DuplicateSearchSet& set) {
    std::vector<std::string> tiles;
    for (const DuplicateTile& tile : set.tiles) {
      tiles.push_back(std::to_string(tile.collection.kind) + "/" +
                      std::to_string(tile.collection.index) + ":" +
                      std::to_string(tile.tileNumber) + ":" + std::to_string(tile.pictureFileFlag));
    }
    return tiles;
  }

  std::size_t m_blocksBefore = GlobalLiveBlockCount();
  testing::TempDir m_root;
  fs::path m_user = m_root / "U";
  Configuration m_configuration{m_root / "Tesserix.set", m_user / "Tesserix.ini"};
  CollectionRegistry m_registry{m_configuration, m_user, m_root / "P"};
};

TEST_F(DuplicateLoading, NamedCollectionsWhateverTheirStatusOrElseTheSelectedOnes) {
  Add(kMyCollection, "Selected", 2, MakeIndex(2, 2, 10));
  Add(kMyCollection, "Unselected", 0, MakeIndex(1, 1, 20));
  Add(kVideoCollection, "Clips", 1, MakeIndex(1, 1, 30));
  Add(kDiscCollection, "Disc", 1, MakeIndex(1, 1, 40, 1));

  DuplicateSearchSet selected = LoadDuplicateSearchSet(m_registry, {});
  EXPECT_EQ(Tiles(selected),
            (std::vector<std::string>{"0/0:0:1", "1/0:0:0", "1/0:1:0", "2/0:0:0"}));
  EXPECT_TRUE(selected.notices.empty());
  ASSERT_EQ(selected.miniatures.size(), 4 * kTileCellBytes);
  EXPECT_EQ(selected.miniatures[0], 40);
  EXPECT_EQ(selected.miniatures[2 * kTileCellBytes + 143], 11);

  const CollectionRef named[] = {{kVideoCollection, 0}, {kMyCollection, 1}};
  EXPECT_EQ(Tiles(LoadDuplicateSearchSet(m_registry, named)),
            (std::vector<std::string>{"1/1:0:0", "2/0:0:0"}));
  // The user's selection is left as it was.
  EXPECT_EQ(m_registry.GetCollectionStatus(kMyCollection, 0), 2);
  EXPECT_EQ(m_registry.GetCollectionStatus(kMyCollection, 1), 0);
}

TEST_F(DuplicateLoading, HostileIndexesAreSkippedOrCutWithANotice) {
  Bytes foreign = MakeIndex(2, 2, 10);
  foreign[0] = 'X';
  Add(kMyCollection, "Good", 1, MakeIndex(2, 2, 10));
  Add(kMyCollection, "Foreign", 1, foreign);
  Bytes truncated = MakeIndex(3, 3, 10);
  truncated.resize(10);
  Add(kMyCollection, "Truncated", 1, truncated);
  Add(kMyCollection, "Huge", 1, MakeIndex(0xFFFFFFFFu, 1, 10));
  Add(kMyCollection, "FarBeyond", 1, MakeIndex(kMaxTileRecords, 1, 10));
  // Claims five, holds two and half of a third: the loader's zero records
  // must not come back as three black tiles that look alike.
  Bytes shortIndex = MakeIndex(5, 3, 60);
  shortIndex.resize(shortIndex.size() - kTileRecordBytes / 2);
  Add(kMyCollection, "Short", 1, shortIndex);
  Add(kMyCollection, "Missing", 1, MakeIndex(1, 1, 10));
  fs::remove(m_registry.IndexFilePath(kMyCollection, 6));

  DuplicateSearchSet set = LoadDuplicateSearchSet(m_registry, {});
  EXPECT_EQ(Tiles(set), (std::vector<std::string>{"1/0:0:0", "1/0:1:0", "1/5:0:0", "1/5:1:0"}));
  ASSERT_EQ(set.notices.size(), 6u);
  EXPECT_NE(set.notices[0].find("Short.TXS: its index holds 2 of the 5 records"), std::string::npos)
      << set.notices[0];
  for (const char* key : {"Foreign", "Truncated", "Huge", "FarBeyond", "Missing"}) {
    bool told = false;
    for (const std::string& notice : set.notices) {
      told = told || notice.rfind(std::string(key) + ".TXS: no usable", 0) == 0;
    }
    EXPECT_TRUE(told) << key;
  }
  EXPECT_EQ(set.miniatures.size(), 4 * kTileCellBytes);
}

TEST_F(DuplicateLoading, PruningRewritesOnlyTheIndexThatWasRead) {
  Add(kMyCollection, "Burst", 1, MakeIndex(4, 4, 10, 7));
  const fs::path file = m_registry.IndexFilePath(kMyCollection, 0);
  const DuplicateSearchSet set = LoadDuplicateSearchSet(m_registry, {});
  ASSERT_EQ(set.indexes.size(), 1u);
  EXPECT_EQ(set.indexes[0].recordCount, 4u);
  const std::vector<DuplicateTile> drop = {set.tiles[1], set.tiles[3]};
  auto bytesOf = [&] {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  auto write = [&](const Bytes& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  };

  // Rebuilt meanwhile with other tile numbers, or grown: left alone.
  Bytes renumbered = MakeIndex(4, 4, 10, 7);
  PutWord(renumbered, kIndexHeaderBytes + 3 * kTileRecordBytes, 9);
  for (const Bytes& other : {renumbered, MakeIndex(5, 5, 10, 7)}) {
    write(other);
    EXPECT_EQ(PruneIndexRecords(m_registry, set.indexes[0], drop).status, PruneStatus::kChanged);
    EXPECT_EQ(bytesOf(), other);
  }

  write(MakeIndex(4, 4, 10, 7));
  ASSERT_EQ(PruneIndexRecords(m_registry, set.indexes[0], drop).status, PruneStatus::kPruned);
  Bytes expected = MakeIndex(2, 4, 10, 7);
  expected.erase(expected.begin() + kIndexHeaderBytes + 3 * kTileRecordBytes, expected.end());
  expected.erase(expected.begin() + kIndexHeaderBytes + kTileRecordBytes,
                 expected.begin() + kIndexHeaderBytes + 2 * kTileRecordBytes);
  PutWord(expected, 4, std::uint32_t(expected.size()));
  EXPECT_EQ(bytesOf(), expected);
  // Pruning the same records again finds the index changed.
  EXPECT_EQ(PruneIndexRecords(m_registry, set.indexes[0], drop).status, PruneStatus::kChanged);
}

}  // namespace
}  // namespace tx
