// FitImageForDisplay and the placement rule of fitted drawing.

#include <algorithm>
#include <cstdint>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "image/image_utils_p.h"

namespace tx {
namespace {

// The other side of a picture whose side `fitted` is given: other * fitted /
// side, rounded to nearest when asked. At least 1, so that a very thin
// picture still fits as a line instead of failing as an empty image.
std::int64_t ProportionalSide(std::int64_t other, std::int64_t fitted, std::int64_t side,
                              bool rounding) {
  std::int64_t value = (other * fitted + (rounding ? side / 2 : 0)) / side;
  return std::max<std::int64_t>(value, 1);
}

}  // namespace

GlobalHandle FitImageForDisplay(GlobalHandle image, int boxWidth, int boxHeight, bool keepAspect,
                                bool rounding) {
  if (boxWidth < 1 || boxHeight < 1) return nullptr;
  ImageLock src(image);
  if (!src) return nullptr;
  const int bits = src.bitCount();
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24) return nullptr;
  const std::int64_t srcWidth = src.width(), srcHeight = src.height();

  std::int64_t width = boxWidth, height = boxHeight;
  if (keepAspect) {
    if (srcWidth * boxHeight >= srcHeight * boxWidth) {
      height = ProportionalSide(srcHeight, boxWidth, srcWidth, rounding);
    } else {
      width = ProportionalSide(srcWidth, boxHeight, srcHeight, rounding);
    }
  }

  const bool gray = src.isGray();
  PackedImage result(NewImageBlock(int(width), int(height), gray ? 8 : 24, gray ? 256 : 0));
  ImageLock dst(result.get());
  if (!dst) return nullptr;
  if (gray) FillGrayRamp(dst.palette());

  auto cols = detail::NewTable<std::int64_t>(std::size_t(width));
  if (!cols) return nullptr;
  for (std::int64_t i = 0; i < width; ++i)
    cols[i] = i * srcWidth / width;
  const auto palette = detail::FullPalette(src);
  for (std::int64_t y = 0; y < height; ++y) {
    const std::uint8_t* in = src.row(int(y * srcHeight / height));
    std::uint8_t* out = dst.row(int(y));
    if (gray) {
      // The gray ramp maps every index to itself: copy the values.
      for (std::int64_t i = 0; i < width; ++i)
        out[i] = in[cols[i]];
      continue;
    }
    for (std::int64_t i = 0; i < width; ++i) {
      RgbQuad c = detail::ColourAt(in, cols[i], bits, palette);
      out[3 * i] = c.blue;
      out[3 * i + 1] = c.green;
      out[3 * i + 2] = c.red;
    }
  }
  return result.release();
}

ImageRect PlaceFittedImage(const ImageRect& box, int imageWidth, int imageHeight) {
  // A difference of one pixel (or an image larger than the box) is not worth
  // centring: the image goes to the box's corner.
  auto offset = [](std::int64_t boxSide, std::int64_t imageSide) {
    std::int64_t difference = boxSide - imageSide;
    return difference <= 1 ? 0 : difference / 2;
  };
  const std::int64_t left = box.left + offset(std::int64_t(box.right) - box.left, imageWidth);
  const std::int64_t top = box.top + offset(std::int64_t(box.bottom) - box.top, imageHeight);
  return ImageRect{int(left), int(top), int(left + imageWidth), int(top + imageHeight)};
}

}  // namespace tx
