// The Save As dialog driven as a user would drive it, and the Save command
// writing the shown picture and updating the montage's unsaved flag.

#include <gtest/gtest.h>

#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QSlider>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>

#include "app/program/save_command.h"
#include "app/program/save_dialog.h"
#include "collections/collection_registry.h"
#include "collections/tile_set_index.h"
#include "config/startup_settings.h"
#include "image/image_lock.h"
#include "montage/montage_driver.h"
#include "output/save_file_name.h"
#include "rastio/rastio.h"
#include "resources/messages.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

namespace fs = std::filesystem;

using guitest::DialogDriver;
using guitest::MessageBoxRefuser;

void TypeName(SaveAsDialog& dialog, const std::string& name) {
  auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(edit, nullptr);
  edit->setText(QString::fromStdString(name));
}

// An action choosing `code`, typing `name` and pressing OK.
DialogDriver::Action Choose(int code, const std::string& name) {
  return [code, name](SaveAsDialog& dialog) {
    EXPECT_TRUE(dialog.SelectType(code));
    TypeName(dialog, name);
    dialog.accept();
  };
}

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    SetStartupSettings(StartupSettings{});
    CurrentSaveOptions() = SaveOptions{};
    ForgetSaveFolder();
    m_registry = std::make_unique<CollectionRegistry>(m_configuration, Dir() / "U", Dir() / "P");
    m_registry->PrepareCollectionFolders();
    m_engine = std::make_unique<MontageEngine>(*m_registry);
    fs::create_directories(Folder());
  }
  void TearDown() override {
    m_engine.reset();
    SetStartupSettings(StartupSettings{});
    CurrentSaveOptions() = SaveOptions{};
    ForgetSaveFolder();
  }

  fs::path Dir() const { return env.dir.path(); }
  // Where the dialog opens and the tests save.
  fs::path Folder() const { return Dir() / "saved"; }
  std::string In(const std::string& name) const { return (Folder() / name).string(); }

  void Target() {
    const PackedImage picture = testing::MakePatternImage(64, 48, 24);
    const fs::path path = Dir() / "target.bmp";
    ASSERT_EQ(EzSaveFile(picture.get(), path.c_str(), kSaveByExtension, nullptr), 0);
    ASSERT_TRUE(m_engine->LoadTargetPicture(nullptr, path));
  }

  // A target and a montage made from a small collection of gray tiles.
  void Montage() {
    Target();
    TileSetIndexWriter writer;
    ASSERT_TRUE(writer.BeginTileSetIndex(m_registry->IndexFolder(kMyCollection) / "G.TXS", 0));
    const fs::path folder = m_registry->TileFolder(kMyCollection, "G");
    constexpr int kTiles = 8;
    for (int n = 0; n < kTiles; ++n) {
      const auto value = std::uint8_t(n * 255 / (kTiles - 1));
      TileStatistics statistics;
      statistics.cells.fill(value);
      statistics.meanColour = value | value << 8 | std::uint32_t(value) << 16;
      ASSERT_TRUE(writer.AppendTileRecord(std::uint32_t(n), statistics));
      writer.AdvanceTileCounter();
      char name[16];
      std::snprintf(name, sizeof name, "%03d.txd", n);
      const fs::path file = folder / "Res10" / "000" / name;
      fs::create_directories(file.parent_path());
      PackedImage tile(CreatePackedImage(80, 60, statistics.meanColour, 0));
      ASSERT_EQ(EzSaveFile(tile.get(), file.c_str(), kSaveJpeg, nullptr), 0);
    }
    ASSERT_TRUE(writer.EndTileSetIndex(false));
    ASSERT_TRUE(m_registry->AddCollection(kMyCollection, "G.TXS", "G", folder.string(), 1));
    MontageRequest request;
    request.seed = 7;
    env.sink->answer = NoticeAnswer::Yes;  // go on with few tiles
    ASSERT_TRUE(m_engine->CreateMontage(nullptr, request, nullptr));
    ASSERT_TRUE(m_engine->montagePresent());
    ASSERT_TRUE(m_engine->montageUnsaved());
  }

  std::optional<std::string> Ask() { return AskSaveFileName(nullptr, Folder()); }

  guitest::ProgramEnvironment env;
  Configuration m_configuration{env.dir.path() / "P" / "Tesserix.set",
                                env.dir.path() / "U" / "Tesserix.ini"};
  std::unique_ptr<CollectionRegistry> m_registry;
  std::unique_ptr<MontageEngine> m_engine;
};

TEST_F(SaveTest, DialogStartsOnJpegAndShowsTheOptionsOfEachType) {
  SaveAsDialog dialog(nullptr, QString::fromStdString(Folder().string()));
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(dialog.windowTitle().toStdString(), LoadText(kStrSaveAsTitle));
  EXPECT_EQ(dialog.typeCode(), kSaveTypeJpg);
  EXPECT_EQ(dialog.defaultSuffix(), "JPG");
  EXPECT_EQ(dialog.nameFilters().size(), kSaveTypeCount);

  auto* flag = dialog.findChild<QCheckBox*>(kSaveFlagBoxName);
  auto* second = dialog.findChild<QCheckBox*>(kSaveSecondGifBoxName);
  auto* quality = dialog.findChild<QSlider*>(kSaveQualitySliderName);
  ASSERT_TRUE(flag && second && quality);
  EXPECT_EQ(quality->minimum(), kMinSaveQuality);
  EXPECT_EQ(quality->maximum(), kMaxSaveQuality);
  EXPECT_EQ(quality->pageStep(), kQualityPageStep);
  EXPECT_EQ(quality->value(), kStartSaveQuality);

  CurrentSaveOptions().compress = 1;
  CurrentSaveOptions().interlace = 0;
  const std::string compress = LoadText(kStrCompressBox);
  const std::string interlace = LoadText(kStrInterlaceBox);
  struct Case {
    int code;
    bool flag, second, quality;
    std::string caption;
    bool checked;
  };
  const Case cases[] = {
      {kSaveTypeBmp, false, false, false, "", false},
      {kSaveTypeTif, true, false, false, compress, true},
      {kSaveTypePcx, false, false, false, "", false},
      {kSaveTypeGif, true, true, false, interlace, false},
      {kSaveTypeTga, true, false, false, compress, true},
      {kSaveTypeJpg, false, false, true, "", false},
      {kSaveTypeFpx, false, false, true, "", false},
      {kSaveTypePng, false, false, false, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_TRUE(dialog.SelectType(c.code));
    EXPECT_EQ(dialog.typeCode(), c.code);
    EXPECT_EQ(flag->isVisible(), c.flag);
    EXPECT_EQ(second->isVisible(), c.second);
    EXPECT_EQ(quality->isVisible(), c.quality);
    if (c.flag) {
      EXPECT_EQ(flag->text().toStdString(), c.caption);
      EXPECT_EQ(flag->isChecked(), c.checked);
    }
    EXPECT_EQ(dialog.defaultSuffix().toStdString(), SaveTypeExtension(c.code).substr(1));
  }
  dialog.reject();
}

TEST_F(SaveTest, WithoutGifTheFourthEntryIsTgaWithTheCompressBox) {
  StartupSettings settings;
  settings.noGif = 1;
  SetStartupSettings(settings);
  SaveAsDialog dialog(nullptr, QString::fromStdString(Folder().string()));
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_EQ(dialog.nameFilters().size(), kSaveTypeCount - 1);
  EXPECT_EQ(dialog.typeCode(), kSaveTypeJpg);
  EXPECT_FALSE(dialog.SelectType(kSaveTypeGif));

  // The user picks the fourth entry of the list.
  auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  ASSERT_NE(combo, nullptr);
  combo->setCurrentIndex(3);
  EXPECT_EQ(dialog.typeCode(), kSaveTypeTga);
  auto* flag = dialog.findChild<QCheckBox*>(kSaveFlagBoxName);
  EXPECT_TRUE(flag->isVisible());
  EXPECT_EQ(flag->text().toStdString(), LoadText(kStrCompressBox));
  EXPECT_FALSE(dialog.findChild<QCheckBox*>(kSaveSecondGifBoxName)->isVisible());
  dialog.reject();
}

TEST_F(SaveTest, OkGivesTheNameWithTheTypeExtensionAndKeepsTheOptions) {
  {
    // A bare name gets the type's extension; the options shown are kept.
    DialogDriver driver({[](SaveAsDialog& dialog) {
      dialog.SelectType(kSaveTypeTif);
      dialog.findChild<QCheckBox*>(kSaveFlagBoxName)->setChecked(true);
      TypeName(dialog, "picture");
      dialog.accept();
    }});
    EXPECT_EQ(Ask(), In("picture.TIF"));
    EXPECT_EQ(CurrentSaveOptions().typeCode, kSaveTypeTif);
    EXPECT_EQ(CurrentSaveOptions().compress, 1);
    EXPECT_EQ(RememberedSaveFolder(), Folder().string());
  }
  {
    // The quality slider's position is stored for JPEG.
    DialogDriver driver({[](SaveAsDialog& dialog) {
      dialog.SelectType(kSaveTypeJpg);
      dialog.findChild<QSlider*>(kSaveQualitySliderName)->setValue(35);
      TypeName(dialog, "q");
      dialog.accept();
    }});
    EXPECT_EQ(Ask(), In("q.JPG"));
    EXPECT_EQ(CurrentSaveOptions().quality, 35);
    EXPECT_EQ(CurrentSaveOptions().compress, 1) << "options of other types stay";
  }
  {
    // A typed extension is kept whatever the type.
    DialogDriver driver({Choose(kSaveTypeJpg, "photo.bmp")});
    EXPECT_EQ(Ask(), In("photo.bmp"));
  }
  {
    // A dot in a folder name is no extension.
    fs::create_directories(Folder() / "my.pics");
    DialogDriver driver({Choose(kSaveTypePng, "my.pics/photo")});
    EXPECT_EQ(Ask(), (Folder() / "my.pics" / "photo.PNG").string());
    EXPECT_EQ(RememberedSaveFolder(), (Folder() / "my.pics").string());
  }
  {
    // Cancel gives nothing.
    DialogDriver driver({[](SaveAsDialog& dialog) { dialog.reject(); }});
    EXPECT_EQ(Ask(), std::nullopt);
  }
}

TEST_F(SaveTest, OkWithAnEmptyNameShowsTheDialogAgain) {
  DialogDriver driver({[](SaveAsDialog& dialog) {
                         TypeName(dialog, "");
                         dialog.accept();
                       },
                       Choose(kSaveTypeBmp, "again")});
  EXPECT_EQ(Ask(), In("again.BMP"));
  EXPECT_EQ(driver.showings(), 2);
}

TEST_F(SaveTest, OverwriteQuestionIsAboutTheNameThatWillBeWritten) {
  // "photo" becomes "photo.JPG", which exists: the user is asked first.
  std::ofstream(Folder() / "photo.JPG") << "keep me";
  MessageBoxRefuser refuser;
  DialogDriver driver({Choose(kSaveTypeJpg, "photo"), [](SaveAsDialog& dialog) {
                         // Still open after No.
                         dialog.reject();
                       }});
  EXPECT_EQ(Ask(), std::nullopt);
  EXPECT_EQ(refuser.texts.size(), 1);
  EXPECT_EQ(driver.showings(), 2);
  EXPECT_EQ(fs::file_size(Folder() / "photo.JPG"), 7u);
}

TEST_F(SaveTest, SaveWithoutTargetBeepsAndAsksNothing) {
  DialogDriver driver({});
  EXPECT_EQ(SaveShownPicture(nullptr, *m_engine, nullptr, Folder()), std::nullopt);
  EXPECT_EQ(env.sink->beeps, 1);
  EXPECT_EQ(driver.showings(), 0);
}

TEST_F(SaveTest, SavingTheMontageWritesItAndClearsTheUnsavedFlag) {
  Montage();
  DialogDriver driver({Choose(kSaveTypeTif, "Mosaic")});
  const std::optional<std::string> title =
      SaveShownPicture(nullptr, *m_engine, m_engine->montage(), Folder());
  const fs::path file = Folder() / "Mosaic.TIF";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_GT(fs::file_size(file), 0u);
  ASSERT_TRUE(title.has_value());
  std::string lower = file.string();
  for (char& c : lower)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(*title, lower);
  EXPECT_FALSE(m_engine->montageUnsaved());

  // The written file holds the montage.
  PackedImage read(EzLoadTifFile(file.c_str()));
  ASSERT_TRUE(read);
  ImageLock saved(m_engine->montage());
  ImageLock loaded(read.get());
  EXPECT_EQ(loaded.width(), saved.width());
  EXPECT_EQ(loaded.height(), saved.height());
}

TEST_F(SaveTest, SavingTheTargetLeavesTheMontageUnsaved) {
  Montage();
  DialogDriver driver({Choose(kSaveTypeBmp, "target-copy")});
  EXPECT_TRUE(SaveShownPicture(nullptr, *m_engine, m_engine->target(), Folder()).has_value());
  EXPECT_TRUE(fs::exists(Folder() / "target-copy.BMP"));
  EXPECT_TRUE(m_engine->montageUnsaved());
}

TEST_F(SaveTest, SavingACroppedTargetClearsItsModifiedFlag) {
  Target();
  ASSERT_TRUE(m_engine->ReplaceTarget(testing::MakePatternImage(30, 40, 24)));
  ASSERT_TRUE(m_engine->targetModified());
  DialogDriver driver({Choose(kSaveTypePng, "cropped")});
  EXPECT_TRUE(SaveShownPicture(nullptr, *m_engine, m_engine->target(), Folder()).has_value());
  EXPECT_FALSE(m_engine->targetModified());
}

TEST_F(SaveTest, AFailedSaveKeepsTheMontageUnsaved) {
  Montage();
  // A "folder" that is an ordinary file can hold nothing, even for root.
  std::ofstream(Folder() / "blocked") << "x";
  {
    DialogDriver driver({Choose(kSaveTypeJpg, "blocked/out")});
    EXPECT_EQ(SaveShownPicture(nullptr, *m_engine, m_engine->montage(), Folder()), std::nullopt);
    EXPECT_TRUE(m_engine->montageUnsaved());
    EXPECT_FALSE(env.sink->shown.empty()) << "the failure is reported";
  }
  {
    DialogDriver driver({Choose(kSaveTypeJpg, "blocked/out")});
    EXPECT_FALSE(SaveBeforeClose(nullptr, *m_engine, Folder()));
    EXPECT_TRUE(m_engine->montageUnsaved());
  }
}

TEST_F(SaveTest, SaveBeforeCloseStopsOnCancelAndClearsTheFlagOnSuccess) {
  Montage();
  {
    DialogDriver driver({[](SaveAsDialog& dialog) { dialog.reject(); }});
    EXPECT_FALSE(SaveBeforeClose(nullptr, *m_engine, Folder()));
    EXPECT_TRUE(m_engine->montageUnsaved());
  }
  {
    DialogDriver driver({Choose(kSaveTypeTga, "closing")});
    EXPECT_TRUE(SaveBeforeClose(nullptr, *m_engine, Folder()));
    EXPECT_TRUE(fs::exists(Folder() / "closing.TGA"));
    EXPECT_FALSE(m_engine->montageUnsaved());
  }
}

}  // namespace
}  // namespace tx
