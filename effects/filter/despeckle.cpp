#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "effects/filter/filter_support.h"
#include "effects/sample_image.h"

namespace tx::fx {
namespace {

constexpr int kLargestWindow = 32;
constexpr int kSegments = 16;       // coarse bins of 16 levels each
constexpr int kSegmentLevels = 16;  // fine bins per coarse bin

using Coarse = std::array<std::uint16_t, kSegments>;
// The 16 fine counts of one coarse bin of one sample column.
using FineSegment = std::array<std::uint16_t, kSegmentLevels>;

// The histograms of every sample column (one channel of one picture column)
// over the window's rows: 16 coarse bins and 256 fine ones. Coarse counts
// are kept channel by channel and fine ones channel by channel and coarse bin
// by coarse bin, so that the counts the sliding window reads of neighbouring
// columns lie next to each other.
struct ColumnHistograms {
  Coarse* coarse;
  FineSegment* fine;  // [channel][coarse bin][column]
};

// The median of one channel's window as the window slides along a row. The
// coarse histogram of the window is kept for every position (one column
// enters, one leaves); the fine counts are kept per coarse bin and brought up
// to date only when the median falls in that bin, which in a photo is the
// same bin for long stretches. The cost per pixel does not grow with the
// window.
class SlidingMedian {
 public:
  SlidingMedian(const ColumnHistograms& columns, int width, int side)
      : m_columns(columns), m_width(width), m_side(side), m_rank((side * side + 1) / 2) {}

  /// Starts a row of channel c with the window at column 0.
  void StartRow(int c) {
    m_channel = c;
    m_coarse.fill(0);
    for (int i = 0; i < m_side; ++i)
      Add(m_coarse, coarse(Leftmost(0) + i), +1);
    m_fineAt.fill(-1);
  }

  /// The median with the window at column x (x counts up by one per call).
  std::uint8_t MedianAt(int x) {
    int below = 0;
    int segment = 0;
    while (below + m_coarse[std::size_t(segment)] < m_rank)
      below += m_coarse[std::size_t(segment++)];
    const std::uint16_t* fine = FineAt(segment, x);
    int level = 0;
    while (below + fine[level] < m_rank)
      below += fine[level++];
    // The window moves on: its coarse counts follow at once.
    const int leaving = Leftmost(x);
    const int entering = leaving + m_side;
    if (Clamp(leaving) != Clamp(entering)) {
      Add(m_coarse, coarse(entering), +1);
      Add(m_coarse, coarse(leaving), -1);
    }
    return std::uint8_t(segment * kSegmentLevels + level);
  }

 private:
  template <std::size_t N>
  static void Add(std::array<std::uint16_t, N>& to, const std::array<std::uint16_t, N>& from,
                  int sign) {
    for (std::size_t i = 0; i < N; ++i)
      to[i] = std::uint16_t(to[i] + sign * from[i]);
  }
  static void AddSegment(std::uint16_t* to, const std::uint16_t* from, int sign) {
    for (int i = 0; i < kSegmentLevels; ++i)
      to[i] = std::uint16_t(to[i] + sign * from[i]);
  }
  int Leftmost(int x) const { return x - m_side / 2; }
  int Clamp(int x) const { return ClampPosition(x, m_width); }
  std::size_t Index(int x) const {
    return std::size_t(m_channel) * std::size_t(m_width) + std::size_t(Clamp(x));
  }
  const Coarse& coarse(int x) const { return m_columns.coarse[Index(x)]; }
  const std::uint16_t* fine(int x, int segment) const {
    const std::size_t at =
        (std::size_t(m_channel) * kSegments + std::size_t(segment)) * std::size_t(m_width) +
        std::size_t(Clamp(x));
    return m_columns.fine[at].data();
  }

  // The fine counts of `segment` for the window at column x: rebuilt from
  // the window's columns when they are older than half a window, otherwise
  // moved on column by column.
  const std::uint16_t* FineAt(int segment, int x) {
    std::uint16_t* counts = m_fine[std::size_t(segment)].data();
    int& at = m_fineAt[std::size_t(segment)];
    if (at < 0 || 2 * (x - at) > m_side) {
      std::memset(counts, 0, kSegmentLevels * sizeof(std::uint16_t));
      for (int i = 0; i < m_side; ++i)
        AddSegment(counts, fine(Leftmost(x) + i, segment), +1);
    } else {
      for (int t = at; t < x; ++t) {
        const int leaving = Leftmost(t);
        const int entering = leaving + m_side;
        if (Clamp(leaving) == Clamp(entering)) continue;
        AddSegment(counts, fine(entering, segment), +1);
        AddSegment(counts, fine(leaving, segment), -1);
      }
    }
    at = x;
    return counts;
  }

  ColumnHistograms m_columns;
  int m_width;
  int m_side;
  int m_rank;
  int m_channel = 0;
  Coarse m_coarse{};
  std::array<std::array<std::uint16_t, kSegmentLevels>, kSegments> m_fine{};
  std::array<int, kSegments> m_fineAt{};
};

}  // namespace

// p0 window side, at most 32. Each sample becomes the median (the
// ((p0 x p0 + 1) / 2)-th smallest) of the window whose rows and columns start
// p0/2 before it, positions clamped. Every sample column keeps the histogram
// of its window rows, moved down one row per result row.
GlobalHandle Despeckle(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int width = src.width();
  const int height = src.height();
  // A side below 1 is a one-pixel window: a copy.
  const int side = std::clamp(record.p[0], 1, kLargestWindow);
  const int start = -(side / 2);
  const std::size_t rowSamples = std::size_t(width) * std::size_t(channels);
  auto coarse = AllocateWork<Coarse>(rowSamples);
  auto fine = AllocateWork<FineSegment>(rowSamples * kSegments);
  if (!coarse || !fine) return nullptr;
  std::memset(static_cast<void*>(coarse.get()), 0, rowSamples * sizeof(Coarse));
  std::memset(static_cast<void*>(fine.get()), 0, rowSamples * kSegments * sizeof(FineSegment));
  auto countRow = [&](int y, int sign) {
    const std::uint8_t* in = src.row(y);
    for (int c = 0; c < channels; ++c) {
      Coarse* coarseRow = coarse.get() + std::size_t(c) * std::size_t(width);
      FineSegment* fineRows = fine.get() + std::size_t(c) * kSegments * std::size_t(width);
      for (int x = 0; x < width; ++x) {
        const std::uint8_t v = in[std::size_t(x) * std::size_t(channels) + std::size_t(c)];
        std::uint16_t& n = coarseRow[x][v / kSegmentLevels];
        n = std::uint16_t(n + sign);
        std::uint16_t& f = fineRows[std::size_t(v / kSegmentLevels) * std::size_t(width) +
                                    std::size_t(x)][v % kSegmentLevels];
        f = std::uint16_t(f + sign);
      }
    }
  };
  for (int i = 0; i < side; ++i)
    countRow(ClampPosition(start + i, height), +1);

  SlidingMedian median(ColumnHistograms{coarse.get(), fine.get()}, width, side);
  for (int y = 0; y < height; ++y) {
    if (!frame.BeginRow(y)) break;
    if (y > 0) {
      const int leaving = ClampPosition(std::int64_t(y) - 1 + start, height);
      const int entering = ClampPosition(std::int64_t(y) - 1 + start + side, height);
      if (leaving != entering) {
        countRow(leaving, -1);
        countRow(entering, +1);
      }
    }
    std::uint8_t* out = frame.resultRow(y);
    for (int c = 0; c < channels; ++c) {
      median.StartRow(c);
      for (int x = 0; x < width; ++x)
        out[std::size_t(x) * std::size_t(channels) + std::size_t(c)] = median.MedianAt(x);
    }
  }
  return frame.Finish();
}

}  // namespace tx::fx
