#pragma once
// Where a picture falls on the sheets of a print: one sheet, or a poster
// over 2, 4 or 6 sheets, in portrait or landscape sheets, at 50 to 100
// percent of the largest size that fits. Pure arithmetic on sizes, so the
// print screen, its preview and the command line share one answer.

#include <cstdint>
#include <string>
#include <vector>

namespace tx {

/// The eight page layouts: even ones use portrait sheets, odd ones landscape.
inline constexpr int kLayoutCount = 8;
/// Label strings of layouts 0 to 7 are kStrFirstLayoutLabel + layout.
inline constexpr unsigned kStrFirstLayoutLabel = 6401;
/// The document name of every print job.
inline constexpr unsigned kStrPrintDocumentName = 100001;

inline constexpr int kMinCopies = 1;
inline constexpr int kMaxCopies = 100;
inline constexpr int kMinSizePercent = 50;
inline constexpr int kMaxSizePercent = 100;

/// Side of the preview square, and the gap between preview sheets.
inline constexpr int kPreviewSide = 510;
inline constexpr int kPreviewSheetGap = 2;
/// A sheet's part is sent in bands once it holds this many pixels.
inline constexpr std::int64_t kBandPixels = std::int64_t{1} << 20;

/// Left, top, right, bottom; right and bottom exclusive.
struct PrintRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const PrintRect&, const PrintRect&) = default;
};

/// What the printer reports about one sheet, in its own pixels.
struct PrinterMetrics {
  int offsetX = 105;  ///< physical offset of the printable area
  int offsetY = 82;
  int width = 105;  ///< printable width and height
  int height = 82;
  int dpiX = 15;  ///< pixels per inch
  int dpiY = 15;
};

/// The metrics with every size and resolution below 1 raised to 1, so no
/// printer report can make a layout divide by zero.
PrinterMetrics UsableMetrics(PrinterMetrics metrics);

/// Sheets, columns and rows of a layout, and its sheet orientation.
struct LayoutGrid {
  int sheets = 1;
  int columns = 1;
  int rows = 1;
  bool portrait = true;
};

/// Any index reduced into 0 to 7 (out-of-range values are clamped).
int ReduceLayout(int index);
LayoutGrid GridOf(int layout);

/// The layout matched to the printer's orientation when the print screen
/// opens: portrait makes an odd layout even (one less), landscape makes an
/// even layout odd (one more).
int OrientLayout(int layout, bool printerPortrait);

/// The print settings of the program's run (not kept in the profile).
struct PrintSettings {
  int layout = 0;
  int copies = 1;
  int sizePercent = 100;

  /// One step up (+1) or down (-1); false, changing nothing, at a limit.
  bool StepCopies(int direction);
  bool StepSizePercent(int direction);
};

/// One sheet's share of the picture: the source rectangle in picture pixels
/// counted from the top (all zero when the sheet gets nothing) and where it
/// lands in the printable area.
struct SheetPart {
  PrintRect source;
  PrintRect sheet;
};

/// The layout of a W x H picture: sheets row by row, left to right.
struct PrintLayout {
  int layout = 0;
  int columns = 1;
  int rows = 1;
  bool heightLimited = true;
  /// Printer pixels per picture pixel at 100 percent.
  double scale = 1.0;
  /// The printed picture's size in printer pixels at the chosen percent.
  int printedWidth = 0;
  int printedHeight = 0;
  std::vector<SheetPart> sheets;
};

/// Fits, scales and cuts a `width` x `height` picture over the sheets of
/// `layout` at `sizePercent`. Sizes below 1 count as 1 and the settings are
/// brought into range, so any input yields a layout.
PrintLayout ComputeLayout(int width, int height, const PrinterMetrics& metrics, int layout,
                          int sizePercent);

/// The printed-size label ("   8.2\" x 11.0\"   ", or "   20.9cm x 27.9cm   "
/// with `centimetres`) for the same inputs as ComputeLayout.
std::string PrintedSizeLabel(int width, int height, const PrinterMetrics& metrics, int layout,
                             int sizePercent, bool centimetres);

/// One horizontal band of a sheet's part.
struct PrintBand {
  PrintRect source;
  PrintRect sheet;
};

/// The part split into n = pixels / 2^20 + 1 horizontal bands when it holds
/// 2^20 pixels or more (otherwise one band), stacked from the top.
std::vector<PrintBand> SplitIntoBands(const SheetPart& part);

/// The preview picture's size: the picture fitted into the 510 x 510 square
/// by its longer side (at least 1 x 1).
struct PreviewSize {
  int width = 1;
  int height = 1;
};
PreviewSize PreviewPictureSize(int width, int height);

/// The preview of a layout: the sheet outlines in the preview square (the
/// largest sheets of the printer's aspect whose grid, with 2-pixel gaps,
/// fits the square, centred) and where each sheet's part of the preview
/// picture is drawn in it.
struct PreviewLayout {
  PrintLayout layout;  ///< computed for the preview picture
  std::vector<PrintRect> outlines;
  std::vector<PrintRect> pictureRects;
};
PreviewLayout ComputePreview(int previewWidth, int previewHeight, const PrinterMetrics& metrics,
                             int layout, int sizePercent);

}  // namespace tx
