#pragma once
// Helpers shared by the effects tests.

#include <cstdint>
#include <cstring>
#include <vector>

#include "effects/fxkit.h"
#include "image/image_block.h"
#include "image/image_lock.h"

namespace tx::fxtest {

/// Every byte of the block behind `image`.
inline std::vector<std::uint8_t> BlockBytes(GlobalHandle image) {
  std::vector<std::uint8_t> bytes(GlobalSize(image));
  if (void* p = GlobalLock(image)) {
    std::memcpy(bytes.data(), p, bytes.size());
    GlobalUnlock(image);
  }
  return bytes;
}

/// The header, colour table and rows of `image` (no spare bytes).
inline std::vector<std::uint8_t> ImageBytes(GlobalHandle image) {
  ImageLock lock(image);
  if (!lock) return {};
  auto* base = reinterpret_cast<const std::uint8_t*>(&lock.header());
  return {base, base + lock.imageBytes()};
}

/// A 24-bit image whose every pixel is (blue, green, red).
inline PackedImage Solid24(int width, int height, std::uint8_t blue, std::uint8_t green,
                           std::uint8_t red) {
  return PackedImage(CreatePackedImage(width, height, MakeColourWord(red, green, blue), 0));
}

/// A gray image of one row holding `levels`.
inline PackedImage GrayRow(const std::vector<std::uint8_t>& levels) {
  PackedImage image(NewImageBlock(int(levels.size()), 1, 8, 256));
  ImageLock lock(image.get());
  FillGrayRamp(lock.palette());
  std::memcpy(lock.row(0), levels.data(), levels.size());
  return image;
}

/// Runs effect `id` through DoEE with `record`.
inline PackedImage RunRecord(GlobalHandle image, int id, std::vector<int> record) {
  record.resize(5, 0);
  return PackedImage(DoEE(image, id, record.data()));
}

/// Runs effect code `code` through DoEnhanceAndEffect with slider `values`.
/// An empty list is passed as a real pointer with a count of 0.
inline PackedImage RunValues(GlobalHandle image, int code, const std::vector<int>& values) {
  static const int kNone = 0;
  const int* data = values.empty() ? &kNone : values.data();
  return PackedImage(DoEnhanceAndEffect(image, code, data, int(values.size()), nullptr));
}

}  // namespace tx::fxtest
