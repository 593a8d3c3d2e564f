// The montage window: where pictures, placement marks and rendered tiles
// land in the display, and that a right click reaches the parent.

#include "app/views/montage_window.h"

#include <gtest/gtest.h>

#include <QtGui/QMouseEvent>
#include <QtTest/QTest>

#include <algorithm>
#include <memory>
#include <vector>

#include "image/image_utils.h"
#include "tests/gui/gui_support.h"

namespace tx {
namespace {

// A 24-bit picture whose every pixel differs from its neighbours.
PackedImage Pattern(int width, int height) {
  PackedImage picture(CreatePackedImage(width, height, 0, 0));
  ImageLock lock(picture.get());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = lock.row(y) + 3 * x;
      pixel[0] = std::uint8_t(x * 2);
      pixel[1] = std::uint8_t(y * 3);
      pixel[2] = std::uint8_t(40 + x + y);
    }
  }
  return picture;
}

// An 80 x 60 tile: `left` on its left half, `right` on its right half.
PackedImage TwoColourTile(QRgb left, QRgb right) {
  PackedImage tile(CreatePackedImage(80, 60, 0, 0));
  ImageLock lock(tile.get());
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 80; ++x) {
      const QRgb colour = x < 40 ? left : right;
      std::uint8_t* pixel = lock.row(y) + 3 * x;
      pixel[0] = std::uint8_t(qBlue(colour));
      pixel[1] = std::uint8_t(qGreen(colour));
      pixel[2] = std::uint8_t(qRed(colour));
    }
  }
  return tile;
}

CellRecord Cell(int column, int rowFromBottom) {
  CellRecord cell;
  cell.left = column * 8;
  cell.right = cell.left + 8;
  cell.firstRow = rowFromBottom * 6;
  cell.rowBound = cell.firstRow + 6;
  return cell;
}

QRgb Negative(QRgb colour) {
  return qRgb(255 - qRed(colour), 255 - qGreen(colour), 255 - qBlue(colour));
}

class MontageWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guitest::App();
    m_parent = std::make_unique<QWidget>();
    m_parent->resize(400, 400);
  }

  // A 100 x 60 pattern shown at its own size; the montage area behind it is
  // a 10 x 6 grid of 8 x 6 cells at scale 10 (800 x 360 output pixels).
  MontageWindow* ShowPattern() {
    m_picture = Pattern(kWidth, kHeight);
    MontageWindow* window = ShowInMontageWindow(m_parent.get(), m_picture.get(), {0, 0, 200, 200});
    EXPECT_NE(window, nullptr);
    m_before = window ? window->canvas().copy() : QImage();
    return window;
  }

  static constexpr int kWidth = 100;
  static constexpr int kHeight = 60;
  static constexpr int kCols = 10;
  static constexpr int kRows = 6;
  static constexpr int kAreaWidth = 800;
  static constexpr int kAreaHeight = 360;

  std::unique_ptr<QWidget> m_parent;
  PackedImage m_picture;
  QImage m_before;
};

TEST_F(MontageWindowTest, PicturesAreFittedIntoTheBox) {
  // Wider than the box: full width, centred vertically.
  EXPECT_EQ(FitIntoMontageBox(640, 480, {0, 0, 320, 320}), QRect(0, 40, 320, 240));
  // Taller: full height, centred horizontally.
  EXPECT_EQ(FitIntoMontageBox(480, 640, {16, 48, 320, 320}), QRect(56, 48, 240, 320));
  // Smaller both ways: its own size, centred.
  EXPECT_EQ(FitIntoMontageBox(100, 60, {16, 48, 200, 200}), QRect(66, 118, 100, 60));
  // The scaled side is rounded to nearest: 333 x 100 / 1000 = 33.3.
  EXPECT_EQ(FitIntoMontageBox(1000, 333, {0, 0, 100, 100}).height(), 33);
  EXPECT_TRUE(FitIntoMontageBox(0, 10, {0, 0, 100, 100}).isEmpty());
  EXPECT_TRUE(FitIntoMontageBox(10, 10, {0, 0, 0, 100}).isEmpty());
}

TEST_F(MontageWindowTest, OneWindowPerParentShowsTheScaledPicture) {
  PackedImage big = Pattern(640, 480);
  MontageWindow* window = ShowInMontageWindow(m_parent.get(), big.get(), {0, 0, 320, 320});
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->geometry(), QRect(0, 40, 320, 240));
  EXPECT_EQ(window->shownRect(), window->geometry());
  EXPECT_EQ(window->displaySize(), QSize(320, 240));
  EXPECT_TRUE(window->isVisibleTo(m_parent.get()));

  PackedImage small = Pattern(50, 40);
  EXPECT_EQ(ShowInMontageWindow(m_parent.get(), small.get(), {0, 0, 320, 320}), window);
  EXPECT_EQ(window->displaySize(), QSize(50, 40));
  EXPECT_EQ(m_parent->findChildren<MontageWindow*>().size(), 1);

  EXPECT_EQ(ShowInMontageWindow(m_parent.get(), nullptr, {0, 0, 320, 320}), nullptr);
  EXPECT_EQ(ShowInMontageWindow(nullptr, small.get(), {0, 0, 320, 320}), nullptr);
  // A refused picture leaves what was shown.
  EXPECT_EQ(window->displaySize(), QSize(50, 40));

  window->SetSavedPath(QStringLiteral("/tmp/montage.jpg"));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("/tmp/montage.jpg"));
}

TEST_F(MontageWindowTest, PlacementMarksCoverTheDisplayOnceInTableOrder) {
  // Cells mapped onto an uneven display neither overlap nor leave gaps.
  const QSize display(99, 59);
  std::vector<int> hits(std::size_t(display.width() * display.height()), 0);
  for (int n = 0; n < kCols * kRows; ++n) {
    const QRect rect = PlacementDisplayRect(n, kCols, kRows, kAreaWidth, kAreaHeight, display);
    for (int y = rect.top(); y <= rect.bottom(); ++y)
      for (int x = rect.left(); x <= rect.right(); ++x)
        ++hits[std::size_t(y * display.width() + x)];
  }
  EXPECT_EQ(std::count(hits.begin(), hits.end(), 1), std::ptrdiff_t(hits.size()));

  const QSize exact(kWidth, kHeight);
  // Index 13 is the fourth cell of the second row from the top.
  EXPECT_EQ(PlacementDisplayRect(13, kCols, kRows, kAreaWidth, kAreaHeight, exact),
            QRect(30, 10, 10, 10));
  // Indices wrap around the grid.
  EXPECT_EQ(PlacementDisplayRect(60 + 13, kCols, kRows, kAreaWidth, kAreaHeight, exact),
            QRect(30, 10, 10, 10));
  EXPECT_TRUE(PlacementDisplayRect(0, 0, kRows, kAreaWidth, kAreaHeight, exact).isEmpty());
  EXPECT_TRUE(PlacementDisplayRect(0, kCols, kRows, 0, kAreaHeight, exact).isEmpty());
}

TEST_F(MontageWindowTest, PlacementProgressShowsThatCellAsANegative) {
  MontageWindow* window = ShowPattern();
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(window->displaySize(), QSize(kWidth, kHeight));
  window->ShowPlacementProgress(13, kCols, kRows, kAreaWidth, kAreaHeight);
  const QImage& shown = window->canvas();
  for (const QPoint inside : {QPoint(30, 10), QPoint(35, 15), QPoint(39, 19)})
    EXPECT_EQ(shown.pixel(inside), Negative(m_before.pixel(inside)))
        << inside.x() << "," << inside.y();
  for (const QPoint outside : {QPoint(29, 15), QPoint(40, 15), QPoint(35, 9), QPoint(35, 20)})
    EXPECT_EQ(shown.pixel(outside), m_before.pixel(outside)) << outside.x() << "," << outside.y();
  // The mark works from the display picture, so marking twice stays a negative.
  window->ShowPlacementProgress(13, kCols, kRows, kAreaWidth, kAreaHeight);
  EXPECT_EQ(shown.pixel(35, 15), Negative(m_before.pixel(35, 15)));
}

TEST_F(MontageWindowTest, RenderedTilesLandAtTheirCellsWithTheStaggeredShift) {
  const QRgb red = qRgb(250, 0, 0);
  const QRgb blue = qRgb(0, 0, 250);
  PackedImage plain = TwoColourTile(red, red);
  PackedImage split = TwoColourTile(red, blue);
  struct Case {
    const char* name;
    CellRecord cell;
    bool staggered;
    GlobalHandle tile;
    std::vector<std::pair<QPoint, QRgb>> expected;  // colour expected at a point
    std::vector<QPoint> untouched;
  };
  const std::vector<Case> cases = {
      // Bottom row (window rows 50..59), column 2 (x 20..29).
      {"aligned",
       Cell(2, 0),
       false,
       plain.get(),
       {{{20, 50}, red}, {{29, 59}, red}},
       {{19, 55}, {30, 55}, {25, 49}}},
      // An even row of a staggered montage is not shifted.
      {"staggered even row",
       Cell(2, 2),
       true,
       plain.get(),
       {{{20, 30}, red}, {{29, 39}, red}},
       {{19, 35}, {30, 35}}},
      // Odd rows move left by half a tile: x 15..24 on rows 40..49.
      {"staggered odd row",
       Cell(2, 1),
       true,
       plain.get(),
       {{{15, 40}, red}, {{24, 49}, red}},
       {{14, 45}, {25, 45}}},
      // Column 0 of an odd row wraps: right half at the left edge, left
      // half at the display's right end.
      {"staggered first column",
       Cell(0, 1),
       true,
       split.get(),
       {{{2, 45}, blue}, {{3, 49}, blue}, {{96, 40}, red}, {{97, 45}, red}},
       {{5, 45}, {94, 45}}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    MontageWindow* window = ShowPattern();
    ASSERT_NE(window, nullptr);
    window->ShowRenderedTile(test.cell, kAreaWidth, kAreaHeight, test.tile, test.staggered);
    for (const auto& [point, colour] : test.expected)
      EXPECT_EQ(window->canvas().pixel(point), colour) << point.x() << "," << point.y();
    for (const QPoint point : test.untouched)
      EXPECT_EQ(window->canvas().pixel(point), m_before.pixel(point))
          << point.x() << "," << point.y();
  }
}

TEST_F(MontageWindowTest, TileRectanglesScaleWithTheDisplay) {
  // Scale 10 from an 80-pixel tile over an 8-pixel cell.
  PackedImage tile = TwoColourTile(0, 0);
  EXPECT_EQ(TileScaleOf(Cell(3, 0), tile.get()), 10);
  EXPECT_EQ(TileScaleOf(CellRecord{}, tile.get()), 1);
  // A display half the area's size halves every side.
  EXPECT_EQ(TileDisplayRect(Cell(3, 2), 800, 360, 10, QSize(400, 180)), QRect(120, 90, 40, 30));
  EXPECT_TRUE(TileDisplayRect(Cell(3, 2), 0, 360, 10, QSize(400, 180)).isEmpty());
  DisplayTile shown = MakeDisplayTile(Cell(3, 1), 800, 360, tile.get(), true, QSize(400, 180));
  EXPECT_TRUE(shown.shifted);
  EXPECT_FALSE(shown.firstColumn);
  ASSERT_TRUE(shown.picture);
  ImageLock lock(shown.picture.get());
  EXPECT_EQ(lock.width(), 40);
  EXPECT_EQ(lock.height(), 30);
}

TEST_F(MontageWindowTest, ARightClickGoesToTheParent) {
  class Parent : public QWidget {
   public:
    std::vector<std::pair<Qt::MouseButton, QPoint>> presses;

   protected:
    void mousePressEvent(QMouseEvent* event) override {
      presses.emplace_back(event->button(), event->position().toPoint());
    }
  } parent;
  parent.resize(400, 400);
  PackedImage picture = Pattern(100, 60);
  MontageWindow* window = ShowInMontageWindow(&parent, picture.get(), {0, 0, 200, 200});
  ASSERT_NE(window, nullptr);
  QTest::mouseClick(window, Qt::RightButton, {}, QPoint(5, 7));
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(5, 7));
  ASSERT_EQ(parent.presses.size(), 1u);
  EXPECT_EQ(parent.presses[0].first, Qt::RightButton);
  EXPECT_EQ(parent.presses[0].second, window->geometry().topLeft() + QPoint(5, 7));
}

}  // namespace
}  // namespace tx
