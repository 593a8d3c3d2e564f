// ResampleMitchell: separable Mitchell-Netravali (B = C = 1/3) resampling in
// 16.16 fixed point, horizontal pass first, then vertical.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

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

// The taps of one pass: output i reads source positions index[k] with
// weight[k] for k in [start[i], start[i + 1]).
struct TapTable {
  std::unique_ptr<std::size_t[]> start;
  std::unique_ptr<std::int32_t[]> index;
  std::unique_ptr<std::int32_t[]> weight;
  // Largest sum of |weight| of one output: bounds the accumulator.
  std::int64_t maxAbsSum = 0;
};

// Mirrors a tap position into [0, size). Far-out taps of very small images
// (a radius wider than the image) are still outside after one reflection;
// they are clamped to the nearest edge so that no read leaves the image.
std::int32_t MirrorIndex(std::int64_t j, std::int64_t size) {
  if (j < 0) j = -j;
  if (j >= size) j = 2 * size - j - 1;
  return std::int32_t(std::clamp<std::int64_t>(j, 0, size - 1));
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

  table.start = detail::NewTable<std::size_t>(std::size_t(newSize) + 1);
  if (!table.start) return false;
  std::size_t total = 0;
  for (int i = 0; i < newSize; ++i) {
    std::int64_t first = 0, last = 0;
    TapRange(double(i) / scale, radius, first, last);
    table.start[i] = total;
    total += std::size_t(last - first + 1);
  }
  table.start[newSize] = total;

  table.index = detail::NewTable<std::int32_t>(total);
  table.weight = detail::NewTable<std::int32_t>(total);
  if (!table.index || !table.weight) return false;
  for (int i = 0; i < newSize; ++i) {
    const double centre = double(i) / scale;
    std::int64_t first = 0, last = 0;
    TapRange(centre, radius, first, last);
    std::size_t k = table.start[i];
    std::int64_t sum = 0, absSum = 0;
    for (std::int64_t j = first; j <= last; ++j, ++k) {
      // The last tap takes what the others leave, so every output's weights
      // add up to exactly 1.0 and flat areas stay flat.
      std::int64_t w = j == last ? kOne - sum
                                 : std::int64_t(std::trunc(
                                       Mitchell((centre - double(j)) * filterScale) * filterScale *
                                           double(kOne) +
                                       0.5));
      sum += w;
      absSum += w < 0 ? -w : w;
      table.index[k] = MirrorIndex(j, oldSize);
      table.weight[k] = std::int32_t(w);
    }
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

template <typename Acc, int Channels>
void HorizontalPass(const ImageLock& src, const TapTable& taps, int newWidth, std::uint8_t* mid,
                    std::size_t midStride) {
  const int height = src.height();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = src.row(y);
    std::uint8_t* out = mid + std::size_t(y) * midStride;
    for (int i = 0; i < newWidth; ++i) {
      Acc acc[Channels];
      for (int ch = 0; ch < Channels; ++ch)
        acc[ch] = Acc(kHalf);
      for (std::size_t k = taps.start[i], end = taps.start[i + 1]; k < end; ++k) {
        const std::uint8_t* p = in + std::size_t(taps.index[k]) * Channels;
        const Acc w = taps.weight[k];
        for (int ch = 0; ch < Channels; ++ch)
          acc[ch] += Acc(p[ch]) * w;
      }
      for (int ch = 0; ch < Channels; ++ch)
        out[ch] = ToByte(acc[ch]);
      out += Channels;
    }
  }
}

template <typename Acc>
bool VerticalPass(const std::uint8_t* mid, std::size_t midStride, const TapTable& taps,
                  const ImageLock& dst) {
  auto acc = detail::NewTable<Acc>(midStride);
  if (!acc) return false;
  for (int y = 0; y < dst.height(); ++y) {
    std::fill_n(acc.get(), midStride, Acc(kHalf));
    // Row by row, so each tap streams through one contiguous intermediate row.
    for (std::size_t k = taps.start[y], end = taps.start[y + 1]; k < end; ++k) {
      const std::uint8_t* in = mid + std::size_t(taps.index[k]) * midStride;
      const Acc w = taps.weight[k];
      for (std::size_t x = 0; x < midStride; ++x)
        acc[x] += Acc(in[x]) * w;
    }
    std::uint8_t* out = dst.row(y);
    for (std::size_t x = 0; x < midStride; ++x)
      out[x] = ToByte(acc[x]);
  }
  return true;
}

template <typename Acc>
void RunHorizontal(const ImageLock& src, const TapTable& taps, int newWidth, std::uint8_t* mid,
                   std::size_t midStride) {
  if (src.bitCount() == 24) {
    HorizontalPass<Acc, 3>(src, taps, newWidth, mid, midStride);
  } else {
    HorizontalPass<Acc, 1>(src, taps, newWidth, mid, midStride);
  }
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

  if (AccumulatorFits<std::int32_t>(horizontal)) {
    RunHorizontal<std::int32_t>(src, horizontal, newWidth, mid, midStride);
  } else {
    RunHorizontal<std::int64_t>(src, horizontal, newWidth, mid, midStride);
  }
  bool done = AccumulatorFits<std::int32_t>(vertical)
                  ? VerticalPass<std::int32_t>(mid, midStride, vertical, dst)
                  : VerticalPass<std::int64_t>(mid, midStride, vertical, dst);
  GlobalUnlock(midBlock.get());
  if (!done) return nullptr;
  return result.release();
}

}  // namespace tx
