#include "effects/filter/filter_support.h"

namespace tx::fx {
namespace {

// A quotient table of 256k bytes stays under 1 MiB.
constexpr int kLargestTableDivisor = 4096;

// Horizontal pass: every row of `src` into `work` as rounded means of n
// samples starting n/2 columns left, kept as a running sum per channel.
void SmoothRowsAcross(const ImageLock& src, int channels, int n, std::uint8_t* work) {
  const int width = src.width();
  const std::size_t rowSamples = std::size_t(width) * std::size_t(channels);
  const RoundedMean mean(n);
  const int start = -(n / 2);
  for (int y = 0; y < src.height(); ++y) {
    const std::uint8_t* in = src.row(y);
    std::uint8_t* out = work + std::size_t(y) * rowSamples;
    for (int c = 0; c < channels; ++c) {
      auto at = [&](std::int64_t x) {
        return int(
            in[std::size_t(ClampPosition(x, width)) * std::size_t(channels) + std::size_t(c)]);
      };
      int sum = 0;
      for (int i = 0; i < n; ++i)
        sum += at(start + i);
      for (int x = 0; x < width; ++x) {
        out[std::size_t(x) * std::size_t(channels) + std::size_t(c)] = mean(sum);
        sum += at(std::int64_t(x) + start + n) - at(std::int64_t(x) + start);
      }
    }
  }
}

}  // namespace

RoundedMean::RoundedMean(int k) : m_k(std::max(k, 1)) {
  if (m_k > kLargestTableDivisor) return;
  m_table.resize(std::size_t(m_k) * 256);
  for (std::size_t j = 0; j < m_table.size(); ++j)
    m_table[j] = std::uint8_t((std::size_t(m_k) / 2 + j) / std::size_t(m_k));
}

std::uint8_t RoundedMean::Divide(std::int64_t sum) const {
  const std::int64_t shifted = sum + m_k / 2;
  // Floor division, so negative sums (a negative centre weight) round down.
  std::int64_t q = shifted / m_k;
  if (shifted % m_k != 0 && shifted < 0) --q;
  return std::uint8_t(std::clamp<std::int64_t>(q, 0, 255));
}

bool BoxSmoothRows(EffectFrame& frame, int channels, int n, int centreWeight,
                   void (*finishRow)(void* context, const std::uint8_t* in, std::uint8_t* out),
                   void* context) {
  const ImageLock& src = frame.source();
  const int height = src.height();
  const std::size_t rowSamples = std::size_t(src.width()) * std::size_t(channels);
  auto work = AllocateWork<std::uint8_t>(rowSamples * std::size_t(height));
  std::vector<std::int32_t> columnSum(rowSamples, 0);
  if (!work) return false;
  SmoothRowsAcross(src, channels, n, work.get());

  auto workRow = [&](std::int64_t y) {
    return work.get() + std::size_t(ClampPosition(y, height)) * rowSamples;
  };
  const int start = -(n / 2);
  for (int i = 0; i < n; ++i) {
    const std::uint8_t* row = workRow(start + i);
    for (std::size_t s = 0; s < rowSamples; ++s)
      columnSum[s] += row[s];
  }
  const RoundedMean mean(n + centreWeight);
  for (int y = 0; y < height; ++y) {
    if (!frame.BeginRow(y)) return false;
    const std::uint8_t* in = src.row(y);
    std::uint8_t* out = frame.resultRow(y);
    for (std::size_t s = 0; s < rowSamples; ++s)
      out[s] = mean(std::int64_t(centreWeight) * in[s] + columnSum[s]);
    if (finishRow) finishRow(context, in, out);
    const std::uint8_t* entering = workRow(std::int64_t(y) + start + n);
    const std::uint8_t* leaving = workRow(std::int64_t(y) + start);
    for (std::size_t s = 0; s < rowSamples; ++s)
      columnSum[s] += int(entering[s]) - int(leaving[s]);
  }
  return true;
}

}  // namespace tx::fx
