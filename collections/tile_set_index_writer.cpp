// The writer of tile-set index files: the index of the collection being
// built grows in memory record by record and is written in one piece when
// the build ends.

#include <cstring>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <system_error>

#include "collections/tile_set_index.h"
#include "platform/file_io.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

void Put32(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
  at[2] = static_cast<std::uint8_t>(value >> 16);
  at[3] = static_cast<std::uint8_t>(value >> 24);
}

// Record fields, as offsets within a record.
constexpr std::size_t kRecordNumber = 0;
constexpr std::size_t kRecordMeanColour = 12;
constexpr std::size_t kRecordCells = 24;

// True when a new file can be created in `folder`: creates and removes a
// probe file of a name no one else uses, so a build does not run for
// nothing into a folder that will refuse its index at the end.
bool CanCreateFileIn(const fs::path& folder, const fs::path& besides) {
  static std::random_device random;
  static unsigned counter = 0;
  fs::path probe = folder / besides.filename();
  probe += ".tmp-" + std::to_string(random() % 1000000) + "-" + std::to_string(++counter);
  std::error_code ec;
  if (fs::exists(probe, ec)) return false;
  bool created = std::ofstream(probe, std::ios::binary).is_open();
  fs::remove(probe, ec);
  return created;
}

}  // namespace

TileSetIndexWriter::~TileSetIndexWriter() {
  if (m_open) Abandon();
}

bool TileSetIndexWriter::isOpen() const {
  return m_open;
}

void TileSetIndexWriter::Discard() {
  m_open = false;
  std::vector<std::uint8_t>().swap(m_buffer);
}

void TileSetIndexWriter::Abandon() {
  m_open = false;
  std::vector<std::uint8_t>().swap(m_buffer);
  // A cancelled build leaves no index, old one included: the collection is
  // then removed at the next pruning.
  std::error_code ec;
  if (!m_indexFile.empty()) fs::remove(m_indexFile, ec);
}

bool TileSetIndexWriter::BeginTileSetIndex(const fs::path& indexFile,
                                           std::uint32_t pictureFileFlag) {
  if (m_open) Abandon();
  m_tileCounter = 0;
  m_indexFile.clear();
  if (!indexFile.has_filename()) return false;
  const fs::path folder = indexFile.parent_path();
  if (!folder.empty() && !EnsureDirectory(folder)) return false;
  if (!CanCreateFileIn(folder.empty() ? fs::path(".") : folder, indexFile)) return false;
  try {
    m_buffer.assign(kIndexHeaderBytes, 0);
    m_buffer.reserve(kIndexHeaderBytes + kTileRecordBytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
  m_indexFile = indexFile;
  m_pictureFileFlag = pictureFileFlag;
  m_open = true;
  return true;
}

bool TileSetIndexWriter::AppendTileRecord(std::uint32_t number, const TileStatistics& statistics) {
  if (!m_open) return false;
  if (number >= kMaxTileRecords) {
    Abandon();
    return false;
  }
  const std::size_t end = kIndexHeaderBytes + kTileRecordBytes * (std::size_t{number} + 1);
  if (m_buffer.size() < end) {
    try {
      m_buffer.resize(end, 0);
    } catch (const std::bad_alloc&) {
      Abandon();
      return false;
    }
  }
  // A record written twice keeps only its last statistics; reserved bytes stay zero.
  std::uint8_t* record = m_buffer.data() + end - kTileRecordBytes;
  std::memset(record, 0, kTileRecordBytes);
  Put32(record + kRecordNumber, number);
  Put32(record + kRecordMeanColour, statistics.meanColour);
  std::memcpy(record + kRecordCells, statistics.cells.data(), kTileCellBytes);
  return true;
}

bool TileSetIndexWriter::EndTileSetIndex(
    bool cancelled, const std::function<bool(std::span<const std::uint8_t>)>& beforeReplace) {
  if (!m_open) return false;
  if (cancelled || m_tileCounter == 0 || m_tileCounter > kMaxTileRecords) {
    Abandon();
    return false;
  }
  // The file holds exactly the records the header counts, so its size field,
  // its record count and its length agree.
  const std::size_t size = kIndexHeaderBytes + kTileRecordBytes * std::size_t{m_tileCounter};
  try {
    m_buffer.resize(size, 0);
  } catch (const std::bad_alloc&) {
    Abandon();
    return false;
  }
  std::memcpy(m_buffer.data(), kIndexMagic, sizeof kIndexMagic);
  Put32(m_buffer.data() + 4, static_cast<std::uint32_t>(size));
  Put32(m_buffer.data() + 8, m_tileCounter);
  Put32(m_buffer.data() + 12, m_pictureFileFlag);

  if (beforeReplace && !beforeReplace(m_buffer)) {
    Discard();
    return false;
  }
  std::string error;
  const bool written = WriteFileAtomically(m_indexFile, m_buffer, error);
  m_open = false;
  std::vector<std::uint8_t>().swap(m_buffer);
  return written;
}

}  // namespace tx
