// The Add, Build and Delete commands of the My Collection screen, with
// albums kept by the album library.

#include "collections/my_collection_commands.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "albums/album_list.h"
#include "collections/collection_registry.h"
#include "config/settings_access.h"
#include "platform/cancel_flag.h"
#include "rastio/rastio.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class MyCollectionCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearCancel();
    m_registry = std::make_unique<CollectionRegistry>(m_configuration, m_dir / "U", m_dir / "P");
    m_registry->PrepareCollectionFolders();
    m_albums = std::make_unique<AlbumList>(m_configuration, TESSERIX_BIN_DIR, m_dir / "U");
    ASSERT_TRUE(m_albums->LoadAlbumLibrary());
    m_options.threads = 2;
  }
  void TearDown() override { m_albums.reset(); }

  // An album holding `count` photos; returns its index.
  int Album(const std::string& name, int count) {
    int index = m_albums->AddAlbum(name);
    EXPECT_EQ(index, 0);
    m_albums->EnsureAlbumList();
    int album = m_albums->GetAlbumCount() - 1;
    for (int i = 0; i < count; ++i) {
      PackedImage photo(CreatePackedImage(160, 120, 0x00102030u * std::uint32_t(i + 1), 0));
      fs::path path = m_dir / "photos" / (name + std::to_string(i) + ".jpg");
      fs::create_directories(path.parent_path());
      EXPECT_EQ(EzSaveFile(photo.get(), path.c_str(), kSaveJpeg, nullptr), 0);
      EXPECT_EQ(m_albums->AddPictureToAlbum(nullptr, nullptr, path.string(), album, "", 1, 1, 1),
                1);
    }
    return album;
  }

  fs::path Index(const std::string& title) const {
    return m_registry->IndexFolder(kMyCollection) / (title + kIndexExtension);
  }

  TempDir m_dir;
  // The album library keeps its albums under the user folder.
  testing::ScopedEnv m_userDir{"TESSERIX_USER_DIR", (m_dir / "U").string()};
  Configuration m_configuration{m_dir / "P" / "Tesserix.set", m_dir / "U" / "Tesserix.ini"};
  std::unique_ptr<CollectionRegistry> m_registry;
  std::unique_ptr<AlbumList> m_albums;
  BuildOptions m_options;
};

TEST_F(MyCollectionCommands, AddMarksAndRegistersThenBuildMakesTheCollection) {
  int family = Album("Family", 3);
  std::vector<CollectionListItem> list = MakeCollectionList(*m_registry, kMyCollection);
  AddAlbumsToMyCollections(*m_registry, *m_albums, list, {family});
  AddAlbumsToMyCollections(*m_registry, *m_albums, list, {family});
  ASSERT_EQ(m_registry->GetCollectionCount(kMyCollection), 1);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].mark, kMarkBuild);
  EXPECT_EQ(m_registry->GetCollectionKey(kMyCollection, 0), "Family.TXS");
  EXPECT_EQ(m_registry->GetCollectionStatus(kMyCollection, 0), 0);

  BuildCommandOutcome outcome =
      BuildMyCollections(*m_registry, *m_albums, list, m_options, nullptr);
  EXPECT_EQ(outcome.built, 1);
  EXPECT_EQ(list[0].mark, kMarkNone);
  EXPECT_EQ(m_registry->GetCollectionStatus(kMyCollection, 0), 1);
  EXPECT_EQ(fs::file_size(Index("Family")), 16u + 3 * 168u);
  // The registry was saved: a fresh one reads the built collection.
  CollectionRegistry reread(m_configuration, m_dir / "U", m_dir / "P");
  reread.LoadCollections();
  EXPECT_EQ(reread.GetCollectionStatus(kMyCollection, 0), 1);
}

TEST_F(MyCollectionCommands, ACancelDuringTheSecondCollectionKeepsTheFirst) {
  int first = Album("First", 2);
  int second = Album("Second", 5);
  std::vector<CollectionListItem> list = MakeCollectionList(*m_registry, kMyCollection);
  AddAlbumsToMyCollections(*m_registry, *m_albums, list, {first, second});
  struct CancelInSecond : CollectionBuildObserver {
    void OnCollectionStarted(int index, const std::string&) override { current = index; }
    void OnPhoto(int done, int, const PackedImage*) override {
      if (current == 1 && done == 3) RequestCancel();
    }
    int current = -1;
  } observer;
  BuildCommandOutcome outcome =
      BuildMyCollections(*m_registry, *m_albums, list, m_options, &observer);
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_EQ(outcome.built, 1);
  EXPECT_TRUE(fs::exists(Index("First")));
  EXPECT_FALSE(fs::exists(Index("Second")));
  EXPECT_EQ(list[0].mark, kMarkNone);
  EXPECT_EQ(list[1].mark, kMarkBuild);
  CollectionRegistry reread(m_configuration, m_dir / "U", m_dir / "P");
  reread.LoadCollections();
  EXPECT_EQ(reread.GetCollectionStatus(kMyCollection, 0), 1);
  EXPECT_EQ(reread.GetCollectionStatus(kMyCollection, 1), 0);
}

TEST_F(MyCollectionCommands, ACollectionWithoutItsAlbumKeepsItsMarkAndDeleteRemovesTicked) {
  std::vector<CollectionListItem> list = MakeCollectionList(*m_registry, kMyCollection);
  ASSERT_TRUE(m_registry->AddCollection(kMyCollection, "Lost.TXS", "Lost",
                                        m_registry->TileFolder(kMyCollection, "Lost").string(), 0));
  list.push_back({"Lost", kMarkBuild, true});
  BuildCommandOutcome outcome =
      BuildMyCollections(*m_registry, *m_albums, list, m_options, nullptr);
  EXPECT_EQ(outcome.withoutAlbum, std::vector<std::string>{"Lost"});
  EXPECT_EQ(list[0].mark, kMarkBuild);

  int trip = Album("Trip", 1);
  AddAlbumsToMyCollections(*m_registry, *m_albums, list, {trip});
  list[0].mark = kMarkNone;
  BuildMyCollections(*m_registry, *m_albums, list, m_options, nullptr);
  ASSERT_TRUE(fs::exists(Index("Trip")));
  list[1].mark = kMarkTicked;
  DeleteMyCollections(*m_registry, list);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(m_registry->GetCollectionCount(kMyCollection), 1);
  EXPECT_FALSE(fs::exists(Index("Trip")));
  EXPECT_FALSE(fs::exists(m_registry->TileFolder(kMyCollection, "Trip")));
}

}  // namespace
}  // namespace tx
