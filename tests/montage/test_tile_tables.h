#pragma once
// Tile tables for the montage tests, laid out in global memory as the loader
// leaves them: one record (number, mean colour, miniature) and one entry
// (kind, entry index, usage, weight) per tile.

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "collections/tile_set_index.h"
#include "montage/montage_types.h"
#include "platform/global_memory.h"

namespace tx::testing {

struct TestTile {
  std::array<std::uint8_t, kTileCellBytes> miniature{};  // blue, green, red per pixel
  std::uint32_t mean = 0;                                // 0x00BBGGRR
  std::uint16_t weight = 1;
  std::uint16_t usage = 0;
  std::uint16_t kind = 0;
  std::uint16_t collection = 0;  // the entry index of its collection
};

/// A tile of one colour throughout.
inline TestTile UniformTile(int blue, int green, int red) {
  TestTile tile;
  for (int i = 0; i < kSamplesPerCell; ++i) {
    tile.miniature[3 * i] = std::uint8_t(blue);
    tile.miniature[3 * i + 1] = std::uint8_t(green);
    tile.miniature[3 * i + 2] = std::uint8_t(red);
  }
  tile.mean = std::uint32_t(red) | std::uint32_t(green) << 8 | std::uint32_t(blue) << 16;
  return tile;
}

/// The mean colour word of a miniature as a build makes it: sum / 48 per
/// channel.
inline std::uint32_t MiniatureMean(const std::array<std::uint8_t, kTileCellBytes>& miniature) {
  std::array<std::uint32_t, 3> sum{};
  for (int s = 0; s < kSamplesPerCell; ++s) {
    for (int c = 0; c < 3; ++c)
      sum[std::size_t(c)] += miniature[std::size_t(3 * s + c)];
  }
  return sum[2] / 48 | (sum[1] / 48) << 8 | (sum[0] / 48) << 16;
}

/// The tables of `tiles`, tile i numbered firstNumber + i.
class TestTables {
 public:
  explicit TestTables(const std::vector<TestTile>& tiles, std::uint32_t firstNumber = 0) {
    m_tables.count = std::uint32_t(tiles.size());
    m_tables.records = GlobalAlloc(tiles.size() * kTileRecordBytes);
    m_tables.entries = GlobalAlloc(tiles.size() * kTileEntryBytes);
    auto* records = static_cast<std::uint8_t*>(GlobalLock(m_tables.records));
    auto* entries = static_cast<std::uint8_t*>(GlobalLock(m_tables.entries));
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      std::uint8_t* record = records + i * kTileRecordBytes;
      const std::uint32_t number = firstNumber + std::uint32_t(i);
      std::memcpy(record, &number, 4);
      std::memcpy(record + 12, &tiles[i].mean, 4);
      std::memcpy(record + 24, tiles[i].miniature.data(), kTileCellBytes);
      std::uint8_t* entry = entries + i * kTileEntryBytes;
      std::memcpy(entry + kEntryKind, &tiles[i].kind, 2);
      std::memcpy(entry + kEntryIndex, &tiles[i].collection, 2);
      std::memcpy(entry + kEntryUsage, &tiles[i].usage, 2);
      std::memcpy(entry + kEntryWeight, &tiles[i].weight, 2);
    }
    GlobalUnlock(m_tables.records);
    GlobalUnlock(m_tables.entries);
  }
  ~TestTables() { m_tables.Release(); }
  TestTables(const TestTables&) = delete;
  TestTables& operator=(const TestTables&) = delete;
  TileTables& tables() { return m_tables; }

 private:
  TileTables m_tables;
};

}  // namespace tx::testing
