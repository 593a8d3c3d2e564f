#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <QtGui/QAccessible>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtTest/QTest>

#include "app/widgets/interface_font.h"
#include "app/widgets/skin_accessibility.h"
#include "app/widgets/skin_panel_widget.h"
#include "app/widgets/tool_tip_popup.h"
#include "platform/notices.h"
#include "resources/messages.h"
#include "resources/resource_binding.h"
#include "tests/gui/gui_support.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

constexpr int kPictureArea = 100;
constexpr int kCollectionListArea = 132;
constexpr int kDiscCollectionList = 1000;
constexpr int kCollectionTicks = 3;

class RecordingSink : public NoticeSink {
 public:
  void Show(const std::string& text, const std::string&, NoticeIcon) override {
    shown.push_back(text);
  }
  NoticeAnswer AskYesNo(const std::string&, const std::string&) override {
    return NoticeAnswer::Yes;
  }
  NoticeAnswer AskYesNoCancel(const std::string&, const std::string&) override {
    return NoticeAnswer::Yes;
  }
  void Beep() override {}
  std::vector<std::string> shown;
};

// The panel on the skins the build compiled into the program folder.
class SkinPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    guitest::App();
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
    sink = std::make_shared<RecordingSink>();
    previous = SetNoticeSink(sink);
    widget = std::make_unique<SkinPanelWidget>(nullptr, MainPanelSkin(),
                                               std::filesystem::path(TESSERIX_BIN_DIR));
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget.get()));
  }
  void TearDown() override {
    widget.reset();
    SetNoticeSink(previous);
  }

  // Index of the first record of the current screen running `command` with
  // argument low half `argument` (any when negative).
  int Find(const std::string& command, int argument = -1) {
    const auto& records = widget->panel().main()->records();
    for (int i = 0; i < int(records.size()); ++i) {
      const ButtonRecord& r = records[std::size_t(i)];
      if (r.command == command && (argument < 0 || ArgLow(r.argument) == argument)) return i;
    }
    return -1;
  }
  ButtonRecord& Record(int index) { return widget->panel().main()->records()[std::size_t(index)]; }
  // Moves the pointer to `at` from elsewhere: Qt drops a move to where the
  // pointer already is, and an earlier test may have left it there.
  void Hover(QPoint at) {
    QTest::mouseMove(widget.get(), QPoint(at.x() + 40, 590));
    QTest::mouseMove(widget.get(), at);
  }
  QPoint Centre(int index) {
    const ButtonRect& r = Record(index).rect;
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  // The accessible child of the panel named `name`, or null.
  QAccessibleInterface* ChildNamed(const QString& name) {
    QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(widget.get());
    if (!panel) return nullptr;
    for (int i = 0; i < panel->childCount(); ++i) {
      QAccessibleInterface* child = panel->child(i);
      if (child && child->text(QAccessible::Name) == name) return child;
    }
    return nullptr;
  }

  std::shared_ptr<RecordingSink> sink;
  std::shared_ptr<NoticeSink> previous;
  std::unique_ptr<SkinPanelWidget> widget;
};

TEST_F(SkinPanelTest, EveryScreenLoadsWithItsButtonsAndPictureArea) {
  for (int n = 0; n < kScreenCount; ++n) {
    widget->SetScreen(n);
    ASSERT_EQ(widget->screen(), n);
    const ButtonGroup* group = widget->panel().main();
    ASSERT_NE(group, nullptr) << "screen " << n;
    EXPECT_TRUE(group->valid()) << "screen " << n;
    EXPECT_NE(group->Background(), nullptr) << "screen " << n;
    EXPECT_FALSE(group->DrawItems().empty()) << "screen " << n;
    bool hasPictureArea = false;
    for (const ButtonLayout& entry : MainScreenLayout(n).buttons) {
      hasPictureArea = hasPictureArea || entry.controlId == kPictureArea;
    }
    EXPECT_EQ(!widget->panel().GetButtonRect(kPictureArea).IsEmpty(), hasPictureArea)
        << "screen " << n;
    EXPECT_EQ(widget->size(), QSize(kMainWindowWidth, kMainWindowHeight));
    const QImage shot = widget->grab().toImage();
    ASSERT_FALSE(shot.isNull());
  }
  EXPECT_TRUE(sink->shown.empty()) << sink->shown.front();
}

TEST_F(SkinPanelTest, ClicksHighlightPressAndCallTheBoundHandler) {
  int crops = 0;
  EXPECT_GE(widget->BindHandler("Crop", [&crops](const ButtonCall&) { ++crops; }), 1);
  const int crop = Find("Crop");
  ASSERT_GE(crop, 0);

  Hover(Centre(crop));
  EXPECT_EQ(widget->panel().main()->hot(), crop);
  QTest::mousePress(widget.get(), Qt::LeftButton, {}, Centre(crop));
  EXPECT_EQ(widget->panel().main()->pressed(), crop);
  EXPECT_EQ(crops, 0);
  QTest::mouseRelease(widget.get(), Qt::LeftButton, {}, Centre(crop));
  EXPECT_EQ(crops, 1);
  EXPECT_EQ(widget->panel().main()->pressed(), -1);

  // A release away from the button it was pressed on calls nothing.
  QTest::mousePress(widget.get(), Qt::LeftButton, {}, Centre(crop));
  QTest::mouseRelease(widget.get(), Qt::LeftButton, {}, QPoint(300, 300));
  EXPECT_EQ(crops, 1);
}

TEST_F(SkinPanelTest, AChoiceClickMovesTheOnState) {
  const int target = Find("ShowPicture", 0);
  const int montage = Find("ShowPicture", 1);
  ASSERT_GE(target, 0);
  ASSERT_GE(montage, 0);
  ASSERT_EQ(Record(target).on, 1);
  int calls = 0;
  widget->BindHandler("ShowPicture", [&calls](const ButtonCall&) { ++calls; });
  QTest::mouseClick(widget.get(), Qt::LeftButton, {}, Centre(montage));
  EXPECT_EQ(Record(montage).on, 1);
  EXPECT_EQ(Record(target).on, 0);
  EXPECT_EQ(calls, 1);

  // A refused choice stays off and its handler is not called.
  widget->SetChoiceFilter([](int, int) { return false; });
  QTest::mouseClick(widget.get(), Qt::LeftButton, {}, Centre(target));
  EXPECT_EQ(Record(target).on, 0);
  EXPECT_EQ(calls, 1);
}

TEST_F(SkinPanelTest, TheToolTipComesAfterASecondWhereItIsPlaced) {
  const int crop = Find("Crop");
  ASSERT_GE(crop, 0);
  const QString tip = CatalogueText(Record(crop).tipId);
  ASSERT_FALSE(tip.isEmpty());
  const QPoint at = Centre(crop);
  Hover(at);
  // The status line says it at once; the tip waits.
  EXPECT_EQ(widget->statusText(), tip);
  EXPECT_FALSE(widget->toolTip().isVisible());
  QTest::qWait(kToolTipDelayMs + 300);
  ASSERT_TRUE(widget->toolTip().isVisible());
  EXPECT_EQ(widget->toolTip().shownText(), QStringLiteral(" ") + tip + QStringLiteral(" "));
  int left = 0;
  int top = 0;
  PlaceToolTip(at.x(), at.y(), widget->toolTip().width(), widget->toolTip().height(),
               widget->width(), widget->height(), left, top);
  EXPECT_EQ(widget->toolTip().pos(), QPoint(left, top));

  // A press closes it.
  QTest::mousePress(widget.get(), Qt::LeftButton, {}, at);
  EXPECT_FALSE(widget->toolTip().isVisible());
  QTest::mouseRelease(widget.get(), Qt::LeftButton, {}, at);
}

TEST_F(SkinPanelTest, AReplacedScreenNeverHearsItsOldTimers) {
  const int crop = Find("Crop");
  ASSERT_GE(crop, 0);
  Hover(Centre(crop));
  widget->SetScreen(1);
  QTest::qWait(kToolTipDelayMs + 300);
  EXPECT_FALSE(widget->toolTip().isVisible());
  EXPECT_EQ(widget->screen(), 1);
}

TEST_F(SkinPanelTest, AccessibilityNamesRolesAndPressesTheButtons) {
  int crops = 0;
  widget->BindHandler("Crop", [&crops](const ButtonCall&) { ++crops; });
  const int crop = Find("Crop");
  ASSERT_GE(crop, 0);

  QAccessibleInterface* button = ChildNamed(CatalogueText(Record(crop).tipId));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->role(), QAccessible::Button);
  const ButtonRect& r = Record(crop).rect;
  EXPECT_EQ(button->rect(),
            QRect(widget->mapToGlobal(QPoint(r.left, r.top)), QSize(r.Width(), r.Height())));
  QAccessibleActionInterface* actions = button->actionInterface();
  ASSERT_NE(actions, nullptr);
  ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
  actions->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(crops, 1);

  // Choices are check boxes that say whether they are on.
  const int target = Find("ShowPicture", 0);
  QAccessibleInterface* choice = ChildNamed(CatalogueText(Record(target).tipId));
  ASSERT_NE(choice, nullptr);
  EXPECT_EQ(choice->role(), QAccessible::CheckBox);
  EXPECT_TRUE(choice->state().checked);

  // Pointing at the button finds it.
  QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(widget.get());
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->childAt(button->rect().center().x(), button->rect().center().y()), button);
  EXPECT_EQ(panel->indexOfChild(button) >= 0, true);

  // A screen switch leaves the old buttons invalid, not dangling.
  widget->SetScreen(2);
  EXPECT_FALSE(button->isValid());
  bool slider = false;
  for (int i = 0; i < panel->childCount(); ++i) {
    slider = slider || panel->child(i)->role() == QAccessible::Slider;
  }
  EXPECT_TRUE(slider);
}

TEST_F(SkinPanelTest, OpenListsShowTheirRowsToAccessibilityAndTakeClicks) {
  widget->SetScreen(3);
  const ButtonRect area = widget->panel().GetButtonRect(kCollectionListArea);
  ASSERT_FALSE(area.IsEmpty());
  SkinnedList* list =
      widget->lists().CreateList(kDiscCollectionList, area.left, area.top, kCollectionTicks);
  ASSERT_NE(list, nullptr) << (sink->shown.empty() ? std::string() : sink->shown.front());
  std::vector<std::uint32_t> notes;
  widget->SetListNotify(
      [&notes](unsigned, std::uint32_t wParam, SkinnedList&) { notes.push_back(wParam); });
  const std::string first = "Flowers of the field";
  list->store().AddString(first);
  list->store().AddString("Harbour at night");
  list->Update();

  QAccessibleInterface* row = ChildNamed(QString::fromStdString(first));
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->role(), QAccessible::ListItem);
  EXPECT_FALSE(row->state().selected);
  row->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(list->store().selection(), 0);
  EXPECT_EQ(list->store().GetTick(0), 1);
  EXPECT_TRUE(row->state().selected);
  EXPECT_FALSE(notes.empty());

  const QImage shot = widget->grab().toImage();
  EXPECT_FALSE(shot.isNull());
  widget->lists().DestroyList(kDiscCollectionList);
  EXPECT_FALSE(row->isValid());
}

TEST_F(SkinPanelTest, DropDownsCloseWhenTheWindowLosesActivation) {
  widget->SetScreen(3);
  const ButtonRect area = widget->panel().GetButtonRect(kCollectionListArea);
  ASSERT_NE(widget->lists().CreateList(kDiscCollectionList, area.left, area.top, 3), nullptr);
  constexpr int kTileCountDropDown = 1007;
  ASSERT_NE(widget->lists().CreateList(kTileCountDropDown, 392, 100, 0), nullptr);

  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  QEvent change(QEvent::ActivationChange);
  QApplication::sendEvent(widget.get(), &change);
  EXPECT_FALSE(widget->isActiveWindow());
  EXPECT_EQ(widget->lists().FindList(kTileCountDropDown), nullptr);
  EXPECT_NE(widget->lists().FindList(kDiscCollectionList), nullptr);
}

TEST(SkinPanelWithoutSkins, SaysSoAndShowsNoButtons) {
  guitest::App();
  std::string error;
  ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, "Res_TX", error)) << error;
  auto sink = std::make_shared<RecordingSink>();
  auto previous = SetNoticeSink(sink);
  testing::TempDir empty;
  {
    SkinPanelWidget widget(nullptr, MainPanelSkin(), empty.path());
    EXPECT_FALSE(sink->shown.empty());
    EXPECT_TRUE(SkinElements(widget).empty());
    widget.show();
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(584, 80));
    const QImage shot = widget.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(QColor(shot.pixel(400, 300)), QColor(Qt::black));
  }
  SetNoticeSink(previous);
}

// Rows: the tick at the left, then the words, red or white, never past the row.
TEST(ListRowPainting, DrawsTickThenWordsInTheirColourInsideTheRow) {
  guitest::App();
  PackedImage tick = testing::MakePatternImage(12, 12, 24);
  const std::string longText(200, 'W');
  for (const bool red : {false, true}) {
    QImage canvas(300, 40, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    ListRowDraw row;
    row.rect = {20, 8, 220, 32};
    row.text = longText;
    row.red = red;
    row.tick = tick.get();
    {
      QPainter painter(&canvas);
      PaintListRow(painter, row);
    }
    const RgbQuad corner = testing::PixelAt(tick.get(), 0, 0);
    // The tick sits at the row's left, centred in its height.
    EXPECT_EQ(canvas.pixel(24, 14), qRgb(corner.red, corner.green, corner.blue));
    int reddish = 0;
    int whitish = 0;
    for (int y = 0; y < canvas.height(); ++y) {
      for (int x = 0; x < canvas.width(); ++x) {
        const QColor c(canvas.pixel(x, y));
        const bool inside = x >= 20 && x < 220 && y >= 8 && y < 32;
        if (!inside) {
          ASSERT_EQ(c, QColor(Qt::black)) << x << "," << y;
          continue;
        }
        if (x < 40) continue;  // the tick
        if (c.red() > 128 && c.green() < 64) ++reddish;
        if (c.red() > 128 && c.green() > 128 && c.blue() > 128) ++whitish;
      }
    }
    EXPECT_GT(red ? reddish : whitish, 0);
    EXPECT_EQ(red ? whitish : reddish, 0);
  }
}

}  // namespace
}  // namespace tx
