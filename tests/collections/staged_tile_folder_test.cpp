// Tile pictures of a build are staged beside the collection's folder and
// moved in only when the build is done.

#include "collections/staged_tile_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "collections/photo_build.h"
#include "collections/tile_set_index.h"
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
    StagedTileFolder staged(dir.path() / "A/", dir / "I.TXS");
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
  StagedTileFolder first(dir / "B", dir / "I.TXS");
  ASSERT_TRUE(first.Begin());
  Write(first.staging() / "x", "1");
  ASSERT_TRUE(first.Commit());
  EXPECT_EQ(Read(dir / "B" / "x"), "1");
}

TEST(StagedTileFolder, AnUncommittedBuildLeavesTheCollectionAsItWas) {
  TempDir dir;
  Write(dir / "A" / "x", "old");
  {
    StagedTileFolder staged(dir / "A", dir / "I.TXS");
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
  StagedTileFolder again(dir / "A", dir / "I.TXS");
  ASSERT_TRUE(again.Begin());
  EXPECT_TRUE(fs::is_empty(dir / "A:new"));
  EXPECT_EQ(Read(dir / "A" / "x"), "old");

  // Killed between the two renames of a commit: the old pictures come back.
  Write(dir / "B:old" / "x", "old");
  StagedTileFolder restored(dir / "B", dir / "I.TXS");
  ASSERT_TRUE(restored.Begin());
  EXPECT_EQ(Read(dir / "B" / "x"), "old");
  EXPECT_FALSE(fs::exists(dir / "B:old"));
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

/// What a build killed just after it replaced the index leaves: A holds the
/// old pictures, A:new the new ones marked for `index`.
void LeaveMarkedStaging(const fs::path& dir, const std::string& index) {
  Write(dir / "A" / "x", "old");
  {
    StagedTileFolder staged(dir / "A", dir / "A.TXS");
    ASSERT_TRUE(staged.Begin());
    Write(staged.staging() / "x", "new");
    ASSERT_TRUE(staged.MarkFinished(Bytes(index)));
    // The object would drop its staging folder; a killed process could not.
    fs::copy(staged.staging(), dir / "kept", fs::copy_options::recursive);
  }
  fs::rename(dir / "kept", dir / "A:new");
}

TEST(StagedTileFolder, ACommitKilledAfterTheIndexIsFinishedLater) {
  TempDir dir;
  LeaveMarkedStaging(dir.path(), "new index");
  Write(dir / "A.TXS", "new index");
  StagedTileFolder::Recover(dir / "A" / "", dir / "A.TXS");
  EXPECT_EQ(Read(dir / "A" / "x"), "new");
  EXPECT_FALSE(fs::exists(dir / "A:new"));
  EXPECT_FALSE(fs::exists(dir / "A" / "finished-index"));

  // Nothing staged: nothing to do.
  StagedTileFolder::Recover(dir / "A", dir / "A.TXS");
  EXPECT_EQ(Read(dir / "A" / "x"), "new");
}

TEST(StagedTileFolder, PicturesForAnIndexNeverWrittenAreDropped) {
  for (const char* index : {"old index", ""}) {
    TempDir dir;
    LeaveMarkedStaging(dir.path(), "new index");
    if (*index) Write(dir / "A.TXS", index);
    StagedTileFolder restarted(dir / "A", dir / "A.TXS");
    ASSERT_TRUE(restarted.Begin());
    EXPECT_EQ(Read(dir / "A" / "x"), "old") << index;
    EXPECT_TRUE(fs::is_empty(dir / "A:new"));
  }
}

TEST(StagedTileFolder, ABuildAtWorkIsLeftAlone) {
  TempDir dir;
  Write(dir / "A" / "x", "old");
  StagedTileFolder first(dir / "A", dir / "A.TXS");
  ASSERT_TRUE(first.Begin());
  Write(first.staging() / "x", "new");
  // Loading the collections elsewhere, or a second build of it, must not
  // take the first build's pictures away.
  StagedTileFolder::Recover(dir / "A", dir / "A.TXS");
  StagedTileFolder second(dir / "A", dir / "A.TXS");
  EXPECT_FALSE(second.Begin());
  EXPECT_EQ(Read(first.staging() / "x"), "new");
  ASSERT_TRUE(first.Commit());
  EXPECT_EQ(Read(dir / "A" / "x"), "new");
}

TEST(StagedTileFolder, ABuildWhoseMarkCannotBeWrittenKeepsTheOldIndex) {
  TempDir dir;
  Write(dir / "A" / "x", "old");
  Write(dir / "A.TXS", "old index");
  StagedTileFolder staged(dir / "A", dir / "A.TXS");
  ASSERT_TRUE(staged.Begin());
  fs::create_directories(staged.staging() / "finished-index");  // no file can take its name
  TileSetIndexWriter writer;
  ASSERT_TRUE(writer.BeginTileSetIndex(dir / "A.TXS", 0));
  writer.AdvanceTileCounter();
  ASSERT_TRUE(writer.AppendTileRecord(0, TileStatistics{}));
  EXPECT_FALSE(FinishBuild(writer, staged, false, 0));
  EXPECT_EQ(Read(dir / "A.TXS"), "old index");
  EXPECT_EQ(Read(dir / "A" / "x"), "old");
}

}  // namespace
}  // namespace tx
