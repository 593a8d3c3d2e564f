// The montage settings: profile keys, the tables, the output-size estimate
// and the rules that keep it under the limit, and the run parameters.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>

#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "montage/montage_settings.h"
#include "resources/resource_binding.h"
#include "resources/string_ids.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::TempDir;

// A fresh user profile in a temporary folder, with the resource library
// bound so that the keys have their names.
class MontageSettingsProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    std::filesystem::create_directories(m_dir / "user");
    Configuration::SetCurrent(
        std::make_unique<Configuration>(m_dir / "Tesserix.set", m_dir / "user" / "Tesserix.ini"));
  }
  void TearDown() override {
    Configuration::SetCurrent(nullptr);
    ReleaseResourceLibrary();
  }
  TempDir m_dir;
};

TEST_F(MontageSettingsProfile, EmptyProfileGivesTheDefaults) {
  const MontageSettings settings = LoadMontageSettings();
  EXPECT_EQ(settings, MontageSettings{});
  EXPECT_EQ(settings.position, 3);  // caption below the picture, outside it
  EXPECT_EQ(settings.allowColor, 1);
}

TEST_F(MontageSettingsProfile, SavedSettingsReadBack) {
  const MontageSettings saved{7, 0, 1, 1, 2, 5, 0, 1, 1};
  ASSERT_TRUE(SaveMontageSettings(saved));
  EXPECT_EQ(LoadMontageSettings(), saved);
}

TEST_F(MontageSettingsProfile, MissingPositionKeyReadsThree) {
  MontageSettings saved;
  saved.position = 0;
  saved.blockNum = 4;
  ASSERT_TRUE(SaveMontageSettings(saved));
  // Drop the position line from the profile, keep the others.
  const std::filesystem::path profile = m_dir / "user" / "Tesserix.ini";
  std::ifstream in(profile);
  std::string text;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Position", 0) != 0) text += line + "\n";
  }
  in.close();
  std::ofstream(profile, std::ios::trunc) << text;
  const MontageSettings loaded = LoadMontageSettings();
  EXPECT_EQ(loaded.position, 3);
  EXPECT_EQ(loaded.blockNum, 4);
}

TEST_F(MontageSettingsProfile, OutOfRangeValuesReadAsDefaults) {
  ASSERT_TRUE(WriteUserIntById(kKeyBlockNum, 8));
  ASSERT_TRUE(WriteUserIntById(kKeyResolution, -1));
  ASSERT_TRUE(WriteUserIntById(kKeyUsage, 3));
  ASSERT_TRUE(WriteUserIntById(kKeyGridBorder, 6));
  ASSERT_TRUE(WriteUserIntById(kKeyPosition, 4));
  ASSERT_TRUE(WriteUserIntById(kKeyAllowColor, 2));
  EXPECT_EQ(LoadMontageSettings(), MontageSettings{});
}

TEST(CountTable, EntriesFollowTheTopValue) {
  struct Case {
    int maxImageNum;
    std::array<int, 8> table;
  };
  const Case cases[] = {
      {2000, {600, 800, 1000, 1200, 1400, 1600, 1800, 2000}},
      {1000, {600, 657, 714, 771, 828, 885, 942, 1000}},
      {100, {600, 600, 600, 600, 600, 600, 600, 600}},
      {-5, {600, 600, 600, 600, 600, 600, 600, 600}},
      // Large enough that (max - 600) x 6 would wrap 32 bits.
      {2000000000,
       {600, 285714800, 571429000, 857143200, 1142857400, 1428571600, 1714285800, 2000000000}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountTable(c.maxImageNum), c.table) << "MaxImageNum " << c.maxImageNum;
  }
}

TEST(MontageTables, GridAndBorderValues) {
  struct Case {
    int value;
    bool grid;
    int border;
  };
  const Case cases[] = {{0, false, 0}, {1, false, 40}, {2, false, 120}, {3, true, 0},
                        {4, true, 40}, {5, true, 120}, {6, false, 0},   {-1, false, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(GridLinesOf(c.value), c.grid) << c.value;
    EXPECT_EQ(BorderWidthOf(c.value), c.border) << c.value;
  }
  EXPECT_EQ(UsageLimitTable(), (std::array<int, 3>{0, 9, 10000}));
}

TEST(OutputEstimate, NoTargetIsZero) {
  const StartupSettings startup;
  MontageSettings settings;
  settings.blockNum = 7;
  settings.resolution = 1;
  EXPECT_EQ(EstimateOutputMegabytes(0, 0, settings, startup), 0);
  EXPECT_EQ(EstimateOutputMegabytes(1600, 0, settings, startup), 0);
  // Without a target neither list lowers the other.
  StartupSettings tight;
  tight.outputSizeLimit = 1;
  EXPECT_EQ(PickResolution(0, 0, settings, tight), 7);
  EXPECT_EQ(PickTileCount(0, 0, settings, tight), 1);
}

TEST(OutputEstimate, CountsCellsTimesScaleSquared) {
  const StartupSettings startup;
  MontageSettings settings;
  // 160 x 120 is below every count: 20 x 20 cells of 8 x 6.
  settings.resolution = 1;  // scale 15
  EXPECT_EQ(EstimateOutputMegabytes(160, 120, settings, startup), 400 * 15 * 15 * 48 * 3 / 1048576);
  // A tiny target still counts at least 1 megabyte.
  EXPECT_EQ(EstimateOutputMegabytes(8, 6, settings, startup), 1);
  // A scale from the settings file too large for 32-bit arithmetic.
  StartupSettings huge;
  huge.defaultResolutionM = 40000;
  EXPECT_GT(EstimateOutputMegabytes(160, 120, settings, huge), 1000000);
}

TEST(OutputEstimate, LimitIsStrict) {
  StartupSettings startup;
  MontageSettings settings;
  settings.blockNum = 7;
  settings.resolution = 1;
  const int top = EstimateOutputMegabytes(3000, 2000, settings, startup);
  settings.resolution = 0;
  const int small = EstimateOutputMegabytes(3000, 2000, settings, startup);
  ASSERT_GT(top, small);

  // New tile count 7 at resolution 1: an estimate equal to the limit stays.
  settings.resolution = 1;
  startup.outputSizeLimit = top;
  EXPECT_EQ(PickTileCount(3000, 2000, settings, startup), 1);
  startup.outputSizeLimit = top - 1;
  EXPECT_EQ(PickTileCount(3000, 2000, settings, startup), 0);

  // New resolution 1 at tile count 7: lowered step by step until it fits.
  startup.outputSizeLimit = top;
  EXPECT_EQ(PickResolution(3000, 2000, settings, startup), 7);
  startup.outputSizeLimit = top - 1;
  const int blockNum = PickResolution(3000, 2000, settings, startup);
  EXPECT_LT(blockNum, 7);
  MontageSettings lowered = settings;
  lowered.blockNum = blockNum;
  EXPECT_LE(EstimateOutputMegabytes(3000, 2000, lowered, startup), top - 1);
  lowered.blockNum = blockNum + 1;
  EXPECT_GT(EstimateOutputMegabytes(3000, 2000, lowered, startup), top - 1);
  // Nothing fits: the tile count stops at 0.
  startup.outputSizeLimit = 0;
  EXPECT_EQ(PickResolution(3000, 2000, settings, startup), 0);
}

TEST(RunParameters, CopiedFromSettingsAndSwitches) {
  StartupSettings startup;
  startup.defaultResolutionS = 11;
  startup.defaultResolutionM = 17;
  startup.maxImageNumAtLeast600 = 1000;
  MontageSettings settings{2, 0, 1, 1, 1, 4, 0, 1, 0};
  RunParameters run = MakeRunParameters(settings, startup);
  EXPECT_EQ(run.cellWidth, 8);
  EXPECT_EQ(run.cellHeight, 6);
  EXPECT_TRUE(run.staggered);
  EXPECT_EQ(run.scale, 17);
  EXPECT_TRUE(run.grid);
  EXPECT_EQ(run.borderWidth, 40);
  EXPECT_EQ(run.cellCount, 714);
  EXPECT_TRUE(run.signature);
  EXPECT_FALSE(run.treasure);
  EXPECT_FALSE(run.colourAllowed);
  EXPECT_EQ(run.usageLimit, 9);
  EXPECT_FALSE(run.randomOrder || run.unlimited || run.forVanteo || run.exactOrder);

  startup.orientation = 1;
  startup.random = 1;
  startup.unlimited = 1;
  startup.forVanteo = 1;
  startup.useExactOrder = 1;
  settings = MontageSettings{};
  settings.usage = 2;
  run = MakeRunParameters(settings, startup);
  EXPECT_EQ(run.cellWidth, 6);
  EXPECT_EQ(run.cellHeight, 8);
  EXPECT_EQ(run.scale, 11);
  EXPECT_FALSE(run.grid);
  EXPECT_EQ(run.borderWidth, 0);
  EXPECT_EQ(run.cellCount, 600);
  EXPECT_EQ(run.usageLimit, 10000);
  EXPECT_TRUE(run.randomOrder && run.unlimited && run.forVanteo && run.exactOrder);
}

}  // namespace
}  // namespace tx
