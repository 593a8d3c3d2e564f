// ConvertToTrueColour and ConvertToGray.

#include <cstdint>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "image/image_utils_p.h"

namespace tx {

GlobalHandle ConvertToTrueColour(GlobalHandle image) {
  ImageLock src(image);
  if (!src) return nullptr;
  const int bits = src.bitCount();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16) return nullptr;
  // An empty colour count means a full table; it is written into the source
  // so later readers see the count. Not for 16 bits: 65536 entries would
  // describe a colour table the block does not hold and break the image.
  if (bits <= 8 && src.header().biClrUsed == 0) src.header().biClrUsed = 1u << bits;

  PackedImage result(NewImageBlock(src.width(), src.height(), 24, 0));
  ImageLock dst(result.get());
  if (!dst) return nullptr;
  const auto palette = detail::FullPalette(src);
  const int width = src.width();
  for (int y = 0; y < src.height(); ++y) {
    const std::uint8_t* in = src.row(y);
    std::uint8_t* out = dst.row(y);
    for (int x = 0; x < width; ++x) {
      RgbQuad c = detail::ColourAt(in, x, bits, palette);
      out[3 * x] = c.blue;
      out[3 * x + 1] = c.green;
      out[3 * x + 2] = c.red;
    }
  }
  return result.release();
}

GlobalHandle ConvertToGray(GlobalHandle image) {
  ImageLock src(image);
  if (!src) return nullptr;
  const int bits = src.bitCount();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return nullptr;

  PackedImage result(NewImageBlock(src.width(), src.height(), 8, 256));
  ImageLock dst(result.get());
  if (!dst) return nullptr;
  FillGrayRamp(dst.palette());

  // Indexed pixels take the gray of their table entry, worked out once.
  std::uint8_t grayOfIndex[256];
  const auto palette = detail::FullPalette(src);
  for (int i = 0; i < 256; ++i)
    grayOfIndex[i] = detail::GrayOf(palette[i]);
  const int width = src.width();
  for (int y = 0; y < src.height(); ++y) {
    const std::uint8_t* in = src.row(y);
    std::uint8_t* out = dst.row(y);
    if (bits == 24) {
      for (int x = 0; x < width; ++x)
        out[x] = detail::GrayOf(RgbQuad{in[3 * x], in[3 * x + 1], in[3 * x + 2], 0});
    } else {
      for (int x = 0; x < width; ++x)
        out[x] = grayOfIndex[IndexAt(in, x, bits)];
    }
  }
  return result.release();
}

}  // namespace tx
