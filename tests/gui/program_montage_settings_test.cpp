// The montage settings screen and Create, on the shipped sample collection:
// the lists, fields, toggles and caption as a user sets them, and the whole
// path from a picture file to a saved montage, with what must stay safe
// while a run works.

#include <gtest/gtest.h>

#include <QtTest/QTest>

#include <fstream>

#include "app/program/montage_path.h"
#include "app/views/crop_preview.h"
#include "app/views/crop_state.h"
#include "app/views/full_screen_state.h"
#include "app/views/full_screen_view.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
#include "config/startup_settings.h"
#include "montage/montage_settings.h"
#include "output/save_file_name.h"
#include "output/save_options.h"
#include "platform/cancel_flag.h"
#include "rastio/rastio.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

namespace fs = std::filesystem;
using guitest::kRunTimeoutMs;
// The most tiles: a run long enough to be stopped on the way.
constexpr int kMostTiles = kCountTableSize - 1;

// The Save As dialog's action: type `code`, name `path`, OK.
guitest::DialogDriver::Action SaveAs(int code, const fs::path& path) {
  return [code, path](SaveAsDialog& dialog) {
    ASSERT_TRUE(dialog.SelectType(code));
    dialog.setDirectory(QString::fromStdString(path.parent_path().string()));
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromStdString(path.filename().string()));
    dialog.accept();
  };
}

class MontageSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    SetStartupSettings(StartupSettings{});
    CurrentSaveOptions() = SaveOptions{};
    ForgetSaveFolder();
    // Each test starts from the default choices (the profile is shared).
    SaveMontageSettings(MontageSettings{});
    // The shipped settings file names the sample collection; the program
    // folder holds its tile pictures.
    m_configuration = env.ProgramConfiguration();
    m_registry = env.MakeRegistry(*m_configuration, true);
    ASSERT_EQ(m_registry->GetCollectionCount(kDiscCollection), 1);
    ASSERT_TRUE(guitest::ShowProgramWindow(*m_registry, m_path, window));
    ClearCancel();
  }
  void TearDown() override {
    if (FullScreenView* view = CurrentFullScreenView()) view->close();
    window.reset();
    m_path.reset();
    SetStartupSettings(StartupSettings{});
    ForgetSaveFolder();
  }

  MontageSettingsScreen& screen() { return *m_path->settingsScreen(); }
  SkinPanelWidget& panel() { return window->panel(); }

  fs::path Picture(const std::string& name, int w, int h) {
    const PackedImage image = testing::MakePatternImage(w, h, 24);
    const fs::path file = env.dir.path() / name;
    EXPECT_EQ(EzSaveFile(image.get(), file.string().c_str(), kSaveByExtension, nullptr), 0);
    return file;
  }
  fs::path SampleTarget() {
    return guitest::ProgramEnvironment::ProgramFolder() / "sample-target.jpg";
  }

  bool CreateAndWait() { return guitest::CreateAndWait(*window, *m_path); }

  // Clicks the middle of the row showing item `item` of list `id`.
  void ClickListItem(int id, int item) { guitest::ClickListRow(window->panel(), id, item); }

  guitest::ProgramEnvironment env;
  std::unique_ptr<Configuration> m_configuration;
  std::unique_ptr<CollectionRegistry> m_registry;
  std::unique_ptr<MontagePath> m_path;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MontageSettingsTest, TheCollectionListsShowTheRegistryAndStoreEachTick) {
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  SkinnedList* discs = panel().lists().FindList(kDiscCollectionList);
  ASSERT_NE(discs, nullptr);
  EXPECT_NE(panel().lists().FindList(kMyCollectionList), nullptr);
  // Not the video edition: no video collection list.
  EXPECT_EQ(panel().lists().FindList(kVideoCollectionList), nullptr);
  ASSERT_EQ(discs->store().count(), 1);
  EXPECT_EQ(discs->store().GetTick(0), 1);

  // Clicks advance the weight 1, 2, 3, 0 and each is the collection's status.
  for (int expected : {2, 3, 0, 1}) {
    ClickListItem(kDiscCollectionList, 0);
    EXPECT_EQ(m_registry->GetCollectionStatus(kDiscCollection, 0), expected);
  }
  ASSERT_TRUE(window->GoToScreen(kScreenHome));
  EXPECT_EQ(panel().lists().FindList(kDiscCollectionList), nullptr);
}

TEST_F(MontageSettingsTest, TheSettingsFileShapesTheScreen) {
  StartupSettings startup;
  startup.maxImageNum = 1000;
  startup.lowResOnly = 1;
  startup.videoEdition = 1;
  SetStartupSettings(startup);
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  EXPECT_NE(panel().lists().FindList(kVideoCollectionList), nullptr);
  const QStringList counts = screen().Entries(kTileCountList);
  ASSERT_EQ(counts.size(), kCountTableSize);
  EXPECT_EQ(counts[1], QStringLiteral("657 張以內"));
  EXPECT_EQ(counts[7], QStringLiteral("1000 張以內"));
  EXPECT_EQ(screen().Entries(kResolutionList), QStringList{QStringLiteral("小")});
  // No target: no estimate, and neither choice lowers the other.
  EXPECT_EQ(screen().EstimateText(), QStringLiteral("檔案大小: 0 MB  "));
  screen().Choose(kTileCountList, 7);
  EXPECT_EQ(screen().settings().blockNum, 7);
}

TEST_F(MontageSettingsTest, FieldsShowTheirChoiceAndTheLimitRulesGiveWay) {
  StartupSettings startup;
  startup.outputSizeLimit = 30;
  SetStartupSettings(startup);
  ASSERT_TRUE(window->OpenTargetFile(Picture("big.bmp", 1600, 1200)));
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  EXPECT_EQ(screen().FieldText(kTileCountList), QStringLiteral("600 張以內"));
  EXPECT_EQ(screen().FieldText(kCaptionPlaceList), QStringLiteral("下方圖外"));
  EXPECT_EQ(screen().EstimateText(),
            QStringLiteral("檔案大小: %1 MB  ")
                .arg(EstimateOutputMegabytes(1600, 1200, screen().settings(), Settings())));

  // A field opens its list under it; a pick closes it and stores the choice.
  screen().ToggleDropDown(kGridBorderList);
  SkinnedList* list = panel().lists().FindList(kGridBorderList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->store().count(), kGridBorderChoices);
  ClickListItem(kGridBorderList, 4);
  EXPECT_EQ(panel().lists().FindList(kGridBorderList), nullptr);
  EXPECT_EQ(screen().settings().gridBorder, 4);
  EXPECT_EQ(LoadMontageSettings().gridBorder, 4);
  EXPECT_EQ(panel().areaText(kScreenMontageSettings, 156), QStringLiteral("有格線/細邊框"));

  // The long tile count list covers the caption field, which gives way
  // while the list is open.
  screen().ToggleDropDown(kTileCountList);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !screen().captionField()->isVisible(); }));
  screen().ToggleDropDown(kTileCountList);
  EXPECT_TRUE(QTest::qWaitFor([&] { return screen().captionField()->isVisible(); }));

  // 2000 tiles at the large resolution would pass 30 MB: the new
  // resolution lowers the tile count until the estimate fits.
  screen().Choose(kTileCountList, 7);
  EXPECT_EQ(screen().settings().blockNum, 7);
  screen().Choose(kResolutionList, 1);
  EXPECT_EQ(screen().settings().resolution, 1);
  EXPECT_LT(screen().settings().blockNum, 7);
  // A new tile count lowers the resolution instead.
  screen().Choose(kTileCountList, 7);
  EXPECT_EQ(screen().settings().resolution, 0);
  EXPECT_LE(EstimateOutputMegabytes(1600, 1200, screen().settings(), Settings()), 30);

  const int colour = screen().settings().allowColor;
  screen().FlipToggle(0);
  EXPECT_EQ(screen().settings().allowColor, 1 - colour);
  EXPECT_EQ(LoadMontageSettings().allowColor, 1 - colour);
}

TEST_F(MontageSettingsTest, TheCaptionFieldFontAndSpecialPictures) {
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  QLineEdit* caption = screen().captionField();
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->maxLength(), kCaptionFieldCharacters);
  caption->setText(QString(300, QLatin1Char('x')));
  EXPECT_EQ(screen().Request().captionText.size(), kMaxCaptionCharacters);

  // The font dialog's choice becomes the caption font record and colour.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSize(36);
  font.setBold(true);
  font.setItalic(true);
  screen().lookChooser = [&](const CaptionLook&) {
    return std::optional<CaptionLook>(CaptionLook{CaptionFontOf(font), 0x000000FF});
  };
  screen().ChooseCaptionLook();
  const CaptionFont& chosen = screen().Request().captionFont;
  EXPECT_EQ(chosen.height, -48);
  EXPECT_EQ(chosen.weight, 700);
  EXPECT_TRUE(chosen.italic);
  EXPECT_EQ(chosen.faceName, "DejaVu Sans");
  EXPECT_EQ(screen().Request().captionColour, 0x000000FFu);
  EXPECT_EQ(QColorOf(0x000000FF), QColor(255, 0, 0));
  EXPECT_EQ(QFontOf(chosen).pointSizeF(), 36.0);
  // Cancelling changes nothing.
  screen().lookChooser = [](const CaptionLook&) { return std::optional<CaptionLook>(); };
  screen().ChooseCaptionLook();
  EXPECT_EQ(screen().captionLook().font.height, -48);

  // A picture chosen for the signature is kept as its file and previewed; a
  // file that is no picture changes nothing.
  const fs::path text = env.dir.path() / "notes.txt";
  std::ofstream(text) << "not a picture";
  screen().pictureChooser = [&] { return text; };
  screen().ChooseSpecialPicture(SpecialPicture::Signature);
  ThumbnailButton* preview = screen().preview(SpecialPicture::Signature);
  ASSERT_NE(preview, nullptr);
  EXPECT_FALSE(preview->hasPicture());
  const fs::path photo = Picture("me.bmp", 400, 300);
  screen().pictureChooser = [&] { return photo; };
  screen().ChooseSpecialPicture(SpecialPicture::Signature);
  EXPECT_TRUE(preview->hasPicture());
  EXPECT_TRUE(fs::exists(env.dir.path() / "U" / kSignatureFileName));
}

TEST_F(MontageSettingsTest, CreateRefusesAHugeCaptionFontAndNoCollection) {
  ASSERT_TRUE(window->OpenTargetFile(Picture("target.bmp", 160, 120)));
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  screen().captionField()->setText(QStringLiteral("A"));
  screen().lookChooser = [](const CaptionLook& look) {
    CaptionLook huge = look;
    huge.font.height = -401;
    return std::optional<CaptionLook>(huge);
  };
  screen().ChooseCaptionLook();
  m_path->Create();
  EXPECT_FALSE(m_path->run().running());
  EXPECT_EQ(window->screen(), kScreenMontageSettings);
  ASSERT_FALSE(env.sink->shown.empty());
  EXPECT_EQ(env.sink->shown.back(), "字型大小超過允許範圍");
  EXPECT_TRUE(screen().captionField()->hasFocus() || !window->isActiveWindow());

  screen().captionField()->clear();
  m_registry->SetCollectionStatus(kDiscCollection, 0, 0);
  m_path->Create();
  EXPECT_FALSE(m_path->run().running());
  EXPECT_EQ(env.sink->shown.back().rfind("請選取圖庫", 0), 0u);
}

TEST_F(MontageSettingsTest, FromPictureToCroppedTargetToSavedMontage) {
  ASSERT_TRUE(window->OpenTargetFile(SampleTarget()));

  // Crop to 3 : 4.
  ASSERT_TRUE(window->GoToScreen(kScreenCrop));
  int entry = 0;
  while (entry < kCropRatioCount &&
         (CropRatioAt(entry).width != 3 || CropRatioAt(entry).height != 4))
    ++entry;
  ASSERT_LT(entry, kCropRatioCount);
  m_path->cropScreen()->ChooseRatio(entry);
  ASSERT_TRUE(window->hooks().cropApply());
  window->GoToScreen(kScreenHome);
  std::uint16_t width = 0, height = 0;
  GetImageSize(m_path->engine().target(), width, height);
  EXPECT_NEAR(double(width) / height, 0.75, 0.01);
  EXPECT_TRUE(m_path->engine().targetModified());

  ASSERT_TRUE(CreateAndWait());
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_TRUE(m_path->montageShown());
  EXPECT_EQ(m_path->ShownPicture(), m_path->engine().montage());
  EXPECT_TRUE(m_path->engine().montageUnsaved());
  EXPECT_TRUE(panel().statusText().isEmpty());

  // Full screen, zoomed in and out, then closed.
  window->hooks().fullScreen();
  FullScreenView* view = CurrentFullScreenView();
  ASSERT_NE(view, nullptr);
  const int divisor = view->state().divisor();
  view->Command(kCmdViewZoomOut);
  EXPECT_EQ(view->state().divisor(), divisor + 1);
  view->Command(kCmdViewZoomIn);
  EXPECT_EQ(view->state().divisor(), divisor);
  view->close();

  // Saved as JPEG, then as GIF: the montage counts as saved.
  const fs::path folder = env.dir.path() / "saved";
  fs::create_directories(folder);
  RememberSaveFolder((folder / "x").string());
  {
    guitest::DialogDriver driver({SaveAs(kSaveTypeJpg, folder / "montage")});
    window->hooks().save();
  }
  EXPECT_TRUE(fs::exists(folder / "montage.JPG"));
  EXPECT_FALSE(m_path->engine().montageUnsaved());
  {
    guitest::DialogDriver driver({SaveAs(kSaveTypeGif, folder / "montage")});
    window->hooks().save();
  }
  std::uint16_t gifWidth = 0, gifHeight = 0;
  PackedImage gif(EzOpenFile((folder / "montage.GIF").c_str(), 0, 0));
  ASSERT_TRUE(gif);
  GetImageSize(gif.get(), gifWidth, gifHeight);
  GetImageSize(m_path->engine().montage(), width, height);
  EXPECT_EQ(gifWidth, width);
  EXPECT_EQ(gifHeight, height);

  // Saved: closing asks nothing.
  const std::size_t asked = env.sink->asked.size();
  EXPECT_TRUE(window->close());
  EXPECT_EQ(env.sink->asked.size(), asked);
}

TEST_F(MontageSettingsTest, AnUnsavedMontageIsAskedAboutBeforeAnythingReplacesIt) {
  ASSERT_TRUE(window->OpenTargetFile(Picture("target.bmp", 320, 240)));
  ASSERT_TRUE(CreateAndWait());
  ASSERT_TRUE(m_path->engine().montageUnsaved());
  const GlobalHandle montage = m_path->engine().montage();

  // Cancel keeps it: a new target, a crop and closing all stop.
  env.sink->answer = NoticeAnswer::Cancel;
  EXPECT_FALSE(window->OpenTargetFile(Picture("other.bmp", 64, 48)));
  EXPECT_EQ(m_path->engine().montage(), montage);
  ASSERT_TRUE(window->GoToScreen(kScreenCrop));
  EXPECT_FALSE(window->hooks().cropApply());
  window->hooks().cropCancel();
  ASSERT_TRUE(window->GoToScreen(kScreenHome));
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(m_path->engine().montage(), montage);

  // A picture that cannot be read keeps the montage and its protection.
  env.sink->answer = NoticeAnswer::No;
  EXPECT_FALSE(window->OpenTargetFile(env.dir.path() / "missing.jpg"));
  EXPECT_TRUE(m_path->engine().montageUnsaved());

  // No drops it: closing then goes ahead.
  EXPECT_TRUE(window->close());
}

TEST_F(MontageSettingsTest, WhileARunWorksTheWindowStaysSafe) {
  ASSERT_TRUE(window->OpenTargetFile(SampleTarget()));
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  screen().Choose(kTileCountList, kMostTiles);
  bool ended = false;
  bool made = true;
  QObject::connect(&m_path->run(), &MontageRun::finished, window.get(), [&](bool result) {
    made = result;
    ended = true;
  });
  m_path->Create();
  ASSERT_TRUE(m_path->run().running());
  EXPECT_EQ(window->screen(), kScreenHome);

  const int beeps = env.sink->beeps;
  EXPECT_FALSE(window->GoToScreen(kScreenCrop));
  EXPECT_FALSE(window->OpenTargetFile(Picture("dropped.bmp", 64, 48)));
  m_path->Create();              // Create again
  window->hooks().save();        // nothing to save yet
  window->hooks().fullScreen();  // nor to view
  EXPECT_GE(env.sink->beeps, beeps + 4);
  EXPECT_EQ(window->screen(), kScreenHome);

  // Esc stops the run: no montage, the target shown again.
  QTest::keyClick(&panel(), Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, kRunTimeoutMs));
  EXPECT_FALSE(made);
  EXPECT_FALSE(m_path->engine().montagePresent());
  EXPECT_FALSE(m_path->montageShown());
  EXPECT_EQ(m_path->ShownPicture(), m_path->engine().target());

  // Closing during a run stops it first, then closes.
  ended = false;
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  m_path->Create();
  ASSERT_TRUE(m_path->run().running());
  EXPECT_FALSE(window->close());
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, kRunTimeoutMs));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
}

}  // namespace
}  // namespace tx
