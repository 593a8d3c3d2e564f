#include "image/packed_image.h"

#include <cstring>
#include <limits>

#include "image/image_block.h"
#include "image/image_lock.h"

namespace tx {

GlobalHandle CreatePackedImage(int width, int height, ColourWord fill, int grayFlag) {
  if (width <= 0 || height <= 0) return nullptr;
  bool gray = grayFlag > 0;
  int bits = gray ? 8 : 24;
  std::uint32_t head = gray ? kGrayHeadSize : kBitmapHeaderSize;
  std::uint64_t stride = RowStride(bits, width);
  std::uint64_t imageSize = stride * std::uint64_t(height);
  if (imageSize > std::numeric_limits<std::uint32_t>::max() - head) return nullptr;
  GlobalHandle block = GlobalAlloc(std::size_t(imageSize + head));
  if (!block) return nullptr;

  auto* base = static_cast<std::uint8_t*>(GlobalLock(block));
  auto* header = reinterpret_cast<BitmapInfoHeader*>(base);
  *header = BitmapInfoHeader{kBitmapHeaderSize,
                             width,
                             height,
                             1,
                             std::uint16_t(bits),
                             0,
                             std::uint32_t(imageSize),
                             kDefaultPelsPerMeter,
                             kDefaultPelsPerMeter,
                             gray ? 256u : 0u,
                             0};
  std::uint8_t* rows = base + head;
  if (gray) {
    FillGrayRamp(reinterpret_cast<RgbQuad*>(base + kBitmapHeaderSize));
    // Padding stays zero: only the first `width` bytes of each row are filled.
    for (int y = 0; y < height; ++y)
      std::memset(rows + y * stride, int(fill & 0xFF), width);
  } else {
    // Fill the first row, then copy it to every other row.
    for (int x = 0; x < width; ++x)
      PutColourWord(rows + 3 * std::size_t(x), fill);
    for (int y = 1; y < height; ++y)
      std::memcpy(rows + y * stride, rows, 3 * std::size_t(width));
  }
  GlobalUnlock(block);
  return block;
}

int GetImageSize(GlobalHandle image, std::uint16_t& width, std::uint16_t& height) {
  if (!image) return 0;
  auto* header = static_cast<BitmapInfoHeader*>(GlobalLock(image));
  if (!header) return 0;
  if (GlobalSize(image) < kBitmapHeaderSize) {
    GlobalUnlock(image);
    return 0;
  }
  width = std::uint16_t(header->biWidth & 0xFFFF);
  height = std::uint16_t(header->biHeight & 0xFFFF);
  GlobalUnlock(image);
  return 1;
}

int GetImageBitCount(GlobalHandle image) {
  if (!image) return -1;
  auto* header = static_cast<BitmapInfoHeader*>(GlobalLock(image));
  if (!header) return -1;
  int bits = GlobalSize(image) < kBitmapHeaderSize ? -1 : header->biBitCount;
  GlobalUnlock(image);
  return bits;
}

int IsGrayImage(GlobalHandle image) {
  return ImageLock(image).isGray() ? 1 : 0;
}

int GetImageKind(GlobalHandle image) {
  switch (GetImageBitCount(image)) {
    case 24:
      return kImageKindTrueColour;
    case 8:
      return IsGrayImage(image) ? kImageKindGray : kImageKindPalette8;
    case 4:
      return kImageKind4Bit;
    case 1:
      return kImageKind1Bit;
    default:
      return kImageKindOther;
  }
}

}  // namespace tx
