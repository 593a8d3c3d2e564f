#include "rastio/orientation.h"

#include <cstring>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/pixel_index.h"

namespace tx::rastio {
namespace {

// Reads and writes one pixel of any depth as an integer of up to 32 bits,
// so a single transform serves indexed and true-colour pictures alike.
class PixelRows {
 public:
  explicit PixelRows(const ImageLock& lock)
      : m_lock(lock), m_bits(lock.bitCount()), m_bytes(m_bits / 8) {}

  std::uint32_t Get(int x, int y) const {
    const std::uint8_t* row = m_lock.topDownRow(y);
    if (m_bits <= 8) return IndexAt(row, x, m_bits);
    std::uint32_t value = 0;
    std::memcpy(&value, row + std::size_t(x) * m_bytes, m_bytes);
    return value;
  }

  void Set(int x, int y, std::uint32_t value) const {
    std::uint8_t* row = m_lock.topDownRow(y);
    if (m_bits <= 8) return PutIndex(row, x, m_bits, std::uint8_t(value));
    std::memcpy(row + std::size_t(x) * m_bytes, &value, m_bytes);
  }

 private:
  const ImageLock& m_lock;
  int m_bits;
  int m_bytes;
};

}  // namespace

GlobalHandle ApplyOrientation(GlobalHandle image, int orientation) {
  if (orientation < 2 || orientation > 8) return nullptr;
  ImageLock source(image);
  if (!source) return nullptr;
  int w = source.width();
  int h = source.height();
  bool swapsSides = orientation >= 5;
  int outW = swapsSides ? h : w;
  int outH = swapsSides ? w : h;
  PackedImage result(NewImageBlock(outW, outH, source.bitCount(), source.header().biClrUsed,
                                   OnAllocFailure::Quiet));
  ImageLock target(result.get());
  if (!target) return nullptr;
  std::memcpy(target.palette(), source.palette(), 4 * std::size_t(source.header().biClrUsed));
  target.header().biXPelsPerMeter = source.header().biXPelsPerMeter;
  target.header().biYPelsPerMeter = source.header().biYPelsPerMeter;

  PixelRows from(source);
  PixelRows to(target);
  for (int y = 0; y < outH; ++y) {
    for (int x = 0; x < outW; ++x) {
      // (sx, sy): the stored pixel that shows at (x, y) of the upright picture.
      int sx = x, sy = y;
      switch (orientation) {
        case 2:
          sx = w - 1 - x;
          break;
        case 3:
          sx = w - 1 - x, sy = h - 1 - y;
          break;
        case 4:
          sy = h - 1 - y;
          break;
        case 5:
          sx = y, sy = x;
          break;
        case 6:
          sx = y, sy = h - 1 - x;
          break;
        case 7:
          sx = w - 1 - y, sy = h - 1 - x;
          break;
        case 8:
          sx = w - 1 - y, sy = x;
          break;
      }
      to.Set(x, y, from.Get(sx, sy));
    }
  }
  return result.release();
}

}  // namespace tx::rastio
