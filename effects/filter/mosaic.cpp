#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "effects/sample_image.h"

namespace tx::fx {

// p0 block width, p1 block height, each limited to the picture. Blocks start
// at the first stored row and column (the last ones take what is left) and
// take the truncated mean of each channel. Null when either size is not
// positive.
GlobalHandle Mosaic(GlobalHandle image, const EffectRecord& record) {
  if (record.p[0] <= 0 || record.p[1] <= 0) return nullptr;
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int width = src.width();
  const int height = src.height();
  const int blockWidth = std::min(record.p[0], width);
  const int blockHeight = std::min(record.p[1], height);
  const std::size_t step = std::size_t(channels);
  const std::size_t rowSamples = std::size_t(width) * step;
  // Per sample column, the sum over the rows of the current band of blocks.
  std::vector<std::uint64_t> columnSum(rowSamples);
  std::vector<std::uint8_t> bandRow(rowSamples);

  for (int top = 0; top < height; top += blockHeight) {
    const int rows = std::min(blockHeight, height - top);
    std::fill(columnSum.begin(), columnSum.end(), 0);
    for (int y = top; y < top + rows; ++y) {
      const std::uint8_t* in = src.row(y);
      for (std::size_t s = 0; s < rowSamples; ++s)
        columnSum[s] += in[s];
    }
    for (int left = 0; left < width; left += blockWidth) {
      const int columns = std::min(blockWidth, width - left);
      const std::uint64_t count = std::uint64_t(columns) * std::uint64_t(rows);
      for (std::size_t c = 0; c < step; ++c) {
        std::uint64_t sum = 0;
        for (int x = left; x < left + columns; ++x)
          sum += columnSum[std::size_t(x) * step + c];
        const auto mean = std::uint8_t(sum / count);
        for (int x = left; x < left + columns; ++x)
          bandRow[std::size_t(x) * step + c] = mean;
      }
    }
    for (int y = top; y < top + rows; ++y) {
      if (!frame.BeginRow(y)) return frame.Finish();
      std::memcpy(frame.resultRow(y), bandRow.data(), rowSamples);
    }
  }
  return frame.Finish();
}

}  // namespace tx::fx
