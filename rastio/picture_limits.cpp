#include <atomic>

#include "image/image_block.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"

namespace tx {
namespace {
std::atomic<std::int64_t> g_maxSide{kMaxPictureSide};
std::atomic<std::int64_t> g_maxPixels{kMaxPicturePixels};
}  // namespace

void SetPictureSizeLimits(std::int64_t maxSide, std::int64_t maxPixels) {
  g_maxSide = maxSide;
  g_maxPixels = maxPixels;
}

namespace rastio {

bool CheckPictureSize(std::int64_t width, std::int64_t height, std::string& error) {
  if (width < 1 || height < 1) {
    error = "the picture has no pixels";
    return false;
  }
  std::int64_t maxSide = g_maxSide.load();
  if (width > maxSide || height > maxSide) {
    error = "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
            " pixels; at most " + std::to_string(maxSide) + " pixels a side can be read";
    return false;
  }
  if (width * height > g_maxPixels.load()) {
    error = "the picture has " + std::to_string(width * height) + " pixels; at most " +
            std::to_string(g_maxPixels.load()) + " can be read";
    return false;
  }
  return true;
}

std::int64_t MaxPicturePixels() {
  return g_maxPixels.load();
}

GlobalHandle NewDecodedImage(std::int64_t width, std::int64_t height, int bitCount,
                             std::uint32_t colours, std::string& error) {
  if (!CheckPictureSize(width, height, error)) return nullptr;
  GlobalHandle image =
      NewImageBlock(int(width), int(height), bitCount, colours, OnAllocFailure::Quiet);
  if (!image) error = "not enough memory for a picture of this size";
  return image;
}

}  // namespace rastio
}  // namespace tx
