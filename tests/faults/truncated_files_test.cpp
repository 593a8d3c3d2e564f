// The user profile, a collection index and an album file, each cut short at
// every length from nothing to its whole size and read back through the
// program's own loaders: nothing crashes and nothing outside the user folder
// changes.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "albums/album_list.h"
#include "collections/collection_registry.h"
#include "collections/tile_set_index.h"
#include "config/profile_file.h"
#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "montage/montage_settings.h"
#include "platform/shared_library.h"
#include "resources/resource_binding.h"
#include "tests/faults/fault_support.h"
#include "tests/support/recording_notice_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using namespace faults;
using testing::ScopedEnv;
using testing::TempDir;

struct Stamp {
  std::uintmax_t size;
  fs::file_time_type time;
  bool operator==(const Stamp&) const = default;
};

// Names, sizes and modification times of everything under `root` except
// the folder `skip` and what it holds.
std::map<std::string, Stamp> ListingOutside(const fs::path& root, const fs::path& skip) {
  std::map<std::string, Stamp> listing;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path() == skip) {
      it.disable_recursion_pending();
      continue;
    }
    std::uintmax_t size = it->is_regular_file(ec) ? it->file_size(ec) : 0;
    listing[it->path().string()] = {size, it->last_write_time(ec)};
  }
  return listing;
}

class TruncatedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakePhotos(m_dir / "photos", 4, 64, 48, 0x304050));
    // Tiny pictures keep the album file, and the loop over its lengths, small.
    ASSERT_TRUE(MakePhotos(m_dir / "tiny", 2, 8, 6, 0x604020));
    ASSERT_TRUE(WriteBytes(m_dir / "sentinel.txt", "outside the user folder\n"));
    ASSERT_EQ(RunFor(U(), "config set USER Position 1").exitCode, 0);
    ASSERT_EQ(RunFor(U(), "config set USER LastDir /somewhere/else").exitCode, 0);
    ASSERT_EQ(RunFor(U(), "collection build-folder " + (m_dir / "photos").string() + " --title T")
                  .exitCode,
              0);
    ASSERT_EQ(RunFor(U(), "album create Trip").exitCode, 0);
    ASSERT_EQ(RunFor(U(), "album add Trip " + (m_dir / "tiny" / "p000.jpg").string() + " " +
                              (m_dir / "tiny" / "p001.jpg").string())
                  .exitCode,
              0);

    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    SetStartupSettings(StartupSettings{});
    Configuration::SetCurrent(
        std::make_unique<Configuration>(P() / kSettingsFileName, U() / kUserProfileName));
    m_outside = ListingOutside(m_dir.path(), U());
  }
  void TearDown() override {
    EXPECT_EQ(ListingOutside(m_dir.path(), U()), m_outside) << "something outside U changed";
    Configuration::SetCurrent(nullptr);
    ReleaseResourceLibrary();
  }

  fs::path U() const { return m_dir / "U"; }
  // A program folder without shipped collections.
  fs::path P() const { return m_dir / "P"; }

  // Writes the first `length` bytes of `whole` to `file` and runs `load`,
  // for every length up to the whole; the file is whole again at the end.
  template <typename Load>
  void AtEveryLength(const fs::path& file, Load&& load) {
    const std::string whole = ReadBytes(file);
    ASSERT_FALSE(whole.empty()) << file;
    for (std::size_t length = 0; length <= whole.size(); ++length) {
      ASSERT_TRUE(WriteBytes(file, std::string_view(whole).substr(0, length)));
      load(length, whole.size());
      if (HasFatalFailure()) return;
    }
  }

  TempDir m_dir;
  ScopedEnv m_userEnv{"TESSERIX_USER_DIR", (m_dir / "U").string()};
  testing::ScopedRecordingSink m_sink;
  std::map<std::string, Stamp> m_outside;
};

TEST_F(TruncatedFiles, AProfileCutShortReadsAsWhatSurvivesOfIt) {
  const fs::path ini = U() / kUserProfileName;
  AtEveryLength(ini, [&](std::size_t length, std::size_t size) {
    ProfileFile profile = ProfileFile::Load(ini);
    EXPECT_EQ(profile.loadError(), "");
    int position = ReadUserInt("Position", 3);
    EXPECT_TRUE(position == 1 || position == 3) << length;
    MontageSettings settings = LoadMontageSettings();
    EXPECT_TRUE(settings.position >= 0 && settings.position < kCaptionPositions);
    CollectionRegistry registry(Configuration::Current(), U(), P());
    registry.LoadCollections();
    EXPECT_LE(registry.GetCollectionCount(kMyCollection), 1);
    AlbumList albums(Configuration::Current(), TESSERIX_BIN_DIR, U());
    albums.LoadAlbumLibrary();
    EXPECT_LE(albums.GetAlbumCount(), 1);
    if (length == size) {
      EXPECT_EQ(position, 1);
      EXPECT_EQ(registry.GetCollectionKey(kMyCollection, 0), "T.TXS");
      EXPECT_EQ(albums.GetAlbumName(0), "Trip");
    }
  });
}

TEST_F(TruncatedFiles, AnIndexCutShortLoadsNoMoreTilesThanItHeld) {
  CollectionRegistry registry(Configuration::Current(), U(), P());
  registry.LoadCollections();
  ASSERT_EQ(registry.GetCollectionCount(kMyCollection), 1);
  ASSERT_EQ(registry.GetCollectionStatus(kMyCollection, 0), 1);
  const fs::path index = registry.IndexFilePath(kMyCollection, 0);
  AtEveryLength(index, [&](std::size_t length, std::size_t size) {
    TileTables tables;
    std::uint32_t count = LoadTileTables(registry, tables);
    EXPECT_EQ(count, tables.count);
    // A header cut short holds no tile; past it, the records the header
    // counts read (those cut off as zeros).
    if (length < kIndexHeaderBytes) {
      EXPECT_EQ(count, 0u) << length;
    }
    EXPECT_TRUE(count == 0 || count == 4) << length;
    if (length == size) {
      EXPECT_EQ(count, 4u);
    }
    if (count > 0) {
      EXPECT_GE(GlobalSize(tables.records), count * kTileRecordBytes);
      EXPECT_GE(GlobalSize(tables.entries), count * kTileEntryBytes);
    }
    tables.Release();
  });
}

TEST_F(TruncatedFiles, AnAlbumCutShortOpensAsLessOrNotAtAll) {
  AlbumList albums(Configuration::Current(), TESSERIX_BIN_DIR, U());
  ASSERT_TRUE(albums.LoadAlbumLibrary());
  ASSERT_EQ(albums.GetAlbumCount(), 1);
  const fs::path file = albums.AlbumFilePath(0);
  ASSERT_TRUE(fs::exists(file)) << file;
  AtEveryLength(file, [&](std::size_t length, std::size_t size) {
    std::vector<std::string> paths;
    bool listed = albums.GetAlbumPictures(file, paths);
    EXPECT_LE(paths.size(), 2u) << length;
    bool opened = albums.OpenAlbum(file);
    if (opened) {
      EXPECT_GE(albums.openHeader().pictureCount, 0);
      EXPECT_LE(albums.openHeader().pictureCount, 2) << length;
    }
    albums.CloseAlbum();
    if (length == size) {
      EXPECT_TRUE(listed && opened);
      EXPECT_EQ(paths.size(), 2u);
    }
  });
}

}  // namespace
}  // namespace tx
