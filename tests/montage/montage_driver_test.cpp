// The Create command's checks and one whole run, on collections the tests
// write themselves.

#include "montage/montage_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "collections/collection_registry.h"
#include "collections/tile_set_index.h"
#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "platform/cancel_flag.h"
#include "rastio/rastio.h"
#include "resources/resource_binding.h"
#include "tests/support/recording_notice_sink.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using Notice = testing::RecordingNoticeSink::Notice;

class MontageDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    SetStartupSettings(StartupSettings{});
    m_registry = std::make_unique<CollectionRegistry>(m_configuration, m_dir / "U", m_dir / "P");
    m_registry->PrepareCollectionFolders();
    m_engine = std::make_unique<MontageEngine>(*m_registry);
    ClearCancel();
  }
  void TearDown() override { ReleaseResourceLibrary(); }

  // A My Collection of `count` tiles of graded colours, with its tile
  // pictures at the small resolution, selected with status 1.
  void Collection(const std::string& title, int count, bool pictures = true) {
    TileSetIndexWriter writer;
    ASSERT_TRUE(
        writer.BeginTileSetIndex(m_registry->IndexFolder(kMyCollection) / (title + ".TXS"), 0));
    fs::path folder = m_registry->TileFolder(kMyCollection, title);
    for (int n = 0; n < count; ++n) {
      std::uint8_t value = std::uint8_t(n * 255 / std::max(1, count - 1));
      TileStatistics statistics;
      statistics.cells.fill(value);
      statistics.meanColour = value | value << 8 | std::uint32_t(value) << 16;
      ASSERT_TRUE(writer.AppendTileRecord(std::uint32_t(n), statistics));
      writer.AdvanceTileCounter();
      if (pictures) {
        fs::path file = folder / "Res10" / "000" /
                        (std::string(n < 10    ? "00"
                                     : n < 100 ? "0"
                                               : "") +
                         std::to_string(n) + ".txd");
        fs::create_directories(file.parent_path());
        PackedImage tile(CreatePackedImage(80, 60, statistics.meanColour, 0));
        ASSERT_EQ(EzSaveFile(tile.get(), file.c_str(), kSaveJpeg, nullptr), 0);
      }
    }
    ASSERT_TRUE(writer.EndTileSetIndex(false));
    ASSERT_TRUE(
        m_registry->AddCollection(kMyCollection, title + ".TXS", title, folder.string(), 1));
  }

  // A target picture: a horizontal gray ramp.
  void Target(int width, int height) {
    PackedImage picture(CreatePackedImage(width, height, 0, 0));
    {
      ImageLock lock(picture.get());
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          std::fill_n(lock.row(y) + 3 * x, 3, std::uint8_t(x * 255 / (width - 1)));
        }
      }
    }
    fs::path path = m_dir / "target.png";
    ASSERT_EQ(EzSaveFile(picture.get(), path.c_str(), kSaveByExtension, nullptr), 0);
    ASSERT_TRUE(m_engine->LoadTargetPicture(nullptr, path));
  }

  TempDir m_dir;
  Configuration m_configuration{m_dir / "P" / "Tesserix.set", m_dir / "U" / "Tesserix.ini"};
  std::unique_ptr<CollectionRegistry> m_registry;
  std::unique_ptr<MontageEngine> m_engine;
  testing::ScopedRecordingSink m_sink;
};

TEST_F(MontageDriver, CreateChecksTheFontAndTheSelection) {
  Target(160, 120);
  MontageRequest request;
  request.captionText = "x";
  request.captionFont.height = -401;
  EXPECT_FALSE(m_engine->CreateMontage(nullptr, request, nullptr));
  EXPECT_EQ(m_engine->lastRefusal(), CreateRefusal::FontTooLarge);
  request.captionText.clear();
  EXPECT_FALSE(m_engine->CreateMontage(nullptr, request, nullptr));
  EXPECT_EQ(m_engine->lastRefusal(), CreateRefusal::NoCollection);
  ASSERT_EQ(m_sink->notices.size(), 2u);
  EXPECT_EQ(m_sink->notices[0].text, "字型大小超過允許範圍");
}

TEST(CaptionText, IsCutAfter249CharactersNeverInsideOne) {
  const std::string ascii(300, 'a');
  EXPECT_EQ(FirstCharacters(ascii, kMaxCaptionCharacters).size(), 249u);
  std::string chinese;
  for (int i = 0; i < 250; ++i)
    chinese += "\xE5\x9C\x96";  // one three-byte character
  EXPECT_EQ(FirstCharacters(chinese, kMaxCaptionCharacters), chinese.substr(0, 3 * 249));
  EXPECT_EQ(FirstCharacters("a\xE5\x9C", 5), "a\xE5\x9C");  // a cut-off end is kept as it is
  EXPECT_EQ(FirstCharacters("", 3), "");
}

TEST_F(MontageDriver, FewTilesAskFirstWithoutColourVariation) {
  Target(160, 120);
  Collection("Few", 999, false);
  MontageRequest request;
  request.settings.allowColor = 0;
  m_sink->answer = [](const Notice&) { return NoticeAnswer::No; };
  EXPECT_FALSE(m_engine->CreateMontage(nullptr, request, nullptr));
  EXPECT_EQ(m_engine->lastRefusal(), CreateRefusal::TooFewTilesDeclined);
  Collection("One", 1, false);
  m_sink->notices.clear();
  EXPECT_TRUE(m_engine->CreateMontage(nullptr, request, nullptr));
  // 1000 tiles: no question; the missing pictures give one notice.
  EXPECT_EQ(m_sink->texts(), std::vector<std::string>{"在選定的圖庫中找不到縮圖。"});
}

TEST_F(MontageDriver, ARunMakesTheMontageAndACancelMakesNone) {
  Target(320, 240);
  Collection("Grays", 16);
  MontageRequest request;
  request.settings.allowColor = 0;  // uniform tiles differ only in colour
  RequestCancel();                  // pressed before Create: does not stop the run
  ASSERT_TRUE(m_engine->CreateMontage(nullptr, request, nullptr));
  std::uint16_t width = 0, height = 0;
  GetImageSize(m_engine->montage(), width, height);
  const MontagePlan& plan = m_engine->report().plan;
  EXPECT_EQ(width, plan.cols * 80);
  EXPECT_EQ(height, plan.rows * 60);
  EXPECT_EQ(int(plan.order.size()), plan.cols * plan.rows);
  EXPECT_TRUE(m_engine->montageUnsaved());
  // The ramp is matched: the left column gets a dark tile, the right a light one.
  EXPECT_LT(plan.cells[0].tileNumber, plan.cells[std::size_t(plan.cols - 1)].tileNumber);

  // A picture that cannot be opened leaves the target, the montage, its
  // unsaved flag and the picture path as they were.
  const GlobalHandle target = m_engine->target();
  const fs::path path = m_engine->currentPicturePath();
  EXPECT_FALSE(m_engine->OpenAsTarget(m_dir / "gone.jpg"));
  EXPECT_EQ(m_engine->target(), target);
  EXPECT_TRUE(m_engine->montagePresent());
  EXPECT_TRUE(m_engine->montageUnsaved());
  EXPECT_EQ(m_engine->currentPicturePath(), path);

  struct CancelWhilePlacing : MontageObserver {
    void ShowPlacementProgress(int placed, int, int, int, int) override {
      if (placed == 3) RequestCancel();
    }
  } observer;
  EXPECT_FALSE(m_engine->CreateMontage(nullptr, request, &observer));
  EXPECT_FALSE(m_engine->montagePresent());
  EXPECT_TRUE(m_engine->report().cancelled);
}

TEST_F(MontageDriver, AnOutputAboveTheLimitIsRefusedBeforeWork) {
  Target(4000, 3000);
  Collection("Grays", 16, false);
  StartupSettings startup;
  startup.outputSizeLimit = 10;
  SetStartupSettings(startup);
  MontageRequest request;
  request.settings.resolution = 1;
  request.settings.blockNum = 7;
  EXPECT_FALSE(m_engine->CreateMontage(nullptr, request, nullptr));
  EXPECT_EQ(m_engine->lastRefusal(), CreateRefusal::OutputTooLarge);
}

TEST_F(MontageDriver, ACroppedPictureReplacesTheTargetAndDropsTheMontage) {
  Target(320, 240);
  Collection("Grays", 16);
  MontageRequest request;
  request.settings.allowColor = 0;
  ASSERT_TRUE(m_engine->CreateMontage(nullptr, request, nullptr));
  ASSERT_TRUE(m_engine->montageUnsaved());
  const GlobalHandle before = m_engine->target();

  // Nothing to take: target, montage and flags stay.
  EXPECT_FALSE(m_engine->ReplaceTarget(PackedImage()));
  EXPECT_EQ(m_engine->target(), before);
  EXPECT_TRUE(m_engine->montagePresent());
  EXPECT_FALSE(m_engine->targetModified());

  PackedImage cropped(CreatePackedImage(90, 120, 0x00336699, 0));
  const GlobalHandle handle = cropped.get();
  ASSERT_TRUE(m_engine->ReplaceTarget(std::move(cropped)));
  EXPECT_EQ(m_engine->target(), handle);
  EXPECT_TRUE(m_engine->targetModified());
  EXPECT_FALSE(m_engine->montagePresent());
  EXPECT_FALSE(m_engine->montageUnsaved());

  // Saving it, or loading a picture afresh, clears the modified flag.
  m_engine->MarkTargetSaved();
  EXPECT_FALSE(m_engine->targetModified());
  ASSERT_TRUE(m_engine->ReplaceTarget(PackedImage(CreatePackedImage(8, 6, 0, 0))));
  Target(64, 48);
  EXPECT_FALSE(m_engine->targetModified());
}

TEST_F(MontageDriver, AMissingTargetFileIsRefusedWithItsPath) {
  EXPECT_FALSE(m_engine->LoadTargetPicture(nullptr, m_dir / "nowhere.jpg"));
  ASSERT_EQ(m_sink->notices.size(), 1u);
  EXPECT_NE(m_sink->notices[0].text.find("nowhere.jpg----"), std::string::npos);
  fs::path text = m_dir / "notes.txt";
  { std::ofstream(text) << "x"; }
  EXPECT_FALSE(m_engine->LoadTargetPicture(nullptr, text));
  EXPECT_EQ(m_sink->notices.back().text, "無法辨識的檔案格式");
}

}  // namespace
}  // namespace tx
