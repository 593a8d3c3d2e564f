#include "output/web_palette.h"

#include <array>
#include <cstdint>
#include <new>
#include <vector>

#include "image/image_block.h"
#include "image/image_lock.h"

namespace tx {
namespace {

// Upper bounds (exclusive) of levels 0 to 4; anything from the last one up is level 5.
constexpr std::array<int, kWebLevels - 1> kLevelBounds = {26, 77, 128, 179, 230};

// Weights of the neighbours' errors: along later rows out of 16, at a later
// row's first pixel out of 8.
constexpr int kLeftWeight = 7;
constexpr int kAboveWeight = 5;
constexpr int kAboveRightWeight = 3;
constexpr int kAboveLeftWeight = 1;
constexpr int kRowWeightSum = 16;
constexpr int kFirstAboveWeight = 5;
constexpr int kFirstAboveRightWeight = 3;
constexpr int kFirstWeightSum = 8;

constexpr int kChannels = 3;  // blue, green, red as stored

/// numerator / denominator (denominator > 0) with halves rounded away from zero.
int RoundedQuotient(int numerator, int denominator) {
  if (numerator >= 0) return (2 * numerator + denominator) / (2 * denominator);
  return -((-2 * numerator + denominator) / (2 * denominator));
}

void FillWebTable(RgbQuad* table) {
  for (int i = 0; i < kWebTableSize; ++i) {
    if (i < kWebColours) {
      table[i] = RgbQuad{std::uint8_t(i / (kWebLevels * kWebLevels) * kWebLevelStep),
                         std::uint8_t(i / kWebLevels % kWebLevels * kWebLevelStep),
                         std::uint8_t(i % kWebLevels * kWebLevelStep), 0};
    } else {
      table[i] = RgbQuad{0, 0, 0, 0};
    }
  }
}

}  // namespace

int WebLevel(int value) {
  int level = 0;
  while (level < kWebLevels - 1 && value >= kLevelBounds[std::size_t(level)])
    ++level;
  return level;
}

GlobalHandle ReduceToWebPalette(GlobalHandle picture) {
  ImageLock source(picture);
  if (!source || source.bitCount() != 24) return nullptr;
  const int width = source.width(), height = source.height();
  PackedImage result(NewImageBlock(width, height, 8, kWebTableSize));
  if (!result) return nullptr;
  ImageLock target(result.get());
  if (!target) return nullptr;
  target.header().biXPelsPerMeter = source.header().biXPelsPerMeter;
  target.header().biYPelsPerMeter = source.header().biYPelsPerMeter;
  FillWebTable(target.palette());

  // Errors of the row above and of this row, three channels per pixel.
  std::vector<int> above, current;
  try {
    above.assign(std::size_t(width) * kChannels, 0);
    current.assign(std::size_t(width) * kChannels, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  auto aboveAt = [&](int x, int c) {
    return x >= 0 && x < width ? above[std::size_t(x) * kChannels + std::size_t(c)] : 0;
  };

  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = source.row(y);
    std::uint8_t* out = target.row(y);
    for (int x = 0; x < width; ++x) {
      int levels[kChannels];
      for (int c = 0; c < kChannels; ++c) {
        int value = in[std::size_t(x) * kChannels + std::size_t(c)];
        if (y == 0) {
          if (x > 0) value += current[std::size_t(x - 1) * kChannels + std::size_t(c)];
        } else if (x == 0) {
          value += RoundedQuotient(
              kFirstAboveWeight * aboveAt(x, c) + kFirstAboveRightWeight * aboveAt(x + 1, c),
              kFirstWeightSum);
        } else {
          value += RoundedQuotient(
              kLeftWeight * current[std::size_t(x - 1) * kChannels + std::size_t(c)] +
                  kAboveWeight * aboveAt(x, c) + kAboveRightWeight * aboveAt(x + 1, c) +
                  kAboveLeftWeight * aboveAt(x - 1, c),
              kRowWeightSum);
        }
        levels[c] = WebLevel(value);
        current[std::size_t(x) * kChannels + std::size_t(c)] = value - levels[c] * kWebLevelStep;
      }
      // Stored order is blue, green, red; the index is red + 6 green + 36 blue.
      out[x] =
          std::uint8_t(levels[2] + kWebLevels * levels[1] + kWebLevels * kWebLevels * levels[0]);
    }
    above.swap(current);
  }
  return result.release();
}

}  // namespace tx
