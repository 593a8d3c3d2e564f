// What the album browser asks of the open album besides adding: its records
// and their files, and removing pictures.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "albums/album_item.h"
#include "albums/album_list.h"
#include "resources/resource_binding.h"
#include "tests/support/recording_notice_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

class AlbumBrowserOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    m_albums = std::make_unique<AlbumList>(m_configuration, TESSERIX_BIN_DIR, m_user.path());
    ASSERT_TRUE(m_albums->LoadAlbumLibrary());
    ASSERT_EQ(m_albums->AddAlbum("A"), 0);
    ASSERT_TRUE(m_albums->OpenAlbum(0));
  }
  void TearDown() override {
    m_albums.reset();
    ReleaseResourceLibrary();
  }

  void Add(const std::vector<std::string>& paths) {
    const PackedImage picture = testing::MakePatternImage(3, 2, 24);
    for (const std::string& path : paths)
      ASSERT_EQ(m_albums->AddPictureToAlbum(nullptr, picture.get(), path, -1, {}, 1, 1, 1), 1);
  }

  std::vector<std::string> OpenPaths() const {
    std::vector<std::string> paths;
    for (int i = 0; i < m_albums->openHeader().pictureCount; ++i)
      paths.push_back(m_albums->OpenItemPath(i).string());
    return paths;
  }

  testing::TempDir m_user;
  testing::ScopedEnv m_userEnv{"TESSERIX_USER_DIR", m_user.path().string()};
  Configuration m_configuration{m_user.path() / "Tesserix.set", m_user.path() / "Tesserix.ini"};
  testing::ScopedRecordingSink m_sink;
  std::unique_ptr<AlbumList> m_albums;
};

TEST_F(AlbumBrowserOpsTest, RemovesTheGivenPicturesInAnyOrderOnce) {
  Add({"/p/0.jpg", "/p/1.jpg", "/p/2.jpg", "/p/3.jpg", "/p/4.jpg"});
  ASSERT_TRUE(m_albums->SaveAlbum(m_albums->AlbumFilePath(0)));
  ASSERT_FALSE(m_albums->openAlbumChanged());

  // Out-of-range and repeated indices are passed over.
  EXPECT_EQ(m_albums->RemovePictures({3, -1, 1, 3, 5, 99}), 2);
  EXPECT_EQ(OpenPaths(), (std::vector<std::string>{"/p/0.jpg", "/p/2.jpg", "/p/4.jpg"}));
  EXPECT_TRUE(m_albums->openAlbumChanged());

  // What is left saves and reads back.
  ASSERT_TRUE(m_albums->SaveAlbum(m_albums->AlbumFilePath(0)));
  std::vector<std::string> saved;
  ASSERT_TRUE(m_albums->GetAlbumPictures(m_albums->AlbumFilePath(0), saved));
  EXPECT_EQ(saved, OpenPaths());

  EXPECT_EQ(m_albums->RemovePictures({}), 0);
  EXPECT_FALSE(m_albums->openAlbumChanged()) << "nothing removed, nothing to save";
  EXPECT_EQ(m_albums->RemovePictures({0, 1, 2}), 3);
  EXPECT_EQ(m_albums->openHeader().pictureCount, 0);
  // The album still takes pictures after being emptied.
  Add({"/p/new.jpg"});
  EXPECT_EQ(OpenPaths(), std::vector<std::string>{"/p/new.jpg"});

  m_albums->CloseAlbum();
  EXPECT_EQ(m_albums->RemovePictures({0}), 0);
  EXPECT_EQ(m_albums->OpenItem(0), nullptr);
}

TEST_F(AlbumBrowserOpsTest, ItemPathsStoredRelativeAreJoinedToTheProgramFolder) {
  Add({"/p/full.jpg", "/p/rel.jpg"});
  EXPECT_EQ(m_albums->OpenItem(2), nullptr);
  EXPECT_EQ(m_albums->OpenItem(-1), nullptr);
  EXPECT_TRUE(m_albums->OpenItemPath(2).empty());
  // Mark the second record's path as relative, as older albums store it.
  GlobalHandle item = m_albums->OpenItem(1);
  ASSERT_NE(item, nullptr);
  auto* record = static_cast<std::uint8_t*>(GlobalLock(item));
  record[ABM_ITEM_PATH_FORM] = 1;
  std::memset(record + ABM_ITEM_PATH, 0, ABM_ITEM_PATH_BYTES);
  std::strcpy(reinterpret_cast<char*>(record + ABM_ITEM_PATH), "samples/rel.jpg");
  GlobalUnlock(item);
  EXPECT_EQ(m_albums->OpenItemPath(0), fs::path("/p/full.jpg"));
  EXPECT_EQ(m_albums->OpenItemPath(1), fs::path(TESSERIX_BIN_DIR) / "samples/rel.jpg");
}

TEST_F(AlbumBrowserOpsTest, SavingUnderTheOpenPathItselfKeepsTheMovedFile) {
  Add({"/p/0.jpg"});
  const fs::path old = m_albums->AlbumFilePath(0);
  ASSERT_TRUE(m_albums->SaveAlbum(old));
  ASSERT_TRUE(m_albums->RenameAlbum(0, "B"));
  // The path handed over is the list's own, which the save changes.
  ASSERT_TRUE(m_albums->SaveAlbum(m_albums->openAlbumPath()));
  EXPECT_TRUE(fs::exists(old.parent_path() / "B.abm"));
  EXPECT_FALSE(fs::exists(old));
  EXPECT_EQ(m_albums->openAlbumPath(), old.parent_path() / "B.abm");
}

}  // namespace
}  // namespace tx
