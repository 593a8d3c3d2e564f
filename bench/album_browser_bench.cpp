// The album browser with a full album (the picture limit): opening the album
// and showing its first screen of thumbnails, and scrolling through it a
// screen at a time. Opening must stay well under a second and a scroll step
// under a frame or two, whatever the album's size.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>

#include "albums/album_list.h"
#include "app/views/album_grid.h"
#include "config/settings_access.h"
#include "image/image_lock.h"
#include "image/packed_image.h"
#include "resources/resource_binding.h"

namespace {

// The grid's size on the picture source screen, and its columns.
constexpr int kGridSide = 520;
constexpr int kColumns = tx::kAlbumBrowserPicturesPerRow;

// A program with a user folder of its own holding one full album.
struct Browser {
  Browser() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TESSERIX_USER_DIR", QByteArray(user.path().toUtf8()));
    app = std::make_unique<QApplication>(argc, argv);
    tx::BindResourceLibraryOrExit();
    tx::Configuration::SetCurrent(std::make_unique<tx::Configuration>(
        std::filesystem::path(user.path().toStdString()) / "Tesserix.set",
        std::filesystem::path(user.path().toStdString()) / "Tesserix.ini"));
    tx::AlbumList& albums = tx::Albums();
    albums.EnsureAlbumList();
    albums.AddAlbum("Full");
    index = albums.GetAlbumCount() - 1;
    albums.OpenAlbum(index);
    tx::PackedImage photo(tx::CreatePackedImage(320, 240, 0x808080, 0));
    for (int i = 0; i < tx::kAlbumPictureLimit; ++i) {
      const std::string path = "/photos/p" + std::to_string(i) + ".jpg";
      albums.AddPictureToAlbum(nullptr, photo.get(), path, -1, {}, 1, 1, 1);
    }
    albums.SaveAlbum(albums.AlbumFilePath(index));
    albums.CloseAlbum();
  }

  // Opens the album and shows it as the screen does.
  void Show(tx::AlbumGridView& grid) {
    tx::AlbumList& albums = tx::Albums();
    albums.OpenAlbum(index);
    std::vector<tx::GlobalHandle> items;
    for (int i = 0; i < albums.openHeader().pictureCount; ++i)
      items.push_back(albums.OpenItem(i));
    grid.items().Sync(std::move(items));
    grid.ScrollToRow(0);
    benchmark::DoNotOptimize(grid.viewport()->grab());
  }

  QTemporaryDir user;
  int argc = 1;
  char name[16] = "bench";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QApplication> app;
  int index = 0;
};

Browser& TheBrowser() {
  static Browser browser;
  return browser;
}

void BM_OpenFullAlbum(benchmark::State& state) {
  Browser& browser = TheBrowser();
  tx::AlbumGridView grid(kColumns);
  grid.resize(kGridSide, kGridSide);
  grid.show();
  for (auto _ : state) {
    grid.items().Sync({});
    tx::Albums().CloseAlbum();
    browser.Show(grid);
  }
  state.counters["pictures"] = grid.model()->rowCount();
}
BENCHMARK(BM_OpenFullAlbum)->Unit(benchmark::kMillisecond);

void BM_ScrollOneScreen(benchmark::State& state) {
  Browser& browser = TheBrowser();
  tx::AlbumGridView grid(kColumns);
  grid.resize(kGridSide, kGridSide);
  grid.show();
  browser.Show(grid);
  const int rows = (grid.model()->rowCount() + kColumns - 1) / kColumns;
  const int rowsShown = std::max(1, kGridSide / std::max(1, grid.gridSize().height()));
  int row = 0;
  for (auto _ : state) {
    // A screen down each step, back to the top at the end: fresh rows, so
    // their thumbnails are made from the records as the user scrolls.
    row += rowsShown;
    if (row >= rows) row = 0;
    grid.ScrollToRow(row);
    // Drawn into a picture, so the rows are painted whether or not the
    // platform shows the window.
    benchmark::DoNotOptimize(grid.viewport()->grab());
  }
  state.counters["rows"] = rows;
}
BENCHMARK(BM_ScrollOneScreen)->Unit(benchmark::kMillisecond);

}  // namespace
