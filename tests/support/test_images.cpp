#include "tests/support/test_images.h"

#include <algorithm>
#include <cstdlib>
#include <random>

#include "image/image_block.h"
#include "image/pixel_index.h"

namespace fs = std::filesystem;

namespace tx::testing {

PackedImage MakePatternImage(int width, int height, int bitCount, bool gray) {
  std::uint32_t colours = bitCount <= 8 ? (1u << bitCount) : 0;
  PackedImage image(NewImageBlock(width, height, bitCount, colours, OnAllocFailure::Quiet));
  ImageLock lock(image.get());
  if (!lock) return {};
  if (bitCount == 8 && gray) {
    FillGrayRamp(lock.palette());
  } else {
    for (std::uint32_t i = 0; i < colours; ++i) {
      lock.palette()[i] = RgbQuad{std::uint8_t(i * 37 + 11), std::uint8_t(i * 91 + 5),
                                  std::uint8_t(255 - i * 13), 0};
    }
  }
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = lock.topDownRow(y);
    for (int x = 0; x < width; ++x) {
      std::uint32_t v = std::uint32_t(x * 7 + y * 13 + (x * y) % 5);
      switch (bitCount) {
        case 24:
          row[3 * x] = std::uint8_t(v * 3);
          row[3 * x + 1] = std::uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
          row[3 * x + 2] = std::uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
          break;
        default:
          PutIndex(row, x, bitCount, std::uint8_t(v));
          break;
      }
    }
  }
  return image;
}

std::uint32_t RawPixelAt(GlobalHandle image, int x, int y) {
  ImageLock lock(image);
  if (!lock) return 0;
  const std::uint8_t* row = lock.topDownRow(y);
  switch (lock.bitCount()) {
    case 24:
      return std::uint32_t(row[3 * x + 2]) << 16 | std::uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
    case 8:
    case 4:
    case 1:
      return IndexAt(row, x, lock.bitCount());
    default:
      return 0;
  }
}

RgbQuad PixelAt(GlobalHandle image, int x, int y) {
  std::uint32_t raw = RawPixelAt(image, x, y);
  ImageLock lock(image);
  if (!lock) return {};
  if (lock.bitCount() == 24) {
    return RgbQuad{std::uint8_t(raw), std::uint8_t(raw >> 8), std::uint8_t(raw >> 16), 0};
  }
  if (raw >= lock.colourCount()) return {};
  RgbQuad entry = lock.palette()[raw];
  entry.reserved = 0;
  return entry;
}

int MaxColourDifference(GlobalHandle a, GlobalHandle b) {
  int width = 0, height = 0;
  {
    ImageLock la(a), lb(b);
    if (!la || !lb || la.width() != lb.width() || la.height() != lb.height()) return -1;
    width = la.width();
    height = la.height();
  }
  int worst = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      RgbQuad p = PixelAt(a, x, y), q = PixelAt(b, x, y);
      worst = std::max(
          {worst, std::abs(p.red - q.red), std::abs(p.green - q.green), std::abs(p.blue - q.blue)});
    }
  }
  return worst;
}

TempDir::TempDir() {
  std::random_device random;
  for (;;) {
    m_path = fs::temp_directory_path() / ("tesserix-test-" + std::to_string(random()));
    std::error_code ec;
    if (fs::create_directory(m_path, ec)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(m_path, ec);
}

}  // namespace tx::testing
