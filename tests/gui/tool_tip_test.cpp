#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtTest/QTest>

#include "app/buttons/button_group.h"
#include "app/widgets/tool_tip_popup.h"
#include "tests/gui/gui_support.h"

namespace tx {
namespace {

class ToolTipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent.setFixedSize(800, 600);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    tip = new ToolTipPopup(&parent);
  }

  // The application must exist before the parent widget is made.
  QApplication& app = guitest::App();
  QWidget parent;
  ToolTipPopup* tip = nullptr;
};

TEST_F(ToolTipTest, ShowsTheTextMinusOneLeadingBlankWherePlaced) {
  tip->ShowText("  Crop ", 100, 200);
  ASSERT_TRUE(tip->isVisible());
  EXPECT_EQ(tip->shownText(), QStringLiteral(" Crop "));
  int left = 0;
  int top = 0;
  PlaceToolTip(100, 200, tip->width(), tip->height(), 800, 600, left, top);
  EXPECT_EQ(tip->pos(), QPoint(left, top));
  EXPECT_GT(tip->width(), 0);
  EXPECT_GT(tip->height(), 0);
}

TEST_F(ToolTipTest, StaysInsideTheParentNearItsEdge) {
  tip->ShowText("  A rather long tool tip text ", 790, 590);
  ASSERT_TRUE(tip->isVisible());
  EXPECT_LE(tip->geometry().right() + 1, 800 - 4);
  EXPECT_LE(tip->geometry().bottom() + 1, 600 - 4);
  EXPECT_GE(tip->x(), 0);
  EXPECT_GE(tip->y(), 0);
}

TEST_F(ToolTipTest, SameTextChangesNothingOtherTextReplacesEmptyCloses) {
  tip->ShowText("  One ", 10, 10);
  const QPoint first = tip->pos();
  tip->ShowText("  One ", 300, 300);
  EXPECT_EQ(tip->openings(), 1);
  EXPECT_EQ(tip->pos(), first);

  tip->ShowText("  Another one ", 300, 300);
  EXPECT_EQ(tip->openings(), 2);
  EXPECT_EQ(tip->shownText(), QStringLiteral(" Another one "));

  tip->ShowText("", 0, 0);
  EXPECT_FALSE(tip->isVisible());
  EXPECT_EQ(tip->shownText(), QString());

  // Once closed, the same text opens it again.
  tip->ShowText("  Another one ", 300, 300);
  EXPECT_TRUE(tip->isVisible());
}

TEST_F(ToolTipTest, ThePointerMovingOverItClosesIt) {
  tip->ShowText("  Help ", 50, 50);
  ASSERT_TRUE(tip->isVisible());
  QTest::mouseMove(tip, QPoint(2, 2));
  QTest::qWait(10);
  EXPECT_FALSE(tip->isVisible());
}

TEST_F(ToolTipTest, PaintsYellow) {
  tip->ShowText("  W ", 50, 50);
  const QImage picture = tip->grab().toImage();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(QColor(picture.pixel(0, 0)), kToolTipYellow);
}

}  // namespace
}  // namespace tx
