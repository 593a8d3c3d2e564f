#include <algorithm>
#include <array>
#include <vector>

#include "effects/distort/distort_kernel.h"

namespace tx::fx {
namespace {

constexpr int kMinParameter = 1;
constexpr int kMaxParameter = 100;
constexpr int kTileExtra = 7;
constexpr int kBevel = 92;

enum Shade : std::uint8_t { kKeep, kDarken, kLighten };

using ShadeTables = std::array<std::array<std::uint8_t, 256>, 3>;

ShadeTables MakeShadeTables() {
  ShadeTables tables{};
  for (int v = 0; v < 256; ++v) {
    tables[kKeep][std::size_t(v)] = std::uint8_t(v);
    tables[kDarken][std::size_t(v)] = std::uint8_t(std::max(v - kBevel, 0));
    tables[kLighten][std::size_t(v)] = std::uint8_t(std::min(v + kBevel, 255));
  }
  return tables;
}

// The shade of column j of row i within a tile of `size` pixels. The tile's
// outer ring stays as it is; inside it the second row is dark, the
// second-to-last row and the second column light, the second-to-last column
// dark, the earlier rule winning where two meet.
Shade ShadeAt(int i, int j, int size) {
  if (i == 0 || j == 0 || i == size - 1 || j == size - 1) return kKeep;
  if (i == 1) return kDarken;
  if (i == size - 2 || j == 1) return kLighten;
  if (j == size - 2) return kDarken;
  return kKeep;
}

}  // namespace

// Cuts the picture into bevelled tiles of p0 + 7 pixels (p0 limited to
// 1..100), counted from the first stored row and the first column: every
// channel of the bevel rows and columns moves by 92 levels.
GlobalHandle Tiles(GlobalHandle image, const EffectRecord& record) {
  const int size = std::clamp(record.p[0], kMinParameter, kMaxParameter) + kTileExtra;
  return RunDistortion(image, [&](EffectFrame& frame, auto channels) {
    constexpr int C = decltype(channels)::value;
    const ImageLock& src = frame.source();
    const int width = src.width();
    const int height = src.height();
    const ShadeTables tables = MakeShadeTables();
    // The shades of one row, repeated across the picture's width.
    std::vector<Shade> rowShades(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
      if (!frame.BeginRow(y)) return;
      const int i = y % size;
      for (int x = 0, j = 0; x < width; ++x) {
        rowShades[std::size_t(x)] = ShadeAt(i, j, size);
        if (++j == size) j = 0;
      }
      const std::uint8_t* in = src.row(y);
      std::uint8_t* out = frame.resultRow(y);
      for (int x = 0; x < width; ++x, in += C, out += C) {
        const auto& table = tables[rowShades[std::size_t(x)]];
        for (int c = 0; c < C; ++c)
          out[c] = table[in[c]];
      }
    }
  });
}

}  // namespace tx::fx
