#include <algorithm>
#include <cmath>

#include "effects/tone/tone_kernel.h"

namespace tx::fx {
namespace {

constexpr double kDarkGammaStep = 0.035;
constexpr double kLightGammaStep = 0.0045;

}  // namespace

// p0 channel selector, p1 highlight h, p2 midtone m, p3 shadow s.
GlobalHandle ToneAdjust(GlobalHandle image, const EffectRecord& record) {
  const int selector = record.p[0];
  const std::int64_t h = record.p[1];
  const std::int64_t m = record.p[2];
  const std::int64_t s = record.p[3];

  // Negative shadow clips the darkest levels to black, positive highlight the
  // lightest to white; between them a gamma curve set by the midtone runs
  // from base e up to 255 - f.
  const std::int64_t k = s <= 0 ? -s : 0;
  const std::int64_t w = std::max<std::int64_t>(h, 0);
  const std::int64_t d = std::max<std::int64_t>(1, 255 - k - w);
  const std::int64_t e = std::max<std::int64_t>(s, 0);
  const std::int64_t f = h <= 0 ? -h : 0;
  const double x = m < 0 ? 1.0 - kDarkGammaStep * double(m) : 1.0 - kLightGammaStep * double(m);

  ToneTable table;
  for (std::int64_t i = 0; i < 256; ++i) {
    std::int64_t v;
    if (i <= k) {
      v = 0;
    } else if (i >= 255 - w) {
      v = 255;
    } else if (e + f < 255) {
      double t = std::pow(double(i - k) / double(d), x) * double(255 - e - f);
      v = e + std::int64_t(std::clamp(std::trunc(t + 0.5), -1024.0, 1024.0));
    } else {
      v = e;
    }
    table[std::size_t(i)] = std::uint8_t(std::clamp<std::int64_t>(v, 0, 255));
  }
  // The table applies to a gray image's levels whatever the selector.
  return ApplyChannelTables(image, TablesForSelector(table, selector), &table);
}

}  // namespace tx::fx
