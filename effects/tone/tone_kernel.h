#pragma once
// The one kernel of the tone and colour effects: each colour is changed in
// place without moving pixels. 24-bit images change every pixel; gray images
// change their pixel bytes through a gray table (or are copied when there is
// none); other 8-bit and 4-bit images change their colour-table entries and
// keep their pixel bytes. Other depths give null.

#include <array>
#include <cstdint>
#include <cstring>

#include "effects/effects_p.h"

namespace tx::fx {

using ToneTable = std::array<std::uint8_t, 256>;

/// Blue, green and red tables, in pixel byte order.
struct ChannelTables {
  ToneTable blue;
  ToneTable green;
  ToneTable red;
};

/// The identity table.
ToneTable IdentityTable();

/// Tables that apply `table` to the channels of `selector` (1 all, 2 red,
/// 3 green, 4 blue; anything else none) and the identity to the others.
ChannelTables TablesForSelector(const ToneTable& table, int selector);

/// Runs `colourOp(std::uint8_t* bgr)` on every colour as the header above
/// says; `grayTable` maps a gray image's pixel bytes, null copies them.
template <typename ColourOp>
GlobalHandle MapColours(GlobalHandle image, const ColourOp& colourOp, const ToneTable* grayTable) {
  EffectFrame frame(image);
  if (!frame.sourceOk()) return nullptr;
  const ImageLock& src = frame.source();
  int bits = src.bitCount();
  bool gray = src.isGray();
  if (bits != 24 && bits != 8 && bits != 4) return nullptr;
  if (!frame.AllocateResult()) return nullptr;

  const int width = src.width();
  const bool palette = bits != 24 && !gray;
  if (palette) {
    RgbQuad* entries = frame.resultPalette();
    for (std::uint32_t i = 0; i < src.colourCount(); ++i)
      colourOp(&entries[i].blue);
  }
  // Only the pixel bytes of a row are touched; the padding stays zero.
  const std::size_t used =
      bits == 24 ? std::size_t(width) * 3 : (bits == 8 ? width : (std::size_t(width) + 1) / 2);
  for (int y = 0; y < src.height(); ++y) {
    if (!frame.BeginRow(y)) break;
    const std::uint8_t* in = src.row(y);
    std::uint8_t* out = frame.resultRow(y);
    if (bits == 24) {
      // One pass: each pixel is read, changed in registers and written.
      for (int x = 0; x < width; ++x, in += 3, out += 3) {
        std::uint8_t bgr[3] = {in[0], in[1], in[2]};
        colourOp(bgr);
        out[0] = bgr[0];
        out[1] = bgr[1];
        out[2] = bgr[2];
      }
    } else if (gray && grayTable) {
      for (int x = 0; x < width; ++x)
        out[x] = (*grayTable)[in[x]];
    } else {
      std::memcpy(out, in, used);
    }
  }
  return frame.Finish();
}

/// MapColours with one table per channel.
GlobalHandle ApplyChannelTables(GlobalHandle image, const ChannelTables& tables,
                                const ToneTable* grayTable);

}  // namespace tx::fx
