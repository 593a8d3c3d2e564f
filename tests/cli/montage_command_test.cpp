// tesserix-cli montage: a montage from a collection built from a folder,
// its plan, and the refusals.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "image/image_lock.h"
#include "rastio/rastio.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class CliMontage : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 4; ++i) {
      std::uint32_t gray = std::uint32_t(40 + 60 * i);
      PackedImage photo(CreatePackedImage(160, 120, gray | gray << 8 | gray << 16, 0));
      fs::path path = m_dir / "photos" / ("p" + std::to_string(i) + ".png");
      fs::create_directories(path.parent_path());
      ASSERT_EQ(EzSaveFile(photo.get(), path.c_str(), kSaveByExtension, nullptr), 0);
    }
    ASSERT_EQ(Run("collection build-folder " + (m_dir / "photos").string()).exitCode, 0);
    PackedImage target(CreatePackedImage(64, 48, 0x00808080, 0));
    ASSERT_EQ(EzSaveFile(target.get(), Path("target.png").c_str(), kSaveByExtension, nullptr), 0);
  }
  CliRun Run(const std::string& arguments) {
    return RunCli(arguments, "TESSERIX_USER_DIR=" + (m_dir / "U").string());
  }
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }

  TempDir m_dir;
};

TEST_F(CliMontage, MakesTheMontageAndItsPlan) {
  CliRun run = Run("montage " + Path("target.png") + " -o " + Path("m.jpg") +
                   " --yes --use photos.TXS:1 --usage 2 --colour-variation 0 --plan-out " +
                   Path("plan.json"));
  ASSERT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("64 cells, 4 tiles loaded"), std::string::npos) << run.out;
  std::uint16_t width = 0, height = 0;
  PackedImage montage(EzOpenFile(Path("m.jpg").c_str(), 0, 0));
  ASSERT_TRUE(montage);
  GetImageSize(montage.get(), width, height);
  EXPECT_EQ(width, 8 * 80);
  EXPECT_EQ(height, 8 * 60);
  std::ifstream in(Path("plan.json"));
  std::stringstream plan;
  plan << in.rdbuf();
  EXPECT_EQ(plan.str().rfind("{\"cols\": 8, \"rows\": 8, \"order\": [[3, 4], ", 0), 0u)
      << plan.str();
  EXPECT_NE(plan.str().find("\"photos.TXS\""), std::string::npos);
}

TEST_F(CliMontage, RefusesWhatItCannotDo) {
  // Only the test's collection, not the sample the program ships.
  std::string out = " -o " + Path("m.jpg") + " --use photos.TXS:1";
  EXPECT_EQ(Run("montage " + Path("missing.png") + out).exitCode, 1);
  CliRun few = Run("montage " + Path("target.png") + out + " --colour-variation 0");
  EXPECT_EQ(few.exitCode, 1);
  EXPECT_NE(few.out.find("--yes"), std::string::npos) << few.out;
  EXPECT_EQ(Run("montage " + Path("target.png") + out + " --use Nothing.TXS:1").exitCode, 1);
  EXPECT_EQ(Run("montage " + Path("target.png") + out + " --count-index 9").exitCode, 1);
  CliRun none =
      Run("montage " + Path("target.png") + " -o " + Path("m.jpg") + " --use photos.TXS:0");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_FALSE(fs::exists(Path("m.jpg")));
}

}  // namespace
}  // namespace tx
