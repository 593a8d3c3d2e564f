// The Save As type table, its options and the file-name rules.

#include <gtest/gtest.h>

#include <filesystem>

#include "output/save_file_name.h"
#include "output/save_options.h"
#include "resources/resource_binding.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

class SaveNames : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    ForgetSaveFolder();
  }
  void TearDown() override {
    ReleaseResourceLibrary();
    ForgetSaveFolder();
  }
};

TEST_F(SaveNames, TypeListKeepsCodesWhenGifIsLeftOut) {
  EXPECT_EQ(SaveTypeList(true), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(SaveTypeList(false), (std::vector<int>{1, 2, 3, 5, 6, 7, 8}));
  // The fourth entry is GIF with GIF writing, TGA without it.
  EXPECT_EQ(SaveTypeAt(3, true), kSaveTypeGif);
  EXPECT_EQ(SaveTypeAt(3, false), kSaveTypeTga);
  EXPECT_TRUE(ControlsForType(SaveTypeAt(3, false)).compress);
  EXPECT_EQ(SaveTypeAt(6, false), kSaveTypePng);
  EXPECT_EQ(SaveTypeAt(7, false), 0);
  EXPECT_EQ(SaveTypeIndex(kSaveTypeGif, false), -1);
  EXPECT_EQ(SaveTypeIndex(kSaveTypeJpg, false), 4);
  EXPECT_EQ(SaveTypeIndex(kSaveTypeJpg, true), 5);
}

TEST_F(SaveNames, ExtensionsComeFromTheCatalogueOrTheBuiltInSpelling) {
  const char* expected[] = {"", ".BMP", ".TIF", ".PCX", ".GIF", ".TGA", ".JPG", ".FPX", ".PNG"};
  for (int code = 0; code <= 8; ++code)
    EXPECT_EQ(SaveTypeExtension(code), expected[code]) << code;
  EXPECT_EQ(SaveTypeExtension(9), "");
  ReleaseResourceLibrary();
  EXPECT_EQ(SaveTypeExtension(kSaveTypeJpg), ".JPG");  // never a bare name
}

TEST_F(SaveNames, OptionsStartAsShippedAndFillTheSixWordBlock) {
  SaveOptions fresh;
  EXPECT_EQ(fresh.quality, 90);
  EXPECT_EQ(fresh.compress + fresh.interlace + fresh.secondGifFlag, 0);
  EXPECT_EQ(SaveOptionBlock(fresh), (std::array<std::int32_t, 6>{90, 0, 0, 24, 0, 0}));
  SaveOptions set{kSaveTypeGif, 55, 1, 1, 1};
  EXPECT_EQ(SaveOptionBlock(set), (std::array<std::int32_t, 6>{55, 0, 1, 24, 1, 1}));
  EXPECT_EQ(ClampSaveQuality(0), 1);
  EXPECT_EQ(ClampSaveQuality(101), 100);
  EXPECT_EQ(ClampSaveQuality(42), 42);
}

TEST_F(SaveNames, FilterListsStartAtTheJpegEntry) {
  std::vector<std::string> all = SaveFilterEntries(true), noGif = SaveFilterEntries(false);
  ASSERT_EQ(all.size(), 16u);
  ASSERT_EQ(noGif.size(), 14u);
  EXPECT_EQ(InitialSaveFilter(all), 5);
  EXPECT_EQ(InitialSaveFilter(noGif), 4);
  EXPECT_EQ(SaveTypeAt(std::size_t(InitialSaveFilter(noGif)), false), kSaveTypeJpg);
  EXPECT_EQ(InitialSaveFilter({}), 0);
}

TEST_F(SaveNames, ExtensionIsAddedOnlyToABareName) {
  struct Case {
    const char* typed;
    int code;
    const char* expected;
  } cases[] = {
      {"/home/me/montage", kSaveTypeJpg, "/home/me/montage.JPG"},
      {"/home/me/montage.bmp", kSaveTypeJpg, "/home/me/montage.bmp"},
      {"/home/me/my.photos/montage", kSaveTypePng, "/home/me/my.photos/montage.PNG"},
      {"/home/me/v1.2/m", kSaveTypeBmp, "/home/me/v1.2/m.BMP"},
      {"/home/me/a.jpeg", kSaveTypeJpg, "/home/me/a.jpeg.JPG"},  // no dot in "jpeg"
      {"/home/me/a.tg", kSaveTypeTga, "/home/me/a.tg"},
      {"/home/me/a.", kSaveTypeTga, "/home/me/a."},
      {"montage", kSaveTypeGif, "montage.GIF"},
      {"x.y", kSaveTypeGif, "x.y"},
      {"C:montage", kSaveTypeJpg, "C:montage.JPG"},
      {"dir.d\\name", kSaveTypeJpg, "dir.d\\name.JPG"},
      {"/tmp/相片.拼貼", kSaveTypeJpg, "/tmp/相片.拼貼"},  // four characters, not bytes
      {"/tmp/a.相片拼貼", kSaveTypeJpg, "/tmp/a.相片拼貼.JPG"},
      {"/home/me/montage", 0, "/home/me/montage"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WithSaveExtension(c.typed, c.code), c.expected) << c.typed;
}

TEST_F(SaveNames, OkStoresOnlyTheShownOptionsAndCompletesTheName) {
  CurrentSaveOptions() = SaveOptions{};
  SaveOptions shown{0, 250, 1, 1, 1};  // quality out of range, every flag set
  EXPECT_EQ(AcceptSaveChoice("/tmp/m", kSaveTypeJpg, shown), "/tmp/m.JPG");
  SaveOptions after = CurrentSaveOptions();
  EXPECT_EQ(after.typeCode, kSaveTypeJpg);
  EXPECT_EQ(after.quality, 100);
  EXPECT_EQ(after.compress + after.interlace + after.secondGifFlag, 0);
  EXPECT_EQ(RememberedSaveFolder(), "/tmp");

  EXPECT_EQ(AcceptSaveChoice("/var/m.bmp", kSaveTypeGif, shown), "/var/m.bmp");
  after = CurrentSaveOptions();
  EXPECT_EQ(after.quality, 100);
  EXPECT_EQ(after.compress, 0);
  EXPECT_EQ(after.interlace + after.secondGifFlag, 2);
  EXPECT_EQ(RememberedSaveFolder(), "/var");

  // An empty name is no choice: the dialog comes back, the folder stays.
  EXPECT_EQ(AcceptSaveChoice("", kSaveTypeTga, shown), "");
  EXPECT_EQ(RememberedSaveFolder(), "/var");
  CurrentSaveOptions() = SaveOptions{};
}

TEST_F(SaveNames, RememberedFolderIsTheFolderPartWhileItExists) {
  EXPECT_EQ(FolderPart("/home/me/pictures/m.jpg"), "/home/me/pictures");
  EXPECT_EQ(FolderPart("/m.jpg"), "/");
  EXPECT_EQ(FolderPart("m.jpg"), "");
  EXPECT_EQ(FolderPart("/home/me\\odd/m.jpg"), "/home/me\\odd");

  testing::TempDir dir;
  EXPECT_EQ(InitialSaveFolder("/default"), "/default");
  RememberSaveFolder("m.jpg");  // no folder part: nothing remembered
  EXPECT_EQ(RememberedSaveFolder(), "");
  RememberSaveFolder((dir / "m.jpg").string());
  EXPECT_EQ(RememberedSaveFolder(), dir.path().string());
  EXPECT_EQ(InitialSaveFolder("/default"), dir.path().string());
  std::filesystem::path gone = dir / "gone";
  std::filesystem::create_directory(gone);
  RememberSaveFolder((gone / "m.png").string());
  std::filesystem::remove(gone);
  EXPECT_EQ(InitialSaveFolder("/default"), "/default");
}

}  // namespace
}  // namespace tx
