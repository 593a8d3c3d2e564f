// Speed of building a My Collection from photos: 200 camera-sized (12
// megapixel) photos and 1000 photos of 1600 x 1200, each with DCT-scaled
// decoding and with full-size decoding. Reports photos per second and the
// process's peak memory. The photos are generated once into
// $TMPDIR/tesserix-bench-photos and kept for later runs.
//
// Run one mode per process to see its own peak memory, e.g.
//   collection_build_bench --benchmark_filter='Camera/Scaled'

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "collections/collection_registry.h"
#include "collections/photo_build.h"
#include "config/settings_access.h"
#include "image/image_lock.h"
#include "rastio/rastio.h"

namespace fs = std::filesystem;

namespace {

constexpr int kQuality = 90;

fs::path PhotoFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return fs::path(tmp && *tmp ? tmp : "/tmp") / "tesserix-bench-photos";
}

// A photo-like picture: broad gradients that move with the photo's number,
// with pixel noise so the file is as large as a camera's.
tx::PackedImage MakePhoto(int width, int height, int number) {
  tx::PackedImage image(tx::CreatePackedImage(width, height, 0, 0));
  tx::ImageLock lock(image.get());
  for (int y = 0; lock && y < height; ++y) {
    std::uint8_t* row = lock.topDownRow(y);
    for (int x = 0; x < width; ++x) {
      std::uint32_t noise = std::uint32_t(y) * std::uint32_t(width) + std::uint32_t(x) + number;
      noise = (noise ^ (noise >> 16)) * 0x7FEB352Du;
      noise = (noise ^ (noise >> 15)) * 0x846CA68Bu;
      noise ^= noise >> 16;
      row[3 * x] = std::uint8_t(40 + (x + 37 * number) % width * 160 / width + (noise & 31));
      row[3 * x + 1] = std::uint8_t(60 + (x + y) * 120 / (width + height) + (noise >> 5 & 31));
      row[3 * x + 2] =
          std::uint8_t(200 - (y + 53 * number) % height * 150 / height + (noise >> 10 & 31));
    }
  }
  return image;
}

// The photos of one set, made when missing.
std::vector<std::string> Photos(const char* set, int count, int width, int height) {
  fs::path folder = PhotoFolder() / set;
  fs::create_directories(folder);
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "photo%04d.jpg", i);
    fs::path path = folder / name;
    if (!fs::exists(path)) {
      tx::PackedImage photo = MakePhoto(width, height, i);
      const std::int32_t options[13] = {kQuality};
      if (EzSaveFile(photo.get(), path.c_str(), tx::kSaveJpeg, options) != 0) return {};
    }
    paths.push_back(path.string());
  }
  return paths;
}

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

void BuildCollection(benchmark::State& state, const std::vector<std::string>& photos,
                     bool exactDecode) {
  if (photos.empty()) {
    state.SkipWithError("the photos could not be made");
    return;
  }
  fs::path user = PhotoFolder() / "user";
  fs::remove_all(user);
  tx::Configuration configuration(user / "Tesserix.set", user / "Tesserix.ini");
  tx::CollectionRegistry registry(configuration, user, user);
  registry.PrepareCollectionFolders();
  tx::BuildOptions options;
  options.exactDecode = exactDecode;
  int tiles = 0;
  for (auto _ : state) {
    tx::BuildOutcome outcome = tx::BuildCollectionFromPhotos(registry, tx::kMyCollection, "Bench",
                                                             photos, options, nullptr);
    tiles = outcome.tiles;
  }
  if (tiles != int(photos.size())) state.SkipWithError("not every photo made a tile");
  state.counters["photos/s"] =
      benchmark::Counter(double(photos.size()) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["peak_MB"] = double(PeakMegabytes());
  fs::remove_all(user);
}

void Camera(benchmark::State& state, bool exactDecode) {
  static const std::vector<std::string> photos = Photos("camera", 200, 4000, 3000);
  BuildCollection(state, photos, exactDecode);
}

void Medium(benchmark::State& state, bool exactDecode) {
  static const std::vector<std::string> photos = Photos("medium", 1000, 1600, 1200);
  BuildCollection(state, photos, exactDecode);
}

BENCHMARK_CAPTURE(Camera, Scaled, false)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(Camera, Exact, true)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(Medium, Scaled, false)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(Medium, Exact, true)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace
