#include "image/image_block.h"

#include <cstring>
#include <limits>

#include "platform/notices.h"

namespace tx {
namespace {

constexpr char kNoMemoryText[] = "There is not enough memory.";
constexpr char kNoMemoryTitle[] = "System message";

}  // namespace

void ShowNoMemory() {
  Notices()->Show(kNoMemoryText, kNoMemoryTitle, NoticeIcon::Error);
}

GlobalHandle AllocImageBlock(std::uint64_t bytes) {
  GlobalHandle block = nullptr;
  if (bytes <= std::numeric_limits<std::uint32_t>::max() - kImageBlockSpare) {
    block = GlobalAlloc(std::size_t(bytes + kImageBlockSpare));
  }
  if (!block) ShowNoMemory();
  return block;
}

GlobalHandle NewImageBlock(int width, int height, int bitCount, std::uint32_t colours,
                           OnAllocFailure onFailure) {
  if (width <= 0 || height <= 0 || colours > 256) return nullptr;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32) {
    return nullptr;
  }
  std::uint64_t imageSize = RowStride(bitCount, width) * std::uint64_t(height);
  std::uint64_t total = kBitmapHeaderSize + 4ull * colours + imageSize;
  bool notify = onFailure == OnAllocFailure::Notify;
  if (total > std::numeric_limits<std::uint32_t>::max() - kImageBlockSpare) {
    if (notify) ShowNoMemory();
    return nullptr;
  }
  GlobalHandle block = notify ? AllocImageBlock(total) : GlobalAlloc(total + kImageBlockSpare);
  if (!block) return nullptr;
  auto* header = static_cast<BitmapInfoHeader*>(GlobalLock(block));
  header->biSize = kBitmapHeaderSize;
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = std::uint16_t(bitCount);
  header->biCompression = 0;
  header->biSizeImage = std::uint32_t(imageSize);
  header->biXPelsPerMeter = kDefaultPelsPerMeter;
  header->biYPelsPerMeter = kDefaultPelsPerMeter;
  header->biClrUsed = colours;
  header->biClrImportant = 0;
  GlobalUnlock(block);
  return block;
}

void FillGrayRamp(RgbQuad* palette) {
  for (int i = 0; i < 256; ++i) {
    auto v = std::uint8_t(i);
    palette[i] = RgbQuad{v, v, v, 0};
  }
}

}  // namespace tx
