// The crop screen driven through the main window: entering with and without
// a target, the ratio list, the sliders, OK and Cancel.

#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <QtWidgets/QLabel>

#include "app/program/crop_screen.h"
#include "app/program/montage_path.h"
#include "app/views/crop_preview.h"
#include "app/widgets/skin_panel_widget.h"
#include "collections/collection_registry.h"
#include "rastio/rastio.h"
#include "tests/gui/program_support.h"

namespace tx {
namespace {

constexpr int kThreeToFour = 3;

QPoint Centre(const ButtonRect& rect) {
  return QPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

class CropScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(env.bound);
    window =
        std::make_unique<MainWindow>(path.Hooks(), guitest::ProgramEnvironment::ProgramFolder());
    // Wired as the program wires it: the montage path makes and connects
    // the crop screen.
    path.Attach(*window);
    crop = path.cropScreen();
    ASSERT_NE(crop, nullptr);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }
  void TearDown() override { window.reset(); }

  // A 24-bit picture file of w x h, all of gray `level` or a pattern.
  std::filesystem::path Picture(int w, int h, int level = -1) {
    PackedImage image = level < 0
                            ? testing::MakePatternImage(w, h, 24)
                            : PackedImage(CreatePackedImage(w, h, ColourWord(level * 0x010101), 0));
    const std::filesystem::path file = env.dir.path() / "target.bmp";
    EXPECT_EQ(EzSaveFile(image.get(), file.string().c_str(), kSaveByExtension, nullptr), 0);
    return file;
  }
  ButtonRect Rect(int controlId) { return window->panel().panel().GetButtonRect(controlId); }
  // The first record of the crop screen running `command`.
  ButtonRecord* Record(const std::string& command) {
    for (ButtonRecord& record : window->panel().panel().records(kScreenCrop))
      if (record.command == command) return &record;
    return nullptr;
  }
  void Click(QPoint at) { QTest::mouseClick(&window->panel(), Qt::LeftButton, {}, at); }
  void ClickCommand(const std::string& command) {
    ButtonRecord* record = Record(command);
    ASSERT_NE(record, nullptr) << command;
    Click(Centre(record->rect));
  }
  QSize TargetSize() {
    std::uint16_t w = 0, h = 0;
    GetImageSize(path.engine().target(), w, h);
    return QSize(w, h);
  }

  guitest::ProgramEnvironment env;
  MontagePath path{Collections()};
  std::unique_ptr<MainWindow> window;
  CropScreen* crop = nullptr;
};

TEST_F(CropScreenTest, WithoutATargetTheScreenIsRefusedWithABeep) {
  const int beeps = env.sink->beeps;
  EXPECT_FALSE(window->GoToScreen(kScreenCrop));
  EXPECT_EQ(env.sink->beeps, beeps + 1);
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_EQ(CurrentCropPreview(), nullptr);
  // OK without a preview makes nothing and stays.
  EXPECT_FALSE(crop->Apply());
  EXPECT_EQ(path.engine().target(), nullptr);
}

TEST_F(CropScreenTest, EnteringShowsThePreviewAndLeavingClosesItWithTheList) {
  ASSERT_TRUE(window->OpenTargetFile(Picture(400, 200)));
  ASSERT_TRUE(window->GoToScreen(kScreenCrop));
  CropPreviewWindow* preview = CurrentCropPreview();
  ASSERT_NE(preview, nullptr);
  EXPECT_TRUE(preview->isVisible());
  const ButtonRect area = Rect(100);
  EXPECT_EQ(preview->geometry(), QRect(area.left, area.top, area.Width(), area.Height()));
  EXPECT_TRUE(preview->state().freeMode());
  EXPECT_FALSE(path.montageWindow()->isVisible());
  EXPECT_EQ(window->panel().areaText(kScreenCrop, 151), CropRatioTexts().at(0));

  ClickCommand("CropRatio");
  ASSERT_NE(window->panel().lists().FindList(kCropRatioList), nullptr);
  ASSERT_TRUE(window->GoToScreen(kScreenMontageSettings));
  EXPECT_EQ(CurrentCropPreview(), nullptr);
  EXPECT_EQ(window->panel().lists().FindList(kCropRatioList), nullptr);
}

TEST_F(CropScreenTest, ThreeToFourChosenInTheListThenOkMakesAThreeByFourTarget) {
  ASSERT_TRUE(window->OpenTargetFile(Picture(400, 200)));
  const GlobalHandle before = path.engine().target();
  ASSERT_TRUE(window->GoToScreen(kScreenCrop));

  // The list opens under the field with every ratio, the current one selected.
  ClickCommand("CropRatio");
  SkinnedList* list = window->panel().lists().FindList(kCropRatioList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->area().left, Rect(151).left);
  EXPECT_EQ(list->area().top, Rect(151).bottom);
  ASSERT_EQ(list->store().count(), int(CropRatioTexts().size()));
  EXPECT_EQ(list->store().selection(), 0);

  const std::string wanted = CropRatioTexts().at(kThreeToFour).toStdString();
  ButtonRect row{};
  for (const ListRowDraw& draw : list->RowsToDraw())
    if (draw.text == wanted) row = draw.rect;
  ASSERT_FALSE(row.IsEmpty()) << "row " << wanted << " not in view";
  Click(Centre(row));
  QCoreApplication::processEvents();

  EXPECT_EQ(window->panel().lists().FindList(kCropRatioList), nullptr);
  EXPECT_EQ(crop->ratioEntry(), kThreeToFour);
  EXPECT_EQ(crop->ratioText().toStdString(), wanted);
  EXPECT_EQ(window->panel().areaText(kScreenCrop, 151).toStdString(), wanted);
  ASSERT_NE(CurrentCropPreview(), nullptr);
  EXPECT_EQ(CurrentCropPreview()->state().ratioEntry(), kThreeToFour);

  ClickCommand("CropOk");
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_EQ(CurrentCropPreview(), nullptr);
  EXPECT_NE(path.engine().target(), before);
  EXPECT_TRUE(path.engine().targetModified());
  // 400 x 200 is shown unscaled, so the 3 : 4 rectangle is 150 x 200.
  const QSize size = TargetSize();
  EXPECT_NEAR(size.width(), 150, 1);
  EXPECT_NEAR(size.height(), 200, 1);
  EXPECT_NEAR(size.width() * 4, size.height() * 3, 4);
  // Home shows the new target.
  EXPECT_EQ(path.ShownPicture(), path.engine().target());
  ASSERT_NE(path.montageWindow(), nullptr);
  EXPECT_TRUE(path.montageWindow()->isVisible());
}

TEST_F(CropScreenTest, CancelKeepsTheTargetAsItWas) {
  ASSERT_TRUE(window->OpenTargetFile(Picture(400, 200)));
  const GlobalHandle before = path.engine().target();
  ASSERT_TRUE(window->GoToScreen(kScreenCrop));
  crop->ChooseRatio(kThreeToFour);
  ClickCommand("CropCancel");
  EXPECT_EQ(window->screen(), kScreenHome);
  EXPECT_EQ(CurrentCropPreview(), nullptr);
  EXPECT_EQ(path.engine().target(), before);
  EXPECT_FALSE(path.engine().targetModified());
  EXPECT_EQ(TargetSize(), QSize(400, 200));
  EXPECT_TRUE(path.montageWindow()->isVisible());

  // Coming back starts again from the free ratio.
  ASSERT_TRUE(window->GoToScreen(kScreenCrop));
  EXPECT_EQ(crop->ratioEntry(), 0);
  EXPECT_TRUE(CurrentCropPreview()->state().freeMode());
}

TEST_F(CropScreenTest, TheSlidersReachThePreviewAndTheAppliedPicture) {
  constexpr int kGray = 128;
  ASSERT_TRUE(window->OpenTargetFile(Picture(64, 48, kGray)));
  ASSERT_TRUE(window->GoToScreen(kScreenCrop));
  ButtonRecord* brightness = Record("CropBrightness");
  ButtonRecord* contrast = Record("CropContrast");
  ASSERT_NE(brightness, nullptr);
  ASSERT_NE(contrast, nullptr);
  // The new value rides in the high half; out-of-range values are held in.
  contrast->handler(ButtonCall{MakeArg(2, 70)});
  EXPECT_EQ(CurrentCropPreview()->state().contrast(), 70);
  contrast->handler(ButtonCall{MakeArg(2, 50)});
  brightness->handler(ButtonCall{MakeArg(1, 500)});
  EXPECT_EQ(crop->brightness(), kCropSliderMax);
  EXPECT_EQ(CurrentCropPreview()->state().brightness(), kCropSliderMax);

  // Full brightness pushes mid gray to white in the new target.
  ASSERT_TRUE(crop->Apply());
  ImageLock lock(path.engine().target());
  ASSERT_TRUE(lock);
  EXPECT_EQ(lock.row(0)[0], 255);

  // The sliders keep their values for the next preview.
  ASSERT_TRUE(window->GoToScreen(kScreenHome));
  ASSERT_TRUE(window->GoToScreen(kScreenCrop));
  EXPECT_EQ(CurrentCropPreview()->state().brightness(), kCropSliderMax);
}

}  // namespace
}  // namespace tx
