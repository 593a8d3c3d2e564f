// The loader of the tile tables: the records of every selected collection's
// index, in one table, with one tile entry per record.

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <system_error>
#include <vector>

#include "collections/collection_registry.h"
#include "collections/tile_set_index.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

std::uint32_t Get32(const std::uint8_t* at) {
  return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
         std::uint32_t{at[3]} << 24;
}

void Put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::uint8_t* at, std::uint32_t value) {
  Put16(at, static_cast<std::uint16_t>(value));
  Put16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

struct IndexHeader {
  std::uint32_t count = 0;
  std::uint32_t pictureFileFlag = 0;
  std::uint64_t fileSize = 0;
};

// Opens `path` and reads its header. False for a missing or unreadable
// file, one shorter than a header, or one without the magic.
bool OpenIndex(const fs::path& path, std::ifstream& file, IndexHeader& header) {
  file.open(path, std::ios::binary);
  if (!file) return false;
  std::uint8_t bytes[kIndexHeaderBytes];
  file.read(reinterpret_cast<char*>(bytes), sizeof bytes);
  if (file.gcount() != static_cast<std::streamsize>(sizeof bytes)) return false;
  if (std::memcmp(bytes, kIndexMagic, sizeof kIndexMagic) != 0) return false;
  header.count = Get32(bytes + 8);
  header.pictureFileFlag = Get32(bytes + 12);
  std::error_code ec;
  header.fileSize = fs::file_size(path, ec);
  return !ec;
}

// True when the header's record count is believable for a file of its size:
// at most kMaxTileRecords, and not more than kMaxIndexShortfallBytes of
// records beyond what the file holds.
bool PlausibleCount(const IndexHeader& header) {
  if (header.count > kMaxTileRecords) return false;
  const std::uint64_t held =
      header.fileSize > kIndexHeaderBytes ? header.fileSize - kIndexHeaderBytes : 0;
  return std::uint64_t{header.count} * kTileRecordBytes <= held + kMaxIndexShortfallBytes;
}

// One index accepted by the counting pass.
struct AcceptedIndex {
  int kind = 0;
  int index = 0;
  int weight = 0;
  fs::path file;
  std::uint32_t count = 0;
};

}  // namespace

void TileTables::Release() {
  if (records) GlobalFree(records);
  if (entries) GlobalFree(entries);
  records = nullptr;
  entries = nullptr;
  count = 0;
}

std::uint32_t LoadTileTables(CollectionRegistry& registry, TileTables& tables) {
  tables.Release();

  // Pass 1: count the records of every selected collection with a usable index.
  std::vector<AcceptedIndex> accepted;
  std::uint64_t total = 0;
  for (int kind : {kDiscCollection, kMyCollection, kVideoCollection}) {
    for (int i = 0; i < registry.GetCollectionCount(kind); ++i) {
      const int status = registry.GetCollectionStatus(kind, i);
      if (status <= 0) continue;
      fs::path file = registry.IndexFilePath(kind, i);
      if (file.empty()) continue;
      std::ifstream stream;
      IndexHeader header;
      if (!OpenIndex(file, stream, header) || !PlausibleCount(header)) continue;
      accepted.push_back({kind, i, status, std::move(file), header.count});
      total += header.count;
    }
  }
  if (total == 0) return 0;
  // At most 150 collections of at most kMaxTileRecords each, so this only
  // matters where a size is 32 bits wide.
  if (total > std::numeric_limits<std::uint32_t>::max() ||
      total > std::numeric_limits<std::size_t>::max() / kTileRecordBytes) {
    return 0;
  }

  const std::size_t capacity = static_cast<std::size_t>(total);
  GlobalHandle records = GlobalAlloc(capacity * kTileRecordBytes);
  if (!records) return 0;
  GlobalHandle entries = GlobalAlloc(capacity * kTileEntryBytes);
  if (!entries) {
    GlobalFree(records);
    return 0;
  }

  // Pass 2: read the records behind each other. A file is never read past
  // the records counted for it in pass 1, even if it has grown since.
  std::size_t used = 0;
  {
    BlockLock recordLock(records);
    BlockLock entryLock(entries);
    if (!recordLock.bytes() || !entryLock.bytes()) {
      GlobalFree(records);
      GlobalFree(entries);
      return 0;
    }
    for (const AcceptedIndex& index : accepted) {
      std::ifstream stream;
      IndexHeader header;
      if (!OpenIndex(index.file, stream, header)) continue;
      const std::size_t count =
          std::min({std::size_t{header.count}, std::size_t{index.count}, capacity - used});
      // A short file leaves its missing records zero; the next collection
      // still starts where this header says this one ends.
      stream.read(reinterpret_cast<char*>(recordLock.bytes() + used * kTileRecordBytes),
                  static_cast<std::streamsize>(count * kTileRecordBytes));
      for (std::size_t n = 0; n < count; ++n) {
        std::uint8_t* entry = entryLock.bytes() + (used + n) * kTileEntryBytes;
        Put16(entry + kEntryKind, static_cast<std::uint16_t>(index.kind));
        Put16(entry + kEntryIndex, static_cast<std::uint16_t>(index.index));
        Put16(entry + kEntryWeight, static_cast<std::uint16_t>(index.weight));
        Put32(entry + kEntryPictureFileFlag, header.pictureFileFlag);
      }
      used += count;
    }
  }
  if (used == 0) {
    GlobalFree(records);
    GlobalFree(entries);
    return 0;
  }
  tables.records = records;
  tables.entries = entries;
  tables.count = static_cast<std::uint32_t>(used);
  return tables.count;
}

}  // namespace tx
