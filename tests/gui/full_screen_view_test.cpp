#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <QtCore/QCoreApplication>
#include <QtCore/QPointer>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtGui/QScreen>
#include <QtTest/QTest>

#include "app/views/full_screen_view.h"
#include "app/widgets/skin_panel_widget.h"
#include "platform/notices.h"
#include "resources/resource_binding.h"
#include "tests/gui/gui_support.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

const QRgb kBlueRgb = qRgb(0, 0, 255);
const QRgb kGreenRgb = qRgb(0, 255, 0);
const QRgb kBlackRgb = qRgb(0, 0, 0);

class BeepCounter : public StderrNoticeSink {
 public:
  void Show(const std::string&, const std::string&, NoticeIcon) override { ++shown; }
  void Beep() override { ++beeps; }
  int beeps = 0;
  int shown = 0;
};

// A 24-bit picture, blue on the left half and green on the right.
PackedImage BlueGreen(int width, int height) {
  PackedImage image(CreatePackedImage(width, height, 0x00FF0000, 0));
  const ImageLock lock(image.get());
  for (int y = 0; lock && y < height; ++y) {
    for (int x = width / 2; x < width; ++x)
      PutColourWord(lock.row(y) + 3 * std::size_t(x), 0x0000FF00);
  }
  return image;
}

class FullScreenViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guitest::App();
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    previous = SetNoticeSink(sink);
    owner = std::make_unique<QWidget>();
    blocksBefore = GlobalLiveBlockCount();
  }
  void TearDown() override {
    if (FullScreenView* open = CurrentFullScreenView()) open->close();
    Flush();
    owner.reset();
    SetNoticeSink(previous);
  }
  FullScreenView* Open(GlobalHandle picture) {
    FullScreenView* view = OpenFullScreenView(owner.get(), picture, TESSERIX_BIN_DIR);
    if (view) {
      QObject::connect(view, &FullScreenView::closed, [this] { ++closedCount; });
      EXPECT_TRUE(QTest::qWaitForWindowExposed(view));
    }
    return view;
  }
  // Runs the deletions a close leaves behind.
  static void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
  // Clicks the bar's button running `command` with argument low half `argument`.
  static void ClickBar(FullScreenView* view, const std::string& command, int argument = 0) {
    for (const ButtonRecord& r : view->controlBar()->panel().main()->records()) {
      if (r.command != command || (argument && ArgLow(r.argument) != argument)) continue;
      const QPoint centre((r.rect.left + r.rect.right) / 2, (r.rect.top + r.rect.bottom) / 2);
      QTest::mouseMove(view->controlBar(), centre);
      QTest::mouseClick(view->controlBar(), Qt::LeftButton, {}, centre);
      return;
    }
    ADD_FAILURE() << "no button " << command << " " << argument;
  }
  // A left-button drag on `widget` from `from` to `to`.
  static void Drag(QWidget* widget, QPoint from, QPoint to) {
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(widget->mapToGlobal(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
  }
  static QRgb PixelOf(QWidget* widget, QPoint at) {
    return widget->grab(QRect(at, QSize(1, 1))).toImage().pixel(0, 0);
  }
  static QSize Screen() { return QGuiApplication::primaryScreen()->geometry().size(); }

  std::shared_ptr<BeepCounter> sink = std::make_shared<BeepCounter>();
  std::shared_ptr<NoticeSink> previous;
  std::unique_ptr<QWidget> owner;
  std::size_t blocksBefore = 0;
  int closedCount = 0;
};

TEST_F(FullScreenViewTest, OpensOverTheScreenWithBarAndNavigatorOrNotAtAll) {
  const PackedImage picture = BlueGreen(300, 200);
  FullScreenView* view = Open(picture.get());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(CurrentFullScreenView(), view);
  EXPECT_EQ(view->parentWidget(), owner.get());
  EXPECT_EQ(view->size(), Screen());
  SkinPanelWidget* bar = view->controlBar();
  const ButtonRect place = ControlBarPlace(Screen().width(), Screen().height(), 400, 80);
  EXPECT_EQ(bar->geometry(), QRect(place.left, place.top, 400, 80));
  const ButtonRect area = bar->panel().GetButtonRect(kPictureViewArea);
  EXPECT_EQ(view->navigator()->geometry(), QRect(area.left, area.top, area.Width(), area.Height()));
  // The small picture sits in the middle, on black, under the arrow.
  const QPoint centre(Screen().width() / 2, Screen().height() / 2);
  EXPECT_EQ(PixelOf(view, centre - QPoint(10, 0)), kBlueRgb);
  EXPECT_EQ(PixelOf(view, centre + QPoint(10, 0)), kGreenRgb);
  EXPECT_EQ(PixelOf(view, QPoint(5, 5)), kBlackRgb);
  EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(sink->shown, 0);

  // No picture, or no skin for the bar (its message shows): nothing opens,
  // and the open view stays.
  EXPECT_EQ(OpenFullScreenView(owner.get(), nullptr, TESSERIX_BIN_DIR), nullptr);
  const testing::TempDir empty;
  EXPECT_EQ(OpenFullScreenView(owner.get(), picture.get(), empty.path()), nullptr);
  EXPECT_EQ(sink->shown, 1);
  EXPECT_EQ(CurrentFullScreenView(), view);
  EXPECT_EQ(closedCount, 0);
}

TEST_F(FullScreenViewTest, BarButtonsZoomAndBeepAtTheLimits) {
  const PackedImage picture = BlueGreen(1600, 1200);
  FullScreenView* view = Open(picture.get());
  ASSERT_NE(view, nullptr);
  ClickBar(view, "Zoom", 1);
  EXPECT_EQ(sink->beeps, 1);
  for (int i = 0; i < 3; ++i)
    ClickBar(view, "Zoom", -1);
  EXPECT_EQ(view->state().Percent(), 25);
  ClickBar(view, "Zoom", 1);
  EXPECT_EQ(view->state().Percent(), 33);
  EXPECT_EQ(sink->beeps, 1);
  // The reduced picture is what gets painted, centred on black.
  const ButtonRect shown = view->state().PictureRect();
  EXPECT_EQ(PixelOf(view, QPoint(shown.left + 5, shown.top + 5)), kBlueRgb);
  EXPECT_EQ(PixelOf(view, QPoint(shown.right - 5, shown.top + 5)), kGreenRgb);
  EXPECT_EQ(PixelOf(view, QPoint(shown.left - 1, shown.top + 5)), kBlackRgb);
}

TEST_F(FullScreenViewTest, DragAndNavigatorPanALargePicture) {
  const PackedImage picture = BlueGreen(4 * Screen().width(), 3 * Screen().height());
  FullScreenView* view = Open(picture.get());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->cursor().shape(), Qt::OpenHandCursor);
  const int row = Screen().height() / 3;
  const int right = Screen().width() - 5;
  // Far left, then far right: each stops at the picture's edge.
  Drag(view, QPoint(700, row), QPoint(-20000, row));
  EXPECT_EQ(view->state().offsetX(), view->state().LimitX());
  EXPECT_EQ(PixelOf(view, QPoint(5, row)), kGreenRgb);
  Drag(view, QPoint(10, row), QPoint(30000, row));
  EXPECT_EQ(view->state().PictureRect().left, 0);
  EXPECT_EQ(PixelOf(view, QPoint(right, row)), kBlueRgb);

  // The navigator: a click well into the green half shows green only; a
  // drag follows the pointer; the very edge is ignored.
  QWidget* navigator = view->navigator();
  const ButtonRect thumb = view->state().ThumbnailRect();
  const int midY = (thumb.top + thumb.bottom) / 2;
  QTest::mouseClick(navigator, Qt::LeftButton, {},
                    QPoint(thumb.left + thumb.Width() * 3 / 4, midY));
  EXPECT_EQ(PixelOf(view, QPoint(5, row)), kGreenRgb);
  Drag(navigator, QPoint(thumb.left + thumb.Width() * 3 / 4, midY),
       QPoint(thumb.left + thumb.Width() / 4, midY));
  EXPECT_EQ(PixelOf(view, QPoint(right, row)), kBlueRgb);
  EXPECT_EQ(navigator->cursor().shape(), Qt::ArrowCursor);
  const int before = view->state().offsetX();
  QTest::mouseClick(navigator, Qt::LeftButton, {}, QPoint(thumb.left, midY));
  EXPECT_EQ(view->state().offsetX(), before);
}

TEST_F(FullScreenViewTest, EscTheCloseButtonAndANewerViewCloseAndFreeEverything) {
  {
    const PackedImage first = BlueGreen(2000, 1500);
    const PackedImage second = BlueGreen(100, 100);
    FullScreenView* view = Open(first.get());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->Command(kCmdViewZoomOut));
    const QPointer<FullScreenView> watch(view);
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(closedCount, 1);
    EXPECT_EQ(CurrentFullScreenView(), nullptr);
    // Only one view at a time: a second opening closes the first.
    ASSERT_NE(Open(first.get()), nullptr);
    FullScreenView* b = Open(second.get());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(closedCount, 2);
    EXPECT_EQ(CurrentFullScreenView(), b);
    ClickBar(b, "CloseView");
    EXPECT_EQ(closedCount, 3);
    Flush();
    EXPECT_TRUE(watch.isNull());
    // The scaled copies and thumbnails are gone; only the two pictures are left.
    EXPECT_EQ(GlobalLiveBlockCount(), blocksBefore + 2);
  }
  // A picture freed while shown leaves the screen black; the owner's end takes the view.
  PackedImage picture = BlueGreen(1600, 1200);
  const QPointer<FullScreenView> view(Open(picture.get()));
  picture.reset();
  EXPECT_TRUE(view->Command(kCmdViewZoomOut));
  EXPECT_EQ(PixelOf(view, QPoint(Screen().width() / 2, Screen().height() / 3)), kBlackRgb);
  owner.reset();
  EXPECT_TRUE(view.isNull());
  EXPECT_EQ(GlobalLiveBlockCount(), blocksBefore);
}

TEST_F(FullScreenViewTest, TinyAndHugePicturesSurviveEveryControl) {
  for (const QSize size : {QSize(1, 1), QSize(8000, 6000)}) {
    const PackedImage picture = BlueGreen(size.width(), size.height());
    FullScreenView* view = Open(picture.get());
    ASSERT_NE(view, nullptr);
    const int beeps = sink->beeps;
    for (int i = 0; i < 3; ++i)
      ClickBar(view, "Zoom", -1);
    // The single pixel cannot be reduced: every step out beeps.
    EXPECT_EQ(view->state().divisor(), size.width() == 1 ? 1 : 4);
    EXPECT_EQ(sink->beeps, beeps + (size.width() == 1 ? 3 : 0));
    Drag(view, QPoint(300, 200), QPoint(100, 50));
    const ButtonRect thumb = view->state().ThumbnailRect();
    Drag(view->navigator(), QPoint(thumb.left, thumb.top), QPoint(thumb.right - 1, thumb.top));
    EXPECT_FALSE(view->grab().toImage().isNull());
    QTest::keyClick(view, Qt::Key_Escape);
    Flush();
  }
  EXPECT_EQ(GlobalLiveBlockCount(), blocksBefore);
}

}  // namespace
}  // namespace tx
