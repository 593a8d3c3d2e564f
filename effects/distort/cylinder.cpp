#include <algorithm>
#include <cmath>
#include <vector>

#include "effects/distort/distort_kernel.h"

namespace tx::fx {
namespace {

constexpr int kMinStrength = 1;
constexpr int kMaxStrength = 100;
constexpr double kHalfPi = 1.5707963267948966;

// The source column of every result column. Seen from the front, a picture
// wrapped half-way round a cylinder shows at screen position u (-1 at the
// left edge, 1 at the right) the point asin(u) along the arc, so the full
// mapping reads source column (asin(u) / (pi / 2) + 1) x (width - 1) / 2 with
// u = 2x / (width - 1) - 1: the middle columns are stretched, the edge
// columns squeezed, and the first and last columns stay where they are.
// The strength blends from the unchanged picture (weight 0) to the full
// mapping (weight 1). Columns are rounded to the nearest and limited to the
// picture; the table is monotone because both mappings are.
std::vector<std::int32_t> SourceColumns(int width, double weight) {
  std::vector<std::int32_t> columns(static_cast<std::size_t>(width));
  const double last = double(width) - 1;
  for (int x = 0; x < width; ++x) {
    double source = x;
    if (width > 1) {
      const double u = std::clamp(2.0 * x / last - 1, -1.0, 1.0);
      const double full = (std::asin(u) / kHalfPi + 1) * last / 2;
      source = x + weight * (full - x);
    }
    columns[std::size_t(x)] = std::int32_t(std::clamp(std::lround(source), 0L, long(width) - 1));
  }
  return columns;
}

}  // namespace

// Wraps the picture round an upright cylinder seen from the front. Rows keep
// their place; each column takes a source column from a table built once.
// p0 (limited to 1..100) is the strength in percent: 100 gives the full
// cylinder, small values leave the picture almost as it was. The table holds
// 32-bit columns so that pictures wider than 65535 pixels map correctly.
GlobalHandle Cylinder(GlobalHandle image, const EffectRecord& record) {
  const double weight = std::clamp(record.p[0], kMinStrength, kMaxStrength) / 100.0;
  return RunDistortion(image, [&](EffectFrame& frame, auto channels) {
    constexpr int C = decltype(channels)::value;
    const ImageLock& src = frame.source();
    const int width = src.width();
    const int height = src.height();
    const std::vector<std::int32_t> columns = SourceColumns(width, weight);
    for (int y = 0; y < height; ++y) {
      if (!frame.BeginRow(y)) return;
      const std::uint8_t* in = src.row(y);
      std::uint8_t* out = frame.resultRow(y);
      for (int x = 0; x < width; ++x, out += C)
        CopyPixel<C>(out, in + std::size_t(columns[std::size_t(x)]) * C);
    }
  });
}

}  // namespace tx::fx
