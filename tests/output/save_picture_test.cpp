// Saving a picture in each type, and what a failed save tells the user.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "config/startup_settings.h"
#include "image/image_lock.h"
#include "output/save_picture.h"
#include "output/web_palette.h"
#include "rastio/rastio.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"
#include "tests/support/recording_notice_sink.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::MaxColourDifference;
using testing::ScopedRecordingSink;
using testing::TempDir;
namespace fs = std::filesystem;

/// Gentle gradients, which even JPEG keeps close.
PackedImage SmoothPicture(int width, int height) {
  PackedImage image(CreatePackedImage(width, height, 0, 0));
  ImageLock lock(image.get());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = lock.row(y) + 3 * x;
      pixel[0] = std::uint8_t(40 + 6 * x);
      pixel[1] = std::uint8_t(200 - 9 * y);
      pixel[2] = std::uint8_t(90 + 3 * (x + y));
    }
  }
  return image;
}

class SavePicture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    SetStartupSettings(StartupSettings{});
  }
  void TearDown() override {
    SetStartupSettings(StartupSettings{});
    ReleaseResourceLibrary();
  }
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir.path()))
      names.push_back(entry.path().filename().string());
    return names;
  }

  TempDir m_dir;
  ScopedRecordingSink m_notices;
  PackedImage m_picture = SmoothPicture(13, 7);
};

TEST_F(SavePicture, EveryTypeIsWrittenAndReadsBack) {
  struct Case {
    const char* name;
    int bits;
    int maxDifference;
  } cases[] = {
      {"m.bmp", 24, 0}, {"m.TIF", 24, 0},  {"m.pcx", 24, 0},   {"m.Tga", 24, 0},
      {"m.png", 24, 0}, {"m.jpg", 24, 12}, {"m.jpeg", 24, 12},
  };
  for (const Case& c : cases) {
    SaveResult result = SavePictureToFile(m_picture.get(), Path(c.name), SaveOptions{});
    ASSERT_TRUE(result.saved()) << c.name << ": " << result.reason;
    EXPECT_EQ(result.code(), 1);
    PackedImage back(EzOpenFile(Path(c.name).c_str(), 0, 0));
    ASSERT_TRUE(back) << c.name << ": " << EzLastError();
    EXPECT_EQ(GetImageBitCount(back.get()), c.bits) << c.name;
    int difference = MaxColourDifference(m_picture.get(), back.get());
    EXPECT_GE(difference, 0) << c.name;
    EXPECT_LE(difference, c.maxDifference) << c.name;
  }
  EXPECT_TRUE(m_notices->notices.empty());
}

TEST_F(SavePicture, GifHoldsTheWebPaletteReduction) {
  ASSERT_TRUE(SavePictureToFile(m_picture.get(), Path("m.gif"), SaveOptions{}).saved());
  PackedImage back(EzLoadGifFile(Path("m.gif").c_str(), 1));
  ASSERT_TRUE(back) << EzLastError();
  EXPECT_EQ(GetImageBitCount(back.get()), 8);
  PackedImage reduced(ReduceToWebPalette(m_picture.get()));
  EXPECT_EQ(MaxColourDifference(reduced.get(), back.get()), 0);

  // Interlaced, and a picture that already has 8 bits goes as it is.
  SaveOptions interlaced;
  interlaced.interlace = 1;
  ASSERT_TRUE(SavePictureToFile(m_picture.get(), Path("i.gif"), interlaced).saved());
  PackedImage backInterlaced(EzLoadGifFile(Path("i.gif").c_str(), 1));
  EXPECT_EQ(MaxColourDifference(reduced.get(), backInterlaced.get()), 0);
  PackedImage indexed = MakePatternImage(6, 5, 8);
  ASSERT_TRUE(SavePictureToFile(indexed.get(), Path("p.gif"), SaveOptions{}).saved());
  PackedImage backIndexed(EzLoadGifFile(Path("p.gif").c_str(), 1));
  EXPECT_EQ(MaxColourDifference(indexed.get(), backIndexed.get()), 0);
}

TEST_F(SavePicture, OptionBlockReachesTheWriter) {
  SaveOptions compressed;
  compressed.compress = 1;
  ASSERT_TRUE(SavePictureToFile(m_picture.get(), Path("c.tif"), compressed).saved());
  ASSERT_TRUE(SavePictureToFile(m_picture.get(), Path("u.tif"), SaveOptions{}).saved());
  EXPECT_EQ(EzIsLzwTiff(Path("c.tif").c_str()), 1);
  EXPECT_EQ(EzIsLzwTiff(Path("u.tif").c_str()), 0);

  PackedImage big = MakePatternImage(160, 120, 24);
  SaveOptions low, high;
  low.quality = 5;
  high.quality = 100;
  ASSERT_TRUE(SavePictureToFile(big.get(), Path("low.jpg"), low).saved());
  ASSERT_TRUE(SavePictureToFile(big.get(), Path("high.jpg"), high).saved());
  EXPECT_LT(fs::file_size(Path("low.jpg")) * 2, fs::file_size(Path("high.jpg")));
}

TEST_F(SavePicture, UnknownTypesShowTheNoticeAndWriteNothing) {
  const std::string unknown = LoadText(kStrUnknownFileFormat);
  ASSERT_FALSE(unknown.empty());
  for (const char* name : {"m.xyz", "montage", "m.webp", "dotted.d/montage"}) {
    SaveResult result = SavePictureToFile(m_picture.get(), Path(name), SaveOptions{});
    EXPECT_EQ(result.status, SaveStatus::UnknownType) << name;
    EXPECT_EQ(result.code(), 0);
  }
  EXPECT_EQ(m_notices->texts(), std::vector<std::string>(4, unknown));
  EXPECT_TRUE(Files().empty());

  // Without GIF writing a GIF name is an unknown type too.
  StartupSettings noGif;
  noGif.noGif = 1;
  SetStartupSettings(noGif);
  EXPECT_EQ(SavePictureToFile(m_picture.get(), Path("m.gif"), SaveOptions{}).status,
            SaveStatus::UnknownType);
  EXPECT_EQ(m_notices->notices.size(), 5u);
  EXPECT_TRUE(Files().empty());
}

TEST_F(SavePicture, FailedWritesSayWhyAndLeaveNoFile) {
  std::ofstream(Path("file")) << "a file, not a folder";
  struct Case {
    std::string path;
    GlobalHandle picture;
    SaveStatus status;
  } cases[] = {
      {Path("file") + "/m.png", m_picture.get(), SaveStatus::WriteFailed},
      {Path("file") + "/m.gif", m_picture.get(), SaveStatus::WriteFailed},
      {Path("file") + "/m.pcx", m_picture.get(), SaveStatus::WriteFailed},
      {Path("m.fpx"), m_picture.get(), SaveStatus::WriteFailed},  // a type no writer makes
      {Path("none.png"), nullptr, SaveStatus::NoPicture},
  };
  for (const Case& c : cases) {
    m_notices->notices.clear();
    SaveResult result = SavePictureToFile(c.picture, c.path, SaveOptions{});
    SCOPED_TRACE(c.path);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.code(), 0);
    EXPECT_FALSE(result.reason.empty());
    ASSERT_EQ(m_notices->notices.size(), 1u);
    const auto& notice = m_notices->notices[0];
    // The catalogue's save-failure text names the file and the reason.
    EXPECT_NE(notice.text.find(c.path), std::string::npos) << notice.text;
    EXPECT_NE(notice.text.find(result.reason), std::string::npos) << notice.text;
    EXPECT_EQ(notice.title, ProgramName());
    EXPECT_EQ(notice.buttons, NoticeButtons::Ok);
  }
  EXPECT_EQ(Files(), std::vector<std::string>{"file"});
}

TEST_F(SavePicture, OnlyASuccessfulSaveChangesTheFlagsAndTitle) {
  SaveResult failed{SaveStatus::WriteFailed, "disc full"};
  AfterSave none = StepsAfterSave(failed, "/X/M.JPG", true);
  EXPECT_FALSE(none.changeTitle || none.clearMontageUnsaved || none.clearTargetModified ||
               none.addToAlbumList);

  SaveResult saved{SaveStatus::Saved, {}};
  AfterSave montage = StepsAfterSave(saved, "/Home/Me/Montage.JPG", true);
  EXPECT_TRUE(montage.changeTitle);
  EXPECT_EQ(montage.title, "/home/me/montage.jpg");
  EXPECT_TRUE(montage.clearMontageUnsaved);
  EXPECT_FALSE(montage.clearTargetModified || montage.addToAlbumList);

  AfterSave target = StepsAfterSave(saved, "/P/Target.PNG", false);
  EXPECT_EQ(target.title, "/p/target.png");
  EXPECT_FALSE(target.clearMontageUnsaved);
  EXPECT_TRUE(target.clearTargetModified && target.addToAlbumList);
}

}  // namespace
}  // namespace tx
