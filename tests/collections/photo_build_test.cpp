// Building a collection from photos: numbering, worker threads, cancel,
// skipped photos, the two decoding modes, and building from a folder.

#include "collections/photo_build.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "collections/collection_registry.h"
#include "collections/my_collection_commands.h"
#include "config/settings_access.h"
#include "image/image_lock.h"
#include "platform/cancel_flag.h"
#include "platform/file_io.h"
#include "rastio/rastio.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::vector<std::uint8_t> Bytes(const fs::path& file) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  ReadWholeFile(file, 1 << 26, bytes, error);
  return bytes;
}

// Every file under `folder`, by relative path, with its bytes.
std::map<std::string, std::vector<std::uint8_t>> Tree(const fs::path& folder) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = Bytes(entry);
  }
  return files;
}

class PhotoBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearCancel();
    m_registry = std::make_unique<CollectionRegistry>(m_configuration, m_dir / "U", m_dir / "P");
    m_registry->PrepareCollectionFolders();
  }

  // A JPEG photo of width x height whose colours depend on `seed`.
  std::string Photo(const std::string& name, int width, int height, int seed) {
    PackedImage image(CreatePackedImage(width, height, 0, 0));
    {
      ImageLock lock(image.get());
      for (int y = 0; y < height; ++y) {
        std::uint8_t* row = lock.row(y);
        for (int x = 0; x < width; ++x) {
          row[3 * x] = std::uint8_t(seed * 40 + x * 200 / width);
          row[3 * x + 1] = std::uint8_t(y * 200 / height + seed);
          row[3 * x + 2] = std::uint8_t(255 - seed * 30);
        }
      }
    }
    fs::path path = m_dir / "photos" / name;
    fs::create_directories(path.parent_path());
    EXPECT_EQ(EzSaveFile(image.get(), path.c_str(), kSaveJpeg, nullptr), 0);
    return path.string();
  }

  std::string Garbage(const std::string& name) {
    fs::path path = m_dir / "photos" / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "this is not a picture";
    return path.string();
  }

  fs::path Index(const std::string& title) const {
    return m_registry->IndexFolder(kMyCollection) / (title + kIndexExtension);
  }
  fs::path Tiles(const std::string& title) const {
    return m_registry->TileFolder(kMyCollection, title);
  }

  TempDir m_dir;
  Configuration m_configuration{m_dir / "P" / "Tesserix.set", m_dir / "U" / "Tesserix.ini"};
  std::unique_ptr<CollectionRegistry> m_registry;
};

TEST_F(PhotoBuild, WorkerThreadsBuildExactlyWhatOneThreadBuilds) {
  std::vector<std::string> photos;
  for (int i = 0; i < 9; ++i)
    photos.push_back(Photo("p" + std::to_string(i) + ".jpg", 160 + 40 * i, 120 + 10 * i, i));
  photos.insert(photos.begin() + 3, Garbage("broken.jpg"));
  photos.push_back(Photo("tall.jpg", 120, 400, 3));
  BuildOptions options;
  options.threads = 1;
  BuildOutcome one =
      BuildCollectionFromPhotos(*m_registry, kMyCollection, "One", photos, options, nullptr);
  options.threads = 2;
  BuildOutcome two =
      BuildCollectionFromPhotos(*m_registry, kMyCollection, "Two", photos, options, nullptr);
  EXPECT_TRUE(one.built && two.built);
  EXPECT_EQ(one.tiles, 10);
  EXPECT_EQ(one.skipped, 1);
  EXPECT_EQ(Bytes(Index("One")), Bytes(Index("Two")));
  EXPECT_EQ(Tree(Tiles("One")), Tree(Tiles("Two")));
  EXPECT_EQ(Tree(Tiles("One")).size(), 20u);
}

TEST_F(PhotoBuild, AnUnreadableFirstPhotoTakesNoNumber) {
  struct Skips : BuildObserver {
    void OnSkipped(const std::string& path, const std::string& reason) override {
      skipped.push_back(path + " " + reason);
    }
    std::vector<std::string> skipped;
  } observer;
  std::vector<std::string> photos = {Garbage("first.jpg"), Photo("second.jpg", 400, 300, 1),
                                     Garbage("notes.txt")};
  BuildOutcome outcome = BuildCollectionFromPhotos(*m_registry, kMyCollection, "Skip", photos,
                                                   BuildOptions(), &observer);
  EXPECT_TRUE(outcome.built);
  EXPECT_EQ(outcome.tiles, 1);
  ASSERT_EQ(observer.skipped.size(), 2u);
  EXPECT_NE(observer.skipped[1].find("not a picture type"), std::string::npos);
  EXPECT_EQ(fs::file_size(Index("Skip")), 184u);
  EXPECT_TRUE(fs::exists(Tiles("Skip") / "Res10" / "000" / "000.txd"));
  EXPECT_FALSE(fs::exists(Tiles("Skip") / "Res10" / "000" / "001.txd"));
}

TEST_F(PhotoBuild, ACancelHalfWayLeavesNoIndexButTheTilesWritten) {
  std::vector<std::string> photos;
  for (int i = 0; i < 6; ++i)
    photos.push_back(Photo("c" + std::to_string(i) + ".jpg", 200, 150, i));
  ASSERT_TRUE(
      BuildCollectionFromPhotos(*m_registry, kMyCollection, "Cut", photos, BuildOptions(), nullptr)
          .built);
  struct CancelAtThree : BuildObserver {
    void OnPhoto(int done, int, const PackedImage*) override {
      if (done == 3) RequestCancel();
    }
  } observer;
  BuildOutcome outcome = BuildCollectionFromPhotos(*m_registry, kMyCollection, "Cut", photos,
                                                   BuildOptions(), &observer);
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_FALSE(outcome.built);
  EXPECT_EQ(outcome.tiles, 3);
  // The old index goes too: its pictures were partly overwritten.
  EXPECT_FALSE(fs::exists(Index("Cut")));
  EXPECT_TRUE(fs::exists(Tiles("Cut") / "Res15" / "000" / "005.txd"));
}

TEST_F(PhotoBuild, ABuildWithoutATileLeavesNoIndex) {
  ASSERT_TRUE(BuildCollectionFromPhotos(*m_registry, kMyCollection, "Empty",
                                        {Photo("a.jpg", 64, 48, 1)}, BuildOptions(), nullptr)
                  .built);
  BuildOutcome outcome = BuildCollectionFromPhotos(*m_registry, kMyCollection, "Empty",
                                                   {Garbage("x.jpg")}, BuildOptions(), nullptr);
  EXPECT_FALSE(outcome.built);
  EXPECT_FALSE(fs::exists(Index("Empty")));
  EXPECT_FALSE(
      BuildCollectionFromPhotos(*m_registry, kMyCollection, "None", {}, BuildOptions(), nullptr)
          .built);
  EXPECT_FALSE(fs::exists(Index("None")));
}

TEST_F(PhotoBuild, ScaledDecodingKeepsTheColoursOfExactDecoding) {
  std::vector<std::string> photos = {Photo("big.jpg", 1920, 1440, 2),
                                     Photo("small.jpg", 300, 200, 4)};
  BuildOptions options;
  options.exactDecode = true;
  ASSERT_TRUE(
      BuildCollectionFromPhotos(*m_registry, kMyCollection, "Exact", photos, options, nullptr)
          .built);
  options.exactDecode = false;
  ASSERT_TRUE(
      BuildCollectionFromPhotos(*m_registry, kMyCollection, "Scaled", photos, options, nullptr)
          .built);
  std::vector<std::uint8_t> exact = Bytes(Index("Exact"));
  std::vector<std::uint8_t> scaled = Bytes(Index("Scaled"));
  ASSERT_EQ(exact.size(), scaled.size());
  int worst = 0;
  for (std::size_t i = 16; i < exact.size(); ++i)
    worst = std::max(worst, std::abs(exact[i] - scaled[i]));
  EXPECT_LE(worst, 4);
  // The small photo is below twice the tile size: decoded whole either way.
  EXPECT_TRUE(std::equal(exact.begin() + 16 + 168, exact.end(), scaled.begin() + 16 + 168));
}

TEST_F(PhotoBuild, FolderBuildsTakeSortedPicturesAndAUniqueTitle) {
  Photo("trip/b.jpg", 200, 150, 1);
  Photo("trip/a.png", 200, 150, 2);
  Photo("trip/deeper/c.jpg", 200, 150, 3);
  Garbage("trip/readme.txt");
  std::vector<std::string> flat = ListPictureFiles(m_dir / "photos" / "trip", false);
  ASSERT_EQ(flat.size(), 2u);
  EXPECT_EQ(fs::path(flat[0]).filename(), "a.png");
  EXPECT_EQ(ListPictureFiles(m_dir / "photos" / "trip", true).size(), 3u);

  FolderBuildOutcome first =
      BuildFromFolder(*m_registry, m_dir / "photos" / "trip", "", true, BuildOptions(), nullptr);
  FolderBuildOutcome second =
      BuildFromFolder(*m_registry, m_dir / "photos" / "trip/", "", false, BuildOptions(), nullptr);
  EXPECT_EQ(first.title, "trip");
  EXPECT_EQ(second.title, "trip 2");
  EXPECT_EQ(first.build.tiles, 3);
  EXPECT_EQ(second.build.tiles, 2);
  int index = m_registry->FindCollectionByTitle(kMyCollection, "trip 2");
  ASSERT_GE(index, 0);
  EXPECT_EQ(m_registry->GetCollectionStatus(kMyCollection, index), 1);
  EXPECT_EQ(m_registry->GetCollectionName(kMyCollection, index), "trip");
  EXPECT_EQ(UniqueCollectionTitle(*m_registry, kMyCollection, "../a/b\x01"), "_a_b_");
  EXPECT_EQ(UniqueCollectionTitle(*m_registry, kMyCollection, ".."), "Photos");
}

}  // namespace
}  // namespace tx
