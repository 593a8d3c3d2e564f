#include <cmath>

#include "effects/tone/tone_kernel.h"

namespace tx::fx {

GlobalHandle LogBrighten(GlobalHandle image, const EffectRecord& /*record*/) {
  // T[i] = log256(i) scaled to 0..255: shadows open up, 255 stays 255.
  ToneTable table;
  table[0] = 0;
  const double logScale = 255.0 / std::log(256.0);
  for (int i = 1; i < 256; ++i) {
    table[std::size_t(i)] = std::uint8_t(std::trunc(0.5 + logScale * std::log(double(i))));
  }
  return ApplyChannelTables(image, ChannelTables{table, table, table}, &table);
}

}  // namespace tx::fx
