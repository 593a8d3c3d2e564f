#include "effects/tone/tone_kernel.h"

namespace tx::fx {
namespace {

// 1-bit images keep their two colours and swap every pixel between them.
GlobalHandle NegativeOneBit(GlobalHandle image) {
  EffectFrame frame(image);
  if (!frame.sourceOk() || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const std::size_t used = (std::size_t(src.width()) + 7) / 8;
  for (int y = 0; y < src.height(); ++y) {
    if (!frame.BeginRow(y)) break;
    const std::uint8_t* in = src.row(y);
    std::uint8_t* out = frame.resultRow(y);
    for (std::size_t i = 0; i < used; ++i)
      out[i] = std::uint8_t(~in[i]);
  }
  return frame.Finish();
}

}  // namespace

GlobalHandle Negative(GlobalHandle image, const EffectRecord& /*record*/) {
  if (GetImageBitCount(image) == 1) return NegativeOneBit(image);
  ToneTable invert;
  for (int i = 0; i < 256; ++i)
    invert[std::size_t(i)] = std::uint8_t(255 - i);
  return ApplyChannelTables(image, ChannelTables{invert, invert, invert}, &invert);
}

}  // namespace tx::fx
