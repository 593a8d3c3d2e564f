#include "montage/analysis_image.h"

#include <algorithm>
#include <cmath>

#include "image/image_lock.h"
#include "image/image_utils.h"

namespace tx {

AnalysisSize ReducedTargetSize(int width, int height, int cellCount, int cellWidth,
                               int cellHeight) {
  AnalysisSize size{width, height};
  if (width <= 0 || height <= 0) return size;
  const double wanted = double(cellWidth) * double(cellHeight) * double(std::max(cellCount, 1));
  const double ratio = std::sqrt(wanted / (double(width) * double(height)));
  if (ratio < 1.0) {
    size.width = int(double(width) * ratio);
    size.height = int(double(height) * ratio);
  }
  return size;
}

GlobalHandle MakeAnalysisImage(GlobalHandle target, int cellCount, int cellWidth, int cellHeight) {
  if (cellWidth < 1 || cellHeight < 1) return nullptr;
  int width = 0;
  int height = 0;
  int bitCount = 0;
  {
    ImageLock lock(target);
    if (!lock) return nullptr;
    width = lock.width();
    height = lock.height();
    bitCount = lock.bitCount();
  }
  // The cell samples are read as blue, green, red bytes, so the analysis
  // image is always 24-bit, whatever the target's depth.
  PackedImage trueColour;
  GlobalHandle source = target;
  if (bitCount != 24) {
    trueColour.reset(ConvertToTrueColour(target));
    if (!trueColour) return nullptr;
    source = trueColour.get();
  }
  const AnalysisSize reduced = ReducedTargetSize(width, height, cellCount, cellWidth, cellHeight);
  const int cols = std::max(reduced.width / cellWidth, 1);
  const int rows = std::max(reduced.height / cellHeight, 1);
  return ScaleImage(source, cols * cellWidth, rows * cellHeight);
}

}  // namespace tx
