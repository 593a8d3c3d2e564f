#include "tools/skincomp/skin_writer.h"

#include <cstring>
#include <limits>

#include "app/skin/skin_format.h"
#include "image/image_lock.h"

namespace tx::skin {
namespace {

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t k = 0; k < 4; ++k)
    bytes[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

}  // namespace

std::vector<std::uint8_t> WriteSkinFile(const std::vector<std::vector<WriterEntry>>& groups) {
  if (groups.size() > static_cast<std::size_t>(kMaxGroups)) return {};
  std::size_t entryCount = 0;
  std::uint64_t pictureBytes = 0;
  for (const auto& group : groups) {
    entryCount += group.size();
    for (const WriterEntry& entry : group)
      pictureBytes += entry.picture.size();
  }
  // Counts are int32 and picture offsets and sizes uint32.
  constexpr std::uint64_t kMostOffset = std::numeric_limits<std::uint32_t>::max();
  if (entryCount > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ||
      pictureBytes > kMostOffset) {
    return {};
  }

  const std::uint64_t tableEnd = EntryTableEnd(entryCount);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(tableEnd + pictureBytes), 0);
  std::memcpy(bytes.data(), kMagic, sizeof kMagic);
  Put32(bytes, kEntryCountOffset, static_cast<std::uint32_t>(entryCount));
  Put32(bytes, kGroupCountOffset, static_cast<std::uint32_t>(groups.size()));

  std::size_t index = 0;
  std::uint32_t pictureOffset = 0;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    // An empty group starts where the next one does: at the running index.
    Put32(bytes, kGroupStartsOffset + 4 * g, static_cast<std::uint32_t>(index));
    for (const WriterEntry& entry : groups[g]) {
      const std::size_t at = static_cast<std::size_t>(EntryTableEnd(index));
      Put16(bytes, at + kKindOffset, entry.kind);
      Put16(bytes, at + kXOffset, entry.x);
      Put16(bytes, at + kYOffset, entry.y);
      Put16(bytes, at + kWidthOffset, entry.width);
      Put16(bytes, at + kHeightOffset, entry.height);
      Put16(bytes, at + kLinkOffset, entry.link);
      if (!entry.picture.empty()) {
        const auto size = static_cast<std::uint32_t>(entry.picture.size());
        Put32(bytes, at + kPictureOffsetOffset, pictureOffset);
        Put32(bytes, at + kPictureSizeOffset, size);
        std::memcpy(bytes.data() + tableEnd + pictureOffset, entry.picture.data(), size);
        pictureOffset += size;
      }
      ++index;
    }
  }
  return bytes;
}

std::vector<std::uint8_t> PackedImageBytes(GlobalHandle image) {
  ImageLock lock(image);
  if (!lock) return {};
  // Only what the reader takes back, so that a skin never holds a picture
  // the program then refuses.
  const std::uint64_t size = StoredPictureBytes(lock.header());
  if (size == 0 || size != lock.imageBytes()) return {};
  const auto* start = reinterpret_cast<const std::uint8_t*>(&lock.header());
  return std::vector<std::uint8_t>(start, start + size);
}

void AppendButton(std::vector<WriterEntry>& group, std::uint16_t x, std::uint16_t y,
                  std::uint16_t width, std::uint16_t height, GlobalHandle normal,
                  GlobalHandle highlighted, GlobalHandle pressed, std::uint16_t kind,
                  std::uint16_t link) {
  for (GlobalHandle picture : {normal, highlighted, pressed}) {
    WriterEntry entry;
    entry.kind = kind;
    entry.x = x;
    entry.y = y;
    entry.width = width;
    entry.height = height;
    entry.link = link;
    entry.picture = PackedImageBytes(picture);
    group.push_back(std::move(entry));
  }
}

}  // namespace tx::skin
