#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "effects/filter/filter_support.h"
#include "effects/sample_image.h"

namespace tx::fx {
namespace {

struct Direction {
  int dx;
  int dy;  // stored rows
};

constexpr int kDefaultDirection = 4;

// Directions 1 to 8, the step from one sample to the next: 4 right and 5
// left along the row; 2 toward the first stored row (down the picture) and
// 7 away from it; 1 right and down, 3 left and down, and their mirrors 6
// right and up and 8 left and up. Other values count as 4.
Direction DirectionOf(int code) {
  constexpr std::array<Direction, 8> kSteps = {
      {{1, -1}, {0, -1}, {-1, -1}, {1, 0}, {-1, 0}, {1, 1}, {0, 1}, {-1, 1}}};
  if (code < 1 || code > 8) code = kDefaultDirection;
  return kSteps[std::size_t(code - 1)];
}

// Samples from position p (inclusive) to the edge along a step of s, in a
// dimension of `count`; unlimited when the step is 0.
inline int StepsToEdge(int p, int s, int count) {
  if (s > 0) return count - p;
  if (s < 0) return p + 1;
  return std::numeric_limits<int>::max();
}

}  // namespace

// p0 length n (limited to the smaller side), p1 direction. Each sample is
// the truncated mean of the n samples starting at it along the direction, or
// of those there are before the edge. Running sums along each line make the
// cost per sample independent of n.
GlobalHandle MotionBlur(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int width = src.width();
  const int height = src.height();
  // A length below 1 takes the sample alone: a copy.
  const int n = std::clamp(record.p[0], 1, std::min(width, height));
  const Direction u = DirectionOf(record.p[1]);
  const std::size_t step = std::size_t(channels);
  const std::size_t rowSamples = std::size_t(width) * step;
  auto inX = [&](std::int64_t x) { return x >= 0 && x < width; };
  auto inY = [&](std::int64_t y) { return y >= 0 && y < height; };

  // Sums of the current row and of the row one step along the direction.
  std::vector<std::int32_t> sums(rowSamples), nextSums(rowSamples);
  // Rows are visited so that row y + dy is done before row y; within a row
  // of a horizontal direction, x + dx is done before x.
  const bool upward = u.dy > 0;
  const bool rightward = u.dx > 0;
  for (int done = 0; done < height; ++done) {
    if (!frame.BeginRow(done)) break;
    const int y = upward ? height - 1 - done : done;
    const std::uint8_t* in = src.row(y);
    const std::int64_t farY = std::int64_t(y) + std::int64_t(n) * u.dy;
    const std::uint8_t* far = inY(farY) ? src.row(int(farY)) : nullptr;
    const bool hasNext = u.dy != 0 && inY(std::int64_t(y) + u.dy) && done > 0;
    const int rowSteps = StepsToEdge(y, u.dy, height);
    std::uint8_t* out = frame.resultRow(y);
    for (int i = 0; i < width; ++i) {
      const int x = (u.dy == 0 && rightward) ? width - 1 - i : i;
      const std::int64_t nextX = std::int64_t(x) + u.dx;
      const std::int64_t farX = std::int64_t(x) + std::int64_t(n) * u.dx;
      const bool farInside = far && inX(farX);
      const int count = std::min(n, std::min(rowSteps, StepsToEdge(x, u.dx, width)));
      for (std::size_t c = 0; c < step; ++c) {
        const std::size_t at = std::size_t(x) * step + c;
        std::int32_t sum = in[at];
        if (inX(nextX)) {
          const std::size_t nextAt = std::size_t(nextX) * step + c;
          if (u.dy == 0) {
            sum += sums[nextAt];
          } else if (hasNext) {
            sum += nextSums[nextAt];
          }
        }
        if (farInside) sum -= far[std::size_t(farX) * step + c];
        sums[at] = sum;
        out[at] = std::uint8_t(sum / count);
      }
    }
    if (u.dy != 0) std::swap(sums, nextSums);
  }
  return frame.Finish();
}

}  // namespace tx::fx
