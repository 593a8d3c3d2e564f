// Finding skin files and screen backgrounds in a skin folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/skin/skin_file.h"
#include "rastio/rastio.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

TEST(SkinPaths, FindSkinFileMatchesWithoutRegardToCase) {
  testing::TempDir dir;
  Touch(dir / "UI" / "Button.800");
  Touch(dir / "UI" / "list.DTA");
  EXPECT_EQ(FindSkinFile(dir.path() / "UI", "Button.800"), dir / "UI" / "Button.800");
  EXPECT_EQ(FindSkinFile(dir.path() / "UI", "button.800"), dir / "UI" / "Button.800");
  EXPECT_EQ(FindSkinFile(dir.path() / "UI", "LIST.dta"), dir / "UI" / "list.DTA");
  // Sub-folders in the name, with either separator.
  EXPECT_EQ(FindSkinFile(dir.path(), "ui\\BUTTON.800"), dir / "UI" / "Button.800");
  EXPECT_EQ(FindSkinFile(dir.path(), "ui/button.800"), dir / "UI" / "Button.800");
  // Nothing matches: the exact path, for the caller's message.
  EXPECT_EQ(FindSkinFile(dir.path() / "UI", "Button.801"), dir / "UI" / "Button.801");
  EXPECT_EQ(FindSkinFile(dir / "none", "a.800"), dir / "none" / "a.800");
  // The exact spelling wins over others that differ only in case.
  Touch(dir / "UI" / "button.800");
  EXPECT_EQ(FindSkinFile(dir.path() / "UI", "button.800"), dir / "UI" / "button.800");
  EXPECT_EQ(FindSkinFile(dir.path() / "UI", "BUTTON.800"), dir / "UI" / "Button.800");
}

TEST(SkinPaths, BackgroundPathFollowsTheSkinFile) {
  testing::TempDir dir;
  const fs::path skin = dir / "ui" / "button.800";
  Touch(skin);
  Touch(dir / "ui" / "Screen3.800");
  EXPECT_EQ(BackgroundPath(skin, 3, false), dir / "ui" / "Screen3.800");
  EXPECT_EQ(BackgroundPath(skin, 0, false), dir / "ui" / "screen0.800");
  EXPECT_EQ(BackgroundPath(dir / "ui" / "list.dta", 2, false), dir / "ui" / "screen2.dta");

  // The alternative picture of screen 6, only with the switch and only if present.
  Touch(dir / "ui" / "screen6.800");
  EXPECT_EQ(BackgroundPath(skin, 6, true), dir / "ui" / "screen6.800");
  Touch(dir / "ui" / "SCREEN06.800");
  EXPECT_EQ(BackgroundPath(skin, 6, true), dir / "ui" / "SCREEN06.800");
  EXPECT_EQ(BackgroundPath(skin, 6, false), dir / "ui" / "screen6.800");
  EXPECT_EQ(BackgroundPath(skin, 3, true), dir / "ui" / "Screen3.800");
}

TEST(SkinPaths, LoadBackgroundReadsABitmapWhateverItsExtension) {
  testing::TempDir dir;
  PackedImage picture = testing::MakePatternImage(8, 6, 24);
  ASSERT_EQ(EzSaveFile(picture.get(), (dir / "b.bmp").c_str(), kSaveByExtension, nullptr), 0);
  fs::rename(dir / "b.bmp", dir / "screen0.800");
  PackedImage loaded(LoadBackground(dir / "screen0.800"));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(testing::MaxColourDifference(loaded.get(), picture.get()), 0);
  EXPECT_FALSE(PackedImage(LoadBackground(dir / "screen1.800")));
}

}  // namespace
}  // namespace tx
