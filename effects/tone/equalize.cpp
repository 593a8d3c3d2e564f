#include <array>
#include <cmath>
#include <cstring>

#include "effects/tone/tone_kernel.h"

namespace tx::fx {
namespace {

using Histogram = std::array<std::uint64_t, 256>;

// Byte histograms counted in eight interleaved 32-bit parts, so that
// neighbouring equal bytes do not wait on each other's increment. The parts
// are folded into 64-bit totals before any of them could overflow.
class PartialHistograms {
 public:
  void CountBytes(const std::uint8_t* bytes, std::size_t count) {
    if (m_pending + count > kFoldAfter) Fold();
    m_pending += count;
    std::size_t i = 0;
    // Eight bytes per load; the shifts pick them out in register.
    for (; i + 8 <= count; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, bytes + i, sizeof w);
      // Written out: as a loop GCC keeps the shift count in a register.
      ++m_part[0][w & 0xff];
      ++m_part[1][(w >> 8) & 0xff];
      ++m_part[2][(w >> 16) & 0xff];
      ++m_part[3][(w >> 24) & 0xff];
      ++m_part[4][(w >> 32) & 0xff];
      ++m_part[5][(w >> 40) & 0xff];
      ++m_part[6][(w >> 48) & 0xff];
      ++m_part[7][w >> 56];
    }
    for (; i < count; ++i)
      ++m_part[0][bytes[i]];
  }
  /// Adds every count so far to `histogram`.
  void Sum(Histogram& histogram) {
    Fold();
    for (std::size_t v = 0; v < 256; ++v)
      histogram[v] += m_total[v];
  }

 private:
  static constexpr std::uint64_t kFoldAfter = std::uint64_t(1) << 31;
  void Fold() {
    for (auto& part : m_part) {
      for (std::size_t v = 0; v < 256; ++v)
        m_total[v] += part[v];
      part.fill(0);
    }
    m_pending = 0;
  }
  std::array<std::array<std::uint32_t, 256>, 8> m_part{};
  Histogram m_total{};
  std::uint64_t m_pending = 0;
};

// Counts every sample the table will be applied to: the three channels of
// each 24-bit pixel, the level of each gray pixel, the three channels of the
// palette entry of each indexed pixel. Returns false for depths the effect
// does not take.
bool CountSamples(const ImageLock& src, Histogram& histogram) {
  const int bits = src.bitCount();
  const int width = src.width();
  const bool gray = src.isGray();
  auto countEntry = [&](unsigned index) {
    // An index past the colour table names no colour; it is not counted.
    if (index >= src.colourCount()) return;
    const RgbQuad& c = src.palette()[index];
    ++histogram[c.blue];
    ++histogram[c.green];
    ++histogram[c.red];
  };
  PartialHistograms bytes;
  for (int y = 0; y < src.height(); ++y) {
    const std::uint8_t* row = src.row(y);
    if (bits == 24) {
      bytes.CountBytes(row, std::size_t(width) * 3);
    } else if (bits == 8 && gray) {
      bytes.CountBytes(row, std::size_t(width));
    } else if (bits == 8) {
      for (int x = 0; x < width; ++x)
        countEntry(row[x]);
    } else if (bits == 4) {
      // High nibble first; an odd width leaves the last low nibble unused.
      for (int x = 0; x < width; ++x)
        countEntry((x & 1) ? row[x / 2] & 0x0f : row[x / 2] >> 4);
    } else {
      return false;
    }
  }
  bytes.Sum(histogram);
  return true;
}

}  // namespace

GlobalHandle Equalize(GlobalHandle image, const EffectRecord& /*record*/) {
  Histogram histogram{};
  {
    ImageLock src(image);
    if (!src || !CountSamples(src, histogram)) return nullptr;
  }
  std::uint64_t total = 0;
  for (std::uint64_t n : histogram)
    total += n;
  // Each level goes to its share of the samples below it, so the cumulative
  // distribution becomes a straight ramp.
  const double scale = 255.0 / double(total + 1);
  ToneTable table;
  std::uint64_t below = 0;
  for (int j = 0; j < 256; ++j) {
    table[std::size_t(j)] = std::uint8_t(std::trunc(scale * double(below) + 0.5));
    below += histogram[std::size_t(j)];
  }
  return ApplyChannelTables(image, ChannelTables{table, table, table}, &table);
}

}  // namespace tx::fx
