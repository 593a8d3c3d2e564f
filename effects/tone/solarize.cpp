#include "effects/tone/tone_kernel.h"

namespace tx::fx {

GlobalHandle Solarize(GlobalHandle image, const EffectRecord& /*record*/) {
  // Samples of 128 and above are inverted, the darker half is kept.
  ToneTable table;
  for (int i = 0; i < 256; ++i)
    table[std::size_t(i)] = std::uint8_t(i >= 128 ? 255 - i : i);
  return ApplyChannelTables(image, ChannelTables{table, table, table}, &table);
}

}  // namespace tx::fx
