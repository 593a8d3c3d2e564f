#pragma once
// Making skin files for the skin tests: pictures, buttons and byte patches.

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/skin/skin_format.h"
#include "image/image_lock.h"
#include "tests/support/test_images.h"
#include "tools/skincomp/skin_writer.h"

namespace tx::skintest {

using Bytes = std::vector<std::uint8_t>;
using Group = std::vector<skin::WriterEntry>;

/// The stored bytes of a small pattern picture.
inline Bytes Picture(int width, int height, int bits = 24, bool gray = false) {
  PackedImage image = testing::MakePatternImage(width, height, bits, gray);
  return skin::PackedImageBytes(image.get());
}

/// One entry whose x field is `x` (to tell entries apart) with a picture.
inline skin::WriterEntry Entry(std::uint16_t x, Bytes picture = Picture(3, 2)) {
  skin::WriterEntry entry;
  entry.x = x;
  entry.picture = std::move(picture);
  return entry;
}

/// `buttons` whole buttons whose entries carry x = first, first + 1, ...
inline Group Buttons(int buttons, std::uint16_t first = 0) {
  Group group;
  for (int i = 0; i < buttons * skin::kEntriesPerButton; ++i)
    group.push_back(Entry(static_cast<std::uint16_t>(first + i)));
  return group;
}

/// The whole block behind a handle.
inline Bytes BlockBytes(GlobalHandle handle) {
  const auto* block = static_cast<const std::uint8_t*>(GlobalLock(handle));
  if (!block) return {};
  Bytes bytes(block, block + GlobalSize(handle));
  GlobalUnlock(handle);
  return bytes;
}

inline void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t k = 0; k < 4; ++k)
    bytes[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

inline std::uint32_t Get32(const Bytes& bytes, std::size_t at) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

/// Offset of a field of entry `index`.
inline std::size_t EntryField(std::size_t index, std::size_t field) {
  return static_cast<std::size_t>(skin::EntryTableEnd(index)) + field;
}

/// Offset in the file of the picture of entry `index`.
inline std::size_t PictureAt(const Bytes& file, std::size_t index) {
  const std::size_t count = Get32(file, skin::kEntryCountOffset);
  return static_cast<std::size_t>(skin::EntryTableEnd(count)) +
         Get32(file, EntryField(index, skin::kPictureOffsetOffset));
}

}  // namespace tx::skintest
