#pragma once
// Helpers the codec tests share: pixel dumps and the damaged-file sweep.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "rastio/codec.h"
#include "rastio/rastio.h"
#include "tests/support/test_images.h"

namespace tx::rastio {

using tx::testing::MakePatternImage;
using tx::testing::MaxColourDifference;
using tx::testing::PixelAt;
using tx::testing::RawPixelAt;

using Values = std::vector<std::uint32_t>;

/// Stored values (indices, or 0xRRGGBB for 24 bits) of every pixel, top row first.
inline Values Indices(GlobalHandle image) {
  ImageLock lock(image);
  Values out;
  for (int y = 0; lock && y < lock.height(); ++y) {
    for (int x = 0; x < lock.width(); ++x)
      out.push_back(RawPixelAt(image, x, y));
  }
  return out;
}

/// Colours (0xRRGGBB) of every pixel, top row first.
inline Values Colours(GlobalHandle image) {
  ImageLock lock(image);
  Values out;
  for (int y = 0; lock && y < lock.height(); ++y) {
    for (int x = 0; x < lock.width(); ++x) {
      RgbQuad c = PixelAt(image, x, y);
      out.push_back(std::uint32_t(c.red) << 16 | std::uint32_t(c.green) << 8 | c.blue);
    }
  }
  return out;
}

/// Every `step`th prefix of `file` and `rounds` copies with one to three
/// flipped bits decode to a valid picture or fail with a reason, and no block
/// leaks. The size limits are lowered meanwhile so flipped sizes stay quick.
inline void ExpectSoundOnDamage(Decoded (*decode)(ByteSpan), const ByteVector& file,
                                std::size_t step = 1, int rounds = 300) {
  SetPictureSizeLimits(4096, 1 << 20);
  const std::size_t blocks = GlobalLiveBlockCount();
  auto check = [&](ByteSpan data, std::size_t what) {
    Decoded decoded = decode(data);
    if (decoded.image) {
      EXPECT_TRUE(ImageLock(decoded.image.get()).valid()) << what;
    } else {
      EXPECT_FALSE(decoded.error.empty()) << what;
    }
  };
  for (std::size_t size = 0; size < file.size(); size += step)
    check(ByteSpan(file).first(size), size);
  std::mt19937 random(20240611);
  for (int round = 0; round < rounds && !file.empty(); ++round) {
    ByteVector copy = file;
    for (int flips = 1 + round % 3; flips > 0; --flips) {
      copy[random() % copy.size()] ^= std::uint8_t(1u << random() % 8);
    }
    check(copy, 100000 + std::size_t(round));
  }
  EXPECT_EQ(GlobalLiveBlockCount(), blocks);
  SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels);
}

}  // namespace tx::rastio
