// Speed of whole montage runs: about 2000 cells from a 2000 x 1500 target,
// written as JPEG. "Generated10000": a generated collection of 10 000 tiles
// at resolution 1 (made once in $TMPDIR/tesserix-bench-montage). "Sample":
// the shipped sample collection at resolution 0, when the build made it.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "collections/collection_registry.h"
#include "collections/tile_maker.h"
#include "collections/tile_set_index.h"
#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "montage/montage_driver.h"
#include "platform/notices.h"
#include "platform/paths.h"
#include "rastio/rastio.h"

namespace fs = std::filesystem;

namespace {

constexpr int kTargetWidth = 2000;
constexpr int kTargetHeight = 1500;
constexpr int kCountIndexFor2000 = 7;

fs::path BenchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return fs::path(tmp && *tmp ? tmp : "/tmp") / "tesserix-bench-montage";
}

std::uint8_t Channel(std::uint32_t n, int shift) {
  std::uint32_t v = (n * 2654435761u) >> shift;
  return std::uint8_t(v);
}

// A picture with broad colour gradients, like a photo's large shapes.
tx::PackedImage Picture(int width, int height, std::uint32_t seed) {
  tx::PackedImage image(tx::CreatePackedImage(width, height, 0, 0));
  tx::ImageLock lock(image.get());
  for (int y = 0; lock && y < height; ++y) {
    std::uint8_t* row = lock.row(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = std::uint8_t(Channel(seed, 8) / 2 + x * 127 / width);
      row[3 * x + 1] = std::uint8_t(Channel(seed, 16) / 2 + y * 127 / height);
      row[3 * x + 2] = std::uint8_t(Channel(seed, 24) / 2 + (x + y) * 127 / (width + height));
    }
  }
  return image;
}

// A collection of `count` tiles with pictures at both resolutions, written
// straight into U (tile pictures, then the index).
bool MakeCollection(tx::CollectionRegistry& registry, const char* title, int count) {
  fs::path index = registry.IndexFolder(tx::kMyCollection) / (std::string(title) + ".TXS");
  if (fs::exists(index)) return true;
  tx::TileSetIndexWriter writer;
  if (!writer.BeginTileSetIndex(index, 0)) return false;
  tx::TileGeometry geometry;
  tx::TileCommitter committer(writer, registry.TileFolder(tx::kMyCollection, title), geometry,
                              ".txd");
  for (int n = 0; n < count; ++n) {
    tx::PreparedTile tile;
    if (!tx::PrepareTile(Picture(240, 180, std::uint32_t(n)).release(), geometry, tile))
      return false;
    if (!committer.CommitTile(tile)) return false;
  }
  return writer.EndTileSetIndex(false);
}

struct Setup {
  std::unique_ptr<tx::Configuration> configuration;
  std::unique_ptr<tx::CollectionRegistry> registry;
  std::unique_ptr<tx::MontageEngine> engine;
};

void RunMontage(benchmark::State& state, Setup& setup, int resolution) {
  tx::MontageRequest request;
  request.settings.blockNum = kCountIndexFor2000;
  request.settings.resolution = resolution;
  request.settings.usage = 1;
  request.seed = 1;
  fs::path out = BenchFolder() / "montage.jpg";
  int cells = 0;
  for (auto _ : state) {
    if (!setup.engine->CreateMontage(nullptr, request, nullptr)) {
      state.SkipWithError("no montage");
      return;
    }
    const std::int32_t options[6] = {90, 0, 0, 24, 0, 0};
    if (EzSaveFile(setup.engine->montage(), out.c_str(), tx::kSaveByExtension, options) != 0) {
      state.SkipWithError("the montage could not be saved");
      return;
    }
    cells = setup.engine->report().plan.cols * setup.engine->report().plan.rows;
  }
  state.counters["cells"] = cells;
  state.counters["tiles"] = double(setup.engine->report().tilesLoaded);
}

void Generated10000(benchmark::State& state) {
  tx::SetNoticeSink(std::make_shared<tx::StderrNoticeSink>(tx::NoticeAnswer::Yes));
  static Setup setup = [] {
    Setup s;
    fs::path user = BenchFolder() / "user";
    s.configuration =
        std::make_unique<tx::Configuration>(user / "Tesserix.set", user / "Tesserix.ini");
    s.registry = std::make_unique<tx::CollectionRegistry>(*s.configuration, user, user);
    s.registry->PrepareCollectionFolders();
    if (MakeCollection(*s.registry, "Generated", 10000)) {
      s.registry->AddCollection(tx::kMyCollection, "Generated.TXS", "Generated",
                                s.registry->TileFolder(tx::kMyCollection, "Generated").string(), 1);
    }
    s.engine = std::make_unique<tx::MontageEngine>(*s.registry);
    tx::PackedImage target = Picture(kTargetWidth, kTargetHeight, 7);
    fs::path path = BenchFolder() / "target.png";
    EzSaveFile(target.get(), path.c_str(), tx::kSaveByExtension, nullptr);
    s.engine->LoadTargetPicture(nullptr, path);
    return s;
  }();
  RunMontage(state, setup, 1);
}

void Sample(benchmark::State& state) {
  tx::SetNoticeSink(std::make_shared<tx::StderrNoticeSink>(tx::NoticeAnswer::Yes));
  static Setup setup = [] {
    Setup s;
    fs::path program = tx::ProgramDir();
    fs::path user = BenchFolder() / "sample-user";
    fs::remove_all(user);
    s.configuration =
        std::make_unique<tx::Configuration>(program / "Tesserix.set", user / "Tesserix.ini");
    s.registry = std::make_unique<tx::CollectionRegistry>(*s.configuration, user, program);
    s.registry->PrepareCollectionFolders();
    s.registry->LoadCollections();
    s.engine = std::make_unique<tx::MontageEngine>(*s.registry);
    // The sample target at 2000 x 1500.
    tx::PackedImage photo(EzOpenFile((program / "sample-target.jpg").c_str(), 0, 0));
    tx::PackedImage target(tx::ScaleImage(photo.get(), kTargetWidth, kTargetHeight));
    fs::path path = BenchFolder() / "sample-target.png";
    fs::create_directories(BenchFolder());
    if (target) EzSaveFile(target.get(), path.c_str(), tx::kSaveByExtension, nullptr);
    s.engine->LoadTargetPicture(nullptr, path);
    return s;
  }();
  if (!setup.engine->target()) {
    state.SkipWithError("no sample target picture beside the program");
    return;
  }
  RunMontage(state, setup, 0);
}

BENCHMARK(Generated10000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(Sample)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
