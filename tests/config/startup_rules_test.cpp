// Identity, screen class, command-line hand-over and the first-run mark.

#include <gtest/gtest.h>

#include <memory>

#include "config/command_line.h"
#include "config/first_run.h"
#include "config/program_identity.h"
#include "config/screen_class.h"
#include "config/settings_access.h"
#include "platform/product.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

TEST(ProgramIdentity, VersionCutFolderAndClassName) {
  EXPECT_EQ(CutVersion(kProductVersion), "3.1.0");
  EXPECT_EQ(CutVersion("3, 1, 0, 15"), "3, 1, 0");
  EXPECT_EQ(CutVersion("3.1"), "3.1");
  EXPECT_EQ(CutVersion(""), "");
  EXPECT_EQ(VersionFolderName("3, 1, 0"), "3. 1. 0");
  EXPECT_EQ(VersionFolderName("3.1.0-beta/2"), "3.1.0.beta.2");
  EXPECT_EQ(MainWindowClassName(kProgramName, kProductVersion), "Tesserix310");
  // The user folder is named by the same cut.
  EXPECT_EQ(VersionFolderName(CutVersion(kProductVersion)), kProductVersionShort);
}

TEST(ScreenClass, SizesAndTheForcedClass) {
  struct Case {
    int width, height, for640, expectedClass, expectedWidth, expectedHeight;
  };
  const Case cases[] = {
      {1920, 1080, 0, 0, 1920, 1080}, {801, 601, 0, 0, 801, 601},      {800, 600, 0, 1, 800, 600},
      {1024, 600, 0, 1, 1024, 600},   {641, 481, 0, 1, 641, 481},      {640, 480, 0, 2, 640, 480},
      {1920, 1080, 2, 2, 800, 600},   {640, 480, 1, 1, 800, 600},      {1920, 1080, 3, 3, 800, 600},
      {1920, 1080, 9, 0, 1920, 1080}, {1920, 1080, -1, 0, 1920, 1080},
  };
  for (const Case& c : cases) {
    int width = c.width;
    int height = c.height;
    EXPECT_EQ(GetScreenClass(width, height, c.for640), c.expectedClass)
        << c.width << "x" << c.height << " FOR_640=" << c.for640;
    EXPECT_EQ(width, c.expectedWidth);
    EXPECT_EQ(height, c.expectedHeight);
  }
}

TEST(ScreenClass, WindowIsCentredAndForcedToTheOrigin) {
  int width = 2560;
  int height = 1440;
  int screenClass = GetScreenClass(width, height, 1);
  WindowRect forced = MainWindowRect(screenClass, width, height);
  EXPECT_EQ(forced.x, 0);
  EXPECT_EQ(forced.y, 0);
  WindowRect centred = MainWindowRect(0, 1025, 769);
  EXPECT_EQ(centred.x, 112);
  EXPECT_EQ(centred.y, 84);
  EXPECT_EQ(centred.width, 800);
  EXPECT_EQ(centred.height, 600);
}

TEST(ScreenClass, ForcedClassComesFromTheUserProfile) {
  testing::TempDir dir;
  Configuration::SetCurrent(
      std::make_unique<Configuration>(dir / "Tesserix.set", dir / "Tesserix.ini"));
  int width = 1920;
  int height = 1200;
  EXPECT_EQ(GetScreenClass(width, height), kScreenClassLarge);
  ASSERT_TRUE(WriteUserString("FOR_640", "2"));
  EXPECT_EQ(GetScreenClass(width, height), kScreenClassTooSmall);
  EXPECT_EQ(width, 800);
  Configuration::SetCurrent(nullptr);
}

TEST(CommandLine, FileNamesAfterOptions) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(CommandLineFileNames("-a -embed \"/home/me/My Pictures/x.jpg\" c.bmp"),
            (Names{"/home/me/My Pictures/x.jpg", "c.bmp"}));
  EXPECT_EQ(CommandLineFileNames("  a.jpg   b.png  "), (Names{"a.jpg", "b.png"}));
  EXPECT_EQ(CommandLineFileNames("picture.jpeg"), Names{});
  EXPECT_EQ(CommandLineFileNames("x.gif picture.jpeg"), Names{"x.gif"});
  EXPECT_EQ(CommandLineFileNames("-only -options"), Names{});
  EXPECT_EQ(CommandLineFileNames(""), Names{});
  EXPECT_EQ(CommandLineFileNames(".jpg"), Names{});
  EXPECT_EQ(CommandLineFileNames("a.jpg"), Names{"a.jpg"});
  EXPECT_EQ(CommandLineFileNames("\"\"\"\""), Names{});
}

TEST(CommandLine, HandOverWritesTransferNameBeforeEachOpen) {
  testing::TempDir dir;
  Configuration::SetCurrent(
      std::make_unique<Configuration>(dir / "Tesserix.set", dir / "Tesserix.ini"));
  std::vector<std::string> opened;
  HandOverCommandLine("-a -b \"/home/me/My Pictures/x.jpg\" c.bmp", [&] {
    std::string name;
    ReadUserString("TransferName", "", name);
    opened.push_back(name);
  });
  Configuration::SetCurrent(nullptr);
  EXPECT_EQ(opened, (std::vector<std::string>{"/home/me/My Pictures/x.jpg", "c.bmp"}));
}

TEST(FirstRun, DueOncePerMark) {
  testing::TempDir dir;
  std::filesystem::path mark = dir / "registry.ini";
  EXPECT_TRUE(IsFirstRunDue(mark));
  EXPECT_FALSE(IsFirstRunDue(mark));
  // An old mark of 1 (written by earlier systems) makes the work due again.
  ProfileFile old = ProfileFile::Load(mark);
  old.Set(old.SectionNames().at(0), "HasBeenRun", "1");
  std::string error;
  ASSERT_TRUE(old.Save(mark, error)) << error;
  EXPECT_TRUE(IsFirstRunDue(mark));
  EXPECT_FALSE(IsFirstRunDue(mark));
}

}  // namespace
}  // namespace tx
