// Video sources and video collections: registering files, flat frames, the
// frame interval, and builds from short videos written by the tests.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "collections/collection_registry.h"
#include "collections/video_build.h"
#include "collections/video_frames.h"
#include "collections/video_sources.h"
#include "config/settings_access.h"
#include "image/image_lock.h"
#include "platform/cancel_flag.h"
#include "resources/resource_binding.h"
#include "tests/support/recording_notice_sink.h"
#include "tests/support/test_images.h"
#include "tests/support/test_videos.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A 24-bit frame of `width` x `height` filled with one colour.
PackedImage Plain(int width, int height, std::uint8_t level) {
  return PackedImage(CreatePackedImage(width, height, MakeColourWord(level, level, level), 0));
}

// Paints a video whose second s is flat gray when `flat(s)`, else a pattern.
testing::TestVideo SecondsVideo(int seconds, int framesPerSecond, bool (*flat)(int)) {
  testing::TestVideo video;
  video.framesPerSecond = framesPerSecond;
  video.frameCount = seconds * framesPerSecond;
  video.paint = [=](int frame, std::uint8_t* bgr) {
    const int second = frame / framesPerSecond;
    for (int y = 0; y < video.height; ++y) {
      for (int x = 0; x < video.width; ++x) {
        std::uint8_t* p = bgr + 3 * (std::size_t(y) * video.width + x);
        const bool light = ((x / 8) + (y / 8) + second) % 2 == 0;
        const std::uint8_t v = flat(second) ? 128 : (light ? 230 : 20);
        p[0] = p[1] = v;
        p[2] = flat(second) ? 128 : std::uint8_t(40 * second);
      }
    }
  };
  return video;
}

TEST(VideoFrames, FlatFramesAreSkipped) {
  EXPECT_EQ(IsFlatFrame(nullptr), 1);
  EXPECT_EQ(IsFlatFrame(Plain(8, 100, 0).get()), 1);  // too narrow to judge
  EXPECT_EQ(IsFlatFrame(Plain(100, 8, 0).get()), 1);
  EXPECT_EQ(IsFlatFrame(Plain(64, 48, 128).get()), 1);  // one gray
  PackedImage pattern = testing::MakePatternImage(64, 48, 24);
  EXPECT_EQ(IsFlatFrame(pattern.get()), 0);
  // Whatever the 4-pixel border holds, a flat middle is flat.
  PackedImage framed = Plain(64, 48, 90);
  {
    ImageLock lock(framed.get());
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64; ++x) {
        if (x < 4 || y < 4 || x >= 60 || y >= 44) std::memset(lock.row(y) + 3 * x, x * 4, 3);
      }
    }
  }
  EXPECT_EQ(IsFlatFrame(framed.get()), 1);
}

TEST(VideoFrames, SixteenLevelsFromTheMeanMakeATile) {
  // Four reduced pixels at 100 but one: 121 makes the mean 105, and 121 is
  // 16 above it; 120 in every channel is 15 above.
  auto reduced = [](std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    PackedImage image = Plain(4, 1, 100);
    ImageLock lock(image.get());
    lock.row(0)[9] = blue;
    lock.row(0)[10] = green;
    lock.row(0)[11] = red;
    return image;
  };
  EXPECT_EQ(AllPixelsNearMean(reduced(121, 100, 100).get()), 0);
  EXPECT_EQ(AllPixelsNearMean(reduced(100, 100, 121).get()), 0);
  EXPECT_EQ(AllPixelsNearMean(reduced(120, 120, 120).get()), 1);
}

TEST(VideoFrames, IntervalChoicesAndRaising) {
  EXPECT_EQ(IntervalFromChoice("0.5"), 500);
  EXPECT_EQ(IntervalFromChoice("3"), 3000);
  EXPECT_EQ(IntervalFromChoice(" 1.25"), 1250);
  EXPECT_EQ(IntervalFromChoice("abc"), 0);
  EXPECT_EQ(IntervalFromChoice("-2"), 0);
  EXPECT_EQ(FormatIntervalSeconds(3000), "3");
  EXPECT_EQ(FormatIntervalSeconds(500), "0.50");
  EXPECT_EQ(FormatIntervalSeconds(1250), "1.25");
  EXPECT_EQ(EffectiveFrameInterval(20, 25), 40);
  EXPECT_EQ(EffectiveFrameInterval(3000, 25), 3000);
  EXPECT_EQ(EffectiveFrameInterval(33, 30), 33);
  EXPECT_EQ(EffectiveFrameInterval(100, 5), 200);
  EXPECT_EQ(EffectiveFrameInterval(100, 0), 100);
}

// A registry in a temporary user folder with the resource library bound, so
// messages have their texts.
class VideoCollections : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    Configuration::SetCurrent(std::make_unique<Configuration>(m_dir / "P" / "Tesserix.set",
                                                              m_dir / "U" / "Tesserix.ini"));
    ClearCancel();
    m_registry =
        std::make_unique<CollectionRegistry>(Configuration::Current(), m_dir / "U", m_dir / "P");
    m_registry->PrepareCollectionFolders();
    m_options.geometry.columns = 4;
    m_options.geometry.rows = 3;
  }
  void TearDown() override {
    m_registry.reset();
    Configuration::SetCurrent(nullptr);
    ReleaseResourceLibrary();
    SetQuickTimeAvailable(true);
  }

  // Writes a test video under the temporary folder.
  std::string Video(const std::string& name, const testing::TestVideo& video = {}) {
    fs::path path = m_dir / "videos" / name;
    fs::create_directories(path.parent_path());
    std::string error;
    EXPECT_TRUE(testing::WriteTestVideo(path, video, error)) << error;
    return path.string();
  }
  fs::path Index(const std::string& title) const {
    return m_registry->IndexFolder(kVideoCollection) / (title + kIndexExtension);
  }
  long IndexBytes(const std::string& title) const {
    std::error_code ec;
    const auto size = fs::file_size(Index(title), ec);
    return ec ? -1 : long(size);
  }

  TempDir m_dir;
  testing::ScopedRecordingSink m_sink;
  std::unique_ptr<CollectionRegistry> m_registry;
  BuildOptions m_options;
};

TEST_F(VideoCollections, IntervalSettingIsAtLeastAHundred) {
  EXPECT_EQ(ReadFrameInterval(), 3000);
  ASSERT_TRUE(WriteFrameInterval(50));
  std::ifstream in(m_dir / "U" / "Tesserix.ini");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(text.find("TimeInterval=100"), std::string::npos) << text;
  ASSERT_TRUE(WriteUserIntById(9901, 50));
  EXPECT_EQ(ReadFrameInterval(), 100);
}

TEST_F(VideoCollections, NextKeyFollowsTheLargestNumber) {
  EXPECT_EQ(NextVideoKey(*m_registry), "Video1");
  ASSERT_TRUE(m_registry->AddCollection(kVideoCollection, "Video1.TXS", "a", "/x/", 1));
  ASSERT_TRUE(m_registry->AddCollection(kVideoCollection, "Video4.TXS", "Trip.2019", "/x/", 1));
  ASSERT_TRUE(m_registry->AddCollection(kVideoSource, "Video6", "Clip 99", "/v/clip.avi", 0));
  EXPECT_EQ(NextVideoKey(*m_registry), "Video7");
  EXPECT_EQ(AddVideoSource(*m_registry, "/v/other.mpg"), -1);
  EXPECT_EQ(m_registry->GetCollectionKey(kVideoSource, 1), "Video7");
  EXPECT_EQ(m_registry->GetCollectionName(kVideoSource, 1), "other");
  EXPECT_EQ(AddVideoSource(*m_registry, "/v/clip.avi"), 0);  // already there
  EXPECT_EQ(m_registry->GetCollectionCount(kVideoSource), 2);
}

TEST_F(VideoCollections, PickedFilesAreCheckedBeforeRegistering) {
  const std::string clip = Video("holiday.avi");
  fs::path notVideo = m_dir / "videos" / "photo.avi";
  std::ofstream(notVideo) << "not a video at all";
  VideoScreen screen = MakeVideoScreen(*m_registry);
  const std::string longPath = "/v/" + std::string(200, 'a') + ".avi";
  const auto results =
      AddVideoFiles(*m_registry, screen,
                    {longPath, "/v/notes.txt", "/missing/clip.avi", notVideo.string(), clip, clip});
  const std::vector<VideoFileResult> expected = {
      VideoFileResult::PathTooLong, VideoFileResult::UnknownType,
      VideoFileResult::NotFound,    VideoFileResult::Unreadable,
      VideoFileResult::Added,       VideoFileResult::AlreadyRegistered};
  EXPECT_EQ(results, expected);
  ASSERT_EQ(m_registry->GetCollectionCount(kVideoSource), 1);
  EXPECT_EQ(m_registry->GetCollectionKey(kVideoSource, 0), "Video1");
  EXPECT_EQ(m_registry->GetCollectionName(kVideoSource, 0), "holiday");
  EXPECT_EQ(m_registry->GetCollectionPath(kVideoSource, 0), clip);
  ASSERT_EQ(screen.sources.size(), 1u);
  EXPECT_EQ(screen.sources[0].name, "holiday");
  EXPECT_EQ(screen.lastFolder, fs::path(clip).parent_path());

  const auto& notices = m_sink->notices;
  ASSERT_EQ(notices.size(), 5u);
  EXPECT_EQ(notices[0].text, longPath + "----無法找到這個檔案。");
  EXPECT_EQ(notices[1].text, "無法辨識的檔案格式");
  EXPECT_EQ(notices[2].text, "/missing/clip.avi----無法找到這個檔案。");
  EXPECT_EQ(notices[3].text, "無法辨識的檔案格式");
  EXPECT_EQ(notices[4].text, "檔案： " + clip + "\n檔案已經存在！");
  EXPECT_EQ(notices[4].title, "警告");
  EXPECT_EQ(notices[4].icon, NoticeIcon::Warning);
}

TEST_F(VideoCollections, MovNeedsQuickTimeAndBusyScreensOnlyBeep) {
  const std::string clip = Video("clip.mov");
  VideoScreen screen = MakeVideoScreen(*m_registry);
  SetQuickTimeAvailable(false);
  EXPECT_EQ(AddVideoFiles(*m_registry, screen, {clip})[0], VideoFileResult::NeedsQuickTime);
  ASSERT_EQ(m_sink->notices.size(), 1u);
  EXPECT_NE(m_sink->notices[0].text.find("QuickTime"), std::string::npos);
  SetQuickTimeAvailable(true);
  screen.busy = true;
  EXPECT_EQ(AddVideoFiles(*m_registry, screen, {clip})[0], VideoFileResult::Busy);
  EXPECT_EQ(m_sink->beeps, 1);
  screen.busy = false;
  EXPECT_EQ(AddVideoFiles(*m_registry, screen, {clip})[0], VideoFileResult::Added);
}

TEST_F(VideoCollections, DeletingSourcesKeepsOrDeletesTheFiles) {
  const std::string kept = Video("kept.avi");
  const std::string gone = Video("gone.mpg");
  VideoScreen screen = MakeVideoScreen(*m_registry);
  AddVideoFiles(*m_registry, screen, {kept, gone});
  ASSERT_EQ(screen.sources.size(), 2u);
  EXPECT_EQ(DeleteVideoSources(*m_registry, screen, {0}, false), 1);
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_EQ(DeleteVideoSources(*m_registry, screen, {0}, true), 1);
  EXPECT_FALSE(fs::exists(gone));
  EXPECT_EQ(m_registry->GetCollectionCount(kVideoSource), 0);
  EXPECT_TRUE(screen.sources.empty());
  // A hand-edited source naming a folder never loses the folder.
  ASSERT_TRUE(
      m_registry->AddCollection(kVideoSource, "Video3", "dir", (m_dir / "videos").string(), 0));
  screen = MakeVideoScreen(*m_registry);
  EXPECT_EQ(DeleteVideoSources(*m_registry, screen, {0}, true), 1);
  EXPECT_TRUE(fs::is_directory(m_dir / "videos"));
}

bool OddSecondsFlat(int second) {
  return second % 2 == 1;
}
bool AllFlat(int) {
  return true;
}

TEST_F(VideoCollections, BuildSkipsFlatFramesOrKeepsThem) {
  const std::string clip = Video("walk.avi", SecondsVideo(4, 25, OddSecondsFlat));
  VideoScreen screen = MakeVideoScreen(*m_registry);
  AddVideoFiles(*m_registry, screen, {clip});
  AddSourcesToVideoCollections(*m_registry, screen, {0});
  ASSERT_EQ(m_registry->GetCollectionCount(kVideoCollection), 1);
  EXPECT_EQ(m_registry->GetCollectionKey(kVideoCollection, 0), "Video1.TXS");
  EXPECT_EQ(m_registry->GetCollectionName(kVideoCollection, 0), "walk");
  EXPECT_EQ(m_registry->GetCollectionStatus(kVideoCollection, 0), 1);
  ASSERT_EQ(screen.collections.size(), 1u);
  EXPECT_EQ(screen.collections[0].mark, kMarkBuild);

  VideoBuildCommandOutcome outcome =
      BuildVideoCollections(*m_registry, screen, 1000, m_options, nullptr);
  EXPECT_EQ(outcome.built, 1);
  EXPECT_EQ(screen.collections[0].mark, kMarkNone);
  VideoBuildSettings settings{m_options, true, nullptr, nullptr};
  VideoBuildProgress progress;
  EXPECT_NE(BuildFromVideo(*m_registry, "Video1", clip, 1000, settings, &progress), 0);
  EXPECT_EQ(progress.frames, 4);
  EXPECT_EQ(progress.tiles, 2);
  EXPECT_EQ(progress.flatSkipped, 2);
  settings.skipFlatFrames = false;
  EXPECT_NE(BuildFromVideo(*m_registry, "Video1", clip, 1000, settings, &progress), 0);
  EXPECT_EQ(progress.tiles, 4);
  EXPECT_TRUE(fs::exists(Index("Video1")));
  // Adding the same source again marks the collection instead of adding one.
  AddSourcesToVideoCollections(*m_registry, screen, {0});
  EXPECT_EQ(m_registry->GetCollectionCount(kVideoCollection), 1);
  EXPECT_EQ(screen.collections[0].mark, kMarkBuild);
}

TEST_F(VideoCollections, UnreadableOrAllFlatVideosLeaveNoIndex) {
  const std::string flat = Video("flat.mpg", SecondsVideo(2, 25, AllFlat));
  const std::string deleted = Video("deleted.avi");
  const std::string good = Video("good.mov", SecondsVideo(2, 25, OddSecondsFlat));
  VideoScreen screen = MakeVideoScreen(*m_registry);
  AddVideoFiles(*m_registry, screen, {flat, deleted, good});
  AddSourcesToVideoCollections(*m_registry, screen, {0, 1, 2});
  fs::remove(deleted);
  // The deleted video still lists.
  EXPECT_EQ(MakeVideoScreen(*m_registry).sources.size(), 3u);
  VideoBuildCommandOutcome outcome =
      BuildVideoCollections(*m_registry, screen, 500, m_options, nullptr);
  EXPECT_EQ(outcome.built, 1);
  EXPECT_EQ(outcome.failed, 2);
  EXPECT_FALSE(fs::exists(Index("Video1")));
  EXPECT_FALSE(fs::exists(Index("Video2")));
  EXPECT_TRUE(fs::exists(Index("Video3")));
  // Pruning then removes the two without an index.
  m_registry->PruneCollections();
  ASSERT_EQ(m_registry->GetCollectionCount(kVideoCollection), 1);
  EXPECT_EQ(m_registry->GetCollectionKey(kVideoCollection, 0), "Video3.TXS");
}

// Stops the build at the first frame, as Escape would.
class CancelAtFirstFrame : public VideoBuildObserver {
 public:
  void OnCollectionStarted(int, const std::string& title, int intervalMs) override {
    started.push_back(title);
    intervals.push_back(intervalMs);
  }
  void OnFrame(const VideoBuildProgress& progress, const PackedImage*) override {
    if (progress.frames == 1) RequestCancel();
  }
  std::vector<std::string> started;
  std::vector<int> intervals;
};

TEST_F(VideoCollections, CancelEndsTheBuildAfterTheCurrentCollection) {
  testing::TestVideo slow = SecondsVideo(3, 5, OddSecondsFlat);
  const std::string first = Video("first.avi", slow);
  const std::string second = Video("second.avi");
  VideoScreen screen = MakeVideoScreen(*m_registry);
  AddVideoFiles(*m_registry, screen, {first, second});
  AddSourcesToVideoCollections(*m_registry, screen, {0, 1});
  CancelAtFirstFrame observer;
  VideoBuildCommandOutcome outcome =
      BuildVideoCollections(*m_registry, screen, 100, m_options, &observer);
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_EQ(observer.started, std::vector<std::string>{"Video1"});
  // A 5 frames-per-second video is sampled at its frame length at least.
  EXPECT_EQ(observer.intervals, std::vector<int>{200});
  // The reading stopped after the first frame; what it gave stands.
  EXPECT_GT(IndexBytes("Video1"), 0);
  EXPECT_EQ(screen.collections[0].mark, kMarkNone);
  EXPECT_EQ(screen.collections[1].mark, kMarkBuild);
  EXPECT_FALSE(fs::exists(Index("Video2")));
}

TEST_F(VideoCollections, DeleteRemovesTickedCollectionsWithTheirTiles) {
  const std::string clip = Video("a.avi", SecondsVideo(2, 25, OddSecondsFlat));
  VideoScreen screen = MakeVideoScreen(*m_registry);
  AddVideoFiles(*m_registry, screen, {clip});
  AddSourcesToVideoCollections(*m_registry, screen, {0});
  BuildVideoCollections(*m_registry, screen, 1000, m_options, nullptr);
  ASSERT_TRUE(fs::exists(Index("Video1")));
  const fs::path tiles = m_registry->TileFolder(kVideoCollection, "Video1");
  EXPECT_TRUE(fs::exists(tiles));
  screen.collections[0].mark = kMarkTicked;
  DeleteVideoCollections(*m_registry, screen);
  EXPECT_EQ(m_registry->GetCollectionCount(kVideoCollection), 0);
  EXPECT_FALSE(fs::exists(Index("Video1")));
  EXPECT_FALSE(fs::exists(tiles));
  // The source stays.
  EXPECT_EQ(m_registry->GetCollectionCount(kVideoSource), 1);
  EXPECT_TRUE(ToggleSkipFlatFrames(screen) == false && ToggleSkipFlatFrames(screen));
}

}  // namespace
}  // namespace tx
