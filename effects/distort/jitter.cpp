#include <algorithm>
#include <vector>

#include "effects/distort/distort_kernel.h"

namespace tx::fx {
namespace {

constexpr int kPerMille = 1000;
constexpr int kPerMillePerStep = 5;
constexpr int kMaxParameter = 100;

// One step of a random walk: up with chance a / 1000, down when the roll is
// above 1000 - a.
void Step(int& offset, int a) {
  const int roll = FxRand() % kPerMille;
  if (roll < a) {
    ++offset;
  } else if (roll > kPerMille - a) {
    --offset;
  }
}

}  // namespace

// Columns slide up and down and rows left and right along two random walks
// (a = 5 x p0 per mille a step, p0 limited to 1..100). The column walk is
// drawn first, left to right, then the row walk, bottom to top. Each pixel
// takes the source displaced by its column's vertical and its row's
// horizontal offset; a position outside the picture gives the background
// colour p1.
GlobalHandle Jitter(GlobalHandle image, const EffectRecord& record) {
  const int a = kPerMillePerStep * std::clamp(record.p[0], 1, kMaxParameter);
  const auto colour = std::uint32_t(record.p[1]);
  return RunDistortion(image, [&](EffectFrame& frame, auto channels) {
    constexpr int C = decltype(channels)::value;
    const ImageLock& src = frame.source();
    const int width = src.width();
    const int height = src.height();
    const BackgroundPixel background = MakeBackgroundPixel(colour, C);

    std::vector<int> rowOfColumn(std::size_t(width), 0);
    std::vector<int> columnOfRow(std::size_t(height), 0);
    int offset = 0;
    for (int& v : rowOfColumn) {
      Step(offset, a);
      v = offset;
    }
    offset = 0;
    for (int& v : columnOfRow) {
      Step(offset, a);
      v = offset;
    }

    for (int y = 0; y < height; ++y) {
      if (!frame.BeginRow(y)) return;
      std::uint8_t* out = frame.resultRow(y);
      const std::int64_t dx = columnOfRow[std::size_t(y)];
      for (int x = 0; x < width; ++x, out += C) {
        const std::int64_t sx = x + dx;
        const std::int64_t sy = y + std::int64_t(rowOfColumn[std::size_t(x)]);
        if (sx < 0 || sx >= width || sy < 0 || sy >= height) {
          CopyPixel<C>(out, background.bytes);
        } else {
          CopyPixel<C>(out, SourcePixel<C>(src, int(sx), int(sy)));
        }
      }
    }
  });
}

}  // namespace tx::fx
