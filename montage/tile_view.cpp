#include "montage/montage_types.h"

namespace tx {

TileView::TileView(TileTables& tables) : m_tables(tables) {
  if (!tables.records || !tables.entries || tables.count == 0) return;
  m_records = static_cast<std::uint8_t*>(GlobalLock(tables.records));
  m_entries = static_cast<std::uint8_t*>(GlobalLock(tables.entries));
  if (m_records && m_entries) {
    m_count = tables.count;
  }
}

TileView::~TileView() {
  if (m_records) GlobalUnlock(m_tables.records);
  if (m_entries) GlobalUnlock(m_tables.entries);
}

namespace {
std::uint32_t Read32(const std::uint8_t* at) {
  return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 |
         std::uint32_t(at[3]) << 24;
}
void Write32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    at[i] = std::uint8_t(value >> (8 * i));
}
}  // namespace

std::uint32_t TileView::fileNumber(std::uint32_t i) const {
  return Read32(record(i));
}

std::uint32_t TileView::recordMeanColour(std::uint32_t i) const {
  return Read32(record(i) + 12);
}

std::uint16_t TileView::Get16(std::uint32_t i, std::size_t offset) const {
  const std::uint8_t* at = entry(i) + offset;
  return std::uint16_t(at[0] | at[1] << 8);
}

void TileView::Set16(std::uint32_t i, std::size_t offset, std::uint16_t value) {
  std::uint8_t* at = entry(i) + offset;
  at[0] = std::uint8_t(value);
  at[1] = std::uint8_t(value >> 8);
}

std::uint32_t TileView::Get32(std::uint32_t i, std::size_t offset) const {
  return Read32(entry(i) + offset);
}

void TileView::Set32(std::uint32_t i, std::size_t offset, std::uint32_t value) {
  Write32(entry(i) + offset, value);
}

}  // namespace tx
