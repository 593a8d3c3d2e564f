// PasteImage.

#include <cstdint>
#include <cstring>

#include "image/image_lock.h"
#include "image/image_utils.h"

namespace tx {

int PasteImage(GlobalHandle destination, GlobalHandle source, int x, int y) {
  ImageLock dst(destination);
  ImageLock src(source);
  if (!dst || !src) return 0;
  const int bits = src.bitCount();
  if (bits != dst.bitCount() || (bits != 8 && bits != 24)) return 0;
  const std::int64_t width = src.width(), height = src.height();
  if (x < 0 || y < 0 || x + width > dst.width() || y + height > dst.height()) return 0;

  const std::size_t bytesPerPixel = std::size_t(bits / 8);
  for (int row = 0; row < height; ++row) {
    // memmove: pasting an image into itself at (0, 0) is allowed.
    std::memmove(dst.topDownRow(y + row) + std::size_t(x) * bytesPerPixel, src.topDownRow(row),
                 std::size_t(width) * bytesPerPixel);
  }
  return 1;
}

}  // namespace tx
