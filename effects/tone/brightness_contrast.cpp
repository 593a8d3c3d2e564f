#include <algorithm>

#include "effects/tone/tone_kernel.h"

namespace tx::fx {
namespace {

constexpr int kSelectAll = 1;
constexpr int kSelectRed = 2;

}  // namespace

// p0 channel selector, p1 brightness a, p2 contrast b.
GlobalHandle BrightnessContrast(GlobalHandle image, const EffectRecord& record) {
  const int selector = record.p[0];
  const std::int64_t a = record.p[1];
  const std::int64_t b = record.p[2];
  if (a == 0 && b == 0)
    return ApplyChannelTables(image, TablesForSelector(IdentityTable(), 0), nullptr);

  // Shift by a, then stretch [b, 255 - b] onto [0, 255] with rounding; for
  // b >= 128 the two clip tests cover every level, so the divisor is never 0.
  ToneTable table;
  for (std::int64_t i = 0; i < 256; ++i) {
    std::int64_t v;
    if (i + a < b) {
      v = 0;
    } else if (i + a > 255 - b) {
      v = 255;
    } else {
      v = (255 * (i + a) + (255 - 2 * b) / 2 - 255 * b) / (255 - 2 * b);
    }
    table[std::size_t(i)] = std::uint8_t(std::clamp<std::int64_t>(v, 0, 255));
  }
  // A gray image's levels are its red channel as much as any other.
  bool grayToo = selector == kSelectAll || selector == kSelectRed;
  return ApplyChannelTables(image, TablesForSelector(table, selector), grayToo ? &table : nullptr);
}

}  // namespace tx::fx
