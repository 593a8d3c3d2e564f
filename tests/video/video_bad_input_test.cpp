#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_images.h"
#include "tests/support/test_videos.h"
#include "tests/video/video_test_fixture.h"
#include "video/video_api.h"

namespace tx {
namespace {

using testing::TestVideo;
using videotest::FrameIndex;

void WriteBytes(const std::filesystem::path& path, const std::vector<char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<char> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

class VideoBadInput : public videotest::VideoFixture {
 protected:
  // Every call refuses the path and leaves the output words alone.
  void ExpectRefused(const char* path) {
    SCOPED_TRACE(path ? path : "(null)");
    std::uint32_t output = 77;
    EXPECT_EQ(ReadVideoImage(path, 2, 1000, &output), 0);
    EXPECT_EQ(output, 0u);
    EXPECT_TRUE(collector.frames.empty());
    std::uint32_t rate = 1;
    std::uint32_t duration = 2;
    std::uint32_t size = 3;
    EXPECT_EQ(GetVideoInfo(path, &rate, &duration, &size), 0);
    EXPECT_EQ(rate, 1u);
    EXPECT_EQ(duration, 2u);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(StartPlay(path), 0);
    EXPECT_EQ(GetVideoFrame(), nullptr);
  }
};

TEST_F(VideoBadInput, PathsThatNameNoFile) {
  ExpectRefused(nullptr);
  ExpectRefused("");
  ExpectRefused((dir / "missing.avi").string().c_str());
  ExpectRefused(dir.path().string().c_str());
  std::filesystem::create_directory(dir / "folder.avi");
  ExpectRefused((dir / "folder.avi").string().c_str());
  // Protocol-like names are file names; none of these exist.
  ExpectRefused("concat:/etc/hostname|/etc/hostname");
  ExpectRefused("http://127.0.0.1:9/clip.avi");
}

TEST_F(VideoBadInput, FilesThatAreNotVideos) {
  std::string error;
  ASSERT_TRUE(testing::WriteTestJpeg(dir / "still.jpg", 64, 48, error)) << error;
  ExpectRefused((dir / "still.jpg").string().c_str());
  // Named as a video, read by content.
  std::filesystem::copy_file(dir / "still.jpg", dir / "still.avi");
  ExpectRefused((dir / "still.avi").string().c_str());

  std::mt19937 random(20240611);
  std::vector<char> noise(64 * 1024);
  for (char& c : noise)
    c = char(random());
  WriteBytes(dir / "noise.avi", noise);
  ExpectRefused((dir / "noise.avi").string().c_str());
  WriteBytes(dir / "empty.mp4", {});
  ExpectRefused((dir / "empty.mp4").string().c_str());

  ASSERT_TRUE(testing::WriteAudioOnlyFile(dir / "sound.wav", error)) << error;
  ExpectRefused((dir / "sound.wav").string().c_str());
}

TEST_F(VideoBadInput, FramesClaimingAHugeSizeAreRefused) {
  std::string error;
  ASSERT_TRUE(testing::WriteClaimedSizeVideo(dir / "wide.avi", 20000, 16, error)) << error;
  ExpectRefused((dir / "wide.avi").string().c_str());
  ASSERT_TRUE(testing::WriteClaimedSizeVideo(dir / "vast.avi", 9000, 9000, error)) << error;
  ExpectRefused((dir / "vast.avi").string().c_str());
}

// A truncated file gives either nothing or the frames before the cut, in
// order, and ends promptly.
TEST_F(VideoBadInput, TruncatedVideosGiveTheFramesBeforeTheCut) {
  TestVideo video;
  video.frameCount = 100;
  video.paint = testing::IndexPainter(video.width, video.height);
  for (const char* extension : {".avi", ".mpg", ".mov", ".mkv"}) {
    std::string error;
    std::filesystem::path whole = dir / (std::string("whole") + extension);
    ASSERT_TRUE(testing::WriteTestVideo(whole, video, error)) << error;
    std::vector<char> bytes = ReadBytes(whole);
    for (int percent : {1, 10, 50, 90, 99}) {
      SCOPED_TRACE(std::string(extension) + " cut at " + std::to_string(percent) + "%");
      std::filesystem::path cut = dir / (std::to_string(percent) + extension);
      WriteBytes(cut,
                 std::vector<char>(bytes.begin(), bytes.begin() + bytes.size() * percent / 100));
      auto start = std::chrono::steady_clock::now();
      collector.frames.clear();
      std::uint32_t output = 0;
      int result = ReadVideoImage(cut.string().c_str(), 2, 40, &output);
      EXPECT_EQ(output, collector.frames.size());
      if (result == 0) {
        EXPECT_TRUE(collector.frames.empty());
      }
      EXPECT_LE(collector.frames.size(), 100u);
      // Every frame but the last, which the cut may have damaged, is the one
      // the whole file has there.
      for (std::size_t i = 0; i + 1 < collector.frames.size(); ++i) {
        EXPECT_EQ(FrameIndex(collector.frames[i].get()), int(i));
      }

      if (StartPlay(cut.string().c_str())) {
        std::size_t played = 0;
        while (PackedImage frame{GetVideoFrame()})
          ASSERT_LE(++played, 100u);
      }
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    }
  }
}

// A stream whose colour-space field holds a number outside FFmpeg's list
// (found by the fuzzer): read as an unknown colour space, never as an
// invalid value.
TEST_F(VideoBadInput, AnUnknownColourSpaceIsReadAsUnknown) {
  const std::string path = std::string(TESSERIX_VIDEO_DATA) + "/unknown-colour-space.bin";
  std::uint32_t output = 0;
  ReadVideoImage(path.c_str(), 2, 200, &output);
  EXPECT_EQ(output, collector.frames.size());
}

}  // namespace
}  // namespace tx
