// ScaleImage: bilinear in eighths for 24-bit and gray images, nearest
// neighbour for indexed colour images.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "image/image_utils_p.h"

namespace tx {
namespace {

// One axis of the bilinear scaler: the two source positions each output
// position reads and the weight (in eighths) of the first.
struct BilinearTap {
  std::int64_t first;
  std::int64_t second;
  int weight;
};

// The position is accumulated step by step from 0, not recomputed per index,
// so the same positions come out wherever this scaler is used.
void BuildBilinearTaps(std::int64_t srcSize, int newSize, BilinearTap* taps) {
  double step = double(srcSize) / double(newSize);
  double pos = 0.0;
  for (int i = 0; i < newSize; ++i, pos += step) {
    auto index = std::int64_t(pos);
    int weight = 8;
    if (index < srcSize - 1) {
      weight = int((double(index) + 1.0 - pos) * 8.0 + 0.5);
    } else {
      index = srcSize - 1;
    }
    // With weight 8 the second position is never used; keeping it inside
    // the image lets the kernel read it without a branch.
    taps[i] = BilinearTap{index, std::min(index + 1, srcSize - 1), weight};
  }
}

// Nearest-neighbour source index: min(trunc(i * src / new + 0.5), src - 1),
// done in integers so that no rounding of a quotient can shift a pixel.
std::int64_t NearestIndex(std::int64_t i, std::int64_t srcSize, std::int64_t newSize) {
  return std::min((2 * i * srcSize + newSize) / (2 * newSize), srcSize - 1);
}

template <int Channels>
void BilinearRow(const std::uint8_t* row0, const std::uint8_t* row1, int b, const BilinearTap* cols,
                 int newWidth, std::uint8_t* out) {
  for (int i = 0; i < newWidth; ++i) {
    const BilinearTap& c = cols[i];
    const int a = c.weight;
    const int w00 = a * b, w10 = (8 - a) * b, w01 = a * (8 - b), w11 = (8 - a) * (8 - b);
    const std::uint8_t* p00 = row0 + c.first * Channels;
    const std::uint8_t* p10 = row0 + c.second * Channels;
    const std::uint8_t* p01 = row1 + c.first * Channels;
    const std::uint8_t* p11 = row1 + c.second * Channels;
    for (int ch = 0; ch < Channels; ++ch) {
      out[ch] =
          std::uint8_t((p00[ch] * w00 + p10[ch] * w10 + p01[ch] * w01 + p11[ch] * w11 + 32) >> 6);
    }
    out += Channels;
  }
}

}  // namespace

GlobalHandle ScaleImage(GlobalHandle image, int newWidth, int newHeight) {
  if (newWidth < 1 || newHeight < 1) return nullptr;
  ImageLock src(image);
  if (!src) return nullptr;
  const int bits = src.bitCount();
  if (bits != 24 && bits != 8 && bits != 4 && bits != 1) return nullptr;
  const bool bilinear = bits == 24 || src.isGray();

  PackedImage result(NewImageBlock(newWidth, newHeight, bits, src.colourCount()));
  ImageLock dst(result.get());
  if (!dst) return nullptr;

  // The source header carries over with the new size; the rows written here
  // are uncompressed, and both resolutions take the horizontal one.
  BitmapInfoHeader& header = dst.header();
  const BitmapInfoHeader& srcHeader = src.header();
  header.biPlanes = srcHeader.biPlanes;
  header.biXPelsPerMeter = srcHeader.biXPelsPerMeter;
  header.biYPelsPerMeter = srcHeader.biXPelsPerMeter;
  header.biClrUsed = srcHeader.biClrUsed;
  header.biClrImportant = srcHeader.biClrImportant;
  if (src.colourCount() > 0) {
    std::memcpy(dst.palette(), src.palette(), std::size_t(src.colourCount()) * sizeof(RgbQuad));
  }

  const std::int64_t srcWidth = src.width(), srcHeight = src.height();
  if (bilinear) {
    auto cols = detail::NewTable<BilinearTap>(std::size_t(newWidth));
    auto rows = detail::NewTable<BilinearTap>(std::size_t(newHeight));
    if (!cols || !rows) return nullptr;
    BuildBilinearTaps(srcWidth, newWidth, cols.get());
    BuildBilinearTaps(srcHeight, newHeight, rows.get());
    for (int y = 0; y < newHeight; ++y) {
      if (detail::AbortRequested()) return nullptr;
      const BilinearTap& r = rows[y];
      const std::uint8_t* row0 = src.row(int(r.first));
      const std::uint8_t* row1 = src.row(int(r.second));
      if (bits == 24) {
        BilinearRow<3>(row0, row1, r.weight, cols.get(), newWidth, dst.row(y));
      } else {
        BilinearRow<1>(row0, row1, r.weight, cols.get(), newWidth, dst.row(y));
      }
    }
    return result.release();
  }

  // Indexed colour: values are table indices, so they are picked, never mixed.
  auto cols = detail::NewTable<std::int64_t>(std::size_t(newWidth));
  if (!cols) return nullptr;
  for (int i = 0; i < newWidth; ++i)
    cols[i] = NearestIndex(i, srcWidth, newWidth);
  for (int y = 0; y < newHeight; ++y) {
    if (detail::AbortRequested()) return nullptr;
    const std::uint8_t* in = src.row(int(NearestIndex(y, srcHeight, newHeight)));
    std::uint8_t* out = dst.row(y);
    for (int i = 0; i < newWidth; ++i)
      PutIndex(out, i, bits, IndexAt(in, cols[i], bits));
  }
  return result.release();
}

}  // namespace tx
