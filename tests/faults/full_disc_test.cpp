// The user folder (or the folder a montage goes to) turning read-only or
// full while a collection is built, a montage saved or a setting saved: the
// command fails with a reason, the files from before stay as they were, no
// half-written file is left, and once there is room again it works.
//
// The folders are tmpfs mounts; without the right to mount the tests skip.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/profile_file.h"
#include "tests/faults/fault_support.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using namespace faults;
using testing::TempDir;

constexpr int kRoomyKiB = 8192;

class FullDisc : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!m_mount.mounted()) GTEST_SKIP() << m_mount.why();
  }
  void TearDown() override { m_mount.Unmount(); }

  fs::path Mnt() const { return m_mount.dir(); }
  std::string Folder(const std::string& name) const { return (m_dir / name).string(); }
  // Leaves only `kiB` free on the mount.
  void LeaveFree(int kiB) { ASSERT_TRUE(m_mount.Remount(m_mount.UsedKiB() + kiB, false)); }

  TempDir m_dir;
  TmpfsMount m_mount{m_dir / "mnt", kRoomyKiB};
};

TEST_F(FullDisc, ABuildThatFillsTheUserFolderFailsAndKeepsTheOtherCollections) {
  const fs::path u = Mnt() / "U";
  ASSERT_TRUE(MakePhotos(m_dir / "b", 3, 320, 240, 0x205010));
  ASSERT_TRUE(MakePhotos(m_dir / "many", 60, 320, 240, 0x801040));
  ASSERT_EQ(RunFor(u, "collection build-folder " + Folder("b") + " --title B").exitCode, 0);
  const TreeSnapshot before = SnapshotTree(u);

  // Room for some tile pictures of the new build, not for all of them.
  LeaveFree(96);
  CliRun full = RunFor(u, "collection build-folder " + Folder("many") + " --title C");
  EXPECT_EQ(full.exitCode, 1) << full.out;
  EXPECT_NE(full.out.find("could not be written"), std::string::npos) << full.out;
  EXPECT_EQ(LeftoverTempFiles(u), std::vector<std::string>{});
  TreeSnapshot after = SnapshotTree(u);
  for (const auto& [name, bytes] : before) {
    EXPECT_EQ(after[name], bytes) << name << " changed";
  }
  EXPECT_FALSE(fs::exists(u / "TXS" / "MyCollection" / "C.TXS"))
      << "an index names tile pictures that were never written";
  EXPECT_EQ(ProfileFile::Load(u / "Tesserix.ini").loadError(), "");

  // Read-only: nothing can start.
  ASSERT_TRUE(m_mount.Remount(kRoomyKiB, true));
  CliRun readOnly = RunFor(u, "collection build-folder " + Folder("many") + " --title C");
  EXPECT_EQ(readOnly.exitCode, 1) << readOnly.out;
  EXPECT_EQ(SnapshotTree(u), after);

  ASSERT_TRUE(m_mount.Remount(kRoomyKiB, false));
  CliRun roomy = RunFor(u, "collection build-folder " + Folder("many") + " --title C");
  EXPECT_EQ(roomy.exitCode, 0) << roomy.out;
  CliRun list = RunFor(u, "collection list");
  EXPECT_NE(list.out.find("C.TXS\tmany\t1\t60\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("B.TXS\tb\t1\t3\n"), std::string::npos) << list.out;
}

TEST_F(FullDisc, AMontageThatCannotBeSavedLeavesTheOlderOne) {
  const fs::path u = m_dir / "U";
  ASSERT_TRUE(MakePhotos(m_dir / "photos", 4, 160, 120, 0x284058));
  ASSERT_EQ(RunFor(u, "collection build-folder " + Folder("photos")).exitCode, 0);
  PackedImage target(CreatePackedImage(64, 48, 0x00808080, 0));
  ASSERT_EQ(EzSaveFile(target.get(), (m_dir / "target.png").c_str(), kSaveByExtension, nullptr), 0);
  const fs::path out = Mnt() / "m.jpg";
  const std::string montage = "montage " + Folder("target.png") + " -o " + out.string() +
                              " --yes --use photos.TXS:1 --colour-variation 0 --seed ";
  ASSERT_EQ(RunFor(u, montage + "1").exitCode, 0);
  const std::string older = ReadBytes(out);

  // A grid changes every pixel row, so a saved montage would differ.
  m_mount.Fill(Mnt() / "filler");
  CliRun full = RunFor(u, montage + "2 --grid-border 4");
  EXPECT_EQ(full.exitCode, 1) << full.out;
  EXPECT_NE(full.out.find(out.string()), std::string::npos) << full.out;
  EXPECT_EQ(ReadBytes(out), older);
  EXPECT_EQ(LeftoverTempFiles(Mnt()), std::vector<std::string>{});

  fs::remove(Mnt() / "filler");
  ASSERT_TRUE(m_mount.Remount(kRoomyKiB, true));
  CliRun readOnly = RunFor(u, montage + "2 --grid-border 4");
  EXPECT_EQ(readOnly.exitCode, 1) << readOnly.out;
  EXPECT_EQ(ReadBytes(out), older);

  ASSERT_TRUE(m_mount.Remount(kRoomyKiB, false));
  CliRun roomy = RunFor(u, montage + "2 --grid-border 4");
  EXPECT_EQ(roomy.exitCode, 0) << roomy.out;
  EXPECT_NE(ReadBytes(out), older);
}

TEST_F(FullDisc, ASettingThatCannotBeSavedSaysSoAndKeepsTheProfile) {
  const fs::path u = Mnt() / "U";
  ASSERT_EQ(RunFor(u, "config set USER Position 1").exitCode, 0);
  const std::string profile = ReadBytes(u / "Tesserix.ini");
  const std::string notSaved = RunFor(u, "string 6467").out;
  ASSERT_GT(notSaved.size(), 1u);

  ASSERT_TRUE(m_mount.Remount(kRoomyKiB, true));
  CliRun readOnly = RunFor(u, "config set USER Position 2");
  EXPECT_EQ(readOnly.exitCode, 1);
  EXPECT_NE(readOnly.out.find(notSaved.substr(0, notSaved.size() - 1)), std::string::npos)
      << readOnly.out;
  EXPECT_EQ(ReadBytes(u / "Tesserix.ini"), profile);

  ASSERT_TRUE(m_mount.Remount(kRoomyKiB, false));
  m_mount.Fill(Mnt() / "filler");
  CliRun full = RunFor(u, "config set USER Position 2");
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_NE(full.out.find(notSaved.substr(0, notSaved.size() - 1)), std::string::npos) << full.out;
  EXPECT_EQ(ReadBytes(u / "Tesserix.ini"), profile);
  EXPECT_EQ(LeftoverTempFiles(u), std::vector<std::string>{});
  EXPECT_EQ(RunFor(u, "config get ini USER Position").out, "1\n");

  fs::remove(Mnt() / "filler");
  EXPECT_EQ(RunFor(u, "config set USER Position 2").exitCode, 0);
  EXPECT_EQ(RunFor(u, "config get ini USER Position").out, "2\n");
}

// Tiles without their pictures would list as a collection and draw as
// nothing: such a build fails and registers nothing.
TEST_F(FullDisc, ABuildWhoseTilePicturesCannotBeWrittenIsNotReportedAsBuilt) {
  // The tile pictures' folder is full; the index folder has room.
  const fs::path u = m_dir / "U";
  ASSERT_TRUE(MakePhotos(m_dir / "many", 8, 320, 240, 0x801040));
  fs::create_directories(u / "MyData");
  TmpfsMount tiles(u / "MyData", 64);
  ASSERT_TRUE(tiles.mounted()) << tiles.why();
  tiles.Fill(u / "MyData" / "filler");
  CliRun run = RunFor(u, "collection build-folder " + Folder("many") + " --title C");
  EXPECT_NE(run.out.find("could not be written"), std::string::npos) << run.out;
  EXPECT_EQ(run.exitCode, 1) << run.out;
  EXPECT_FALSE(fs::exists(u / "TXS" / "MyCollection" / "C.TXS"));
}

}  // namespace
}  // namespace tx
