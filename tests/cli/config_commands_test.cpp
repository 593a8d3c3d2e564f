// tesserix-cli string and config: the catalogue and the configuration files
// from the command line.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cli_run.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::TempDir;

class CliConfig : public ::testing::Test {
 protected:
  CliRun Run(const std::string& arguments, const std::string& language = "") {
    std::string environment = "TESSERIX_USER_DIR=" + m_dir.path().string();
    if (!language.empty()) environment += " TESSERIX_LANG=" + language;
    return RunCli(arguments, environment);
  }
  TempDir m_dir;
};

TEST_F(CliConfig, StringPrintsTheCatalogueTextOfTheChosenLanguage) {
  EXPECT_EQ(Run("string 100001").out, "Tesserix文件\n");
  EXPECT_EQ(Run("string 34465", "en").out, "Tesserix Document\n");
  EXPECT_EQ(Run("string 6100").out, "%d 張以內\n");
  CliRun missing = Run("string 65000");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.out.find("no string 65000"), std::string::npos);
  EXPECT_EQ(Run("string -1").exitCode, 1);
  EXPECT_EQ(Run("string").exitCode, 1);
}

TEST_F(CliConfig, GetReadsFilesAndDefaultsAndSetWritesOnlyTheUserProfile) {
  EXPECT_EQ(Run("config get set test maxImageNum").out, "2000\n");
  EXPECT_EQ(Run("config get set SecondsPerFrame SPF1").out, "0.5\n");
  EXPECT_EQ(Run("config get ini USER BlockNum").out, "0\n");
  EXPECT_EQ(Run("config get ini USER Position").out, "3\n");

  EXPECT_EQ(Run("config set USER 樣式 1").exitCode, 0);
  EXPECT_EQ(Run("config get ini user 樣式").out, "1\n");
  // The English library names that setting "Style": it reads its default.
  EXPECT_EQ(Run("config get ini USER Style", "en").out, "0\n");
  EXPECT_EQ(Run("config set USER LastDir \"/home/me/My Pictures\"").exitCode, 0);
  EXPECT_EQ(Run("config get ini USER LastDir").out, "/home/me/My Pictures\n");
  EXPECT_TRUE(std::filesystem::exists(m_dir / "Tesserix.ini"));

  CliRun unknown = Run("config get ini USER NoSuchKey");
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_EQ(Run("config get registry USER X").exitCode, 1);
  EXPECT_EQ(Run("config set USER bad=key 1").exitCode, 1);
  EXPECT_EQ(Run("config set USER").exitCode, 1);
}

TEST_F(CliConfig, AMissingResourceLibraryStopsWithAReason) {
  TempDir emptyProgramFolder;
  CliRun run = RunCli("string 3087", "TESSERIX_PROGRAM_DIR=" + emptyProgramFolder.path().string());
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_NE(run.out.find("resource library"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tx
