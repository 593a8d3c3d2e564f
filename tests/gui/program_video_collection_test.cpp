// The video collection screen in the program's window: registering video
// files with their refusals, deleting sources, the preview, the frame
// interval, and a build on its worker with what must stay safe meanwhile.

#include <gtest/gtest.h>

#include <QtTest/QTest>

#include <fstream>
#include <limits>
#include <set>

#include "app/buttons/button_record.h"
#include "app/program/delete_options_dialog.h"
#include "app/program/montage_path.h"
#include "app/views/build_progress_box.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
#include "collections/video_frames.h"
#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "platform/cancel_flag.h"
#include "resources/messages.h"
#include "resources/string_ids.h"
#include "tests/gui/program_support.h"
#include "tests/support/test_videos.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
constexpr int kBuildTimeoutMs = 60000;

class VideoCollectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    StartupSettings startup;
    startup.secondsPerFrame = {"0.5", "1", "2", "3"};
    SetStartupSettings(startup);
    ASSERT_TRUE(WriteFrameInterval(kDefaultFrameInterval));
    m_configuration = std::make_unique<Configuration>(env.dir.path() / "Tesserix.set",
                                                      env.dir.path() / "Tesserix.ini");
    m_registry = env.MakeRegistry(*m_configuration, true);
    ASSERT_TRUE(guitest::ShowProgramWindow(*m_registry, m_path, window));
    ASSERT_TRUE(window->GoToScreen(kScreenVideo));
    ClearCancel();
  }
  void TearDown() override {
    SetDeleteOptionsAsker({});
    window.reset();
    m_path.reset();
    SetStartupSettings(StartupSettings{});
  }

  VideoCollectionScreen& screen() { return *m_path->videoCollectionScreen(); }
  SkinPanelWidget& panel() { return window->panel(); }
  ListStore& Store(int id) {
    SkinnedList* list = panel().lists().FindList(id);
    EXPECT_NE(list, nullptr);
    return list->store();
  }

  fs::path Video(const std::string& name, int frames = 10,
                 std::function<void(int, std::uint8_t*)> paint = {}) {
    testing::TestVideo video;
    video.frameCount = frames;
    if (paint) video.paint = std::move(paint);
    const fs::path file = env.dir.path() / name;
    std::string error;
    EXPECT_TRUE(testing::WriteTestVideo(file, video, error)) << error;
    return file;
  }
  // Add Video with the dialog answered by `paths`; returns the folder the
  // dialog was opened in.
  fs::path Add(std::vector<fs::path> paths) {
    fs::path started;
    screen().fileChooser = [&](const fs::path& start) {
      started = start;
      std::vector<std::string> chosen;
      for (const fs::path& path : paths)
        chosen.push_back(path.string());
      return chosen;
    };
    screen().AddVideo();
    return started;
  }
  // Clicks the middle of the row showing item `item` of list `id`.
  void ClickListItem(int id, int item) { guitest::ClickListRow(panel(), id, item); }
  const ButtonRecord& Record(const std::string& command) {
    for (const ButtonRecord& record : panel().panel().records(kScreenVideo)) {
      if (record.command == command) return record;
    }
    ADD_FAILURE() << command;
    return panel().panel().records(kScreenVideo).front();
  }
  void ClickButton(const std::string& command) {
    guitest::ClickButton(panel(), kScreenVideo, command);
  }
  bool ShownWith(const std::string& words) const {
    for (const std::string& shown : env.sink->shown) {
      if (shown.find(words) != std::string::npos) return true;
    }
    return false;
  }
  // A source registered and ticked, marked for building.
  void MarkForBuilding(const fs::path& video) {
    Add({video});
    ClickListItem(kVideoSourceList, int(screen().state().sources.size()) - 1);
    screen().AddToCollections();
  }

  guitest::ProgramEnvironment env;
  std::unique_ptr<Configuration> m_configuration;
  std::unique_ptr<CollectionRegistry> m_registry;
  std::unique_ptr<MontagePath> m_path;
  std::unique_ptr<MainWindow> window;
};

TEST_F(VideoCollectionTest, AddVideoRegistersFilesAndRefusesWhatItCannotTake) {
  ASSERT_NE(panel().lists().FindList(kVideoSourceList), nullptr);
  ASSERT_NE(panel().lists().FindList(kVideoCollectionBuildList), nullptr);
  const fs::path clip = Video("clip.avi");
  Add({clip});
  ASSERT_EQ(Store(kVideoSourceList).count(), 1);
  EXPECT_EQ(Store(kVideoSourceList).text(0), "clip");
  EXPECT_EQ(m_registry->GetCollectionKey(kVideoSource, 0), "Video1");
  EXPECT_TRUE(env.sink->shown.empty());

  // The same file again: the warning names it, nothing is added; the dialog
  // now starts where the first file was.
  const fs::path started = Add({clip});
  EXPECT_EQ(started, clip.parent_path());
  ASSERT_EQ(env.sink->shown.size(), 1u);
  EXPECT_NE(env.sink->shown[0].find(clip.string()), std::string::npos);
  EXPECT_NE(env.sink->shown[0].find(LoadText(9918).substr(1)), std::string::npos);
  EXPECT_EQ(Store(kVideoSourceList).count(), 1);

  // Not a video by name, not a video inside, not there at all.
  const fs::path text = env.dir.path() / "notes.txt";
  std::ofstream(text) << "words";
  const fs::path fake = env.dir.path() / "fake.avi";
  std::ofstream(fake) << "no video in here";
  env.sink->shown.clear();
  Add({text, fake, env.dir.path() / "gone.mp4"});
  ASSERT_EQ(env.sink->shown.size(), 3u);
  EXPECT_EQ(env.sink->shown[0], LoadText(2356));
  EXPECT_EQ(env.sink->shown[1], LoadText(2356));
  EXPECT_NE(env.sink->shown[2].find("gone.mp4"), std::string::npos);
  EXPECT_EQ(Store(kVideoSourceList).count(), 1);
  EXPECT_EQ(m_registry->GetCollectionCount(kVideoSource), 1);
}

TEST_F(VideoCollectionTest, TheDialogFilterTakesEveryVideoExtensionInEitherCase) {
  const QString filter = VideoFileFilter();
  EXPECT_TRUE(filter.startsWith(QString::fromStdString(LoadText(8003)) + " ("));
  for (const char* pattern : {"*.avi", "*.AVI", "*.mpeg", "*.MPEG", "*.mov", "*.dat", "*.MP4"})
    EXPECT_TRUE(filter.contains(QLatin1String(pattern))) << pattern;
}

TEST_F(VideoCollectionTest, DeleteAsksAndDeletesOnlyWhatTheAnswerSays) {
  const fs::path first = Video("first.avi");
  const fs::path second = Video("second.avi");
  Add({first, second});
  ASSERT_EQ(Store(kVideoSourceList).count(), 2);

  // Nothing ticked: a beep, no question.
  int asked = 0;
  std::optional<DeleteChoice> answer;
  SetDeleteOptionsAsker([&](unsigned id) {
    EXPECT_EQ(id, kDialogDeleteVideos);
    ++asked;
    return answer;
  });
  const int beeps = env.sink->beeps;
  screen().DeleteVideo();
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(env.sink->beeps, beeps + 1);

  ClickListItem(kVideoSourceList, 1);
  EXPECT_EQ(Store(kVideoSourceList).GetTick(1), 1);
  screen().DeleteVideo();  // cancelled
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(m_registry->GetCollectionCount(kVideoSource), 2);

  answer = DeleteChoice::AlsoFile;
  screen().DeleteVideo();
  ASSERT_EQ(Store(kVideoSourceList).count(), 1);
  EXPECT_EQ(Store(kVideoSourceList).text(0), "first");
  EXPECT_FALSE(fs::exists(second));

  ClickListItem(kVideoSourceList, 0);
  answer = DeleteChoice::ListOnly;
  screen().DeleteVideo();
  EXPECT_EQ(Store(kVideoSourceList).count(), 0);
  EXPECT_EQ(m_registry->GetCollectionCount(kVideoSource), 0);
  EXPECT_TRUE(fs::exists(first));
}

TEST_F(VideoCollectionTest, PreviewPlaysTheTickedSourcesInTurnAndStops) {
  const fs::path a = Video("a.avi", 6);
  // Red over blue: the preview must show it the right way up.
  const fs::path b = Video("b.avi", 6, [](int, std::uint8_t* bgr) {
    const testing::TestVideo size;
    for (int y = 0; y < size.height; ++y) {
      for (int x = 0; x < size.width; ++x) {
        std::uint8_t* pixel = bgr + 3 * (y * size.width + x);
        const bool top = y < size.height / 2;
        pixel[0] = top ? 0 : 255;
        pixel[2] = top ? 255 : 0;
        pixel[1] = 0;
      }
    }
  });
  Add({a, b});
  ClickListItem(kVideoSourceList, 0);
  screen().TickSource(1, true);
  EXPECT_EQ(Store(kVideoSourceList).GetTick(1), 1);
  // A ticked source whose file has gone is reported and skipped.
  fs::remove(a);

  screen().PlayVideo();
  ASSERT_TRUE(screen().previewPlaying());
  EXPECT_EQ(screen().playingSource(), 1);
  EXPECT_TRUE(ShownWith(a.string()));
  ASSERT_NE(screen().preview(), nullptr);
  EXPECT_TRUE(screen().preview()->isVisible());
  // While it plays: registering and deleting only beep.
  const int beeps = env.sink->beeps;
  screen().AddVideo();
  screen().DeleteVideo();
  EXPECT_EQ(env.sink->beeps, beeps + 2);

  // Frames arrive; the playing item blinks; at the end the tick is back.
  std::set<int> ticksSeen;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        ticksSeen.insert(Store(kVideoSourceList).GetTick(1));
        return !screen().previewPlaying();
      },
      5000));
  EXPECT_GE(screen().preview()->framesShown(), 5);
  const QImage& shown = screen().preview()->shownImage();
  ASSERT_FALSE(shown.isNull());
  EXPECT_EQ(shown.width(), screen().preview()->width());
  const QColor top = shown.pixelColor(shown.width() / 2, 2);
  const QColor bottom = shown.pixelColor(shown.width() / 2, shown.height() - 3);
  EXPECT_GT(top.red(), 200);
  EXPECT_LT(top.blue(), 60);
  EXPECT_GT(bottom.blue(), 200);
  EXPECT_EQ(ticksSeen, (std::set<int>{0, 1}));
  EXPECT_EQ(Store(kVideoSourceList).GetTick(1), 1);

  // Stop ends a preview at once; leaving the screen does too.
  screen().PlayVideo();
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen().preview()->framesShown() >= 1; }, 2000));
  screen().StopVideo();
  EXPECT_FALSE(screen().previewPlaying());
  const int frames = screen().preview()->framesShown();
  QTest::qWait(3 * kPreviewFrameMs);
  EXPECT_EQ(screen().preview()->framesShown(), frames);
  screen().PlayVideo();
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  EXPECT_FALSE(screen().previewPlaying());
  EXPECT_FALSE(screen().preview()->isVisible());
}

TEST_F(VideoCollectionTest, WithoutQuickTimeAMovSourceIsSkippedWithItsNotice) {
  const fs::path clip = Video("clip.mov", 4);
  Add({clip});
  ClickListItem(kVideoSourceList, 0);
  SetQuickTimeAvailable(false);
  screen().PlayVideo();
  SetQuickTimeAvailable(true);
  EXPECT_FALSE(screen().previewPlaying());
  ASSERT_EQ(env.sink->shown.size(), 1u);
  EXPECT_EQ(env.sink->shown[0], LoadText(3091));
}

TEST_F(VideoCollectionTest, TheIntervalFieldAndListStoreMilliseconds) {
  ASSERT_NE(screen().secondsField(), nullptr);
  EXPECT_EQ(screen().secondsField()->text(), QStringLiteral("3"));

  screen().secondsField()->setText(QStringLiteral("0.05"));
  EXPECT_EQ(screen().interval(), 100);
  screen().secondsField()->setText(QStringLiteral("2.5"));
  EXPECT_EQ(screen().interval(), 2500);
  // A cleared or garbled field keeps the last interval.
  screen().secondsField()->setText(QString());
  screen().secondsField()->setText(QStringLiteral("x"));
  EXPECT_EQ(screen().interval(), 2500);

  // The list opens with the settings file's choices; a pick closes it.
  screen().ToggleIntervalList();
  ASSERT_NE(panel().lists().FindList(kSecondsPerFrameList), nullptr);
  EXPECT_EQ(Store(kSecondsPerFrameList).count(), 4);
  ClickListItem(kSecondsPerFrameList, 0);
  EXPECT_EQ(panel().lists().FindList(kSecondsPerFrameList), nullptr);
  EXPECT_EQ(screen().interval(), 500);
  EXPECT_EQ(screen().secondsField()->text(), QStringLiteral("0.50"));

  // Written when the screen closes, read when it opens.
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  EXPECT_EQ(ReadFrameInterval(), 500);
  EXPECT_FALSE(screen().secondsField()->isVisible());
  ASSERT_TRUE(WriteUserIntById(kKeyTimeInterval, 50));
  ASSERT_TRUE(window->GoToScreen(kScreenVideo));
  EXPECT_EQ(screen().interval(), 100);
  EXPECT_EQ(screen().secondsField()->text(), QStringLiteral("0.10"));
}

TEST_F(VideoCollectionTest, IntervalTextRules) {
  EXPECT_EQ(IntervalFromSecondsText(QStringLiteral("1")), 1000);
  EXPECT_EQ(IntervalFromSecondsText(QStringLiteral(" 0.1239 ")), 123);
  EXPECT_EQ(IntervalFromSecondsText(QStringLiteral("0")), 100);
  EXPECT_EQ(IntervalFromSecondsText(QStringLiteral("1e12")), std::numeric_limits<int>::max());
  EXPECT_EQ(IntervalFromSecondsText(QStringLiteral("-2")), -1);
  EXPECT_EQ(IntervalFromSecondsText(QStringLiteral("1,5")), -1);
  EXPECT_EQ(IntervalFromSecondsText(QStringLiteral("nan")), -1);
}

TEST_F(VideoCollectionTest, AddMarksForBuildingAndTickingDecidesWhatDeleteTakes) {
  const fs::path clip = Video("clip.avi");
  // Nothing ticked: a beep.
  Add({clip});
  const int beeps = env.sink->beeps;
  screen().AddToCollections();
  EXPECT_EQ(env.sink->beeps, beeps + 1);

  ClickListItem(kVideoSourceList, 0);
  screen().AddToCollections();
  ASSERT_EQ(Store(kVideoCollectionBuildList).count(), 1);
  EXPECT_EQ(Store(kVideoCollectionBuildList).GetMark(0), kMarkBuild);
  EXPECT_EQ(Store(kVideoCollectionBuildList).GetTick(0), 1);
  EXPECT_EQ(m_registry->GetCollectionKey(kVideoCollection, 0), "Video1.TXS");
  // Again: the same collection, still one.
  screen().AddToCollections();
  EXPECT_EQ(Store(kVideoCollectionBuildList).count(), 1);

  // Unticking drops the build mark; Delete needs a ticked collection.
  ClickListItem(kVideoCollectionBuildList, 0);
  EXPECT_EQ(screen().state().collections[0].mark, kMarkNone);
  screen().DeleteCollections();
  EXPECT_EQ(m_registry->GetCollectionCount(kVideoCollection), 1);
  ClickListItem(kVideoCollectionBuildList, 0);
  EXPECT_EQ(screen().state().collections[0].mark, kMarkTicked);
  screen().DeleteCollections();
  EXPECT_EQ(Store(kVideoCollectionBuildList).count(), 0);
  EXPECT_EQ(m_registry->GetCollectionCount(kVideoCollection), 0);

  // The skip-flat button flips the switch and shows its state; Capture
  // is not offered.
  EXPECT_TRUE(screen().state().skipFlatFrames);
  EXPECT_EQ(Record("ToggleSkipFlat").on, 1);
  ClickButton("ToggleSkipFlat");
  EXPECT_FALSE(screen().state().skipFlatFrames);
  EXPECT_EQ(Record("ToggleSkipFlat").on, 0);
  ClickButton("ToggleSkipFlat");
  EXPECT_TRUE(screen().state().skipFlatFrames);
  EXPECT_EQ(Record("ToggleSkipFlat").on, 1);
  const int before = env.sink->beeps;
  ClickButton("Capture");
  EXPECT_EQ(env.sink->beeps, before + 1);
}

TEST_F(VideoCollectionTest, BuildEndsOnTheMontageSettingsScreenWithTheCollectionBuilt) {
  MarkForBuilding(Video("clip.avi", 25));
  screen().secondsField()->setText(QStringLiteral("0.1"));
  screen().Build();
  ASSERT_TRUE(screen().busy());
  ASSERT_NE(screen().progressBox(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !screen().busy(); }, kBuildTimeoutMs));
  EXPECT_EQ(window->screen(), kScreenMontageSettings);
  EXPECT_EQ(screen().lastBuild().built, 1);
  EXPECT_FALSE(screen().lastBuild().cancelled);
  // The box showed the tiles as they were made.
  EXPECT_FALSE(screen().progressBox()->shown().isNull());
  EXPECT_FALSE(screen().progressBox()->visible());
  const fs::path index = m_registry->IndexFolder(kVideoCollection) / "Video1.TXS";
  EXPECT_TRUE(fs::exists(index));
  // The interval went with the screen.
  EXPECT_EQ(ReadFrameInterval(), 100);
  // The registry was saved with the collection.
  CollectionRegistry reread(*m_configuration, env.dir.path() / "U",
                            guitest::ProgramEnvironment::ProgramFolder());
  reread.LoadCollections();
  EXPECT_EQ(reread.FindCollectionByTitle(kVideoCollection, "Video1"), 0);
}

TEST_F(VideoCollectionTest, DuringABuildTheWindowStaysAndEscStopsIt) {
  MarkForBuilding(Video("long.avi", 250));
  screen().secondsField()->setText(QStringLiteral("0.1"));
  screen().Build();
  // Until the worker's end reaches the window the build counts as running.
  ASSERT_TRUE(screen().busy());
  EXPECT_FALSE(window->GoToScreen(kScreenHome));
  EXPECT_EQ(window->screen(), kScreenVideo);
  const int beeps = env.sink->beeps;
  screen().PlayVideo();
  screen().AddToCollections();
  screen().Build();
  EXPECT_GE(env.sink->beeps, beeps + 3);

  QTest::keyClick(window.get(), Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !screen().busy(); }, kBuildTimeoutMs));
  EXPECT_TRUE(screen().lastBuild().cancelled);
  EXPECT_EQ(window->screen(), kScreenMontageSettings);
  // What the build kept is whole: an index with its tile pictures, or
  // neither.
  const fs::path index = m_registry->IndexFolder(kVideoCollection) / "Video1.TXS";
  const fs::path tiles = m_registry->TileFolder(kVideoCollection, "Video1");
  std::error_code error;
  const bool hasTiles = fs::exists(tiles, error) && !fs::is_empty(tiles, error);
  EXPECT_EQ(fs::exists(index), hasTiles);
}

TEST_F(VideoCollectionTest, ClosingDuringABuildAsksAndClosesOnceItHasStopped) {
  MarkForBuilding(Video("long.avi", 250));
  screen().secondsField()->setText(QStringLiteral("0.1"));
  screen().Build();
  ASSERT_TRUE(screen().busy());

  env.sink->answer = NoticeAnswer::No;
  EXPECT_FALSE(window->close());
  ASSERT_EQ(env.sink->asked.size(), 1u);
  EXPECT_EQ(env.sink->asked[0], LoadText(12550));
  EXPECT_TRUE(window->isVisible());

  env.sink->answer = NoticeAnswer::Yes;
  EXPECT_FALSE(window->close());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, kBuildTimeoutMs));
  EXPECT_FALSE(screen().busy());
  EXPECT_TRUE(screen().lastBuild().cancelled);
}

}  // namespace
}  // namespace tx
