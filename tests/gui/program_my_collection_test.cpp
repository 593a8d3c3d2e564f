// The My Collection screen: albums made into My Collections, ticked ones
// deleted, builds on the worker with their progress, a stop with Esc, and
// what the window refuses or asks while a build runs.

#include <gtest/gtest.h>

#include <QtTest/QTest>

#include <fstream>

#include "albums/album_list.h"
#include "app/program/montage_path.h"
#include "app/views/build_progress_box.h"
#include "app/widgets/interface_font.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
#include "config/startup_settings.h"
#include "platform/cancel_flag.h"
#include "rastio/rastio.h"
#include "tests/gui/program_support.h"
#include "tests/support/scoped_env.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
constexpr int kBuildTimeoutMs = 60000;

class MyCollectionScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    SetStartupSettings(StartupSettings{});
    ClearCancel();
    const fs::path programFolder = guitest::ProgramEnvironment::ProgramFolder();
    m_configuration = env.ProgramConfiguration();
    m_registry = env.MakeRegistry(*m_configuration, true);
    SetAlbums(std::make_unique<AlbumList>(*m_configuration, programFolder, UserFolder()));
    ASSERT_TRUE(Albums().LoadAlbumLibrary());
    Albums().EnsureAlbumList();
    ASSERT_TRUE(guitest::ShowProgramWindow(*m_registry, m_path, window));
  }
  void TearDown() override {
    window.reset();
    m_path.reset();
    SetAlbums(nullptr);
  }

  fs::path UserFolder() const { return env.UserFolder(); }
  MyCollectionScreen& screen() { return *m_path->myCollectionScreen(); }
  SkinPanelWidget& panel() { return window->panel(); }
  int beeps() const { return env.sink->beeps; }

  // An album of `count` photos of w x h; returns its index.
  int Album(const std::string& name, int count, int w = 160, int h = 120) {
    EXPECT_EQ(Albums().AddAlbum(name), 0);
    const int album = Albums().GetAlbumCount() - 1;
    for (int i = 0; i < count; ++i) {
      const PackedImage photo = testing::MakePatternImage(w, h, 24);
      const fs::path file = env.dir.path() / "photos" / (name + std::to_string(i) + ".jpg");
      fs::create_directories(file.parent_path());
      EXPECT_EQ(EzSaveFile(photo.get(), file.string().c_str(), kSaveJpeg, nullptr), 0);
      EXPECT_EQ(Albums().AddPictureToAlbum(nullptr, nullptr, file.string(), album, "", 1, 1, 1), 1);
    }
    return album;
  }
  fs::path Index(const std::string& title) const {
    return m_registry->IndexFolder(kMyCollection) / (title + kIndexExtension);
  }

  void Enter() { ASSERT_TRUE(window->GoToScreen(kScreenMyCollection)); }
  void ClickCommand(const std::string& command) {
    guitest::ClickButton(panel(), kScreenMyCollection, command);
  }
  void ClickListItem(int id, int item) { guitest::ClickListRow(panel(), id, item); }
  ListStore& Store(int id) {
    SkinnedList* list = panel().lists().FindList(id);
    EXPECT_NE(list, nullptr);
    return list->store();
  }
  void WaitForBuild() {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !screen().busy(); }, kBuildTimeoutMs));
  }

  guitest::ProgramEnvironment env;
  testing::ScopedEnv m_userDir{"TESSERIX_USER_DIR", (env.dir.path() / "U").string()};
  std::unique_ptr<Configuration> m_configuration;
  std::unique_ptr<CollectionRegistry> m_registry;
  std::unique_ptr<MontagePath> m_path;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MyCollectionScreenTest, AddMakesTheTickedAlbumsMyCollectionsToBuild) {
  Album("Family", 1);
  Album("Garden", 1);
  Album("Trip", 1);
  Enter();
  ASSERT_EQ(Store(kBuildAlbumList).count(), 3);

  int before = beeps();
  ClickCommand("AddToMyCollection");
  EXPECT_EQ(beeps(), before + 1) << "nothing ticked to add";

  ClickListItem(kBuildAlbumList, 0);
  ClickListItem(kBuildAlbumList, 2);
  EXPECT_EQ(screen().SelectedAlbums(), (std::vector<int>{0, 2}));
  ClickCommand("AddToMyCollection");
  ASSERT_EQ(m_registry->GetCollectionCount(kMyCollection), 2);
  EXPECT_EQ(m_registry->GetCollectionKey(kMyCollection, 0), "Family.TXS");
  EXPECT_EQ(m_registry->GetCollectionKey(kMyCollection, 1), "Trip.TXS");
  EXPECT_EQ(m_registry->GetCollectionStatus(kMyCollection, 0), 0);
  EXPECT_EQ(m_registry->GetCollectionStatus(kMyCollection, 1), 0);
  ListStore& collections = Store(kMyCollectionBuildList);
  ASSERT_EQ(collections.count(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(collections.GetMark(i), kMarkBuild);
    EXPECT_EQ(collections.GetTick(i), kMarkBuild);
  }
  EXPECT_TRUE(screen().SelectedAlbums().empty()) << "the added albums are unticked";

  // The same album again keeps one entry; the marks outlast a visit away.
  ClickListItem(kBuildAlbumList, 0);
  ClickCommand("AddToMyCollection");
  EXPECT_EQ(m_registry->GetCollectionCount(kMyCollection), 2);
  ClickCommand("MontageSettings");
  ASSERT_EQ(window->screen(), kScreenMontageSettings);
  Enter();
  EXPECT_EQ(Store(kMyCollectionBuildList).GetMark(1), kMarkBuild);
}

TEST_F(MyCollectionScreenTest, ClicksTickForDeletingAndDeleteRemovesOnlyTheTicked) {
  Album("A", 1);
  Album("B", 1);
  Album("C", 1);
  Enter();
  for (int i = 0; i < 3; ++i)
    screen().SelectAlbum(i, true);
  screen().Add();
  ASSERT_EQ(screen().items().size(), 3u);

  // Marked for building: a click takes it off, a second ticks it for deleting.
  ClickListItem(kMyCollectionBuildList, 1);
  EXPECT_EQ(screen().items()[1].mark, kMarkNone);
  ClickListItem(kMyCollectionBuildList, 1);
  EXPECT_EQ(screen().items()[1].mark, kMarkTicked);
  EXPECT_EQ(Store(kMyCollectionBuildList).GetTick(1), kMarkTicked);
  const fs::path folderB = m_registry->TileFolder(kMyCollection, "B");
  fs::create_directories(folderB);

  ClickCommand("DeleteMyCollections");
  ASSERT_EQ(m_registry->GetCollectionCount(kMyCollection), 2);
  EXPECT_EQ(m_registry->GetCollectionKey(kMyCollection, 0), "A.TXS");
  EXPECT_EQ(m_registry->GetCollectionKey(kMyCollection, 1), "C.TXS");
  EXPECT_FALSE(fs::exists(folderB));
  ListStore& store = Store(kMyCollectionBuildList);
  ASSERT_EQ(store.count(), 2);
  EXPECT_EQ(store.text(1), "C");
  EXPECT_EQ(store.GetMark(1), kMarkBuild) << "the others keep their marks";

  const int before = beeps();
  ClickCommand("DeleteMyCollections");
  EXPECT_EQ(beeps(), before + 1) << "nothing ticked";
  EXPECT_EQ(m_registry->GetCollectionCount(kMyCollection), 2);
}

TEST_F(MyCollectionScreenTest, BuildShowsProgressAndEndsOnTheMontageSettings) {
  Album("Holiday", 3);
  Enter();
  int before = beeps();
  ClickCommand("BuildMyCollections");
  EXPECT_EQ(beeps(), before + 1) << "nothing marked to build";

  screen().SelectAlbum(0, true);
  screen().Add();
  ClickCommand("BuildMyCollections");
  ASSERT_TRUE(screen().busy());
  ASSERT_NE(screen().progress(), nullptr);
  EXPECT_TRUE(screen().progress()->visible());
  WaitForBuild();

  EXPECT_EQ(window->screen(), kScreenMontageSettings);
  ASSERT_EQ(m_registry->GetCollectionCount(kMyCollection), 1);
  EXPECT_EQ(m_registry->GetCollectionStatus(kMyCollection, 0), 1);
  EXPECT_TRUE(fs::exists(Index("Holiday")));
  EXPECT_EQ(screen().items()[0].mark, kMarkNone);
  // The last step was shown: all three photos and a tile.
  EXPECT_TRUE(screen().progress()->words().startsWith(QStringLiteral("3 / 3")))
      << screen().progress()->words().toStdString();
  EXPECT_FALSE(screen().progress()->shown().isNull());
  EXPECT_FALSE(screen().progress()->visible()) << "hidden with the screen";
  EXPECT_TRUE(env.sink->shown.empty());
  // The montage settings list has the new collection.
  SkinnedList* list = panel().lists().FindList(kMyCollectionList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->store().count(), 1);
}

TEST_F(MyCollectionScreenTest, EscStopsTheBuildAndLeavesNoHalfCollection) {
  Album("Many", 30, 800, 600);
  Enter();
  screen().SelectAlbum(0, true);
  screen().Add();
  ASSERT_TRUE(screen().Build());
  QTest::keyClick(window.get(), Qt::Key_Escape);
  WaitForBuild();

  // The command ends on the montage settings screen, saying it stopped; the
  // collection that was not finished has no index and no entry.
  EXPECT_EQ(window->screen(), kScreenMontageSettings);
  EXPECT_EQ(panel().statusText(), CatalogueText(12506));
  EXPECT_FALSE(fs::exists(Index("Many")));
  EXPECT_EQ(m_registry->GetCollectionCount(kMyCollection), 0);

  // Added again, it builds.
  Enter();
  screen().SelectAlbum(0, true);
  screen().Add();
  ASSERT_TRUE(screen().Build());
  WaitForBuild();
  EXPECT_TRUE(fs::exists(Index("Many")));
  EXPECT_EQ(window->screen(), kScreenMontageSettings);
}

TEST_F(MyCollectionScreenTest, DuringABuildTheWindowStaysAndClosingAsks) {
  Album("Busy", 30, 640, 480);
  Enter();
  screen().SelectAlbum(0, true);
  screen().Add();
  ASSERT_TRUE(screen().Build());
  // The job counts as running until the window's thread hears it ended, so
  // nothing below races the worker.
  ASSERT_TRUE(screen().busy());
  int before = beeps();
  EXPECT_FALSE(window->GoToScreen(kScreenMontageSettings));
  screen().Add();
  EXPECT_FALSE(screen().Build());
  screen().Delete();
  ClickListItem(kMyCollectionBuildList, 0);
  EXPECT_EQ(beeps(), before + 5);
  EXPECT_EQ(screen().items()[0].mark, kMarkBuild) << "a click changes nothing while building";
  EXPECT_EQ(window->screen(), kScreenMyCollection);

  env.sink->answer = NoticeAnswer::No;
  EXPECT_FALSE(window->close());
  ASSERT_EQ(env.sink->asked.size(), 1u);
  EXPECT_EQ(QString::fromStdString(env.sink->asked[0]), CatalogueText(12504));
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(screen().busy());

  env.sink->answer = NoticeAnswer::Yes;
  EXPECT_FALSE(window->close()) << "closes once the build has stopped";
  WaitForBuild();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, kBuildTimeoutMs));
  EXPECT_FALSE(fs::exists(Index("Busy")));
  // Nothing half built: the entry is kept unbuilt, its mark with it.
  EXPECT_EQ(screen().items()[0].mark, kMarkBuild);
}

TEST_F(MyCollectionScreenTest, WhatCouldNotBeBuiltIsToldInOneMessage) {
  Album("Empty", 0);
  Album("Patchy", 2);
  // The second photo of Patchy cannot be read any more.
  std::ofstream(env.dir.path() / "photos" / "Patchy1.jpg", std::ios::trunc) << "not a picture";
  ASSERT_TRUE(m_registry->AddCollection(kMyCollection, "Lost.TXS", "Lost",
                                        m_registry->TileFolder(kMyCollection, "Lost").string(), 0));
  Enter();
  ASSERT_TRUE(screen().SetMark(0, kMarkBuild));
  screen().SelectAlbum(0, true);
  screen().SelectAlbum(1, true);
  screen().Add();
  ASSERT_EQ(screen().items().size(), 3u);
  ASSERT_TRUE(screen().Build());
  WaitForBuild();

  EXPECT_EQ(window->screen(), kScreenMontageSettings);
  ASSERT_EQ(env.sink->shown.size(), 1u);
  const QString message = QString::fromStdString(env.sink->shown[0]);
  EXPECT_TRUE(message.contains(QStringLiteral("Lost"))) << message.toStdString();
  EXPECT_TRUE(message.contains(QStringLiteral("Empty"))) << message.toStdString();
  EXPECT_TRUE(message.contains(CatalogueText(12509).arg(1))) << message.toStdString();
  // Only the collection that was made stays registered.
  ASSERT_EQ(m_registry->GetCollectionCount(kMyCollection), 1);
  EXPECT_EQ(m_registry->GetCollectionKey(kMyCollection, 0), "Patchy.TXS");
  EXPECT_EQ(m_registry->GetCollectionStatus(kMyCollection, 0), 1);
  EXPECT_EQ(screen().items().size(), 1u);
}

// The progress words and tile, on a clock the test moves.
class BuildProgressBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    box.SetCountFormats(QStringLiteral("%1 / %2 photos"), QStringLiteral("%1 frames"));
    box.SetClock([this] { return now; });
  }
  QImage Tile(QRgb colour) {
    QImage tile(120, 90, QImage::Format_RGB32);
    tile.fill(colour);
    return tile;
  }

  guitest::ProgramEnvironment env;
  QWidget parent;
  BuildProgressBox box{&parent, QRect(0, 0, 232, 174), QRect(0, 180, 232, 20)};
  BuildProgressBox::Clock::time_point now{};
};

TEST_F(BuildProgressBoxTest, RateAndTimeLeftOnlyOnceTheyMeanSomething) {
  box.Start(480);
  EXPECT_TRUE(box.visible());
  box.Step(1, 480, {});
  EXPECT_EQ(box.words(), QStringLiteral("1 / 480 photos")) << "one item gives no rate";
  now += 900ms;
  box.Step(8, 480, {});
  EXPECT_EQ(box.words(), QStringLiteral("8 / 480 photos")) << "not a second yet";
  now += 100ms;
  box.Step(12, 480, {});
  const QString words = box.words();
  EXPECT_TRUE(words.startsWith(QStringLiteral("12 / 480 photos"))) << words.toStdString();
  EXPECT_TRUE(words.contains(CatalogueText(12502).arg(QStringLiteral("12.0"))))
      << words.toStdString();
  // 468 left at 12 a second: 39 seconds.
  EXPECT_TRUE(words.endsWith(CatalogueText(12503).arg(QStringLiteral("0:39"))))
      << words.toStdString();

  // Without a total there is a count and a rate, never a time left.
  box.Start(0);
  now += 2s;
  box.Step(10, 0, {});
  EXPECT_TRUE(box.words().startsWith(QStringLiteral("10 frames")));
  EXPECT_FALSE(box.words().contains(CatalogueText(12503).arg(QString()).trimmed()));
}

TEST_F(BuildProgressBoxTest, TilesWordsAndTheEnd) {
  box.Start(3);
  box.Step(1, 3, Tile(qRgb(200, 0, 0)));
  box.Step(2, 3, QImage());
  EXPECT_EQ(box.shown().pixel(0, 0), qRgb(200, 0, 0)) << "a step without a tile keeps the last";
  box.Finish();
  box.Step(3, 3, Tile(qRgb(0, 200, 0)));
  EXPECT_EQ(box.shown().pixel(0, 0), qRgb(200, 0, 0)) << "nothing changes once finished";
  box.SetWords(QStringLiteral("Stopped"));
  EXPECT_EQ(box.words(), QStringLiteral("Stopped"));
  box.Start(5);
  EXPECT_TRUE(box.shown().isNull()) << "a new start clears";
  box.Hide();
  EXPECT_FALSE(box.visible());
}

TEST(FormatTimeLeftTest, MinutesAndHours) {
  EXPECT_EQ(FormatTimeLeft(55s), QStringLiteral("0:55"));
  EXPECT_EQ(FormatTimeLeft(3605s), QStringLiteral("1:00:05"));
  EXPECT_EQ(FormatTimeLeft(-3s), QStringLiteral("0:00"));
}

}  // namespace
}  // namespace tx
