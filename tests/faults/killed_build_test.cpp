// A collection build killed with SIGKILL at a random moment, then started
// again: the registry, the other collections and the killed collection's
// old index survive, and the next build succeeds.
//
// The kill delays are drawn from a seeded generator; the seed is printed and
// TESSERIX_FAULT_SEED replays it.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

#include "collections/tile_set_index.h"
#include "config/profile_file.h"
#include "tests/faults/fault_support.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using namespace faults;
using Clock = std::chrono::steady_clock;
using testing::TempDir;

constexpr int kOldTiles = 3;
constexpr int kOtherTiles = 4;
constexpr int kManyPhotos = 60;

std::uint32_t KillSeed() {
  if (const char* text = std::getenv("TESSERIX_FAULT_SEED")) return std::uint32_t(std::atoll(text));
  return std::uint32_t(std::random_device{}());
}

// The record count an index header claims, or -1 for a file that is not an
// index whose size matches that count.
long CompleteIndexRecords(const std::string& bytes) {
  if (bytes.size() < kIndexHeaderBytes || bytes.compare(0, 4, kIndexMagic, 4) != 0) return -1;
  auto word = [&](std::size_t at) {
    return std::uint32_t(std::uint8_t(bytes[at])) |
           std::uint32_t(std::uint8_t(bytes[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(bytes[at + 2])) << 16 |
           std::uint32_t(std::uint8_t(bytes[at + 3])) << 24;
  };
  std::uint32_t records = word(8);
  if (word(4) != bytes.size() || bytes.size() != kIndexHeaderBytes + records * kTileRecordBytes) {
    return -1;
  }
  return long(records);
}

class KilledBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakePhotos(m_dir / "a", kOldTiles, 320, 240, 0x102030));
    ASSERT_TRUE(MakePhotos(m_dir / "b", kOtherTiles, 320, 240, 0x205010));
    ASSERT_TRUE(MakePhotos(m_dir / "many", kManyPhotos, 800, 600, 0x801040));
    ASSERT_EQ(Run("collection build-folder " + Folder("a") + " --title A").exitCode, 0);
    ASSERT_EQ(Run("collection build-folder " + Folder("b") + " --title B").exitCode, 0);
    m_oldA = ReadBytes(IndexOf("A"));
    m_oldATiles = SnapshotTree(TilesOf("A"));
    m_b = ReadBytes(IndexOf("B"));
    m_bTiles = SnapshotTree(TilesOf("B"));
    ASSERT_EQ(CompleteIndexRecords(m_oldA), kOldTiles);
    ASSERT_EQ(m_oldATiles.size(), 2u * kOldTiles);
  }

  CliRun Run(const std::string& arguments) { return RunFor(U(), arguments); }
  fs::path U() const { return m_dir / "U"; }
  std::string Folder(const std::string& name) const { return (m_dir / name).string(); }
  fs::path IndexOf(const std::string& title) const {
    return U() / "TXS" / "MyCollection" / (title + ".TXS");
  }
  fs::path TilesOf(const std::string& title) const {
    return U() / "MyData" / "mycollection" / title;
  }

  // `collection list` without the disc collections, as "KEY COUNT" lines.
  std::string MyCollections() {
    CliRun list = Run("collection list");
    EXPECT_EQ(list.exitCode, 0) << list.out;
    std::string kept;
    std::size_t start = 0;
    while (start < list.out.size()) {
      std::size_t end = list.out.find('\n', start);
      if (end == std::string::npos) end = list.out.size();
      std::string line = list.out.substr(start, end - start);
      start = end + 1;
      if (line.rfind("1\t", 0) != 0) continue;
      std::size_t key = line.find('\t') + 1;
      std::size_t count = line.rfind('\t') + 1;
      kept += line.substr(key, line.find('\t', key) - key) + " " + line.substr(count) + "\n";
    }
    return kept;
  }

  // Kills `pid` after `delay`; true when it was still running then.
  static bool KillAfter(pid_t pid, std::chrono::microseconds delay) {
    std::this_thread::sleep_for(delay);
    int status = 0;
    bool running = ::waitpid(pid, &status, WNOHANG) == 0;
    if (running) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    }
    return running;
  }

  // Every picture the index of `title` names exists and can be read; the
  // number of those that are no longer the pictures the old index was
  // built with (only counted while the old index is in place).
  int CheckTilePictures(const std::string& title, long records, bool oldIndex) {
    int replaced = 0;
    for (long n = 0; n < records; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "%03ld/%03ld.txd", n / 1000, n % 1000);
      for (const char* resolution : {"Res10", "Res15"}) {
        fs::path file = TilesOf(title) / resolution / name;
        PackedImage picture(EzOpenFile(file.c_str(), 0, 0));
        EXPECT_TRUE(picture) << file << " named by the index cannot be read";
        std::string relative = std::string(resolution) + "/" + name;
        if (oldIndex && ReadBytes(file) != m_oldATiles[relative]) ++replaced;
      }
    }
    return replaced;
  }

  // The registry, B and the index of A after a killed build of A.
  void CheckSurvivors(const std::string& when) {
    SCOPED_TRACE(when);
    ProfileFile profile = ProfileFile::Load(U() / "Tesserix.ini");
    EXPECT_EQ(profile.loadError(), "");
    EXPECT_EQ(ReadBytes(IndexOf("B")), m_b);
    EXPECT_EQ(SnapshotTree(TilesOf("B")), m_bTiles);
    std::string a = ReadBytes(IndexOf("A"));
    long records = CompleteIndexRecords(a);
    bool old = a == m_oldA;
    EXPECT_TRUE(old || records == kManyPhotos)
        << "A's index is neither the old one nor a complete new one (" << a.size() << " bytes)";
    std::string count = old ? std::to_string(kOldTiles) : std::to_string(kManyPhotos);
    EXPECT_EQ(MyCollections(), "A.TXS " + count + "\nB.TXS " + std::to_string(kOtherTiles) + "\n");
    // A rebuild writes its pictures beside the collection's and moves them
    // in only with the new index: the old index keeps its own pictures.
    if (records > 0) {
      EXPECT_EQ(CheckTilePictures("A", records, old), 0)
          << "A's old index names tile pictures of the killed rebuild";
    }
  }

  TempDir m_dir;
  std::string m_oldA;
  TreeSnapshot m_oldATiles;
  std::string m_b;
  TreeSnapshot m_bTiles;
};

TEST_F(KilledBuild, AFolderRebuildKilledAnywhereLosesNothingAndTheNextBuildWorks) {
  // How long a whole build of the larger folder takes, in a user folder of
  // its own.
  Clock::time_point start = Clock::now();
  CliRun probe = RunFor(m_dir / "probe", "collection build-folder " + Folder("many"));
  auto duration = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
  ASSERT_EQ(probe.exitCode, 0) << probe.out;

  const std::uint32_t seed = KillSeed();
  std::cout << "[ seed     ] TESSERIX_FAULT_SEED=" << seed << " (a whole build took "
            << duration.count() / 1000 << " ms)\n";
  std::mt19937 random(seed);
  constexpr int kKills = 6;
  int killedRunning = 0;
  for (int i = 0; i < kKills; ++i) {
    // Spread over the build: kill i lands in the i-th sixth of its time.
    std::uniform_int_distribution<long> within(duration.count() * i / kKills,
                                               duration.count() * (i + 1) / kKills);
    std::chrono::microseconds delay(within(random));
    pid_t pid = SpawnCli(U(), {"collection", "build-folder", Folder("many"), "--title", "A"});
    ASSERT_GT(pid, 0);
    if (KillAfter(pid, delay)) ++killedRunning;
    CheckSurvivors("kill " + std::to_string(i) + " after " + std::to_string(delay.count() / 1000) +
                   " ms, seed " + std::to_string(seed));
    if (HasFatalFailure()) return;
  }
  std::cout << "[ kills    ] " << killedRunning << " of " << kKills
            << " builds were killed while running\n";

  std::cout << "[ leftover ] " << LeftoverTempFiles(U() / "TXS").size()
            << " temporary files beside the indexes, " << LeftoverTempFiles(TilesOf("A")).size()
            << " among A's tile pictures\n";
  // Temporary files a kill left beside the index are removed once they are
  // old enough that no running build can own them.
  for (const std::string& temp : LeftoverTempFiles(U() / "TXS")) {
    fs::last_write_time(temp, fs::file_time_type::clock::now() - std::chrono::hours(2));
  }
  Run("collection list");
  EXPECT_EQ(LeftoverTempFiles(U() / "TXS"), std::vector<std::string>{});

  CliRun rebuild = Run("collection build-folder " + Folder("many") + " --title A");
  ASSERT_EQ(rebuild.exitCode, 0) << rebuild.out;
  EXPECT_EQ(MyCollections(), "A.TXS 60\nB.TXS 4\n");
  EXPECT_EQ(CheckTilePictures("A", kManyPhotos, false), 0);
  EXPECT_EQ(ReadBytes(IndexOf("B")), m_b);
}

TEST_F(KilledBuild, AnAlbumBuildKilledHalfWayIsBuiltByTheNextBuild) {
  ASSERT_EQ(Run("album create Alb").exitCode, 0);
  ASSERT_EQ(Run("album add-folder Alb " + Folder("many")).exitCode, 0);
  ASSERT_EQ(Run("collection add-album Alb").exitCode, 0);
  std::string profile = ReadBytes(U() / "Tesserix.ini");

  const std::uint32_t seed = KillSeed();
  std::cout << "[ seed     ] TESSERIX_FAULT_SEED=" << seed << "\n";
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayMs(100, 400);
  int delay = delayMs(random);
  pid_t pid = SpawnCli(U(), {"collection", "build"});
  ASSERT_GT(pid, 0);
  bool killed = KillAfter(pid, std::chrono::milliseconds(delay));
  SCOPED_TRACE("killed after " + std::to_string(delay) + " ms, seed " + std::to_string(seed));

  std::string listed = MyCollections();
  EXPECT_TRUE(listed == "A.TXS 3\nB.TXS 4\nAlb.TXS -\n" ||
              (!killed && listed == "A.TXS 3\nB.TXS 4\nAlb.TXS 60\n"))
      << listed;
  if (killed) {
    EXPECT_FALSE(fs::exists(IndexOf("Alb")));
    EXPECT_EQ(ReadBytes(U() / "Tesserix.ini"), profile);
  }
  EXPECT_EQ(ReadBytes(IndexOf("A")), m_oldA);
  EXPECT_EQ(SnapshotTree(TilesOf("A")), m_oldATiles);
  EXPECT_EQ(ReadBytes(IndexOf("B")), m_b);

  CliRun build = Run("collection build");
  EXPECT_EQ(build.exitCode, 0) << build.out;
  EXPECT_EQ(MyCollections(), "A.TXS 3\nB.TXS 4\nAlb.TXS 60\n");
}

}  // namespace
}  // namespace tx
