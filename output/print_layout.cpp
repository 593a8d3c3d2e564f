#include "output/print_layout.h"

#include <algorithm>
#include <array>

namespace tx {

namespace {

constexpr std::array<LayoutGrid, kLayoutCount> kGrids = {{
    {1, 1, 1, true},
    {1, 1, 1, false},
    {2, 2, 1, true},
    {2, 1, 2, false},
    {4, 2, 2, true},
    {4, 2, 2, false},
    {6, 3, 2, true},
    {6, 2, 3, false},
}};

// One axis of the cut: where each column (or row) takes its share of the
// picture, and where that share lands on its sheet. `source` is empty
// (both zero) for a column that gets nothing.
struct AxisPart {
  int sourceBegin = 0;
  int sourceEnd = 0;
  int sheetBegin = 0;
  int sheetEnd = 0;
  bool Empty() const { return sourceEnd <= sourceBegin || sheetEnd <= sheetBegin; }
};

// The parts along one axis of `count` sheets (1, 2 or 3) for a picture of
// `length` pixels printed `printed` sheet pixels long on sheets `sheet`
// pixels long. `fitted` is the picture's length at 100 percent, and
// `perSheet` the picture pixels one sheet holds at the chosen percent.
std::vector<AxisPart> CutAxis(int count, int length, int printed, int sheet, double fitted,
                              double perSheet) {
  std::vector<AxisPart> parts(static_cast<std::size_t>(count));
  // One sheet along this axis: the printed picture centred on it.
  const AxisPart centred{0, length, sheet / 2 - printed / 2, sheet / 2 + printed / 2};
  // Two halves meeting at the border between two sheets. The pixel at the
  // cut goes on neither, so the second half starts one pixel later.
  const AxisPart before{0, length / 2, sheet - printed / 2, sheet};
  const AxisPart after{length / 2 + 1, length, 0, printed / 2};
  if (count == 1) {
    parts[0] = centred;
  } else if (count == 2) {
    parts[0] = before;
    parts[1] = after;
  } else if (fitted <= double(sheet)) {
    // No wider than the middle sheet: the outer sheets stay empty.
    parts[1] = centred;
  } else {
    // The middle sheet takes as many picture pixels as it holds, centred on
    // the picture's centre; the outer ones the rest on either side.
    const int middle = perSheet >= double(length) ? length : int(perSheet);
    const int cutBefore = std::max(0, length / 2 - middle / 2);
    const int cutAfter = std::min(length, cutBefore + middle);
    const auto printedOf = [&](int pixels) {
      return int(std::int64_t(pixels) * printed / std::max(1, length));
    };
    const int firstEnd = cutBefore;
    const int lastBegin = cutAfter + 1;
    parts[0] = {0, firstEnd, sheet - printedOf(firstEnd), sheet};
    if (firstEnd > 0 && lastBegin < length) {
      parts[1] = {cutBefore + 1, cutAfter, 0, sheet};
    } else {
      parts[1] = {cutBefore == 0 ? 0 : cutBefore + 1, cutAfter, sheet / 2 - printed / 2,
                  sheet / 2 + printed / 2};
    }
    parts[2] = {lastBegin, length, 0, printedOf(length - lastBegin)};
  }
  for (AxisPart& part : parts) {
    if (part.Empty()) part = {};
  }
  return parts;
}

PrintRect Clamped(PrintRect rect) {
  rect.left = std::max(0, rect.left);
  rect.top = std::max(0, rect.top);
  rect.right = std::max(0, rect.right);
  rect.bottom = std::max(0, rect.bottom);
  if (rect.Empty()) return {};
  return rect;
}

int ScaledShare(int value, int numerator, int denominator) {
  return int(std::int64_t(value) * numerator / std::max(1, denominator));
}

}  // namespace

PrinterMetrics UsableMetrics(PrinterMetrics metrics) {
  metrics.width = std::max(1, metrics.width);
  metrics.height = std::max(1, metrics.height);
  metrics.dpiX = std::max(1, metrics.dpiX);
  metrics.dpiY = std::max(1, metrics.dpiY);
  return metrics;
}

int ReduceLayout(int index) {
  return std::clamp(index, 0, kLayoutCount - 1);
}

LayoutGrid GridOf(int layout) {
  return kGrids[std::size_t(ReduceLayout(layout))];
}

int OrientLayout(int layout, bool printerPortrait) {
  layout = ReduceLayout(layout);
  const bool even = layout % 2 == 0;
  if (printerPortrait) return even ? layout : layout - 1;
  return even ? layout + 1 : layout;
}

bool PrintSettings::StepCopies(int direction) {
  const int next = copies + (direction < 0 ? -1 : 1);
  if (next < kMinCopies || next > kMaxCopies) return false;
  copies = next;
  return true;
}

bool PrintSettings::StepSizePercent(int direction) {
  const int next = sizePercent + (direction < 0 ? -1 : 1);
  if (next < kMinSizePercent || next > kMaxSizePercent) return false;
  sizePercent = next;
  return true;
}

PrintLayout ComputeLayout(int width, int height, const PrinterMetrics& given, int layout,
                          int sizePercent) {
  const PrinterMetrics metrics = UsableMetrics(given);
  const int w = std::max(1, width);
  const int h = std::max(1, height);
  const int s = std::clamp(sizePercent, kMinSizePercent, kMaxSizePercent);
  const LayoutGrid grid = GridOf(layout);

  PrintLayout result;
  result.layout = ReduceLayout(layout);
  result.columns = grid.columns;
  result.rows = grid.rows;
  const double posterWidth = double(grid.columns) * metrics.width;
  const double posterHeight = double(grid.rows) * metrics.height;
  // A picture exactly as wide, in proportion, as the poster is fitted by its
  // height.
  result.heightLimited = double(w) / h <= posterWidth / posterHeight;
  result.scale = result.heightLimited ? posterHeight / h : posterWidth / w;
  // The percent is taken off in whole picture pixels before scaling.
  result.printedWidth = int(double(std::int64_t(w) * s / 100) * result.scale);
  result.printedHeight = int(double(std::int64_t(h) * s / 100) * result.scale);

  const double perSheetX = double(metrics.width) * 100 / (result.scale * s);
  const double perSheetY = double(metrics.height) * 100 / (result.scale * s);
  const std::vector<AxisPart> columns =
      CutAxis(grid.columns, w, result.printedWidth, metrics.width, w * result.scale, perSheetX);
  const std::vector<AxisPart> rows =
      CutAxis(grid.rows, h, result.printedHeight, metrics.height, h * result.scale, perSheetY);
  for (const AxisPart& row : rows) {
    for (const AxisPart& column : columns) {
      SheetPart part;
      if (!row.Empty() && !column.Empty()) {
        part.source = {column.sourceBegin, row.sourceBegin, column.sourceEnd, row.sourceEnd};
        part.sheet = Clamped({column.sheetBegin, row.sheetBegin, column.sheetEnd, row.sheetEnd});
        if (part.sheet.Empty()) part.source = {};
      }
      result.sheets.push_back(part);
    }
  }
  return result;
}

std::string PrintedSizeLabel(int width, int height, const PrinterMetrics& given, int layout,
                             int sizePercent, bool centimetres) {
  const PrinterMetrics metrics = UsableMetrics(given);
  const std::int64_t w = std::max(1, width);
  const std::int64_t h = std::max(1, height);
  const std::int64_t s = std::clamp(sizePercent, kMinSizePercent, kMaxSizePercent);
  const LayoutGrid grid = GridOf(layout);
  const PrintLayout fit = ComputeLayout(width, height, metrics, layout, sizePercent);
  // Tenths of an inch along the limiting side; the other follows the
  // picture's aspect.
  std::int64_t across = 0;
  std::int64_t down = 0;
  if (fit.heightLimited) {
    down = s * (std::int64_t(grid.rows) * metrics.height) / (10 * std::int64_t(metrics.dpiY));
    across = down * w / h;
  } else {
    across = s * (std::int64_t(grid.columns) * metrics.width) / (10 * std::int64_t(metrics.dpiX));
    down = across * h / w;
  }
  if (centimetres) {
    across = std::int64_t(double(across) * 2.54);
    down = std::int64_t(double(down) * 2.54);
  }
  const std::string unit = centimetres ? "cm" : "\"";
  const std::string between = centimetres ? "cm x " : "\" x ";
  return "   " + std::to_string(across / 10) + "." + std::to_string(across % 10) + between +
         std::to_string(down / 10) + "." + std::to_string(down % 10) + unit + "   ";
}

std::vector<PrintBand> SplitIntoBands(const SheetPart& part) {
  const std::int64_t pixels = std::int64_t(part.source.Width()) * part.source.Height();
  if (part.source.Empty() || part.sheet.Empty()) return {};
  if (pixels < kBandPixels) return {{part.source, part.sheet}};
  const int n = int(pixels / kBandPixels) + 1;
  const int sourceHeight = part.source.Height();
  const int sheetHeight = part.sheet.Height();
  std::vector<PrintBand> bands;
  for (int i = 0; i < n; ++i) {
    PrintBand band{part.source, part.sheet};
    band.source.top = part.source.top + ScaledShare(i, sourceHeight, n);
    band.source.bottom = part.source.top + ScaledShare(i + 1, sourceHeight, n);
    band.sheet.top = part.sheet.top + ScaledShare(i, sheetHeight, n);
    band.sheet.bottom = part.sheet.top + ScaledShare(i + 1, sheetHeight, n);
    if (!band.source.Empty() && !band.sheet.Empty()) bands.push_back(band);
  }
  return bands;
}

PreviewSize PreviewPictureSize(int width, int height) {
  const std::int64_t w = std::max(1, width);
  const std::int64_t h = std::max(1, height);
  if (w <= h) return {std::max(1, int(kPreviewSide * w / h)), kPreviewSide};
  return {kPreviewSide, std::max(1, int(kPreviewSide * h / w))};
}

PreviewLayout ComputePreview(int previewWidth, int previewHeight, const PrinterMetrics& given,
                             int layout, int sizePercent) {
  const PrinterMetrics metrics = UsableMetrics(given);
  const LayoutGrid grid = GridOf(layout);
  PreviewLayout preview;
  preview.layout = ComputeLayout(previewWidth, previewHeight, metrics, layout, sizePercent);
  // The largest sheets of the printer's aspect whose grid fits the square.
  const double across = double(kPreviewSide - kPreviewSheetGap * (grid.columns - 1)) /
                        (double(grid.columns) * metrics.width);
  const double down = double(kPreviewSide - kPreviewSheetGap * (grid.rows - 1)) /
                      (double(grid.rows) * metrics.height);
  const double fit = std::min(across, down);
  const int sheetWidth = std::max(1, int(metrics.width * fit));
  const int sheetHeight = std::max(1, int(metrics.height * fit));
  const int left =
      (kPreviewSide - (grid.columns * sheetWidth + kPreviewSheetGap * (grid.columns - 1))) / 2;
  const int top =
      (kPreviewSide - (grid.rows * sheetHeight + kPreviewSheetGap * (grid.rows - 1))) / 2;
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      const PrintRect outline{left + column * (sheetWidth + kPreviewSheetGap),
                              top + row * (sheetHeight + kPreviewSheetGap), 0, 0};
      PrintRect sheet = outline;
      sheet.right = outline.left + sheetWidth;
      sheet.bottom = outline.top + sheetHeight;
      preview.outlines.push_back(sheet);
      const PrintRect& on = preview.layout.sheets[std::size_t(row * grid.columns + column)].sheet;
      PrintRect picture;
      if (!on.Empty()) {
        picture = {sheet.left + ScaledShare(on.left, sheetWidth, metrics.width),
                   sheet.top + ScaledShare(on.top, sheetHeight, metrics.height),
                   sheet.left + ScaledShare(on.right, sheetWidth, metrics.width),
                   sheet.top + ScaledShare(on.bottom, sheetHeight, metrics.height)};
      }
      preview.pictureRects.push_back(picture);
    }
  }
  return preview;
}

}  // namespace tx
