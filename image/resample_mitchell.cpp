// ResampleMitchell: separable Mitchell-filter (B = C = 1/3) resampling in
// 16.16 fixed point, horizontal pass first, then vertical.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "image/image_utils_p.h"

namespace tx {
namespace {

constexpr std::int64_t kOne = 65536;  // 1.0 in 16.16
constexpr std::int64_t kHalf = 32768;

double Mitchell(double x) {
  double t = std::fabs(x);
  if (t < 1.0) return (21.0 * t * t * t - 36.0 * t * t + 16.0) / 18.0;
  if (t < 2.0) return (-7.0 * t * t * t + 36.0 * t * t - 60.0 * t + 32.0) / 18.0;
  return 0.0;
}

// The taps of one pass. Output i reads count[i] consecutive source positions
// from first[i] on, with weights weight[start[i]] onwards. Taps that mirror
// onto the same position have their weights added, which gives the same sum
// and lets the kernels walk the source without an index table.
struct TapTable {
  std::unique_ptr<std::size_t[]> start;
  std::unique_ptr<std::int32_t[]> first;
  std::unique_ptr<std::int32_t[]> count;
  std::unique_ptr<std::int32_t[]> weight;
  // Largest sum of |weight| of one output: bounds the accumulator.
  std::int64_t maxAbsSum = 0;
  // Range of the weights: tells whether 16 bits can hold them.
  std::int32_t minWeight = 0;
  std::int32_t maxWeight = 0;
};

// Mirrors a tap position into [0, size). Far-out taps of very small images
// (a radius wider than the image) are still outside after one reflection;
// they are clamped to the nearest edge so that no read leaves the image.
std::int64_t MirrorIndex(std::int64_t j, std::int64_t size) {
  if (j < 0) j = -j;
  if (j >= size) j = 2 * size - j - 1;
  return std::clamp<std::int64_t>(j, 0, size - 1);
}

// The first and last tap of output i. The first is c - r rounded away from
// zero when it is not whole; the last is c + r truncated.
void TapRange(double centre, double radius, std::int64_t& first, std::int64_t& last) {
  double low = centre - radius;
  double whole = std::trunc(low);
  if (whole != low) whole = low < 0.0 ? std::floor(low) : std::ceil(low);
  first = std::int64_t(whole);
  last = std::int64_t(std::trunc(centre + radius));
}

bool BuildTapTable(int oldSize, int newSize, TapTable& table) {
  const double scale = double(newSize) / double(oldSize);
  const double filterScale = std::min(scale, 1.0);
  const double radius = 2.0 / filterScale;

  // Mirrored taps cover at most as many positions as there are taps, so
  // the tap count bounds each output's share of the weight table.
  table.start = detail::NewTable<std::size_t>(std::size_t(newSize) + 1);
  table.first = detail::NewTable<std::int32_t>(std::size_t(newSize));
  table.count = detail::NewTable<std::int32_t>(std::size_t(newSize));
  if (!table.start || !table.first || !table.count) return false;
  std::size_t total = 0, most = 0;
  for (int i = 0; i < newSize; ++i) {
    std::int64_t first = 0, last = 0;
    TapRange(double(i) / scale, radius, first, last);
    table.start[i] = total;
    total += std::size_t(last - first + 1);
    most = std::max(most, std::size_t(last - first + 1));
  }
  table.start[newSize] = total;
  table.weight = detail::NewTable<std::int32_t>(total);
  auto tapWeight = detail::NewTable<std::int64_t>(most);
  auto folded = detail::NewTable<std::int64_t>(most);
  if (!table.weight || !tapWeight || !folded) return false;

  for (int i = 0; i < newSize; ++i) {
    const double centre = double(i) / scale;
    std::int64_t first = 0, last = 0;
    TapRange(centre, radius, first, last);
    const std::size_t taps = std::size_t(last - first + 1);
    std::int64_t sum = 0, lowest = oldSize, highest = -1;
    for (std::size_t k = 0; k < taps; ++k) {
      const std::int64_t j = first + std::int64_t(k);
      // The last tap takes what the others leave, so every output's weights
      // add up to exactly 1.0 and flat areas stay flat.
      const std::int64_t w =
          j == last ? kOne - sum
                    : std::int64_t(std::trunc(Mitchell((centre - double(j)) * filterScale) *
                                                  filterScale * double(kOne) +
                                              0.5));
      tapWeight[k] = w;
      sum += w;
      lowest = std::min(lowest, MirrorIndex(j, oldSize));
      highest = std::max(highest, MirrorIndex(j, oldSize));
    }
    // Consecutive taps mirror to positions at most one apart, so the
    // positions form one run no longer than the taps themselves.
    const std::size_t span = std::size_t(highest - lowest + 1);
    std::fill_n(folded.get(), span, 0);
    for (std::size_t k = 0; k < taps; ++k)
      folded[std::size_t(MirrorIndex(first + std::int64_t(k), oldSize) - lowest)] += tapWeight[k];

    std::int64_t absSum = 0;
    for (std::size_t k = 0; k < span; ++k) {
      const std::int64_t w = folded[k];
      if (w < std::numeric_limits<std::int32_t>::min() ||
          w > std::numeric_limits<std::int32_t>::max()) {
        return false;
      }
      table.weight[table.start[i] + k] = std::int32_t(w);
      table.minWeight = std::min(table.minWeight, std::int32_t(w));
      table.maxWeight = std::max(table.maxWeight, std::int32_t(w));
      absSum += w < 0 ? -w : w;
    }
    table.first[i] = std::int32_t(lowest);
    table.count[i] = std::int32_t(span);
    table.maxAbsSum = std::max(table.maxAbsSum, absSum);
  }
  return true;
}

// True when 0.5 + sum(value * weight) of every output fits `Acc`.
template <typename Acc>
bool AccumulatorFits(const TapTable& table) {
  return kHalf + 255 * table.maxAbsSum <= std::int64_t(std::numeric_limits<Acc>::max());
}

// (32768 + sum) >> 16, limited to 0..255.
template <typename Acc>
std::uint8_t ToByte(Acc total) {
  if (total < 1) return 0;
  if (total >= Acc(0xFF0000)) return 255;
  return std::uint8_t(total >> 16);
}

// Each source row is first split into one plane per channel so that every
// output sample is a plain dot product over consecutive values, which the
// compiler turns into vector code. `Value` holds pixels and weights: 16 bits
// when every weight fits, which doubles the width of that code.
template <typename Acc, typename Value, int Channels>
bool HorizontalPass(const ImageLock& src, const TapTable& taps, int newWidth, std::uint8_t* mid,
                    std::size_t midStride) {
  const std::size_t width = std::size_t(src.width());
  const std::size_t weightCount = taps.start[newWidth];
  auto planes = detail::NewTable<Value>(width * Channels);
  auto weights = detail::NewTable<Value>(weightCount);
  if (!planes || !weights) return false;
  for (std::size_t k = 0; k < weightCount; ++k)
    weights[k] = Value(taps.weight[k]);
  const int height = src.height();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = src.row(y);
    for (std::size_t x = 0; x < width; ++x)
      for (int ch = 0; ch < Channels; ++ch)
        planes[std::size_t(ch) * width + x] = Value(in[x * Channels + std::size_t(ch)]);
    std::uint8_t* out = mid + std::size_t(y) * midStride;
    for (int i = 0; i < newWidth; ++i) {
      const Value* w = weights.get() + taps.start[i];
      const std::int32_t count = taps.count[i];
      for (int ch = 0; ch < Channels; ++ch) {
        const Value* p = planes.get() + std::size_t(ch) * width + std::size_t(taps.first[i]);
        Acc acc = 0;
        for (std::int32_t k = 0; k < count; ++k)
          acc += Acc(p[k]) * Acc(w[k]);
        *out++ = ToByte(Acc(acc + Acc(kHalf)));
      }
    }
  }
  return true;
}

template <typename Acc>
bool VerticalPass(const std::uint8_t* mid, std::size_t midStride, const TapTable& taps,
                  const ImageLock& dst) {
  auto acc = detail::NewTable<Acc>(midStride);
  if (!acc) return false;
  for (int y = 0; y < dst.height(); ++y) {
    std::fill_n(acc.get(), midStride, Acc(kHalf));
    // Row by row, so each tap streams through one contiguous intermediate row.
    const std::int32_t* weights = taps.weight.get() + taps.start[y];
    for (std::int32_t k = 0; k < taps.count[y]; ++k) {
      const std::uint8_t* in = mid + (std::size_t(taps.first[y]) + std::size_t(k)) * midStride;
      const Acc w = weights[k];
      for (std::size_t x = 0; x < midStride; ++x)
        acc[x] += Acc(in[x]) * w;
    }
    std::uint8_t* out = dst.row(y);
    for (std::size_t x = 0; x < midStride; ++x)
      out[x] = ToByte(acc[x]);
  }
  return true;
}

template <typename Acc, typename Value>
bool RunHorizontal(const ImageLock& src, const TapTable& taps, int newWidth, std::uint8_t* mid,
                   std::size_t midStride) {
  return src.bitCount() == 24 ? HorizontalPass<Acc, Value, 3>(src, taps, newWidth, mid, midStride)
                              : HorizontalPass<Acc, Value, 1>(src, taps, newWidth, mid, midStride);
}

bool Horizontal(const ImageLock& src, const TapTable& taps, int newWidth, std::uint8_t* mid,
                std::size_t midStride) {
  if (!AccumulatorFits<std::int32_t>(taps)) {
    return RunHorizontal<std::int64_t, std::int64_t>(src, taps, newWidth, mid, midStride);
  }
  if (taps.minWeight >= std::numeric_limits<std::int16_t>::min() &&
      taps.maxWeight <= std::numeric_limits<std::int16_t>::max()) {
    return RunHorizontal<std::int32_t, std::int16_t>(src, taps, newWidth, mid, midStride);
  }
  return RunHorizontal<std::int32_t, std::int32_t>(src, taps, newWidth, mid, midStride);
}

}  // namespace

GlobalHandle ResampleMitchell(GlobalHandle image, int newWidth, int newHeight) {
  if (newWidth < 1 || newHeight < 1) return nullptr;
  ImageLock src(image);
  if (!src) return nullptr;
  const int bits = src.bitCount();
  if (bits != 8 && bits != 24) return nullptr;
  const int channels = bits / 8;

  PackedImage result(NewImageBlock(newWidth, newHeight, bits, bits == 8 ? src.colourCount() : 0));
  ImageLock dst(result.get());
  if (!dst) return nullptr;
  if (bits == 8) {
    std::memcpy(dst.palette(), src.palette(), std::size_t(src.colourCount()) * sizeof(RgbQuad));
  }

  TapTable horizontal, vertical;
  if (!BuildTapTable(src.width(), newWidth, horizontal) ||
      !BuildTapTable(src.height(), newHeight, vertical)) {
    return nullptr;
  }

  // The intermediate holds new width x source height pixels, unpadded.
  const std::size_t midStride = std::size_t(newWidth) * std::size_t(channels);
  PackedImage midBlock(AllocImageBlock(std::uint64_t(midStride) * std::uint64_t(src.height())));
  if (!midBlock) return nullptr;
  auto* mid = static_cast<std::uint8_t*>(GlobalLock(midBlock.get()));
  if (!mid) return nullptr;

  // 32-bit sums whenever the weights allow it: they vectorize twice as wide.
  bool done = Horizontal(src, horizontal, newWidth, mid, midStride);
  done = done && (AccumulatorFits<std::int32_t>(vertical)
                      ? VerticalPass<std::int32_t>(mid, midStride, vertical, dst)
                      : VerticalPass<std::int64_t>(mid, midStride, vertical, dst));
  GlobalUnlock(midBlock.get());
  if (!done) return nullptr;
  return result.release();
}

}  // namespace tx
