#pragma once
// Bounds-checked little-endian reading and writing for the codecs that parse
// their formats by hand (BMP, PCX, TGA), and access to indexed pixels in
// packed rows. File data is read byte by byte, never through casts, because
// it may be unaligned or cut short anywhere.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "image/pixel_index.h"
#include "rastio/codec.h"

namespace tx::rastio {

/// Reads a byte span front to back. A read past the end yields zeros and
/// leaves the reader failed for good, so a parser can read a whole header
/// and check ok() once.
class ByteReader {
 public:
  explicit ByteReader(ByteSpan data, std::size_t offset = 0) : m_data(data) { seek(offset); }

  bool ok() const { return m_ok; }
  std::size_t offset() const { return m_offset; }
  std::size_t remaining() const { return m_data.size() - m_offset; }

  /// Moves to `offset`; fails (staying put) when it lies past the end.
  bool seek(std::size_t offset) {
    if (offset > m_data.size()) return m_ok = false;
    m_offset = offset;
    return true;
  }
  bool skip(std::size_t count) {
    if (count > remaining()) return m_ok = false;
    m_offset += count;
    return true;
  }

  std::uint8_t u8() {
    if (remaining() < 1) {
      m_ok = false;
      return 0;
    }
    return m_data[m_offset++];
  }
  std::uint16_t u16() {
    std::uint16_t low = u8();
    return std::uint16_t(low | u8() << 8);
  }
  std::uint32_t u32() {
    std::uint32_t low = u16();
    return low | std::uint32_t(u16()) << 16;
  }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

  /// The next `count` bytes; an empty span (and failure) when fewer remain.
  ByteSpan take(std::size_t count) {
    if (count > remaining()) {
      m_ok = false;
      return {};
    }
    ByteSpan part = m_data.subspan(m_offset, count);
    m_offset += count;
    return part;
  }

 private:
  ByteSpan m_data;
  std::size_t m_offset = 0;
  bool m_ok = true;
};

inline void PutU8(ByteVector& out, std::uint32_t value) {
  out.push_back(std::uint8_t(value));
}
inline void PutU16(ByteVector& out, std::uint32_t value) {
  PutU8(out, value);
  PutU8(out, value >> 8);
}
inline void PutU32(ByteVector& out, std::uint32_t value) {
  PutU16(out, value);
  PutU16(out, value >> 16);
}
inline void PutBytes(ByteVector& out, const std::uint8_t* bytes, std::size_t count) {
  out.insert(out.end(), bytes, bytes + count);
}

/// Copies the bytes holding `width` pixels of `bitCount` bits and clears the
/// bits past the last pixel, so a packed row keeps its zero padding whatever
/// the file held there.
inline void CopyPackedRow(std::uint8_t* row, const std::uint8_t* source, int bitCount,
                          std::int64_t width) {
  std::uint64_t usedBits = std::uint64_t(bitCount) * std::uint64_t(width);
  std::size_t bytes = std::size_t((usedBits + 7) / 8);
  std::copy(source, source + bytes, row);
  if (usedBits % 8) row[bytes - 1] &= std::uint8_t(0xFF << (8 - usedBits % 8));
}

}  // namespace tx::rastio
