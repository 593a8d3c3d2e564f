// The collection registry: sections, line repairs, entry operations, the
// collections' files, and hostile titles.

#include "collections/collection_registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "config/profile_file.h"
#include "config/settings_access.h"
#include "platform/notices.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The three sections of `kind` ("MYCOLLECTION", ...) with the given lines.
std::string Sections(const std::string& kind, const Lines& names, const Lines& paths,
                     const Lines& statuses) {
  std::string text;
  const std::pair<std::string, const Lines*> parts[] = {
      {kind, &names}, {kind + " PATH", &paths}, {kind + " STATUS", &statuses}};
  for (const auto& [name, lines] : parts) {
    text += "[" + name + "]\n";
    for (const std::string& line : *lines)
      text += line + "\n";
  }
  return text;
}

// `count` lines "C<i>.TXS:=:<value><i>".
Lines Numbered(int count, const std::string& value) {
  Lines lines;
  for (int i = 0; i < count; ++i)
    lines.push_back("C" + std::to_string(i) + ".TXS:=:" + value);
  return lines;
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(m_user);
    m_previousSink = SetNoticeSink(std::make_shared<StderrNoticeSink>(NoticeAnswer::Ok));
  }
  void TearDown() override { SetNoticeSink(m_previousSink); }

  // A registry over the files as they are now, loaded.
  std::unique_ptr<CollectionRegistry> Load() {
    m_configuration = std::make_unique<Configuration>(m_program / "Tesserix.set", m_profile);
    auto registry = std::make_unique<CollectionRegistry>(*m_configuration, m_user, m_program);
    registry->LoadCollections();
    return registry;
  }
  Lines Saved(const std::string& section) const {
    return ProfileFile::Load(m_profile).ReadSection(section, kRegistrySectionBytes);
  }

  testing::TempDir m_root;
  fs::path m_user = m_root / "U";
  fs::path m_program = m_root / "P";
  fs::path m_profile = m_user / "Tesserix.ini";
  std::unique_ptr<Configuration> m_configuration;
  std::shared_ptr<NoticeSink> m_previousSink;
};

TEST(RegistryNames, SafeTitles) {
  for (const char* title : {"Family", "家族 2", "a.b", "..."})
    EXPECT_TRUE(IsSafeTitle(title));
  for (const char* title : {"", ".", "..", "a/b", "x\\y", "c:", "tab\t", "del\x7F"}) {
    EXPECT_FALSE(IsSafeTitle(title)) << title;
  }
  EXPECT_TRUE(IsSafeTitle(std::string(255, 'a')));
  EXPECT_FALSE(IsSafeTitle(std::string(256, 'a')));
  EXPECT_EQ(TitleOfKey("Family.txs"), "Family");
  EXPECT_EQ(TitleOfKey("Video3"), "Video3");
}

TEST_F(Registry, LoadsAsManyEntriesAsTheShortestSectionAndAtMostFifty) {
  struct Case {
    int names, paths, statuses, expected;
  };
  for (Case c : {Case{3, 2, 3, 2}, Case{3, 3, 1, 1}, Case{0, 4, 4, 0}, Case{60, 60, 60, 50}}) {
    WriteText(m_profile, Sections("MYCOLLECTION", Numbered(c.names, "N"), Numbered(c.paths, "/p/"),
                                  Numbered(c.statuses, "1")));
    EXPECT_EQ(Load()->GetCollectionCount(kMyCollection), c.expected) << c.names << c.paths;
  }
}

TEST_F(Registry, SavesUpToAHundredEntries) {
  WriteText(m_profile,
            Sections("MYVIDEO", Numbered(60, "Clip"), Numbered(60, "/c.avi"), Numbered(60, "0")));
  auto registry = Load();
  for (int i = 50; i < kMaxRegistryEntries; ++i) {
    ASSERT_EQ(registry->AddCollection(kVideoSource, "Video" + std::to_string(i), "C", "/v.avi", 0),
              1);
  }
  EXPECT_EQ(registry->AddCollection(kVideoSource, "Video100", "C", "/v.avi", 0), 0);
  ASSERT_TRUE(registry->SaveCollections());
  for (const char* section : {"MYVIDEO", "MYVIDEO PATH", "MYVIDEO STATUS"}) {
    EXPECT_EQ(Saved(section).size(), 100u) << section;
  }
  EXPECT_EQ(Saved("MYVIDEO PATH")[99], "Video99:=:/v.avi");  // no separator added for videos
  EXPECT_EQ(Load()->GetCollectionCount(kVideoSource), kMaxLoadedEntries);
}

TEST_F(Registry, RepairsStatusLinesOnLoad) {
  struct Case {
    const char* line;
    int status;
    const char* saved;
  };
  for (Case c : {Case{"A.TXS:=:2", 2, "A.TXS:=:2"}, Case{"A.TXS:=:7", 3, "A.TXS:=:3"},
                 Case{"A.TXS:=:/", 0, "A.TXS:=:0"}, Case{"A.TXS", 1, "A.TXS:=:1"},
                 Case{"A.TXS:=:", 0, "A.TXS:=:0"}, Case{"A.TXS:=:9z", 3, "A.TXS:=:3"}}) {
    WriteText(m_profile, Sections("MYCOLLECTION", {"A.TXS:=:A"}, {"A.TXS:=:/x/"}, {c.line}));
    auto registry = Load();
    EXPECT_EQ(registry->GetCollectionStatus(kMyCollection, 0), c.status) << c.line;
    ASSERT_TRUE(registry->SaveCollections());
    EXPECT_EQ(Saved("MYCOLLECTION STATUS"), Lines{c.saved}) << c.line;
  }
}

TEST_F(Registry, DiscStatusesComeFromTheUserProfileAndOnlyTheyAreSaved) {
  WriteText(m_program / "Tesserix.set",
            Sections("CDCOLLECTION", {"A.TXS:=:Alpha", "B.TXS:=:Beta"},
                     {"A.TXS:=:/cd/A/", "B.TXS:=:/cd/B/"}, {"A.TXS:=:1", "B.TXS:=:0"}));
  auto registry = Load();
  EXPECT_EQ(registry->SetCollectionStatus(kDiscCollection, 1, 3), 1);
  EXPECT_EQ(registry->SetCollectionName(kDiscCollection, 0, "Renamed"), 1);
  EXPECT_EQ(registry->SetCollectionPath(kDiscCollection, 0, "/elsewhere/"), 1);
  ASSERT_TRUE(registry->SaveCollections());
  EXPECT_FALSE(ProfileFile::Load(m_profile).HasSection("CDCOLLECTION"));
  EXPECT_FALSE(ProfileFile::Load(m_profile).HasSection("CDCOLLECTION PATH"));
  EXPECT_EQ(Saved("CDCOLLECTION STATUS"), (Lines{"A.TXS:=:1", "B.TXS:=:3"}));

  registry = Load();
  EXPECT_EQ(registry->GetCollectionStatus(kDiscCollection, 1), 3);
  EXPECT_EQ(registry->GetCollectionName(kDiscCollection, 0), "Alpha");
  EXPECT_EQ(registry->GetCollectionPath(kDiscCollection, 0), "/cd/A/");

  // A disc collection shipped later keeps its shipped status.
  WriteText(m_program / "Tesserix.set",
            Sections("CDCOLLECTION", {"A.TXS:=:A", "B.TXS:=:B", "C.TXS:=:C"},
                     {"A.TXS:=:/a/", "B.TXS:=:/b/", "C.TXS:=:/c/"},
                     {"A.TXS:=:0", "B.TXS:=:0", "C.TXS:=:2"}));
  registry = Load();
  ASSERT_EQ(registry->GetCollectionCount(kDiscCollection), 3);
  EXPECT_EQ(registry->GetCollectionStatus(kDiscCollection, 1), 3);
  EXPECT_EQ(registry->GetCollectionStatus(kDiscCollection, 2), 2);
}

TEST_F(Registry, AddRefusesWhatCouldNotBeStored) {
  auto registry = Load();
  EXPECT_EQ(registry->AddCollection(kMyCollection, "K.TXS", "", "/p", 0), 0);
  EXPECT_EQ(registry->AddCollection(kMyCollection, "K.TXS", "n", "", 0), 0);
  EXPECT_EQ(registry->AddCollection(kMyCollection, "K.TXS", "n", "/p", 4), 0);
  for (const char* key : {"", "[K].TXS", ";K.TXS", "#K.TXS", " K.TXS", "K\n.TXS", "K:=:.TXS"}) {
    EXPECT_EQ(registry->AddCollection(kMyCollection, key, "n", "/p", 0), 0) << key;
  }
  ASSERT_EQ(registry->AddCollection(kDiscCollection, "D.TXS", "Disc", "/cd/D", 2), 1);
  EXPECT_EQ(registry->GetCollectionPath(kDiscCollection, 0), "/cd/D/");
  EXPECT_EQ(registry->FindCollectionByTitle(kDiscCollection, "D"), 0);
  EXPECT_EQ(registry->FindCollectionByTitle(kDiscCollection, "d"), -1);
  EXPECT_EQ(registry->GetCollectionCount(kMyCollection), 0);
}

TEST_F(Registry, DeletingTheThirdOfFiveRemovesItsFilesAndKeepsTheOrder) {
  auto registry = Load();
  for (int i = 0; i < 5; ++i) {
    std::string title = "C" + std::to_string(i);
    ASSERT_EQ(registry->AddCollection(kMyCollection, title + ".TXS", title, "/p", 1), 1);
    WriteText(registry->TileFolder(kMyCollection, title) / "Res10" / "000" / "000.txd", "jpeg");
    WriteText(registry->IndexFilePath(kMyCollection, i), "index");
  }
  const fs::path folder = registry->TileFolder(kMyCollection, "C2");
  const fs::path index = registry->IndexFilePath(kMyCollection, 2);
  // What a killed build of C2 left beside its folder goes with it.
  const fs::path staged = folder.parent_path().parent_path() / "C2:new";
  const fs::path retired = folder.parent_path().parent_path() / "C2:old";
  WriteText(staged / "x", "half");
  WriteText(retired / "x", "old");
  EXPECT_EQ(registry->DeleteCollection(kMyCollection, 2), 1);
  EXPECT_FALSE(fs::exists(staged));
  EXPECT_FALSE(fs::exists(retired));
  EXPECT_EQ(registry->DeleteCollection(kMyCollection, 4), 0);
  ASSERT_EQ(registry->GetCollectionCount(kMyCollection), 4);
  const char* keys[] = {"C0.TXS", "C1.TXS", "C3.TXS", "C4.TXS"};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(registry->GetCollectionKey(kMyCollection, i), keys[i]);
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_FALSE(fs::exists(index));
  EXPECT_TRUE(fs::exists(registry->TileFolder(kMyCollection, "C3") / "Res10"));
  EXPECT_TRUE(fs::exists(registry->IndexFilePath(kMyCollection, 2)));
}

TEST_F(Registry, BuiltCollectionsLiveUnderTheUserFolder) {
  WriteText(m_profile, Sections("VIDEOCOLLECTION", {"Video4.TXS:=:Holiday"},
                                {"Video4.TXS:=:/old/home/Video4/"}, {"Video4.TXS:=:1"}));
  auto registry = Load();
  const fs::path folder = m_user / "MyData" / "videocollection" / "Video4";
  EXPECT_EQ(registry->GetCollectionPath(kVideoCollection, 0), (folder / "").string());
  ASSERT_TRUE(registry->SaveCollections());
  EXPECT_EQ(Saved("VIDEOCOLLECTION PATH"), Lines{"Video4.TXS:=:" + (folder / "").string()});
  EXPECT_EQ(registry->IndexFilePath(kVideoCollection, 0),
            m_user / "TXS" / "VideoCollection" / "Video4.TXS");
  EXPECT_EQ(registry->TilePicturePath(kVideoCollection, 0, 999, 15), folder / "Res15/000/999");
  EXPECT_EQ(registry->TilePicturePath(kVideoCollection, 0, 1000, 15), folder / "Res15/001/000");
  EXPECT_EQ(registry->TilePicturePath(kVideoCollection, 0, 1234, 10), folder / "Res10/001/234");
  EXPECT_TRUE(registry->TilePicturePath(kVideoCollection, 1, 0, 10).empty());
}

TEST_F(Registry, PruneRemovesCollectionsWithoutAnIndex) {
  auto registry = Load();
  for (const char* title : {"Built", "Empty", "Never"}) {
    registry->AddCollection(kMyCollection, std::string(title) + ".TXS", title, "/p", 1);
  }
  registry->AddCollection(kVideoCollection, "Video1.TXS", "Clip", "/p", 1);
  WriteText(registry->IndexFilePath(kMyCollection, 0), "TXSF");
  WriteText(registry->IndexFilePath(kMyCollection, 1), "");
  std::vector<std::pair<int, int>> removed;
  registry->PruneCollections([&](int kind, int index) { removed.emplace_back(kind, index); });
  EXPECT_EQ(removed, (std::vector<std::pair<int, int>>{{1, 2}, {1, 1}, {2, 0}}));
  EXPECT_EQ(registry->GetCollectionCount(kMyCollection), 1);
}

TEST_F(Registry, PreparesFoldersAndCopiesShippedFiles) {
  WriteText(m_program / "Tesserix.set",
            Sections("CDCOLLECTION", {"Sea.TXS:=:Sea", "Sky.TXS:=:Sky"},
                     {"Sea.TXS:=:/cd/Sea/", "Sky.TXS:=:/cd/Sky/"}, {"Sea.TXS:=:1", "Sky.TXS:=:1"}));
  WriteText(m_program / "TXS" / "sea.txs", "shipped sea");
  WriteText(m_program / "TXS" / "Sky.TXS", "shipped sky");
  WriteText(m_program / "Treasure.txd", "treasure");
  WriteText(m_program / "Signatur.txd", "signature");
  WriteText(m_user / "TXS" / "CdCollection" / "Sky.TXS", "user sky");
  WriteText(m_user / "Signatur.txd", "user signature");
  // Left by a crashed write, and one that may belong to a running build.
  const fs::path stale = m_user / "TXS" / "MyCollection" / "F.TXS.tmp123456";
  const fs::path fresh = m_user / "TXS" / "MyCollection" / "G.TXS.tmp-12-3";
  WriteText(stale, "x");
  WriteText(fresh, "x");
  fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(2));

  auto registry = Load();
  registry->PrepareCollectionFolders();
  for (const char* folder : {"MyData/mycollection", "MyData/videocollection", "TXS/VideoCollection",
                             "TXS/CdCollection"}) {
    EXPECT_TRUE(fs::is_directory(m_user / folder)) << folder;
  }
  EXPECT_EQ(ReadText(m_user / "TXS" / "CdCollection" / "Sea.TXS"), "shipped sea");
  EXPECT_EQ(ReadText(m_user / "TXS" / "CdCollection" / "Sky.TXS"), "user sky");
  EXPECT_EQ(ReadText(m_user / "Treasure.txd"), "treasure");
  EXPECT_EQ(ReadText(m_user / "Signatur.txd"), "user signature");
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(fresh));
}

// A user profile unreadable at start (a folder in its place) is not
// overwritten with the empty registry once it can be read again; nor do disc
// statuses go while the settings file is missing.
TEST_F(Registry, APassingReadErrorNeverWipesTheUsersCollections) {
  fs::create_directories(m_profile);
  auto registry = Load();
  EXPECT_FALSE(registry->SaveCollections());
  fs::remove(m_profile);
  WriteText(m_profile, Sections("MYCOLLECTION", {"A.TXS:=:A"}, {"A.TXS:=:/a/"}, {"A.TXS:=:1"}) +
                           "[CDCOLLECTION STATUS]\nS.TXS:=:3\n");
  EXPECT_FALSE(registry->SaveCollections());
  EXPECT_EQ(Saved("MYCOLLECTION"), Lines{"A.TXS:=:A"});

  registry = Load();
  EXPECT_TRUE(registry->SaveCollections());
  EXPECT_EQ(Saved("MYCOLLECTION"), Lines{"A.TXS:=:A"});
  EXPECT_EQ(Saved("CDCOLLECTION STATUS"), Lines{"S.TXS:=:3"});
}

// Titles from a hand-edited profile never name a path; deleting such an
// entry drops it without touching any file.
TEST_F(Registry, HostileTitlesNeverReachTheFileSystem) {
  const Lines keys = {"..",       "...TXS",    "../../etc.TXS", "a/b.TXS",           "/abs.TXS",
                      "x\\y.TXS", "c\x01.TXS", ".TXS",          "../../../Sentinel", "Good.TXS"};
  Lines names, paths, statuses;
  for (const std::string& key : keys) {
    names.push_back(key + ":=:Bad");
    paths.push_back(key + ":=:/stored/");
    statuses.push_back(key + ":=:1");
  }
  WriteText(m_profile, Sections("MYCOLLECTION", names, paths, statuses) +
                           Sections("VIDEOCOLLECTION", names, paths, statuses));
  const fs::path sentinels[] = {m_root / "Sentinel", m_root / "etc.TXS", m_user / "abs.TXS",
                                m_user / "MyData" / "keep", m_user / "TXS" / "keep"};
  for (const fs::path& sentinel : sentinels)
    WriteText(sentinel, "keep");
  auto registry = Load();
  const int count = static_cast<int>(keys.size());
  ASSERT_EQ(registry->GetCollectionCount(kMyCollection), count);
  for (int kind : {kMyCollection, kVideoCollection}) {
    WriteText(registry->TileFolder(kind, "Good") / "Res10" / "000" / "000.txd", "jpeg");
    // A link inside a tile folder is removed, not followed.
    fs::create_directory_symlink(m_root.path(), registry->TileFolder(kind, "Good") / "link");
    for (int i = 0; i + 1 < count; ++i) {
      EXPECT_TRUE(registry->IndexFilePath(kind, i).empty()) << keys[i];
      EXPECT_TRUE(registry->TilePicturePath(kind, i, 0, 10).empty()) << keys[i];
      EXPECT_EQ(registry->GetCollectionPath(kind, i), "") << keys[i];
    }
  }
  ASSERT_TRUE(registry->SaveCollections());
  EXPECT_EQ(Saved("MYCOLLECTION PATH")[0], "..:=:/stored/");
  for (int kind : {kMyCollection, kVideoCollection}) {
    while (registry->GetCollectionCount(kind) > 0)
      registry->DeleteCollection(kind, 0);
    EXPECT_FALSE(fs::exists(registry->TileFolder(kind, "Good")));
  }
  for (const fs::path& sentinel : sentinels)
    EXPECT_EQ(ReadText(sentinel), "keep") << sentinel;
  EXPECT_TRUE(fs::is_directory(m_user / "MyData" / "mycollection"));
}

}  // namespace
}  // namespace tx
