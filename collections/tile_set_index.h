#pragma once
// Tile-set index files: one per collection, listing every tile with its
// colour statistics, so a montage can be planned without opening a tile
// picture.
//
// Layout (little-endian 32-bit words): a 16-byte header ("TXSF", file size,
// record count, picture-file flag) and one 168-byte record per tile: tile
// number, 8 reserved bytes, mean colour word (0x00BBGGRR), 8 reserved bytes,
// 48 cell colours of 3 bytes each (blue, green, red).

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

#include "platform/global_memory.h"

namespace tx {

class CollectionRegistry;

inline constexpr std::size_t kIndexHeaderBytes = 16;
inline constexpr std::size_t kTileRecordBytes = 168;
inline constexpr std::size_t kTileEntryBytes = 32;
inline constexpr int kTileCellCount = 48;
inline constexpr std::size_t kTileCellBytes = 3 * kTileCellCount;
inline constexpr char kIndexMagic[4] = {'T', 'X', 'S', 'F'};

/// The most records one index holds: tile pictures are filed under three
/// digits of thousands, so tile numbers stay below a million.
inline constexpr std::uint32_t kMaxTileRecords = 1'000'000;

/// How many bytes of records an index may lack behind what its header claims
/// and still be read (the missing records read as zeros). A file that claims
/// more is taken as damaged and skipped, so a corrupt record count cannot
/// make the loader allocate for records that were never there.
inline constexpr std::uint64_t kMaxIndexShortfallBytes = 16u << 20;

/// The colour statistics of one tile: the 48 cell colours (blue, green, red
/// each) and the mean colour word.
struct TileStatistics {
  std::array<std::uint8_t, kTileCellBytes> cells{};
  std::uint32_t meanColour = 0;
};

/// Writes the index of the collection being built. One build at a time uses
/// it. The index grows in memory and is written in one piece at the end, to
/// a temporary file renamed over the old index, so a crash or a full disc
/// never leaves a half-written index and never destroys the old one early.
class TileSetIndexWriter {
 public:
  TileSetIndexWriter() = default;
  ~TileSetIndexWriter();  // an open index is abandoned as if cancelled
  TileSetIndexWriter(const TileSetIndexWriter&) = delete;
  TileSetIndexWriter& operator=(const TileSetIndexWriter&) = delete;

  /// Starts the index `indexFile` (making its folder) with `pictureFileFlag`
  /// in its header; resets the tile counter. False when the folder cannot be
  /// made or no file can be created in it. The old index stays untouched
  /// until EndTileSetIndex. An index still open is abandoned first.
  bool BeginTileSetIndex(const std::filesystem::path& indexFile, std::uint32_t pictureFileFlag);

  /// Stores record `number` (growing the index to number + 1 records, zero
  /// filled). False when no index is open, `number` is not below
  /// kMaxTileRecords or the index cannot grow; the index is then abandoned
  /// as if cancelled (isOpen() turns false, no index file is left) and the
  /// build must stop.
  bool AppendTileRecord(std::uint32_t number, const TileStatistics& statistics);

  /// Ends the index. Cancelled, or no tile made: nothing is written and the
  /// index file (old or new) is removed; returns false. Otherwise the file
  /// gets exactly one record per tile counted (a counted tile without a
  /// record reads as a zero record, records beyond the counter are not
  /// written) and replaces the old file; true when that worked. A failed
  /// write leaves the old file as it was. `beforeReplace`, when given, sees
  /// the finished bytes first; when it returns false the index is dropped
  /// as by Discard.
  bool EndTileSetIndex(
      bool cancelled,
      const std::function<bool(std::span<const std::uint8_t>)>& beforeReplace = nullptr);

  /// Drops the index being built without writing it: the old index file,
  /// if any, stays as it was. For a build that failed and must not replace
  /// a collection that was whole.
  void Discard();

  bool isOpen() const;
  /// The number the next tile gets; tile creation advances it.
  std::uint32_t tileCounter() const { return m_tileCounter; }
  void AdvanceTileCounter() { ++m_tileCounter; }

 private:
  // Drops the buffer and removes the index file; the writer is closed.
  void Abandon();

  std::filesystem::path m_indexFile;
  std::uint32_t m_pictureFileFlag = 0;
  std::vector<std::uint8_t> m_buffer;
  std::uint32_t m_tileCounter = 0;
  bool m_open = false;
};

/// The tile tables of all selected collections, in global-memory blocks the
/// montage engine takes over: the records byte for byte as stored, and one
/// 32-byte entry per record (kind, entry index, usage 0, weight = status,
/// enabled 0, red, green, blue, detail, distance, picture-file flag, two
/// spare words; the loader fills kind, index, weight and flag).
struct TileTables {
  GlobalHandle records = nullptr;
  GlobalHandle entries = nullptr;
  std::uint32_t count = 0;
  /// Frees both blocks and sets the count to 0.
  void Release();
};

/// Offsets of the fields of a 32-byte tile entry.
inline constexpr std::size_t kEntryKind = 0;
inline constexpr std::size_t kEntryIndex = 2;
inline constexpr std::size_t kEntryUsage = 4;
inline constexpr std::size_t kEntryWeight = 6;
inline constexpr std::size_t kEntryEnabled = 8;
inline constexpr std::size_t kEntryRed = 10;
inline constexpr std::size_t kEntryGreen = 12;
inline constexpr std::size_t kEntryBlue = 14;
inline constexpr std::size_t kEntryDetail = 16;
inline constexpr std::size_t kEntryDistance = 20;
inline constexpr std::size_t kEntryPictureFileFlag = 24;

/// Loads the indexes of every selected collection of kinds 0, 1 and 2 in
/// registry order into `tables` (released first). Missing, short or foreign
/// files are skipped; so is a file whose header claims more than
/// kMaxTileRecords records or more than kMaxIndexShortfallBytes of records
/// beyond its size. A file that is shorter than its header says within that
/// margin yields zero records for the missing part. No store goes beyond the
/// tables allocated, whatever the files claim or however they change while
/// they are read. Returns the tile count (0: nothing allocated).
std::uint32_t LoadTileTables(CollectionRegistry& registry, TileTables& tables);

}  // namespace tx
