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

TEST_F(CliMontage, WritesTheMatchMapAndTheReport) {
  const std::string common = "montage " + Path("target.png") + " -o " + Path("m.png") +
                             " --yes --use photos.TXS:1 --usage 2 --colour-variation 0";
  CliRun run = Run(common + " --match-map " + Path("map.png") + " --report " + Path("report.json") +
                   " --report-swatches " + Path("swatches.png"));
  ASSERT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("match distance median "), std::string::npos) << run.out;
  auto sizeOf = [&](const std::string& name) {
    std::uint16_t width = 0, height = 0;
    PackedImage picture(EzOpenFile(Path(name).c_str(), 0, 0));
    if (picture) GetImageSize(picture.get(), width, height);
    return std::pair<int, int>(width, height);
  };
  // 8 x 8 cells of 8 x 6 pixels above the legend strip, which is at least
  // 360 pixels wide.
  EXPECT_EQ(sizeOf("map.png"), std::make_pair(360, 48 + 56));
  EXPECT_GT(sizeOf("swatches.png").first, 0);
  std::ifstream in(Path("report.json"));
  std::stringstream report;
  report << in.rdbuf();
  const std::string text = report.str();
  // The grey target (128) is served by the grey tiles of 100 and 160:
  // 28 and 32 levels off in every channel, 48 x 3 x 28^2 = 112896 and
  // 48 x 3 x 32^2 = 147456 per cell.
  EXPECT_EQ(text.rfind("{\"distance\": {\"median\": 112896, \"p95\": 147456},", 0), 0u) << text;
  EXPECT_NE(text.find("{\"key\": \"photos.TXS\", \"loaded\": 4, \"used\": 64, \"distinct\": 2, "
                      "\"max_uses\": 37}"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("{\"col\": 0, \"row\": 0, \"distance\": 147456, \"mean\": \"808080\", "
                      "\"key\": \"photos.TXS\", \"tile\": 2}"),
            std::string::npos)
      << text;
  EXPECT_NE(
      text.find("\"gaps\": [\n  {\"share\": 1.0000, \"mean\": \"808080\", \"nearest\": 112896}]"),
      std::string::npos)
      << text;

  ASSERT_EQ(Run(common + " --match-map " + Path("full.png") + " --match-map-scale full").exitCode,
            0);
  EXPECT_EQ(sizeOf("full.png"), std::make_pair(640, 480 + 56));
  EXPECT_EQ(Run(common + " --match-map-scale half").exitCode, 1);
  EXPECT_EQ(Run(common + " --report " + Path("no/such/folder/r.json")).exitCode, 1);
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
