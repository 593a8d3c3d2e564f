// How long the program's window goes without handling events while it
// makes a 2000-cell montage of the sample target from the shipped sample
// collection, and while it saves a 3520 x 2640 montage as PNG. A timer asks
// to be handled every 5 ms; the counter "longest_gap_ms" is the longest the
// GUI thread left it waiting (the target is under 100 ms). Runs on Qt's
// offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include "app/program/main_window.h"
#include "app/program/montage_path.h"
#include "app/views/work_off_gui.h"
#include "collections/collection_registry.h"
#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "image/image_lock.h"
#include "output/save_options.h"
#include "output/save_picture.h"
#include "platform/paths.h"
#include "resources/resource_binding.h"

namespace fs = std::filesystem;

namespace {

constexpr int kTickMs = 5;
constexpr int kMontageWidth = 3520;
constexpr int kMontageHeight = 2640;
constexpr int kMostTiles = tx::kCountTableSize - 1;

QApplication& App() {
  static int argc = 1;
  static char name[] = "window_response_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}

fs::path BenchFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return fs::path(tmp && *tmp ? tmp : "/tmp") / "tesserix-bench-window";
}

// Records the longest time between two handlings of a fast timer.
class GapMeter {
 public:
  GapMeter() {
    QObject::connect(&m_timer, &QTimer::timeout,
                     [this] { m_longest = std::max(m_longest, m_clock.restart()); });
    m_clock.start();
    m_timer.start(kTickMs);
  }
  double longestMs() const { return double(m_longest); }

 private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_longest = 0;
};

// A picture with broad gradients and fine noise, like a montage.
tx::PackedImage MontageLikePicture() {
  tx::PackedImage image(tx::CreatePackedImage(kMontageWidth, kMontageHeight, 0, 0));
  tx::ImageLock lock(image.get());
  std::uint32_t noise = 1;
  for (int y = 0; lock && y < kMontageHeight; ++y) {
    std::uint8_t* row = lock.row(y);
    for (int x = 0; x < 3 * kMontageWidth; ++x) {
      noise = noise * 1664525u + 1013904223u;
      row[x] = std::uint8_t((x / 3 + y) / 24 + (noise >> 29));
    }
  }
  return image;
}

void BM_WindowDuringRun(benchmark::State& state) {
  App();
  std::string error;
  if (!tx::BindResourceLibrary(tx::ProgramDir().string(), "Res_TX", error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  fs::remove_all(BenchFolder());
  tx::Configuration configuration(tx::ProgramDir() / "Tesserix.set",
                                  BenchFolder() / "Tesserix.ini");
  tx::CollectionRegistry registry(configuration, BenchFolder() / "U", tx::ProgramDir());
  registry.PrepareCollectionFolders();
  registry.LoadCollections();
  if (registry.GetCollectionCount(tx::kDiscCollection) == 0) {
    state.SkipWithError("the build made no sample collection");
    return;
  }
  tx::MontagePath path(registry);
  tx::MainWindow window(path.Hooks());
  path.Attach(window);
  window.show();
  if (!window.OpenTargetFile(tx::ProgramDir() / "sample-target.jpg")) {
    state.SkipWithError("the sample target does not open");
    return;
  }
  double longest = 0;
  for (auto _ : state) {
    window.GoToScreen(tx::kScreenMontageSettings);
    path.settingsScreen()->Choose(tx::kTileCountList, kMostTiles);
    bool ended = false;
    QMetaObject::Connection done =
        QObject::connect(&path.run(), &tx::MontageRun::finished, [&](bool) { ended = true; });
    GapMeter meter;
    path.Create();
    while (!ended)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QObject::disconnect(done);
    longest = std::max(longest, meter.longestMs());
    path.engine().MarkMontageSaved();
  }
  state.counters["longest_gap_ms"] = longest;
  state.counters["cells"] = path.run().cellCount();
  path.engine().MarkMontageSaved();
  tx::ReleaseResourceLibrary();
}
BENCHMARK(BM_WindowDuringRun)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_WindowDuringPngSave(benchmark::State& state) {
  App();
  const tx::PackedImage picture = MontageLikePicture();
  fs::create_directories(BenchFolder());
  const std::string file = (BenchFolder() / "montage.png").string();
  tx::SaveOptions options;
  double longest = 0;
  for (auto _ : state) {
    GapMeter meter;
    tx::SaveResult result;
    tx::RunKeepingWindowsPainted(
        [&] { result = tx::SavePictureToFile(picture.get(), file, options); });
    if (!result.saved()) state.SkipWithError(result.reason.c_str());
    longest = std::max(longest, meter.longestMs());
  }
  state.counters["longest_gap_ms"] = longest;
}
BENCHMARK(BM_WindowDuringPngSave)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
