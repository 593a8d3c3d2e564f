#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_images.h"
#include "tests/support/test_videos.h"
#include "tests/video/video_test_fixture.h"
#include "video/video_api.h"
#include "video/video_reader_p.h"

namespace tx {
namespace {

using testing::IndexPainter;
using testing::TestVideo;
using videotest::Collector;
using videotest::FrameIndex;

std::vector<int> FrameIndices(const std::vector<PackedImage>& frames) {
  std::vector<int> indices;
  for (const PackedImage& frame : frames)
    indices.push_back(FrameIndex(frame.get()));
  return indices;
}

// The first frame at or after each multiple of the interval, each once.
std::vector<int> ExpectedIndices(int frameCount, int framesPerSecond, int intervalMs) {
  std::vector<int> indices;
  for (std::int64_t k = 0;; ++k) {
    std::int64_t index = (k * intervalMs * framesPerSecond + 999) / 1000;
    if (index >= frameCount) break;
    if (indices.empty() || index > indices.back()) indices.push_back(int(index));
  }
  return indices;
}

void ExpectIndicesNear(const std::vector<int>& actual, const std::vector<int>& expected,
                       int slack) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], slack) << "frame " << i;
    if (i > 0) {
      EXPECT_GT(actual[i], actual[i - 1]);
    }
  }
}

TestVideo IndexVideo(int seconds, int framesPerSecond = 25) {
  TestVideo video;
  video.framesPerSecond = framesPerSecond;
  video.frameCount = seconds * framesPerSecond;
  video.paint = IndexPainter(video.width, video.height);
  return video;
}

class VideoRead : public videotest::VideoFixture {
 protected:
  std::string Write(const std::string& name, const TestVideo& video) {
    std::string error;
    std::filesystem::path path = dir / name;
    EXPECT_TRUE(testing::WriteTestVideo(path, video, error)) << name << ": " << error;
    return path.string();
  }

  // Reads `path` and checks the result and output word agree.
  std::vector<int> Read(const std::string& path, int intervalMs) {
    collector.frames.clear();
    std::uint32_t output = 12345;
    EXPECT_NE(ReadVideoImage(path.c_str(), 2, intervalMs, &output), 0) << path;
    EXPECT_EQ(output, collector.frames.size()) << path;
    return FrameIndices(collector.frames);
  }
};

const char* const kContainers[] = {".avi", ".mpg", ".mov", ".mp4", ".mkv"};

TEST_F(VideoRead, SamplesOneFramePerIntervalInEveryContainer) {
  for (const char* extension : kContainers) {
    SCOPED_TRACE(extension);
    std::string path = Write(std::string("clip") + extension, IndexVideo(4));
    EXPECT_EQ(Read(path, 1000), (std::vector<int>{0, 25, 50, 75}));
    for (const PackedImage& frame : collector.frames) {
      EXPECT_EQ(GetImageBitCount(frame.get()), 24);
      std::uint16_t width = 0;
      std::uint16_t height = 0;
      ASSERT_TRUE(GetImageSize(frame.get(), width, height));
      EXPECT_EQ(width, 64);
      EXPECT_EQ(height, 48);
    }
    // An interval of one frame, or less, delivers every frame once.
    EXPECT_EQ(Read(path, 40), ExpectedIndices(100, 25, 40));
    EXPECT_EQ(Read(path, 7), ExpectedIndices(100, 25, 40));
  }
}

TEST_F(VideoRead, IntervalsBetweenFramesPickTheFirstFrameAtOrAfterEachMultiple) {
  std::string path = Write("clip.avi", IndexVideo(4));
  for (int interval : {100, 330, 1500, 3999, 4000, 100000}) {
    SCOPED_TRACE(interval);
    EXPECT_EQ(Read(path, interval), ExpectedIndices(100, 25, interval));
  }
}

TEST_F(VideoRead, IntervalsBelowOneMillisecondActAsOne) {
  std::string path = Write("clip.mkv", IndexVideo(1));
  EXPECT_EQ(Read(path, 0), ExpectedIndices(25, 25, 1));
  EXPECT_EQ(Read(path, -500), ExpectedIndices(25, 25, 1));
}

TEST_F(VideoRead, SeekingGivesTheFramesDecodingEverythingWould) {
  for (const char* extension : kContainers) {
    SCOPED_TRACE(extension);
    std::string path = Write(std::string("long") + extension, IndexVideo(20));
    std::uint64_t seeksBefore = video::SeekCount();
    std::uint64_t decodedBefore = video::DecodedFrameCount();
    EXPECT_EQ(Read(path, 5000), (std::vector<int>{0, 125, 250, 375}));
    // Program streams are decoded throughout: their times after a seek are
    // not exact.
    if (std::string(extension) != ".mpg") {
      EXPECT_GT(video::SeekCount(), seeksBefore);
      EXPECT_LT(video::DecodedFrameCount() - decodedBefore, 250u);
    }
    // Targets just past a keyframe and ones just before one. In the last
    // second of a program stream FFmpeg's writer and reader disagree on the
    // frame times by one frame.
    int slack = std::string(extension) == ".mpg" ? 1 : 0;
    ExpectIndicesNear(Read(path, 2520), ExpectedIndices(500, 25, 2520), slack);
    ExpectIndicesNear(Read(path, 1960), ExpectedIndices(500, 25, 1960), slack);
  }
}

TEST_F(VideoRead, FramesAreStoredBottomRowFirst) {
  TestVideo video;
  video.frameCount = 5;
  video.paint = [&](int, std::uint8_t* bgr) {
    for (int y = 0; y < video.height; ++y) {
      for (int x = 0; x < video.width; ++x) {
        std::uint8_t* pixel = bgr + (y * video.width + x) * 3;
        bool top = y < video.height / 2;
        pixel[0] = top ? 0 : 255;
        pixel[2] = top ? 255 : 0;
      }
    }
  };
  std::string path = Write("halves.mov", video);
  ASSERT_EQ(Read(path, 1000).size(), 1u);
  ImageLock lock(collector.frames[0].get());
  ASSERT_TRUE(lock);
  const std::uint8_t* bottom = lock.row(0);
  const std::uint8_t* top = lock.row(lock.height() - 1);
  EXPECT_GT(bottom[0], 200);  // blue
  EXPECT_LT(bottom[2], 50);
  EXPECT_LT(top[0], 50);
  EXPECT_GT(top[2], 200);  // red
}

TEST_F(VideoRead, BreakInsideTheCallbackStopsAfterThatFrame) {
  std::string path = Write("clip.mpg", IndexVideo(4));
  collector.breakAfter = 2;
  EXPECT_EQ(Read(path, 40), (std::vector<int>{0, 1}));
  // The next read starts afresh.
  collector.breakAfter = 0;
  EXPECT_EQ(Read(path, 1000), (std::vector<int>{0, 25, 50, 75}));
}

TEST_F(VideoRead, RefusesWithoutCallbackOrWithAnUnknownMode) {
  std::string path = Write("clip.avi", IndexVideo(1));
  std::uint32_t output = 99;
  for (int mode : {0, 1, 3, -2}) {
    EXPECT_EQ(ReadVideoImage(path.c_str(), mode, 1000, &output), 0) << mode;
    EXPECT_EQ(output, 0u);
  }
  InitProc(nullptr, nullptr);
  output = 99;
  EXPECT_EQ(ReadVideoImage(path.c_str(), 2, 1000, &output), 0);
  EXPECT_EQ(output, 0u);
  EXPECT_TRUE(collector.frames.empty());
  // A null output word is allowed.
  InitProc(&Collector::Receive, &collector);
  EXPECT_NE(ReadVideoImage(path.c_str(), 2, 1000, nullptr), 0);
  EXPECT_EQ(collector.frames.size(), 1u);
}

// A callback that starts a second read while the first runs.
struct NestedReader {
  std::string path;
  std::vector<int> nestedResults;
  std::vector<PackedImage> frames;
  static void Receive(void* frame, void* context) {
    auto* self = static_cast<NestedReader*>(context);
    self->frames.emplace_back(frame);
    self->nestedResults.push_back(ReadVideoImage(self->path.c_str(), 2, 1000, nullptr));
  }
};

TEST_F(VideoRead, ASecondReadFromInsideTheCallbackIsRefused) {
  NestedReader nested;
  nested.path = Write("clip.avi", IndexVideo(2));
  InitProc(&NestedReader::Receive, &nested);
  EXPECT_NE(ReadVideoImage(nested.path.c_str(), 2, 1000, nullptr), 0);
  EXPECT_EQ(nested.frames.size(), 2u);
  EXPECT_EQ(nested.nestedResults, (std::vector<int>{0, 0}));
}

TEST_F(VideoRead, InfoGivesRateDurationAndSize) {
  struct Case {
    const char* name;
    int framesPerSecond;
  };
  for (Case c : {Case{"a.avi", 25}, Case{"a.mpg", 30}, Case{"a.mov", 25}, Case{"a.mp4", 12},
                 Case{"a.mkv", 25}}) {
    SCOPED_TRACE(c.name);
    TestVideo video;
    video.width = 80;
    video.height = 60;
    video.framesPerSecond = c.framesPerSecond;
    video.frameCount = 4 * c.framesPerSecond;
    std::string path = Write(c.name, video);
    std::uint32_t rate = 0;
    std::uint32_t duration = 0;
    std::uint32_t size = 0;
    ASSERT_NE(GetVideoInfo(path.c_str(), &rate, &duration, &size), 0);
    EXPECT_EQ(rate, std::uint32_t(c.framesPerSecond));
    EXPECT_NEAR(double(duration), 4000.0, 100.0);
    EXPECT_EQ(size, 80u << 16 | 60u);
    EXPECT_NE(GetVideoInfo(path.c_str(), nullptr, nullptr, nullptr), 0);
  }
}

TEST_F(VideoRead, PreviewPlaysEveryFrameInOrderThenEnds) {
  std::string path = Write("clip.mp4", IndexVideo(2));
  EXPECT_EQ(GetVideoFrame(), nullptr);  // no preview yet
  ASSERT_NE(StartPlay(path.c_str()), 0);
  std::vector<PackedImage> frames;
  while (void* frame = GetVideoFrame()) {
    frames.emplace_back(frame);
    ASSERT_LE(frames.size(), 50u);
  }
  EXPECT_EQ(FrameIndices(frames), ExpectedIndices(50, 25, 40));
  EXPECT_EQ(GetVideoFrame(), nullptr);

  // Starting again begins at the first frame; EndPlay stops it.
  ASSERT_NE(StartPlay(path.c_str()), 0);
  PackedImage first(GetVideoFrame());
  EXPECT_EQ(FrameIndex(first.get()), 0);
  EndPlay();
  EXPECT_EQ(GetVideoFrame(), nullptr);

  // A failed start ends the preview that was playing.
  ASSERT_NE(StartPlay(path.c_str()), 0);
  EXPECT_EQ(StartPlay((dir / "missing.mp4").string().c_str()), 0);
  EXPECT_EQ(GetVideoFrame(), nullptr);
}

}  // namespace
}  // namespace tx
