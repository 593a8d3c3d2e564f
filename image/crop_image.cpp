// CropImage and CropImageTopDown.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "image/image_utils_p.h"

namespace tx {
namespace {

// Copies `bitCount` bits starting at bit `bitOffset` of `in` (a stored row of
// `inBytes` bytes) to the start of `out`. Rows of 1 and 4 bits need this when
// the left edge does not fall on a byte: every output byte joins the tail of
// one source byte with the head of the next. Bits past the end of the copy are
// cleared so the row padding stays zero.
void CopyBits(const std::uint8_t* in, std::size_t inBytes, std::uint64_t bitOffset,
              std::uint64_t bitCount, std::uint8_t* out) {
  const std::size_t first = std::size_t(bitOffset / 8);
  const int shift = int(bitOffset % 8);
  const std::size_t outBytes = std::size_t((bitCount + 7) / 8);
  if (shift == 0) {
    std::memcpy(out, in + first, outBytes);
  } else {
    for (std::size_t k = 0; k < outBytes; ++k) {
      const std::size_t at = first + k;
      const std::uint8_t next = at + 1 < inBytes ? in[at + 1] : 0;
      out[k] = std::uint8_t(in[at] << shift | next >> (8 - shift));
    }
  }
  if (const int tail = int(bitCount % 8)) out[outBytes - 1] &= std::uint8_t(0xFF << (8 - tail));
}

}  // namespace

GlobalHandle CropImage(GlobalHandle image, const ImageRect& rect) {
  ImageLock src(image);
  if (!src) return nullptr;
  // Widened: the rectangle comes from the caller and may be anything.
  const std::int64_t left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
  if (left < 0 || top < 0 || right > src.width() || bottom > src.height()) return nullptr;
  if (right <= left || bottom <= top) return nullptr;
  const int width = int(right - left), height = int(bottom - top);
  const int bits = src.bitCount();

  PackedImage result(NewImageBlock(width, height, bits, src.colourCount()));
  ImageLock dst(result.get());
  if (!dst) return nullptr;
  if (src.colourCount() > 0) {
    std::memcpy(dst.palette(), src.palette(), std::size_t(src.colourCount()) * sizeof(RgbQuad));
  }

  for (int y = 0; y < height; ++y) {
    if (detail::AbortRequested()) return nullptr;
    const std::uint8_t* in = src.row(int(top) + y);
    std::uint8_t* out = dst.row(y);
    if (bits < 8) {
      CopyBits(in, src.stride(), std::uint64_t(left) * bits, std::uint64_t(width) * bits, out);
    } else {
      const std::size_t bytesPerPixel = std::size_t(bits / 8);
      std::memcpy(out, in + std::size_t(left) * bytesPerPixel, std::size_t(width) * bytesPerPixel);
    }
  }
  return result.release();
}

GlobalHandle CropImageTopDown(GlobalHandle image, const ImageRect& rect) {
  std::int64_t width = 0, height = 0;
  {
    ImageLock lock(image);
    if (!lock) return nullptr;
    width = lock.width();
    height = lock.height();
  }
  const std::int64_t left = std::max<std::int64_t>(rect.left, 0);
  const std::int64_t top = std::max<std::int64_t>(rect.top, 0);
  const std::int64_t right = std::min<std::int64_t>(rect.right, width);
  const std::int64_t bottom = std::min<std::int64_t>(rect.bottom, height);
  if (right <= left || bottom <= top) return nullptr;
  // Top-down rows [top, bottom) are stored rows [height - bottom, height - top).
  return CropImage(image,
                   ImageRect{int(left), int(height - bottom), int(right), int(height - top)});
}

}  // namespace tx
