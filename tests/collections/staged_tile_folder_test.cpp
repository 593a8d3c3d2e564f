// Tile pictures of a build are staged beside the collection's folder and
// moved in only when the build is done.

#include "collections/staged_tile_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(StagedTileFolder, CommitReplacesTheOldPicturesInOneStep) {
  TempDir dir;
  const fs::path folder = dir / "A";
  Write(folder / "Res10" / "000" / "000.txd", "old");
  {
    StagedTileFolder staged(dir.path() / "A/");
    ASSERT_TRUE(staged.Begin());
    EXPECT_EQ(staged.staging(), dir / "A:new");
    Write(staged.staging() / "Res10" / "000" / "000.txd", "new");
    // Until the commit the collection keeps its own pictures.
    EXPECT_EQ(Read(folder / "Res10" / "000" / "000.txd"), "old");
    ASSERT_TRUE(staged.Commit());
  }
  EXPECT_EQ(Read(folder / "Res10" / "000" / "000.txd"), "new");
  EXPECT_FALSE(fs::exists(dir / "A:new"));
  EXPECT_FALSE(fs::exists(dir / "A:old"));

  // A first build has no folder to replace.
  StagedTileFolder first(dir / "B");
  ASSERT_TRUE(first.Begin());
  Write(first.staging() / "x", "1");
  ASSERT_TRUE(first.Commit());
  EXPECT_EQ(Read(dir / "B" / "x"), "1");
}

TEST(StagedTileFolder, AnUncommittedBuildLeavesTheCollectionAsItWas) {
  TempDir dir;
  Write(dir / "A" / "x", "old");
  {
    StagedTileFolder staged(dir / "A");
    ASSERT_TRUE(staged.Begin());
    Write(staged.staging() / "x", "new");
  }
  EXPECT_EQ(Read(dir / "A" / "x"), "old");
  EXPECT_FALSE(fs::exists(dir / "A:new"));
}

TEST(StagedTileFolder, BeginClearsWhatAKilledBuildLeft) {
  TempDir dir;
  // Killed while staging: the staged pictures are dropped.
  Write(dir / "A" / "x", "old");
  Write(dir / "A:new" / "x", "half");
  StagedTileFolder again(dir / "A");
  ASSERT_TRUE(again.Begin());
  EXPECT_TRUE(fs::is_empty(dir / "A:new"));
  EXPECT_EQ(Read(dir / "A" / "x"), "old");

  // Killed between the two renames of a commit: the old pictures come back.
  Write(dir / "B:old" / "x", "old");
  StagedTileFolder restored(dir / "B");
  ASSERT_TRUE(restored.Begin());
  EXPECT_EQ(Read(dir / "B" / "x"), "old");
  EXPECT_FALSE(fs::exists(dir / "B:old"));
}

}  // namespace
}  // namespace tx
