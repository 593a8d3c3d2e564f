#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "effects/filter/filter_support.h"
#include "effects/sample_image.h"

namespace tx::fx {
namespace {

// Radii beyond this would only repeat edge samples; a hostile record is held
// to it. The window's 201 x 201 samples still fit a 16-bit count.
constexpr int kLargestRadius = 100;
constexpr std::size_t kBins = 32;
constexpr int kBinShift = 3;  // a bin spans 8 levels

using Histogram = std::array<std::uint16_t, kBins>;

// The most frequent bin, the lowest on a tie, as its first level.
std::uint8_t ModeLevel(const Histogram& h) {
  std::uint16_t best = 0;
  for (std::uint16_t n : h)
    best = std::max(best, n);
  std::size_t bin = 0;
  while (h[bin] != best)
    ++bin;
  return std::uint8_t(bin << kBinShift);
}

}  // namespace

// p0 radius r: each sample becomes the most frequent 8-level bin of the
// (2r + 1) x (2r + 1) window around it, positions clamped. Every column keeps
// the histogram of its 2r + 1 window rows, updated by one row as the window
// moves down; along the row the window's histogram gains the entering
// column's and loses the leaving one's. The cost per sample does not grow
// with the radius.
GlobalHandle OilPaint(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int width = src.width();
  const int height = src.height();
  const int r = std::clamp(record.p[0], 0, kLargestRadius);
  const std::size_t rowSamples = std::size_t(width) * std::size_t(channels);
  auto columns = AllocateWork<Histogram>(rowSamples);
  if (!columns) return nullptr;
  std::memset(static_cast<void*>(columns.get()), 0, rowSamples * sizeof(Histogram));
  auto countRow = [&](int y, int delta) {
    const std::uint8_t* in = src.row(y);
    for (std::size_t s = 0; s < rowSamples; ++s)
      columns[s][in[s] >> kBinShift] = std::uint16_t(columns[s][in[s] >> kBinShift] + delta);
  };
  for (int i = -r; i <= r; ++i)
    countRow(ClampPosition(i, height), 1);

  for (int y = 0; y < height; ++y) {
    if (!frame.BeginRow(y)) break;
    if (y > 0) {
      const int leaving = ClampPosition(std::int64_t(y) - 1 - r, height);
      const int entering = ClampPosition(std::int64_t(y) + r, height);
      if (leaving != entering) {
        countRow(leaving, -1);
        countRow(entering, 1);
      }
    }
    std::uint8_t* out = frame.resultRow(y);
    for (int c = 0; c < channels; ++c) {
      auto column = [&](std::int64_t x) -> const Histogram& {
        return columns[std::size_t(ClampPosition(x, width)) * std::size_t(channels) +
                       std::size_t(c)];
      };
      Histogram window{};
      for (int i = -r; i <= r; ++i) {
        const Histogram& h = column(i);
        for (std::size_t b = 0; b < kBins; ++b)
          window[b] = std::uint16_t(window[b] + h[b]);
      }
      for (int x = 0; x < width; ++x) {
        out[std::size_t(x) * std::size_t(channels) + std::size_t(c)] = ModeLevel(window);
        const Histogram& gone = column(std::int64_t(x) - r);
        const Histogram& come = column(std::int64_t(x) + r + 1);
        for (std::size_t b = 0; b < kBins; ++b)
          window[b] = std::uint16_t(window[b] + come[b] - gone[b]);
      }
    }
  }
  return frame.Finish();
}

}  // namespace tx::fx
