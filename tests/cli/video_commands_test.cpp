// tesserix-cli video and the video collection commands: a phone's video
// becomes a video source, then a video collection a montage is made of.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "image/packed_image.h"
#include "rastio/rastio.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_images.h"
#include "tests/support/test_videos.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class CliVideo : public ::testing::Test {
 protected:
  CliRun Run(const std::string& arguments) {
    return RunCli(arguments, "TESSERIX_USER_DIR=" + (m_dir / "U").string());
  }
  // A 3-second 25 fps video in the container of `name`'s extension.
  std::string Video(const std::string& name) {
    testing::TestVideo video;
    video.width = 96;
    video.height = 64;
    video.frameCount = 75;
    const fs::path path = m_dir / name;
    std::string error;
    EXPECT_TRUE(testing::WriteTestVideo(path, video, error)) << error;
    return path.string();
  }
  TempDir m_dir;
};

TEST_F(CliVideo, APhoneVideoBecomesACollectionForAMontage) {
  const std::string phone = Video("VID_20260704.mp4");
  CliRun add = Run("video add " + phone);
  ASSERT_EQ(add.exitCode, 0) << add.out;
  EXPECT_EQ(add.out, "Video1\t" + phone + "\n");
  EXPECT_EQ(Run("video list").out, "Video1\tVID_20260704\t" + phone + "\n");
  // Registered again: refused with the already-exists box, nothing added.
  CliRun again = Run("video add " + phone);
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.out.find("already registered"), std::string::npos) << again.out;

  ASSERT_EQ(Run("collection add-video Video1").exitCode, 0);
  CliRun build = Run("collection build-video --interval 500");
  ASSERT_EQ(build.exitCode, 0) << build.out;
  EXPECT_NE(build.out.find("Video1: built, 6 tiles from 6 frames, 0 flat frames skipped"),
            std::string::npos)
      << build.out;
  EXPECT_NE(Run("collection list").out.find("2\tVideo1.TXS\tVID_20260704\t1\t6\n"),
            std::string::npos);

  PackedImage target(CreatePackedImage(64, 48, 0x00806040, 0));
  const std::string targetPath = (m_dir / "target.png").string();
  ASSERT_EQ(EzSaveFile(target.get(), targetPath.c_str(), kSaveByExtension, nullptr), 0);
  CliRun montage = Run("montage " + targetPath + " -o " + (m_dir / "out.jpg").string() +
                       " --use Video1.TXS:1 --yes");
  EXPECT_EQ(montage.exitCode, 0) << montage.out;
  EXPECT_TRUE(fs::exists(m_dir / "out.jpg"));
}

TEST_F(CliVideo, RefusedFilesAndDeletion) {
  const std::string good = Video("clip.avi");
  const fs::path text = m_dir / "notes.txt";
  std::ofstream(text) << "hello";
  CliRun add = Run("video add " + text.string() + " " + good + " " + (m_dir / "gone.avi").string());
  EXPECT_EQ(add.exitCode, 1);
  EXPECT_NE(add.out.find("not a video type we take"), std::string::npos) << add.out;
  EXPECT_NE(add.out.find("no such file"), std::string::npos) << add.out;
  EXPECT_NE(add.out.find("Video1\t" + good), std::string::npos) << add.out;
  EXPECT_EQ(Run("collection add-video Video9").exitCode, 1);
  EXPECT_EQ(Run("video delete Video9").exitCode, 1);
  EXPECT_EQ(Run("video delete Video1").exitCode, 0);
  EXPECT_TRUE(fs::exists(good));
  EXPECT_EQ(Run("video list").out, "");
  ASSERT_EQ(Run("video add " + good).exitCode, 0);
  EXPECT_EQ(Run("video delete Video1 --delete-file").exitCode, 0);
  EXPECT_FALSE(fs::exists(good));
}

}  // namespace
}  // namespace tx
