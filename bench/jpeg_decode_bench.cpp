// Speed of reading a 12-megapixel camera-sized JPEG from memory, the work
// behind opening a target picture or a photo for a tile collection.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "image/image_lock.h"
#include "rastio/codec.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kQuality = 90;

// A photo-like picture: broad gradients in every channel with pixel noise,
// encoded once at tile quality. The noise makes the file as big as a
// camera's (about 3 MB), so the entropy decoder does a camera's work.
const tx::rastio::ByteVector& PhotoJpeg() {
  static const tx::rastio::ByteVector file = [] {
    tx::PackedImage image(tx::CreatePackedImage(kWidth, kHeight, 0, 0));
    {
      tx::ImageLock lock(image.get());
      for (int y = 0; lock && y < kHeight; ++y) {
        std::uint8_t* row = lock.topDownRow(y);
        for (int x = 0; x < kWidth; ++x) {
          // Independent noise of 0..31 in each channel, from a hash of the position.
          std::uint32_t noise = std::uint32_t(y) * std::uint32_t(kWidth) + std::uint32_t(x);
          noise = (noise ^ (noise >> 16)) * 0x7FEB352Du;
          noise = (noise ^ (noise >> 15)) * 0x846CA68Bu;
          noise ^= noise >> 16;
          row[3 * x] = std::uint8_t(40 + x * 160 / kWidth + (noise & 31));
          row[3 * x + 1] =
              std::uint8_t(60 + (x + y) * 120 / (kWidth + kHeight) + (noise >> 5 & 31));
          row[3 * x + 2] = std::uint8_t(200 - y * 150 / kHeight + (noise >> 10 & 31));
        }
      }
    }
    tx::rastio::ByteVector out;
    std::string error;
    tx::rastio::EncodeJpeg(image.get(), kQuality, out, error);
    return out;
  }();
  return file;
}

void BM_DecodeJpeg(benchmark::State& state) {
  const tx::rastio::ByteVector& file = PhotoJpeg();
  if (file.empty()) {
    state.SkipWithError("could not make the JPEG");
    return;
  }
  for (auto _ : state) {
    tx::rastio::Decoded decoded = tx::rastio::DecodeJpeg(file);
    if (!decoded.image) state.SkipWithError(decoded.error.c_str());
    benchmark::DoNotOptimize(decoded.image.get());
  }
  state.counters["bytes"] = double(file.size());
  state.counters["Mpixel/s"] = benchmark::Counter(
      double(kWidth) * kHeight * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_DecodeJpeg)->Name("DecodeJpeg/4000x3000/q90")->Unit(benchmark::kMillisecond);

}  // namespace
