#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "effects/filter/filter_support.h"
#include "effects/sample_image.h"

namespace tx::fx {
namespace {

constexpr int kLargestWindow = 32;

// The 256-bin histogram of one channel's window with its running median:
// `median` is the bin holding the rank-th smallest sample and `below` the
// number of samples in lower bins. After the window slides, the median only
// walks as far as the counts moved, so the cost per pixel is the window's
// side, not its area.
class SlidingMedian {
 public:
  explicit SlidingMedian(int rank) : m_rank(rank) {}
  void Reset() {
    m_count.fill(0);
    m_median = 0;
    m_below = 0;
  }
  void Add(std::uint8_t v) {
    ++m_count[v];
    m_below += int(v < m_median);
  }
  /// Moves the window one column: the samples at `from` of each row leave,
  /// those at `to` enter.
  void Slide(const std::vector<const std::uint8_t*>& rows, std::size_t from, std::size_t to) {
    // The running count lives in a register here; as a member it would be
    // stored after every update, one long chain of memory writes.
    const int median = m_median;
    int below = m_below;
    for (const std::uint8_t* row : rows) {
      // Equal samples cancel; skipping them also spares smooth areas a long
      // chain of updates to one bin.
      const std::uint8_t gone = row[from];
      const std::uint8_t come = row[to];
      if (gone == come) continue;
      --m_count[gone];
      ++m_count[come];
      // Branch-free: whether a sample lies below the median is a coin toss.
      below += int(come < median) - int(gone < median);
    }
    m_below = below;
  }
  std::uint8_t Median() {
    while (m_below >= m_rank) {
      --m_median;
      m_below -= m_count[std::size_t(m_median)];
    }
    while (m_below + m_count[std::size_t(m_median)] < m_rank) {
      m_below += m_count[std::size_t(m_median)];
      ++m_median;
    }
    return std::uint8_t(m_median);
  }

 private:
  std::array<int, 256> m_count{};
  int m_rank;
  int m_median = 0;
  int m_below = 0;
};

}  // namespace

// p0 window side, at most 32. Each sample becomes the median of the window
// whose rows and columns start p0/2 before it, positions clamped.
GlobalHandle Despeckle(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int width = src.width();
  const int height = src.height();
  // A side below 1 is a one-pixel window: a copy.
  const int k = std::clamp(record.p[0], 1, kLargestWindow);
  const int start = -(k / 2);
  const std::size_t step = std::size_t(channels);
  std::vector<const std::uint8_t*> rows(std::size_t(k), nullptr);
  SlidingMedian median((k * k + 1) / 2);

  for (int y = 0; y < height; ++y) {
    if (!frame.BeginRow(y)) return frame.Finish();
    for (int r = 0; r < k; ++r)
      rows[std::size_t(r)] = src.row(ClampPosition(std::int64_t(y) + start + r, height));
    std::uint8_t* out = frame.resultRow(y);
    for (int c = 0; c < channels; ++c) {
      auto column = [&](int x) { return std::size_t(x) * step + std::size_t(c); };
      median.Reset();
      for (int i = 0; i < k; ++i) {
        const std::size_t at = column(ClampPosition(start + i, width));
        for (const std::uint8_t* row : rows)
          median.Add(row[at]);
      }
      for (int x = 0; x < width; ++x) {
        out[column(x)] = median.Median();
        const int leaving = ClampPosition(std::int64_t(x) + start, width);
        const int entering = ClampPosition(std::int64_t(x) + start + k, width);
        if (leaving == entering) continue;  // both clamped to the same edge column
        median.Slide(rows, column(leaving), column(entering));
      }
    }
  }
  return frame.Finish();
}

}  // namespace tx::fx
