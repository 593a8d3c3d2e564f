// Speed of building a video collection: a generated 60-second 1280 x 720
// video (25 frames per second, a key frame every 12 frames) sampled at one
// frame per second and one per three seconds into tiles. Reports tiles per
// second and how many frames were decoded and seeks made per run; the
// ReadEveryFrame run decodes and converts all 1500 frames without making
// tiles, the cost that seeking avoids. The video is made once into
// $TMPDIR/tesserix-bench-video and kept for later runs.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "collections/collection_registry.h"
#include "collections/video_build.h"
#include "config/settings_access.h"
#include "image/packed_image.h"
#include "tests/support/test_videos.h"
#include "video/video_api.h"
#include "video/video_reader_p.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 60;
constexpr int kFramesPerSecond = 25;

fs::path BenchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return fs::path(tmp && *tmp ? tmp : "/tmp") / "tesserix-bench-video";
}

// The video, written when missing; empty when it cannot be made.
std::string BenchVideo() {
  static const std::string path = [] {
    fs::create_directories(BenchFolder());
    const fs::path file = BenchFolder() / "walk-720p.avi";
    if (fs::exists(file)) return file.string();
    tx::testing::TestVideo video;
    video.width = 1280;
    video.height = 720;
    video.framesPerSecond = kFramesPerSecond;
    video.frameCount = kSeconds * kFramesPerSecond;
    std::string error;
    if (!tx::testing::WriteTestVideo(file, video, error)) {
      std::fprintf(stderr, "video_build_bench: %s\n", error.c_str());
      return std::string();
    }
    return file.string();
  }();
  return path;
}

void Report(benchmark::State& state, std::uint64_t decoded, std::uint64_t seeks) {
  const double runs = double(state.iterations());
  state.counters["decoded/run"] = double(decoded) / runs;
  state.counters["seeks/run"] = double(seeks) / runs;
}

void BuildTiles(benchmark::State& state, int intervalMs) {
  const std::string video = BenchVideo();
  if (video.empty()) {
    state.SkipWithError("the video could not be made");
    return;
  }
  const fs::path user = BenchFolder() / "user";
  fs::remove_all(user);
  tx::Configuration configuration(user / "Tesserix.set", user / "Tesserix.ini");
  tx::CollectionRegistry registry(configuration, user, user);
  registry.PrepareCollectionFolders();
  tx::VideoBuildSettings settings;
  tx::VideoBuildProgress progress;
  const std::uint64_t decoded = tx::video::DecodedFrameCount();
  const std::uint64_t seeks = tx::video::SeekCount();
  for (auto _ : state) {
    if (!tx::BuildFromVideo(registry, "Bench", video, intervalMs, settings, &progress)) {
      state.SkipWithError("the build failed");
      break;
    }
  }
  state.counters["tiles/s"] =
      benchmark::Counter(double(progress.tiles) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["tiles"] = progress.tiles;
  Report(state, tx::video::DecodedFrameCount() - decoded, tx::video::SeekCount() - seeks);
  fs::remove_all(user);
}

void ReadEveryFrame(benchmark::State& state) {
  const std::string video = BenchVideo();
  if (video.empty()) {
    state.SkipWithError("the video could not be made");
    return;
  }
  InitProc([](void* frame, void*) { tx::PackedImage taken(frame); }, nullptr);
  const std::uint64_t decoded = tx::video::DecodedFrameCount();
  const std::uint64_t seeks = tx::video::SeekCount();
  std::uint32_t frames = 0;
  for (auto _ : state) {
    if (!ReadVideoImage(video.c_str(), 2, 1000 / kFramesPerSecond, &frames)) {
      state.SkipWithError("the video could not be read");
      break;
    }
  }
  InitProc(nullptr, nullptr);
  state.counters["frames"] = frames;
  Report(state, tx::video::DecodedFrameCount() - decoded, tx::video::SeekCount() - seeks);
}

BENCHMARK_CAPTURE(BuildTiles, EverySecond, 1000)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK_CAPTURE(BuildTiles, EveryThreeSeconds, 3000)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(ReadEveryFrame)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
