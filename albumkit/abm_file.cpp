#include "albumkit/abm_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "platform/file_io.h"

namespace tx::abm {
namespace {

constexpr std::size_t kOffsetVersion = 4;
constexpr std::size_t kOffsetName = 8;
constexpr std::size_t kOffsetCount = 264;
constexpr std::size_t kOffsetValues = 268;
constexpr std::size_t kOffsetReserved = 276;
static_assert(kOffsetName + ABM_NAME_BYTES == kOffsetCount);
static_assert(kOffsetReserved + 4 == kFileHeaderBytes);

constexpr std::size_t kBitmapInfoBytes = 40;
constexpr std::uint16_t kThumbnailBits = 24;

std::uint16_t Read16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Read32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  for (int k = 0; k < 4; ++k)
    out[at + std::size_t(k)] = std::uint8_t(value >> (8 * k));
}

// True when a NUL ends the text field of `size` bytes at `field`.
bool IsTerminated(const std::uint8_t* field, std::size_t size) {
  return std::memchr(field, 0, size) != nullptr;
}

}  // namespace

std::size_t ItemRecordSize(const std::uint8_t* record, std::size_t available) {
  if (!record || available < ABM_ITEM_PIXELS) return 0;
  if (!IsTerminated(record + ABM_ITEM_PATH, ABM_ITEM_PATH_BYTES) ||
      !IsTerminated(record + ABM_ITEM_CAPTION, ABM_ITEM_CAPTION_BYTES)) {
    return 0;
  }
  if (Read16(record + ABM_ITEM_PATH_FORM) > 1) return 0;
  const std::uint32_t width = Read16(record + ABM_ITEM_THUMB_WIDTH);
  const std::uint32_t height = Read16(record + ABM_ITEM_THUMB_HEIGHT);
  if (width < 1 || width > ABM_THUMB_MAX_SIDE || height < 1 || height > ABM_THUMB_MAX_SIDE) {
    return 0;
  }
  const std::uint32_t pixelBytes = (3 * width + 3) / 4 * 4 * height;
  if (Read32(record + ABM_ITEM_BITMAP_SIZE) != kBitmapInfoBytes + pixelBytes) return 0;
  const std::size_t size = ABM_ITEM_PIXELS + std::size_t{pixelBytes};
  if (size > available) return 0;

  // The thumbnail's bitmap header must describe exactly the rows that follow.
  const std::uint8_t* info = record + ABM_ITEM_THUMBNAIL_INFO;
  if (Read32(info) != kBitmapInfoBytes || Read32(info + 4) != width || Read32(info + 8) != height ||
      Read16(info + 12) != 1 || Read16(info + 14) != kThumbnailBits || Read32(info + 16) != 0 ||
      Read32(info + 20) != pixelBytes) {
    return 0;
  }
  return size;
}

bool ParseAlbumHeader(std::span<const std::uint8_t> bytes, AlbumFileHeader& header) {
  if (bytes.size() < kFileHeaderBytes) return false;
  if (!std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) return false;
  if (Read32(&bytes[kOffsetVersion]) != kFormatVersion) return false;
  const std::uint8_t* name = &bytes[kOffsetName];
  const void* end = std::memchr(name, 0, ABM_NAME_BYTES);
  if (!end) return false;
  const std::uint32_t count = Read32(&bytes[kOffsetCount]);
  if (count > ABM_MAX_PICTURES) return false;
  header.name.assign(reinterpret_cast<const char*>(name),
                     static_cast<const std::uint8_t*>(end) - name);
  header.pictureCount = static_cast<std::int32_t>(count);
  header.browserValues[0] = static_cast<std::int32_t>(Read32(&bytes[kOffsetValues]));
  header.browserValues[1] = static_cast<std::int32_t>(Read32(&bytes[kOffsetValues + 4]));
  return true;
}

bool ParseAlbumFile(std::span<const std::uint8_t> bytes, AlbumFile& album) {
  AlbumFile parsed;
  if (!ParseAlbumHeader(bytes, parsed.header)) return false;
  parsed.records.reserve(static_cast<std::size_t>(parsed.header.pictureCount));
  std::size_t offset = kFileHeaderBytes;
  for (std::int32_t i = 0; i < parsed.header.pictureCount; ++i) {
    if (bytes.size() - offset < 4) return false;
    const std::uint32_t size = Read32(&bytes[offset]);
    offset += 4;
    // The stored size must be the size the record's own fields give, and lie
    // inside the file.
    if (size > bytes.size() - offset) return false;
    if (ItemRecordSize(&bytes[offset], size) != size) return false;
    parsed.records.push_back(bytes.subspan(offset, size));
    offset += size;
  }
  if (offset != bytes.size()) return false;
  album = std::move(parsed);
  return true;
}

bool ReadAlbumFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                   AlbumFile& album) {
  // Only plain files: opening a pipe or device would wait or never end.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::string error;
  if (!ReadWholeFile(path, kMaxAlbumFileBytes, bytes, error)) return false;
  return ParseAlbumFile(bytes, album);
}

bool ReadAlbumHeader(const std::filesystem::path& path, AlbumFileHeader& header) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream file(path, std::ios::binary);
  std::array<std::uint8_t, kFileHeaderBytes> bytes{};
  if (!file.read(reinterpret_cast<char*>(bytes.data()), bytes.size())) return false;
  return ParseAlbumHeader(bytes, header);
}

std::vector<std::uint8_t> SerializeAlbumFile(
    const AlbumFileHeader& header, std::span<const std::span<const std::uint8_t>> records) {
  std::size_t total = kFileHeaderBytes;
  for (const auto& record : records)
    total += 4 + record.size();
  std::vector<std::uint8_t> out(total, 0);
  std::memcpy(out.data(), kMagic.data(), kMagic.size());
  Put32(out, kOffsetVersion, kFormatVersion);
  // The name field keeps at least one NUL after the name.
  std::memcpy(&out[kOffsetName], header.name.data(),
              std::min(header.name.size(), std::size_t{ABM_NAME_BYTES - 1}));
  Put32(out, kOffsetCount, static_cast<std::uint32_t>(records.size()));
  Put32(out, kOffsetValues, static_cast<std::uint32_t>(header.browserValues[0]));
  Put32(out, kOffsetValues + 4, static_cast<std::uint32_t>(header.browserValues[1]));
  std::size_t offset = kFileHeaderBytes;
  for (const auto& record : records) {
    Put32(out, offset, static_cast<std::uint32_t>(record.size()));
    if (!record.empty()) std::memcpy(&out[offset + 4], record.data(), record.size());
    offset += 4 + record.size();
  }
  return out;
}

}  // namespace tx::abm
