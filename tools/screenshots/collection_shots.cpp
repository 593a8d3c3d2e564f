// tx-collection-screenshots OUT PHOTO...: drives the program's own main
// window through the collection screens with the given photos and saves
// what a user sees as PNG files in OUT:
//   screen1-album.png     an album of the photos open in the browser
//   screen4-building.png  a My Collection being built from that album
//   screen7-preview.png   a video made from the photos playing in the preview
//
// Like tx-path-screenshots it starts as the program does but never claims
// the single instance; the user folder should be a fresh one.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <QtCore/QStringList>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>

#include "albums/album_list.h"
#include "app/program/my_collection_screen.h"
#include "app/program/picture_source_screen.h"
#include "app/program/video_collection_screen.h"
#include "app/views/album_grid.h"
#include "app/views/build_progress_box.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "rastio/rastio.h"
#include "tests/support/test_videos.h"
#include "tools/screenshots/program_shots.h"

namespace fs = std::filesystem;

using tx::shots::kSettleMs;
using tx::shots::Shoot;
using tx::shots::Wait;
using tx::shots::WaitFor;

namespace {

constexpr int kWorkLimitMs = 120000;
// The preview video: a slow pan across each photo in turn.
constexpr int kVideoWidth = 320;
constexpr int kVideoHeight = 240;
constexpr int kVideoFps = 25;
constexpr int kFramesPerPhoto = 25;
constexpr int kVideoPhotos = 4;

// The photos scaled to the video's height and twice its width, top-down BGR.
std::vector<std::vector<std::uint8_t>> PanStrips(const std::vector<std::string>& photos) {
  std::vector<std::vector<std::uint8_t>> strips;
  for (const std::string& photo : photos) {
    if (int(strips.size()) == kVideoPhotos) break;
    tx::PackedImage picture(EzOpenFile(photo.c_str(), 0, 0));
    if (!picture) continue;
    tx::PackedImage scaled(tx::ScaleImage(picture.get(), 2 * kVideoWidth, kVideoHeight));
    const tx::ImageLock lock(scaled.get());
    if (!lock.valid() || lock.bitCount() != 24) continue;
    std::vector<std::uint8_t> strip(std::size_t(2 * kVideoWidth) * kVideoHeight * 3);
    for (int y = 0; y < kVideoHeight; ++y) {
      std::copy_n(lock.topDownRow(y), 2 * kVideoWidth * 3,
                  strip.begin() + std::ptrdiff_t(y) * 2 * kVideoWidth * 3);
    }
    strips.push_back(std::move(strip));
  }
  return strips;
}

bool MakeVideo(const fs::path& file, const std::vector<std::string>& photos) {
  const std::vector<std::vector<std::uint8_t>> strips = PanStrips(photos);
  if (strips.empty()) return false;
  tx::testing::TestVideo video;
  video.width = kVideoWidth;
  video.height = kVideoHeight;
  video.framesPerSecond = kVideoFps;
  video.frameCount = int(strips.size()) * kFramesPerPhoto;
  video.paint = [&strips](int frame, std::uint8_t* bgr) {
    const std::vector<std::uint8_t>& strip = strips[std::size_t(frame / kFramesPerPhoto)];
    const int shift = (frame % kFramesPerPhoto) * kVideoWidth / kFramesPerPhoto;
    for (int y = 0; y < kVideoHeight; ++y) {
      std::copy_n(strip.begin() + (std::ptrdiff_t(y) * 2 * kVideoWidth + shift) * 3,
                  kVideoWidth * 3, bgr + std::ptrdiff_t(y) * kVideoWidth * 3);
    }
  };
  std::string error;
  if (tx::testing::WriteTestVideo(file, video, error)) return true;
  std::fprintf(stderr, "tx-collection-screenshots: no video: %s\n", error.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tx-collection-screenshots OUT PHOTO...\n");
    return 2;
  }
  QApplication app(argc, argv);
  const fs::path out = argv[1];
  fs::create_directories(out);
  std::vector<std::string> photos(argv + 2, argv + argc);
  QTemporaryDir scratch;
  if (!scratch.isValid()) return 1;

  tx::shots::ProgramForShots program(app);
  tx::MontagePath& path = program.path();
  tx::MainWindow& window = program.window();
  bool ok = true;

  // An album of the photos, added as a user adds them, open in the browser
  // with the third photo selected.
  window.GoToScreen(tx::kScreenPictureSource);
  tx::PictureSourceScreen& source = *path.pictureSourceScreen();
  source.NewAlbum();
  source.AcceptEditedName();
  QStringList files;
  for (const std::string& photo : photos)
    files.push_back(QString::fromStdString(photo));
  if (!source.AddFiles(files) || !WaitFor([&] { return !source.busy(); }, kWorkLimitMs)) {
    std::fprintf(stderr, "tx-collection-screenshots: the photos were not added\n");
    return 1;
  }
  if (tx::AlbumGridView* grid = source.grid()) grid->SelectRow(2);
  Wait(kSettleMs);
  ok &= Shoot(window, out, "screen1-album");

  // A My Collection of that album being built, shot once a third is done.
  window.GoToScreen(tx::kScreenHome);
  window.GoToScreen(tx::kScreenMontageSettings);
  window.GoToScreen(tx::kScreenMyCollection);
  tx::MyCollectionScreen& mine = *path.myCollectionScreen();
  mine.SelectAlbum(0, true);
  mine.Add();
  if (!mine.Build()) {
    std::fprintf(stderr, "tx-collection-screenshots: the build did not start\n");
    return 1;
  }
  const int third = std::max(1, int(photos.size()) / 3);
  bool shot = false;
  WaitFor(
      [&] {
        const QString words = mine.progress()->words();
        const int done = words.section(QLatin1Char('/'), 0, 0).trimmed().toInt();
        if (!shot && mine.busy() && done >= third) {
          ok &= Shoot(window, out, "screen4-building");
          shot = true;
        }
        return !mine.busy();
      },
      kWorkLimitMs);
  ok &= shot;

  // A video of the photos playing in the video screen's preview.
  const fs::path video = fs::path(scratch.path().toStdString()) / "holiday.avi";
  if (!MakeVideo(video, photos)) return 1;
  window.GoToScreen(tx::kScreenMontageSettings);
  window.GoToScreen(tx::kScreenVideo);
  tx::VideoCollectionScreen& videos = *path.videoCollectionScreen();
  videos.AddVideoPaths({video.string()});
  videos.TickSource(0, true);
  videos.PlayVideo();
  Wait(1200);
  ok &= Shoot(window, out, "screen7-preview");
  videos.StopVideo();

  window.GoToScreen(tx::kScreenMontageSettings);
  window.GoToScreen(tx::kScreenHome);
  window.close();
  std::printf("tx-collection-screenshots: %s\n", ok ? "done" : "some shots failed");
  return ok ? 0 : 1;
}
