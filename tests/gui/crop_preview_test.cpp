// The crop preview window on the offscreen platform: fitting, the cropped
// pixels, the shown picture, mouse drags with their cursors, and the crop
// screen's calls.

#include <gtest/gtest.h>

#include <QtCore/QDir>
#include <QtCore/QPointer>
#include <QtGui/QGuiApplication>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>
#include <memory>

#include "app/views/crop_preview.h"
#include "image/image_utils.h"
#include "platform/cancel_flag.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"
#include "tests/gui/gui_support.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::PixelAt;

bool SameColour(const RgbQuad& a, const RgbQuad& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

// Every pixel of `picture` equals the target's pixel at (x + dx, y + dy)
// after `table`.
void ExpectCropOf(GlobalHandle picture, GlobalHandle target, int dx, int dy, int width, int height,
                  const std::array<std::uint8_t, 256>* table = nullptr) {
  const ImageLock lock(picture);
  ASSERT_TRUE(lock.valid());
  ASSERT_EQ(lock.width(), width);
  ASSERT_EQ(lock.height(), height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      RgbQuad want = PixelAt(target, x + dx, y + dy);
      if (table) {
        want.red = (*table)[want.red];
        want.green = (*table)[want.green];
        want.blue = (*table)[want.blue];
      }
      ASSERT_TRUE(SameColour(PixelAt(picture, x, y), want)) << "at " << x << "," << y;
    }
  }
}

class CropPreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guitest::App();
    host = std::make_unique<QWidget>();
    host->resize(400, 400);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
  }
  void TearDown() override {
    CloseCropPreview();
    host.reset();
  }
  CropPreviewWindow* Open(GlobalHandle target, QRect area = QRect(10, 20, 320, 320)) {
    EXPECT_TRUE(OpenCropPreview(host.get(), area, target));
    CropPreviewWindow* window = CurrentCropPreview();
    EXPECT_NE(window, nullptr);
    if (window) {
      EXPECT_EQ(window->geometry(), area);
    }
    return window;
  }
  std::unique_ptr<QWidget> host;
};

TEST_F(CropPreviewTest, FitsTheTargetCentredAndNeverEnlarged) {
  struct Case {
    int width, height;
    ImageRect picture;
  };
  const Case cases[] = {
      {640, 480, {0, 40, 320, 280}},    // reduced, centred vertically
      {480, 640, {40, 0, 280, 320}},    // reduced, centred horizontally
      {100, 50, {110, 135, 210, 185}},  // small: its own size
      {3000, 20, {0, 159, 320, 161}},   // a long strip stays at least a line
      {1, 1, {159, 159, 160, 160}},
  };
  for (const Case& c : cases) {
    PackedImage target = MakePatternImage(c.width, c.height, 24);
    CropPreviewWindow* window = Open(target.get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->state().picture(), c.picture) << c.width << " x " << c.height;
    EXPECT_EQ(window->state().crop(), c.picture) << c.width << " x " << c.height;
    CloseCropPreview();
  }
}

TEST_F(CropPreviewTest, MiddleSlidersGiveTheExactCroppedPixels) {
  PackedImage target = MakePatternImage(200, 100, 24);
  Open(target.get());
  SetCropRatio(1);  // 100 x 100 in the middle of P = (60, 110)-(260, 210)
  PackedImage square(ApplyCrop());
  ExpectCropOf(square.get(), target.get(), 50, 0, 100, 100);

  // Indexed targets keep their depth and colours.
  PackedImage indexed = MakePatternImage(120, 90, 8);
  Open(indexed.get());
  PackedImage whole(ApplyCrop());
  EXPECT_EQ(GetImageBitCount(whole.get()), 8);
  ExpectCropOf(whole.get(), indexed.get(), 0, 0, 120, 90);
}

TEST_F(CropPreviewTest, ReducedTargetMapsBackToItsOwnPixels) {
  PackedImage target = MakePatternImage(640, 480, 24);
  CropPreviewWindow* window = Open(target.get());
  ASSERT_NE(window, nullptr);
  // Drag the left edge 10 display pixels in and the top edge 5 down: the
  // display is half size, so the target loses 20 columns and 10 rows.
  QTest::mousePress(window, Qt::LeftButton, {}, QPoint(1, 200));
  QTest::mouseMove(window, QPoint(6, 200));
  QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(11, 200));
  QTest::mousePress(window, Qt::LeftButton, {}, QPoint(150, 40));
  QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(150, 45));
  EXPECT_EQ(window->state().crop(), (ImageRect{10, 45, 320, 280}));
  PackedImage cropped(ApplyCrop());
  ExpectCropOf(cropped.get(), target.get(), 20, 10, 620, 470);
}

TEST_F(CropPreviewTest, BrightnessAndContrastReachTheResult) {
  PackedImage target = MakePatternImage(64, 48, 24);
  Open(target.get());
  SetCropBrightness(80);
  SetCropContrast(35);
  std::array<std::uint8_t, 256> table{};
  ASSERT_TRUE(BuildCropToneTable(CropSliderOffset(80), CropSliderOffset(35), table));
  PackedImage adjusted(ApplyCrop());
  ExpectCropOf(adjusted.get(), target.get(), 0, 0, 64, 48, &table);
}

TEST_F(CropPreviewTest, ShownPictureLightensOutsideTheRectangle) {
  PackedImage target = MakePatternImage(200, 100, 24);
  CropPreviewWindow* window = Open(target.get());
  ASSERT_NE(window, nullptr);
  SetCropRatio(1);
  SetCropBrightness(70);
  std::array<std::uint8_t, 256> table{};
  BuildCropToneTable(CropSliderOffset(70), 0, table);
  const QImage shown = window->ShownPicture();
  ASSERT_EQ(shown.size(), QSize(200, 100));
  for (const QPoint at : {QPoint(0, 0), QPoint(49, 99), QPoint(50, 0), QPoint(149, 99),
                          QPoint(150, 50), QPoint(199, 0)}) {
    const bool inside = at.x() >= 50 && at.x() < 150;
    const RgbQuad source = PixelAt(target.get(), at.x(), at.y());
    auto expect = [&](std::uint8_t v) { return inside ? table[v] : LightenOutsideCrop(table[v]); };
    const QRgb got = shown.pixel(at);
    EXPECT_EQ(qRed(got), expect(source.red)) << at.x() << "," << at.y();
    EXPECT_EQ(qGreen(got), expect(source.green)) << at.x() << "," << at.y();
    EXPECT_EQ(qBlue(got), expect(source.blue)) << at.x() << "," << at.y();
  }
  // Painted: the shown picture inside P, black around it.
  const QImage painted = window->grab().toImage();
  // Kept beside the tests for a look at the outline and the lightening.
  QDir().mkpath(QStringLiteral(QT_TESTCASE_BUILDDIR "/screenshots"));
  painted.save(QStringLiteral(QT_TESTCASE_BUILDDIR "/screenshots/crop_preview.png"));
  EXPECT_EQ(painted.pixel(80, 150), shown.pixel(20, 40));
  EXPECT_EQ(painted.pixel(160, 160), shown.pixel(100, 50));
  EXPECT_EQ(painted.pixel(5, 5), qRgb(0, 0, 0));
  // The outline inverts dots along the rectangle's top edge.
  int changed = 0;
  for (int x = 120; x < 200; ++x)
    changed += painted.pixel(x, 110) != shown.pixel(x - 60, 0);
  EXPECT_GT(changed, 20);
}

TEST_F(CropPreviewTest, MouseMovesTheRectangleWithHandCursors) {
  PackedImage target = MakePatternImage(200, 100, 24);
  CropPreviewWindow* window = Open(target.get());
  ASSERT_NE(window, nullptr);
  SetCropRatio(1);  // (110, 110)-(210, 210)
  QSignalSpy changes(window, &CropPreviewWindow::cropChanged);
  QTest::mouseMove(window, QPoint(160, 160));
  EXPECT_EQ(window->cursor().shape(), Qt::OpenHandCursor);
  QTest::mouseMove(window, QPoint(20, 20));
  EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
  QTest::mousePress(window, Qt::LeftButton, {}, QPoint(160, 160));
  EXPECT_EQ(window->state().dragMode(), kDragMove);
  EXPECT_EQ(window->cursor().shape(), Qt::ClosedHandCursor);
  QTest::mouseMove(window, QPoint(140, 170));
  QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(100, 170));
  // Held at the picture's left edge, and at its top and bottom.
  EXPECT_EQ(window->state().crop(), (ImageRect{60, 110, 160, 210}));
  EXPECT_EQ(window->state().dragMode(), kDragNone);
  EXPECT_EQ(changes.count(), 1);
  PackedImage moved(ApplyCrop());
  ExpectCropOf(moved.get(), target.get(), 0, 0, 100, 100);
}

TEST_F(CropPreviewTest, MouseResizesAFixedRatioFromACorner) {
  PackedImage target = MakePatternImage(200, 100, 24);
  CropPreviewWindow* window = Open(target.get());
  ASSERT_NE(window, nullptr);
  SetCropRatio(1);
  QTest::mouseMove(window, QPoint(209, 209));
  EXPECT_EQ(window->cursor().shape(), Qt::SizeFDiagCursor);
  QTest::mouseMove(window, QPoint(209, 111));
  EXPECT_EQ(window->cursor().shape(), Qt::SizeBDiagCursor);
  // An edge of a fixed ratio starts nothing.
  QTest::mouseMove(window, QPoint(110, 160));
  EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
  QTest::mousePress(window, Qt::LeftButton, {}, QPoint(209, 209));
  EXPECT_EQ(window->state().dragMode(), kDragBottomRight);
  QTest::mouseMove(window, QPoint(199, 209));
  QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(199, 209));
  EXPECT_EQ(window->state().crop(), (ImageRect{120, 120, 200, 200}));
  PackedImage smaller(ApplyCrop());
  ExpectCropOf(smaller.get(), target.get(), 60, 10, 80, 80);
}

TEST_F(CropPreviewTest, OutlineMarches) {
  PackedImage target = MakePatternImage(50, 50, 24);
  CropPreviewWindow* window = Open(target.get());
  ASSERT_NE(window, nullptr);
  const int first = window->state().outlinePhase();
  for (int waited = 0; waited < 2000 && window->state().outlinePhase() == first; waited += 50)
    QTest::qWait(50);
  EXPECT_EQ(window->state().outlinePhase(), (first + 1) % kCropOutlinePhases);
}

TEST_F(CropPreviewTest, EmptyAndTinyTargets) {
  CropPreviewWindow* empty = Open(nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->ShownPicture().isNull());
  EXPECT_EQ(empty->grab().toImage().pixel(160, 160), qRgb(0, 0, 0));
  QTest::mousePress(empty, Qt::LeftButton, {}, QPoint(160, 160));
  QTest::mouseRelease(empty, Qt::LeftButton, {}, QPoint(170, 160));
  EXPECT_EQ(ApplyCrop(), nullptr);
  bool called = false;
  EXPECT_EQ(SaveCroppedPicture([&](GlobalHandle) { return called = true; }), 0);
  EXPECT_FALSE(called);

  // A one-pixel picture is narrower than any crop limit and still crops.
  PackedImage dot = MakePatternImage(1, 1, 24);
  Open(dot.get());
  SetCropRatio(5);
  PackedImage same(ApplyCrop());
  ExpectCropOf(same.get(), dot.get(), 0, 0, 1, 1);
}

TEST_F(CropPreviewTest, StaleCancelDoesNotAbortTheCrop) {
  PackedImage target = MakePatternImage(40, 30, 24);
  Open(target.get());
  RequestCancel();
  PackedImage cropped(ApplyCrop());
  EXPECT_TRUE(cropped);
  EXPECT_FALSE(ImageAbortSwitch());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  ClearCancel();
}

TEST_F(CropPreviewTest, ScreenCallsFollowTheOpenWindow) {
  CloseCropPreview();
  EXPECT_EQ(CurrentCropPreview(), nullptr);
  SetCropRatio(3);
  SetCropBrightness(10);
  EXPECT_EQ(ApplyCrop(), nullptr);

  PackedImage target = MakePatternImage(80, 60, 24);
  QPointer<CropPreviewWindow> first = Open(target.get());
  CropPreviewWindow* second = Open(target.get());
  // One window at a time: the first goes away.
  ASSERT_FALSE(first.isNull());
  EXPECT_TRUE(first->isHidden());
  EXPECT_EQ(CurrentCropPreview(), second);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());

  int calls = 0;
  EXPECT_EQ(SaveCroppedPicture([&](GlobalHandle picture) {
              ++calls;
              const ImageLock lock(picture);
              return lock.valid() && lock.width() == 80 && lock.height() == 60;
            }),
            1);
  EXPECT_EQ(SaveCroppedPicture([&](GlobalHandle) { return false; }), 0);
  EXPECT_EQ(calls, 1);
  // Closing from the window's own signal is safe.
  QPointer<CropPreviewWindow> open = second;
  QObject::connect(second, &CropPreviewWindow::cropChanged, [] { CloseCropPreview(); });
  QTest::mousePress(second, Qt::LeftButton, {}, QPoint(160, 160));
  QTest::mouseRelease(second, Qt::LeftButton, {}, QPoint(165, 160));
  EXPECT_EQ(CurrentCropPreview(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(open.isNull());
}

TEST_F(CropPreviewTest, RatioListTexts) {
  std::string error;
  ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
  const QStringList texts = CropRatioTexts();
  ASSERT_EQ(texts.size(), kCropRatioCount);
  EXPECT_FALSE(texts[0].isEmpty());
  EXPECT_EQ(texts[0].toStdString(), LoadText(kStrCropRatioFree));
  EXPECT_EQ(texts[3], QStringLiteral("3 : 4"));
  EXPECT_EQ(texts[9], QStringLiteral("7 : 5"));
}

}  // namespace
}  // namespace tx
