#pragma once
// Printing a picture through Qt's printer: one job per non-empty sheet of
// the layout on a real printer, or one PDF file with a page per non-empty
// sheet. Shared by the print screen and tesserix-cli; it uses Qt's printing
// and painting only, no widgets.

#include <QtGui/QImage>
#include <QtPrintSupport/QPrinter>

#include <string>

#include "output/print_layout.h"
#include "platform/global_memory.h"

namespace tx {

/// Printer messages of the catalogue.
inline constexpr unsigned kStrPrinterError = 800;
inline constexpr unsigned kStrPrinterDriverMissing = 801;
inline constexpr unsigned kStrPrinterNoContext = 802;
inline constexpr unsigned kStrPrintJobNotStarted = 803;
inline constexpr unsigned kStrPrintPageNotStarted = 804;
inline constexpr unsigned kStrPrintJobNotFinished = 806;
inline constexpr unsigned kStrPrintJobCancelled = 807;
inline constexpr unsigned kStrPrintPictureNotPrepared = 815;
inline constexpr unsigned kStrNoPrinterInstalled = 818;

/// The result of a print: the number of sheets sent, and 0 or the
/// catalogue message saying why printing stopped.
struct PrintOutcome {
  int sheetsPrinted = 0;
  unsigned messageId = 0;
  bool ok() const { return messageId == 0; }
};

/// The printer's sheet in its current orientation: printable size and
/// offset in device pixels, and its resolution.
PrinterMetrics MetricsOf(const QPrinter& printer);

/// Puts the layout's orientation and the copies on `printer`.
void ApplyPrintSettings(QPrinter& printer, const PrintSettings& settings);

/// A usable printer for printing now: 0, or the message saying why not
/// (no printer installed, the chosen one unknown or invalid).
unsigned CheckPrinter(const QPrinter& printer);

/// The document name of the print jobs (from the catalogue).
QString PrintDocumentName();

/// A top-down 24-bit copy of packed image `image` (any depth it can hold)
/// to print from; a null image when it cannot be read.
QImage PictureForPrinting(GlobalHandle image);

/// Prints `picture` (top-down, any format) as `settings` lay it out:
/// applies the settings, then on a PDF printer writes every non-empty sheet
/// as a page of the one file, and on a real printer sends every non-empty
/// sheet as its own job. Parts of 2^20 pixels or more go in bands.
PrintOutcome PrintPoster(QPrinter& printer, const QImage& picture, const PrintSettings& settings);

/// The A4 page at 300 dpi, no margins, used when no printer gives the
/// sheet: the PDF output's page and the default metrics of a plan.
void UseDefaultPage(QPrinter& printer);

}  // namespace tx
