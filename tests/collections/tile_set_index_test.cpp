// Tile-set index files: what the writer leaves on disc, and what the loader
// makes of good, foreign, short and lying files.

#include "collections/tile_set_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "collections/collection_registry.h"
#include "config/settings_access.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t Word(const std::uint8_t* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

void PutWord(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// An index made by hand: `claimed` records in the header, `held` in the
// file, record i with tile number `first` + i.
Bytes MakeIndex(std::uint32_t claimed, std::uint32_t held, std::uint32_t first = 0,
                std::uint32_t flag = 0) {
  Bytes bytes(kIndexHeaderBytes + kTileRecordBytes * held, 0);
  std::memcpy(bytes.data(), kIndexMagic, 4);
  PutWord(bytes, 8, claimed);
  PutWord(bytes, 12, flag);
  for (std::uint32_t i = 0; i < held; ++i)
    PutWord(bytes, 16 + kTileRecordBytes * i, first + i);
  return bytes;
}

// The statistics of a picture of one colour.
TileStatistics Uniform(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  TileStatistics statistics;
  for (std::size_t at = 0; at < kTileCellBytes; at += 3) {
    statistics.cells[at] = blue;
    statistics.cells[at + 1] = green;
    statistics.cells[at + 2] = red;
  }
  statistics.meanColour = red | green << 8 | static_cast<std::uint32_t>(blue) << 16;
  return statistics;
}

class IndexFiles : public ::testing::Test {
 protected:
  void TearDown() override {
    m_tables.Release();
    SetGlobalAllocLimit(0);
    EXPECT_EQ(GlobalLiveBlockCount(), m_blocksBefore);
  }

  // Builds `count` tiles, tile i of colour (200 - i, 100, 50).
  bool Build(std::uint32_t count, std::uint32_t flag, bool cancelled) {
    TileSetIndexWriter writer;
    if (!writer.BeginTileSetIndex(m_index, flag)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
      EXPECT_TRUE(writer.AppendTileRecord(i, Uniform(static_cast<std::uint8_t>(200 - i), 100, 50)));
      writer.AdvanceTileCounter();
    }
    return writer.EndTileSetIndex(cancelled);
  }

  // Registers a My Collection with `status` whose index file is `index`.
  void AddWithIndex(int kind, const std::string& title, int status, const Bytes& index) {
    ASSERT_EQ(m_registry.AddCollection(kind, title + ".TXS", title, "/p", status), 1);
    WriteBytes(m_registry.IndexFilePath(kind, m_registry.GetCollectionCount(kind) - 1), index);
  }

  // Fields of tile entry `i`: kind, index, weight, picture-file flag.
  std::vector<std::uint32_t> EntryAt(std::uint32_t i) const {
    const auto* entry = static_cast<const std::uint8_t*>(GlobalLock(m_tables.entries)) + 32 * i;
    std::vector<std::uint32_t> fields = {Word(entry) & 0xFFFF, Word(entry + 2) & 0xFFFF,
                                         Word(entry + 6) & 0xFFFF, Word(entry + 24)};
    for (std::size_t zero : {kEntryUsage, kEntryEnabled, kEntryRed, kEntryDetail}) {
      EXPECT_EQ(Word(entry + zero) & 0xFFFF, 0u);
    }
    GlobalUnlock(m_tables.entries);
    return fields;
  }
  std::uint32_t TileNumberAt(std::uint32_t i) const {
    std::uint32_t number =
        Word(static_cast<const std::uint8_t*>(GlobalLock(m_tables.records)) + 168 * i);
    GlobalUnlock(m_tables.records);
    return number;
  }

  std::size_t m_blocksBefore = GlobalLiveBlockCount();
  testing::TempDir m_root;
  fs::path m_user = m_root / "U";
  Configuration m_configuration{m_root / "Tesserix.set", m_user / "Tesserix.ini"};
  CollectionRegistry m_registry{m_configuration, m_user, m_root / "P"};
  fs::path m_index = m_user / "TXS" / "MyCollection" / "Family.TXS";
  TileTables m_tables;
};

TEST_F(IndexFiles, RecordsFollowTheHeaderInTileOrder) {
  for (std::uint32_t count : {1u, 5u}) {
    ASSERT_TRUE(Build(count, 7, false));
    Bytes bytes = ReadBytes(m_index);
    ASSERT_EQ(bytes.size(), 16 + 168 * count);  // 184 for one tile
    EXPECT_EQ(std::memcmp(bytes.data(), "TXSF", 4), 0);
    EXPECT_EQ(Word(&bytes[4]), bytes.size());
    EXPECT_EQ(Word(&bytes[8]), count);
    EXPECT_EQ(Word(&bytes[12]), 7u);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint8_t* record = &bytes[16 + 168 * i];
      EXPECT_EQ(Word(record), i);
      EXPECT_EQ(Word(record + 12), 0x003264C8u - i);  // tile 0 is uniformly (200, 100, 50)
      for (std::size_t reserved : {4, 8, 16, 20})
        EXPECT_EQ(Word(record + reserved), 0u);
      for (int cell = 0; cell < kTileCellCount; ++cell) {
        const std::uint8_t* bgr = record + 24 + 3 * cell;
        EXPECT_EQ(bgr[0] << 16 | bgr[1] << 8 | bgr[2], 50 << 16 | 100 << 8 | (200 - i));
      }
    }
  }
}

// A cancelled build and a build without tiles leave no index, not even an
// earlier one, and no temporary file.
TEST_F(IndexFiles, CancelledAndEmptyBuildsLeaveNoIndex) {
  using Case = std::pair<std::uint32_t, bool>;
  for (auto [tiles, cancelled] : {Case{3, true}, Case{0, false}, Case{0, true}}) {
    WriteBytes(m_index, MakeIndex(1, 1));
    EXPECT_FALSE(Build(tiles, 0, cancelled));
    EXPECT_TRUE(fs::is_empty(m_index.parent_path())) << tiles << cancelled;
  }
}

TEST_F(IndexFiles, TheOldIndexStaysUntilTheNewOneIsWritten) {
  const Bytes old = MakeIndex(2, 2);
  WriteBytes(m_index, old);
  TileSetIndexWriter writer;
  ASSERT_TRUE(writer.BeginTileSetIndex(m_index, 0));
  ASSERT_TRUE(writer.AppendTileRecord(0, {}));
  writer.AdvanceTileCounter();
  EXPECT_EQ(ReadBytes(m_index), old);
  ASSERT_TRUE(writer.EndTileSetIndex(false));
  EXPECT_EQ(ReadBytes(m_index).size(), 184u);
  EXPECT_FALSE(writer.EndTileSetIndex(false));
}

TEST_F(IndexFiles, BeginFailsWhereNoIndexCanBeMade) {
  WriteBytes(m_root / "file", {1});
  TileSetIndexWriter writer;
  EXPECT_FALSE(writer.BeginTileSetIndex(m_root / "file" / "sub" / "X.TXS", 0));
  EXPECT_FALSE(writer.BeginTileSetIndex(m_root / "dir" / "", 0));
  EXPECT_FALSE(writer.AppendTileRecord(0, {}));
  EXPECT_TRUE(writer.BeginTileSetIndex(m_root / "new" / "X.TXS", 0));
  EXPECT_TRUE(fs::is_empty(m_root / "new"));  // the probe file is gone
}

// A tile number beyond the limit, or a writer destroyed while open, abandon
// the index: no file is left.
TEST_F(IndexFiles, AbandonedIndexesLeaveNoFile) {
  WriteBytes(m_index, MakeIndex(1, 1));
  TileSetIndexWriter writer;
  ASSERT_TRUE(writer.BeginTileSetIndex(m_index, 0));
  EXPECT_FALSE(writer.AppendTileRecord(kMaxTileRecords, {}));
  EXPECT_FALSE(writer.isOpen());
  EXPECT_FALSE(fs::exists(m_index));
  EXPECT_FALSE(writer.EndTileSetIndex(false));

  WriteBytes(m_index, MakeIndex(1, 1));
  auto open = std::make_unique<TileSetIndexWriter>();
  ASSERT_TRUE(open->BeginTileSetIndex(m_index, 0));
  open.reset();
  EXPECT_FALSE(fs::exists(m_index));
}

TEST_F(IndexFiles, TheFileHoldsOneRecordPerCountedTile) {
  TileSetIndexWriter writer;
  ASSERT_TRUE(writer.BeginTileSetIndex(m_index, 0));
  ASSERT_TRUE(writer.AppendTileRecord(0, Uniform(9, 9, 9)));
  writer.AdvanceTileCounter();
  writer.AdvanceTileCounter();                                // a tile without a record
  ASSERT_TRUE(writer.AppendTileRecord(5, Uniform(8, 8, 8)));  // beyond the counter
  ASSERT_TRUE(writer.EndTileSetIndex(false));
  Bytes bytes = ReadBytes(m_index);
  ASSERT_EQ(bytes.size(), 16u + 2 * 168);
  EXPECT_EQ(Word(&bytes[4]), bytes.size());
  EXPECT_EQ(Word(&bytes[8]), 2u);
  EXPECT_EQ(std::count(bytes.begin() + 16 + 168, bytes.end(), 0), 168);
}

TEST_F(IndexFiles, LoadsSelectedCollectionsInKindAndRegistryOrder) {
  AddWithIndex(kVideoCollection, "Video1", 3, MakeIndex(1, 1, 300));
  AddWithIndex(kMyCollection, "Off", 0, MakeIndex(4, 4, 900));
  AddWithIndex(kMyCollection, "Family", 2, MakeIndex(2, 2, 200));
  AddWithIndex(kDiscCollection, "Sea", 1, MakeIndex(1, 1, 100, 0x51));
  ASSERT_EQ(LoadTileTables(m_registry, m_tables), 4u);
  const std::uint32_t numbers[] = {100, 200, 201, 300};
  const std::vector<std::uint32_t> entries[] = {
      {0, 0, 1, 0x51}, {1, 1, 2, 0}, {1, 1, 2, 0}, {2, 0, 3, 0}};
  for (std::uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(TileNumberAt(i), numbers[i]);
    EXPECT_EQ(EntryAt(i), entries[i]) << i;
  }
  EXPECT_EQ(GlobalSize(m_tables.records), 4 * kTileRecordBytes);
  EXPECT_EQ(GlobalSize(m_tables.entries), 4 * kTileEntryBytes);
  // Loading again replaces the tables without leaking the old ones.
  EXPECT_EQ(LoadTileTables(m_registry, m_tables), 4u);
  EXPECT_EQ(GlobalLiveBlockCount(), m_blocksBefore + 2);
}

TEST_F(IndexFiles, UnusableIndexesContributeNothingAndNothingIsAllocated) {
  Bytes foreign = MakeIndex(1, 1);
  foreign[3] = 'G';
  Bytes truncated = MakeIndex(1, 1);
  truncated.resize(15);
  AddWithIndex(kMyCollection, "Foreign", 1, foreign);
  AddWithIndex(kMyCollection, "Short", 1, truncated);
  AddWithIndex(kMyCollection, "Empty", 1, MakeIndex(0, 0));
  AddWithIndex(kMyCollection, "Huge", 1, MakeIndex(0xFFFFFFFF, 1));
  AddWithIndex(kMyCollection, "Unselected", 0, MakeIndex(3, 3));
  m_registry.AddCollection(kMyCollection, "Missing.TXS", "Missing", "/p", 1);
  m_registry.AddCollection(kMyCollection, "...TXS", "Hostile", "/p", 1);
  EXPECT_EQ(LoadTileTables(m_registry, m_tables), 0u);
  EXPECT_EQ(m_tables.records, nullptr);
  EXPECT_EQ(GlobalLiveBlockCount(), m_blocksBefore);
}

// Within kMaxIndexShortfallBytes a header may claim more records than the
// file holds: they read as zeros and the next collection follows where the
// header says. Beyond it, or beyond kMaxTileRecords, the file is skipped.
TEST_F(IndexFiles, OverstatedRecordCounts) {
  const std::uint32_t margin = kMaxIndexShortfallBytes / kTileRecordBytes;
  struct Case {
    std::uint32_t claimed, held, loaded;
    bool fullLength = false;  // the file (sparse) as long as the header says
  };
  for (Case c : {Case{3, 1, 3}, Case{margin + 1, 1, margin + 1}, Case{margin + 2, 1, 0},
                 Case{kMaxTileRecords + 1, 0, 0, true}, Case{0xFFFFFFFF, 0, 0}}) {
    CollectionRegistry registry(m_configuration, m_user, m_root / "P");
    registry.AddCollection(kMyCollection, "Liar.TXS", "Liar", "/p", 1);
    registry.AddCollection(kMyCollection, "Next.TXS", "Next", "/p", 1);
    const fs::path liar = registry.IndexFilePath(kMyCollection, 0);
    WriteBytes(liar, MakeIndex(c.claimed, c.held, 5));
    if (c.fullLength) fs::resize_file(liar, 16 + kTileRecordBytes * c.claimed);
    WriteBytes(registry.IndexFilePath(kMyCollection, 1), MakeIndex(1, 1, 77));
    ASSERT_EQ(LoadTileTables(registry, m_tables), c.loaded + 1) << c.claimed;
    EXPECT_EQ(TileNumberAt(c.loaded), 77u);
    EXPECT_EQ(EntryAt(c.loaded)[1], 1u);
    if (c.loaded > 1) {
      EXPECT_EQ(TileNumberAt(c.loaded - 1), 0u);
    }
  }
}

TEST_F(IndexFiles, AllocationFailureLoadsNothing) {
  AddWithIndex(kMyCollection, "Family", 1, MakeIndex(10, 10));
  SetGlobalAllocLimit(10 * kTileRecordBytes - 1);
  EXPECT_EQ(LoadTileTables(m_registry, m_tables), 0u);
  EXPECT_EQ(m_tables.records, nullptr);
  EXPECT_EQ(GlobalLiveBlockCount(), m_blocksBefore);
}

}  // namespace
}  // namespace tx
