// tesserix-cli album and collection: a folder of photos becomes an album,
// the album a My Collection; a folder becomes a My Collection directly.

#include <gtest/gtest.h>

#include <filesystem>

#include "image/packed_image.h"
#include "rastio/rastio.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class CliCollection : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      PackedImage photo(CreatePackedImage(320, 240, 0x00204060u + 0x10u * std::uint32_t(i), 0));
      fs::path path = m_dir / "Summer" / ("photo" + std::to_string(i) + ".jpg");
      fs::create_directories(path.parent_path());
      ASSERT_EQ(EzSaveFile(photo.get(), path.c_str(), kSaveJpeg, nullptr), 0);
    }
  }
  CliRun Run(const std::string& arguments) {
    return RunCli(arguments, "TESSERIX_USER_DIR=" + (m_dir / "U").string());
  }
  std::string Photos() const { return (m_dir / "Summer").string(); }
  // `collection list` without the disc collections the program ships.
  std::string List() {
    std::string out = Run("collection list").out;
    std::string kept;
    std::size_t start = 0;
    while (start < out.size()) {
      std::size_t end = out.find('\n', start);
      end = end == std::string::npos ? out.size() : end + 1;
      if (out.compare(start, 2, "0\t") != 0) kept += out.substr(start, end - start);
      start = end;
    }
    return kept;
  }

  TempDir m_dir;
};

TEST_F(CliCollection, AnAlbumOfPhotosBecomesASelectedCollection) {
  ASSERT_EQ(Run("album create Trip").exitCode, 0);
  ASSERT_EQ(Run("album add-folder Trip " + Photos()).exitCode, 0);
  ASSERT_EQ(Run("collection add-album Trip").exitCode, 0);
  EXPECT_EQ(List(), "1\tTrip.TXS\tTrip\t0\t-\n");
  CliRun build = Run("collection build");
  EXPECT_EQ(build.exitCode, 0) << build.out;
  EXPECT_NE(build.out.find("Trip: built, 3 tiles, 0 photos skipped"), std::string::npos)
      << build.out;
  EXPECT_EQ(List(), "1\tTrip.TXS\tTrip\t1\t3\n");
  EXPECT_EQ(Run("collection select Trip.TXS 3").exitCode, 0);
  EXPECT_EQ(List(), "1\tTrip.TXS\tTrip\t3\t3\n");
  EXPECT_EQ(Run("collection select Trip.TXS 4").exitCode, 1);
  EXPECT_EQ(Run("collection add-album Nowhere").exitCode, 1);
}

TEST_F(CliCollection, AFolderBecomesACollectionAndCanBeDeleted) {
  CliRun first = Run("collection build-folder " + Photos());
  EXPECT_EQ(first.exitCode, 0) << first.out;
  EXPECT_NE(first.out.find("Summer.TXS"), std::string::npos);
  EXPECT_EQ(Run("collection build-folder " + Photos() + " --title Beach").exitCode, 0);
  EXPECT_EQ(List(), "1\tSummer.TXS\tSummer\t1\t3\n1\tBeach.TXS\tSummer\t1\t3\n");
  EXPECT_EQ(Run("collection delete Summer.TXS").exitCode, 0);
  EXPECT_EQ(List(), "1\tBeach.TXS\tSummer\t1\t3\n");
  EXPECT_FALSE(fs::exists(m_dir / "U" / "MyData" / "mycollection" / "Summer"));

  // Hostile titles and folders are refused, nothing is written outside U.
  EXPECT_EQ(Run("collection build-folder " + Photos() + " --title ../../escape").exitCode, 1);
  EXPECT_EQ(Run("collection build-folder " + (m_dir / "missing").string()).exitCode, 1);
  EXPECT_FALSE(fs::exists(m_dir / "escape.TXS"));
  EXPECT_EQ(Run("collection delete Nothing.TXS").exitCode, 1);
}

}  // namespace
}  // namespace tx
