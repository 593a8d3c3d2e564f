// Speed and size of writing a montage-sized picture as PNG: encoding in
// memory, and the whole save to a file as the Save command does it.
//
// The picture is TESSERIX_BENCH_PICTURE when that names a picture file
// (scripts/bench-png-save passes a montage of real photos), else a made-up
// 3520 x 2640 montage of 80 x 60 photo-like cells.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "image/image_lock.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"

namespace {

constexpr int kWidth = 3520;
constexpr int kHeight = 2640;
constexpr int kCellWidth = 80;
constexpr int kCellHeight = 60;

std::uint32_t Hash(std::uint32_t v) {
  v = (v ^ (v >> 16)) * 0x7FEB352Du;
  v = (v ^ (v >> 15)) * 0x846CA68Bu;
  return v ^ (v >> 16);
}

// Each cell a tile: its own base colour, a gentle gradient and sensor-like
// noise of a few levels, so the file is as big as a montage of photos.
tx::PackedImage MadeUpMontage() {
  tx::PackedImage image(tx::CreatePackedImage(kWidth, kHeight, 0, 0));
  tx::ImageLock lock(image.get());
  for (int y = 0; lock && y < kHeight; ++y) {
    std::uint8_t* row = lock.topDownRow(y);
    for (int x = 0; x < kWidth; ++x) {
      std::uint32_t cell = Hash(std::uint32_t(y / kCellHeight * 1000 + x / kCellWidth));
      std::uint32_t noise = Hash(std::uint32_t(y * kWidth + x));
      int dx = x % kCellWidth, dy = y % kCellHeight;
      for (int c = 0; c < 3; ++c) {
        int base = int(cell >> (8 * c) & 0xFF) / 2 + 40;
        int value = base + dx * (c + 1) / 4 - dy / 2 + int(noise >> (4 * c) & 7);
        row[3 * x + c] = std::uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
      }
    }
  }
  return image;
}

tx::GlobalHandle Picture() {
  static tx::PackedImage picture = [] {
    const char* path = std::getenv("TESSERIX_BENCH_PICTURE");
    if (path && *path) return tx::PackedImage(EzOpenFile(path, 0, 0));
    return MadeUpMontage();
  }();
  return picture.get();
}

void Describe(benchmark::State& state, std::uint64_t fileBytes) {
  tx::ImageLock lock(Picture());
  state.counters["file_bytes"] = double(fileBytes);
  state.counters["width"] = lock.width();
  state.counters["height"] = lock.height();
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(lock.stride()) *
                          lock.height());
}

void BM_EncodePng(benchmark::State& state) {
  if (!Picture()) {
    state.SkipWithError("the picture could not be read");
    return;
  }
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    tx::rastio::ByteVector out;
    std::string error;
    if (!tx::rastio::EncodePng(Picture(), out, error)) state.SkipWithError(error.c_str());
    bytes = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  Describe(state, bytes);
}
BENCHMARK(BM_EncodePng)->Unit(benchmark::kMillisecond);

void BM_SavePngFile(benchmark::State& state) {
  if (!Picture()) {
    state.SkipWithError("the picture could not be read");
    return;
  }
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "tesserix_png_save_bench.png";
  for (auto _ : state) {
    if (EzSaveFile(Picture(), path.c_str(), tx::kSaveByExtension, nullptr) != 0) {
      state.SkipWithError(EzLastError());
    }
  }
  std::error_code ec;
  Describe(state, std::filesystem::file_size(path, ec));
  std::filesystem::remove(path, ec);
}
BENCHMARK(BM_SavePngFile)->Unit(benchmark::kMillisecond);

}  // namespace
