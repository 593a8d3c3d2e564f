#include "output/print_layout.h"

#include <gtest/gtest.h>

namespace tx {
namespace {

// A4 at 300 dpi without margins, portrait and landscape.
constexpr PrinterMetrics kA4Portrait{0, 0, 2480, 3508, 300, 300};
constexpr PrinterMetrics kA4Landscape{0, 0, 3508, 2480, 300, 300};

TEST(PrintLayoutTest, LayoutsSettingsAndMetricsStayInRange) {
  EXPECT_EQ(GridOf(6).columns, 3);
  EXPECT_EQ(GridOf(6).rows, 2);
  EXPECT_EQ(GridOf(7).columns, 2);
  EXPECT_EQ(GridOf(7).rows, 3);
  EXPECT_FALSE(GridOf(3).portrait);
  EXPECT_EQ(ReduceLayout(-4), 0);
  EXPECT_EQ(ReduceLayout(12), 7);
  // The printer's orientation picks the even or odd twin.
  EXPECT_EQ(OrientLayout(5, true), 4);
  EXPECT_EQ(OrientLayout(4, true), 4);
  EXPECT_EQ(OrientLayout(4, false), 5);
  EXPECT_EQ(OrientLayout(7, false), 7);

  PrintSettings settings;
  settings.copies = 99;
  EXPECT_TRUE(settings.StepCopies(+1));
  EXPECT_EQ(settings.copies, 100);
  EXPECT_FALSE(settings.StepCopies(+1));  // 101 is refused
  EXPECT_EQ(settings.copies, 100);
  settings.copies = 1;
  EXPECT_FALSE(settings.StepCopies(-1));
  settings.sizePercent = 51;
  EXPECT_TRUE(settings.StepSizePercent(-1));
  EXPECT_FALSE(settings.StepSizePercent(-1));
  EXPECT_EQ(settings.sizePercent, 50);
  settings.sizePercent = 100;
  EXPECT_FALSE(settings.StepSizePercent(+1));

  const PrinterMetrics before;  // no printer known yet
  EXPECT_EQ(before.width, 105);
  EXPECT_EQ(before.height, 82);
  EXPECT_EQ(before.dpiX, 15);
  const PrinterMetrics broken = UsableMetrics({0, 0, 0, -3, 0, 0});
  EXPECT_EQ(broken.width, 1);
  EXPECT_EQ(broken.height, 1);
  EXPECT_EQ(broken.dpiY, 1);
}

TEST(PrintLayoutTest, OneSheetIsCentredAndEqualAspectIsHeightLimited) {
  // 124 : 175.4 is exactly the sheet's aspect (2480 : 3508 halved twice).
  const PrintLayout exact = ComputeLayout(620, 877, kA4Portrait, 0, 100);
  EXPECT_TRUE(exact.heightLimited);
  EXPECT_DOUBLE_EQ(exact.scale, 3508.0 / 877);
  const PrintLayout wide = ComputeLayout(4000, 3000, kA4Portrait, 0, 100);
  EXPECT_FALSE(wide.heightLimited);
  ASSERT_EQ(wide.sheets.size(), 1u);
  EXPECT_EQ(wide.sheets[0].source, (PrintRect{0, 0, 4000, 3000}));
  EXPECT_EQ(wide.printedWidth, 2480);
  EXPECT_EQ(wide.printedHeight, 1860);
  EXPECT_EQ(wide.sheets[0].sheet, (PrintRect{0, 1754 - 930, 2480, 1754 + 930}));

  // The percent comes off in whole picture pixels first: 333 * 50 / 100 = 166.
  const PrintLayout half = ComputeLayout(333, 100, kA4Landscape, 1, 50);
  EXPECT_EQ(half.printedWidth, int(166 * (3508.0 / 333)));
}

TEST(PrintLayoutTest, TwoColumnsLeaveTheMiddleColumnOut) {
  // Odd width: the left part is [0, 50), the right [51, 101), one narrower.
  const PrintLayout odd = ComputeLayout(101, 40, kA4Portrait, 2, 100);
  ASSERT_EQ(odd.sheets.size(), 2u);
  EXPECT_EQ(odd.sheets[0].source, (PrintRect{0, 0, 50, 40}));
  EXPECT_EQ(odd.sheets[1].source, (PrintRect{51, 0, 101, 40}));
  // The halves meet at the border between the sheets.
  EXPECT_EQ(odd.sheets[0].sheet.right, 2480);
  EXPECT_EQ(odd.sheets[1].sheet.left, 0);
  EXPECT_EQ(odd.sheets[0].sheet.top, odd.sheets[1].sheet.top);

  // Four sheets: rows cut the same way, sheets row by row.
  const PrintLayout four = ComputeLayout(600, 800, kA4Portrait, 4, 100);
  ASSERT_EQ(four.sheets.size(), 4u);
  EXPECT_EQ(four.sheets[0].source, (PrintRect{0, 0, 300, 400}));
  EXPECT_EQ(four.sheets[1].source, (PrintRect{301, 0, 600, 400}));
  EXPECT_EQ(four.sheets[2].source, (PrintRect{0, 401, 300, 800}));
  EXPECT_EQ(four.sheets[3].source, (PrintRect{301, 401, 600, 800}));
  EXPECT_EQ(four.sheets[0].sheet.bottom, 3508);
  EXPECT_EQ(four.sheets[2].sheet.top, 0);
}

TEST(PrintLayoutTest, ThreeColumnsOfATallPictureUseOnlyTheMiddleSheets) {
  const PrintLayout tall = ComputeLayout(300, 1600, kA4Portrait, 6, 100);
  ASSERT_EQ(tall.sheets.size(), 6u);
  for (int i : {0, 2, 3, 5}) {
    EXPECT_TRUE(tall.sheets[std::size_t(i)].sheet.Empty()) << i;
    EXPECT_EQ(tall.sheets[std::size_t(i)].source, PrintRect{}) << i;
  }
  // The upper half sits on the bottom of its sheet, the lower on the top.
  EXPECT_EQ(tall.sheets[1].source, (PrintRect{0, 0, 300, 800}));
  EXPECT_EQ(tall.sheets[4].source, (PrintRect{0, 801, 300, 1600}));
  EXPECT_EQ(tall.sheets[1].sheet.bottom, 3508);
  EXPECT_EQ(tall.sheets[4].sheet.top, 0);
  EXPECT_EQ(tall.sheets[1].sheet.left, 1240 - tall.printedWidth / 2);
}

TEST(PrintLayoutTest, ThreeColumnsOfAWidePictureShareItAroundTheMiddle) {
  const PrintLayout wide = ComputeLayout(3000, 1000, kA4Portrait, 6, 100);
  ASSERT_EQ(wide.sheets.size(), 6u);
  const PrintRect& left = wide.sheets[0].source;
  const PrintRect& middle = wide.sheets[1].source;
  const PrintRect& right = wide.sheets[2].source;
  const int perSheet = int(2480 * 100 / (wide.scale * 100));
  EXPECT_EQ(middle.Width() + 1, perSheet);
  EXPECT_EQ(left.left, 0);
  EXPECT_EQ(middle.left, left.right + 1);
  EXPECT_EQ(right.left, middle.right + 1);
  EXPECT_EQ(right.right, 3000);
  EXPECT_NEAR(left.Width(), right.Width(), 2);
  EXPECT_EQ(wide.sheets[1].sheet.left, 0);
  EXPECT_EQ(wide.sheets[1].sheet.right, 2480);
  EXPECT_EQ(wide.sheets[0].sheet.right, 2480);
  EXPECT_EQ(wide.sheets[2].sheet.left, 0);
  // Rows cut at half the height.
  EXPECT_EQ(wide.sheets[3].source.top, 501);

  // At half size the middle sheet holds the whole picture's width.
  const PrintLayout small = ComputeLayout(3000, 1000, kA4Portrait, 6, 50);
  const int percentFitted = int(3000 * small.scale);
  ASSERT_GT(percentFitted, 2480);
  EXPECT_FALSE(small.sheets[1].source.Empty());

  // Three rows of a wide picture: only the middle row, halves left and right.
  const PrintLayout rows = ComputeLayout(1600, 300, kA4Landscape, 7, 100);
  ASSERT_EQ(rows.sheets.size(), 6u);
  EXPECT_EQ(rows.sheets[2].source, (PrintRect{0, 0, 800, 300}));
  EXPECT_EQ(rows.sheets[3].source, (PrintRect{801, 0, 1600, 300}));
  EXPECT_TRUE(rows.sheets[0].sheet.Empty());
  EXPECT_TRUE(rows.sheets[5].sheet.Empty());
}

TEST(PrintLayoutTest, AnyPrinterReportStillGivesALayout) {
  const PrintLayout zero = ComputeLayout(640, 480, {0, 0, 0, 0, 0, 0}, 4, 100);
  ASSERT_EQ(zero.sheets.size(), 4u);
  const PrintLayout tiny = ComputeLayout(0, -5, kA4Portrait, 9, 300);
  EXPECT_EQ(tiny.layout, 7);
  EXPECT_EQ(tiny.sheets.size(), 6u);
  for (const SheetPart& part : zero.sheets) {
    EXPECT_GE(part.sheet.left, 0);
    EXPECT_GE(part.sheet.top, 0);
  }
}

TEST(PrintLayoutTest, LargePartsGoInBandsThatTileThePart) {
  const PrintLayout one = ComputeLayout(4000, 3000, kA4Portrait, 0, 100);
  const std::vector<PrintBand> bands = SplitIntoBands(one.sheets[0]);
  ASSERT_EQ(bands.size(), 12u);
  EXPECT_EQ(bands.front().source.top, 0);
  EXPECT_EQ(bands.back().source.bottom, 3000);
  EXPECT_EQ(bands.front().sheet.top, one.sheets[0].sheet.top);
  EXPECT_EQ(bands.back().sheet.bottom, one.sheets[0].sheet.bottom);
  for (std::size_t i = 1; i < bands.size(); ++i) {
    EXPECT_EQ(bands[i].source.top, bands[i - 1].source.bottom);
    EXPECT_EQ(bands[i].sheet.top, bands[i - 1].sheet.bottom);
  }
  // Just under 2^20 pixels goes whole; an empty sheet sends nothing.
  EXPECT_EQ(SplitIntoBands({{0, 0, 1024, 1023}, {0, 0, 10, 10}}).size(), 1u);
  EXPECT_EQ(SplitIntoBands({{0, 0, 1024, 1024}, {0, 0, 10, 10}}).size(), 2u);
  EXPECT_TRUE(SplitIntoBands({}).empty());
}

TEST(PrintLayoutTest, PrintedSizeLabelInInchesAndCentimetres) {
  // Width-limited on A4: 100 * 2480 / 3000 = 82 tenths, then 82 * 3 / 4 = 61.
  EXPECT_EQ(PrintedSizeLabel(4000, 3000, kA4Portrait, 0, 100, false), "   8.2\" x 6.1\"   ");
  EXPECT_EQ(PrintedSizeLabel(4000, 3000, kA4Portrait, 0, 100, true), "   20.8cm x 15.4cm   ");
  // A poster of four sheets at half size: 50 * 4960 / 3000 = 82, 82 * 4 / 3.
  EXPECT_EQ(PrintedSizeLabel(600, 800, kA4Portrait, 4, 50, false), "   8.2\" x 10.9\"   ");
  // Height-limited on the starting metrics of no printer: 100 * 82 / 150.
  EXPECT_EQ(PrintedSizeLabel(100, 100, PrinterMetrics{}, 0, 100, false), "   5.4\" x 5.4\"   ");
}

TEST(PrintLayoutTest, PreviewFitsTheSquareAndMapsEverySheet) {
  EXPECT_EQ(PreviewPictureSize(4000, 3000).width, 510);
  EXPECT_EQ(PreviewPictureSize(4000, 3000).height, 382);
  EXPECT_EQ(PreviewPictureSize(300, 1600).width, 95);
  EXPECT_EQ(PreviewPictureSize(5000, 1).height, 1);

  const PreviewSize size = PreviewPictureSize(300, 1600);
  const PreviewLayout preview = ComputePreview(size.width, size.height, kA4Portrait, 6, 100);
  ASSERT_EQ(preview.outlines.size(), 6u);
  // Neighbouring sheets 2 pixels apart, the grid centred in the square.
  EXPECT_EQ(preview.outlines[1].left, preview.outlines[0].right + kPreviewSheetGap);
  EXPECT_EQ(preview.outlines[3].top, preview.outlines[0].bottom + kPreviewSheetGap);
  EXPECT_NEAR(preview.outlines[0].left, kPreviewSide - preview.outlines[2].right, 1);
  EXPECT_NEAR(preview.outlines[0].top, kPreviewSide - preview.outlines[5].bottom, 1);
  int filled = 0;
  for (std::size_t i = 0; i < preview.outlines.size(); ++i) {
    const PrintRect& picture = preview.pictureRects[i];
    if (picture.Empty()) continue;
    ++filled;
    EXPECT_GE(picture.left, preview.outlines[i].left);
    EXPECT_LE(picture.right, preview.outlines[i].right);
    EXPECT_GE(picture.top, preview.outlines[i].top);
    EXPECT_LE(picture.bottom, preview.outlines[i].bottom);
  }
  EXPECT_EQ(filled, 2);
}

}  // namespace
}  // namespace tx
