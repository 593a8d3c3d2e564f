#include "app/printing/poster_printing.h"

#include <algorithm>
#include <cstring>

#include <QtGui/QPageLayout>
#include <QtGui/QPageSize>
#include <QtGui/QPainter>
#include <QtPrintSupport/QPrinterInfo>

#include "image/image_lock.h"
#include "image/image_utils.h"
#include "resources/messages.h"

namespace tx {

namespace {

// The A4 page of the default sheet, at 300 dots per inch.
constexpr int kDefaultResolution = 300;

QRect ToQRect(const PrintRect& rect) {
  return QRect(rect.left, rect.top, rect.Width(), rect.Height());
}

// Draws one sheet's part, band by band, so that no single picture handed
// to the printer holds more than about 2^20 pixels.
void DrawSheet(QPainter& painter, const QImage& picture, const SheetPart& part) {
  for (const PrintBand& band : SplitIntoBands(part)) {
    painter.drawImage(ToQRect(band.sheet), picture, ToQRect(band.source));
  }
}

// What a printer that has finished a job says about it.
unsigned JobOutcome(const QPrinter& printer) {
  switch (printer.printerState()) {
    case QPrinter::Aborted:
      return kStrPrintJobCancelled;
    case QPrinter::Error:
      return kStrPrintJobNotFinished;
    default:
      return 0;
  }
}

}  // namespace

PrinterMetrics MetricsOf(const QPrinter& printer) {
  PrinterMetrics metrics;
  const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
  metrics.offsetX = int(printable.left());
  metrics.offsetY = int(printable.top());
  metrics.width = printer.width();
  metrics.height = printer.height();
  metrics.dpiX = printer.logicalDpiX();
  metrics.dpiY = printer.logicalDpiY();
  return UsableMetrics(metrics);
}

void ApplyPrintSettings(QPrinter& printer, const PrintSettings& settings) {
  printer.setPageOrientation(GridOf(settings.layout).portrait ? QPageLayout::Portrait
                                                              : QPageLayout::Landscape);
  printer.setCopyCount(std::clamp(settings.copies, kMinCopies, kMaxCopies));
}

unsigned CheckPrinter(const QPrinter& printer) {
  if (printer.outputFormat() == QPrinter::PdfFormat) {
    return printer.outputFileName().isEmpty() ? kStrPrintJobNotStarted : 0;
  }
  const QStringList installed = QPrinterInfo::availablePrinterNames();
  if (installed.isEmpty()) return kStrNoPrinterInstalled;
  if (!installed.contains(printer.printerName())) return kStrPrinterDriverMissing;
  return printer.isValid() ? 0 : kStrPrinterNoContext;
}

QImage PictureForPrinting(GlobalHandle image) {
  PackedImage widened;
  {
    const ImageLock probe(image);
    if (!probe.valid()) return {};
    if (probe.bitCount() != 24) widened.reset(ConvertToTrueColour(image));
  }
  const ImageLock lock(widened ? widened.get() : image);
  if (!lock.valid() || lock.bitCount() != 24) return {};
  QImage picture(lock.width(), lock.height(), QImage::Format_BGR888);
  if (picture.isNull()) return {};
  // Packed rows are stored bottom row first.
  const std::size_t rowBytes = std::size_t(lock.width()) * 3;
  for (int y = 0; y < lock.height(); ++y) {
    std::memcpy(picture.scanLine(lock.height() - 1 - y), lock.row(y), rowBytes);
  }
  return picture;
}

QString PrintDocumentName() {
  return QString::fromStdString(LoadText(kStrPrintDocumentName));
}

PrintOutcome PrintPoster(QPrinter& printer, const QImage& picture, const PrintSettings& settings) {
  PrintOutcome outcome;
  if (const unsigned why = CheckPrinter(printer); why != 0) {
    outcome.messageId = why;
    return outcome;
  }
  if (picture.isNull()) {
    outcome.messageId = kStrPrintPictureNotPrepared;
    return outcome;
  }
  ApplyPrintSettings(printer, settings);
  printer.setDocName(PrintDocumentName());
  const PrintLayout layout = ComputeLayout(picture.width(), picture.height(), MetricsOf(printer),
                                           settings.layout, settings.sizePercent);
  // A PDF file holds every sheet as a page of its own; on a printer every
  // sheet is a job of its own.
  const bool oneFile = printer.outputFormat() == QPrinter::PdfFormat;
  QPainter painter;
  for (const SheetPart& part : layout.sheets) {
    if (part.sheet.Empty() || part.source.Empty()) continue;
    if (!oneFile || outcome.sheetsPrinted == 0) {
      if (!painter.begin(&printer)) {
        outcome.messageId = kStrPrintJobNotStarted;
        return outcome;
      }
      // Whole pixels, as a photo printer expects: no smoothing of the cut.
      painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    } else if (!printer.newPage()) {
      painter.end();
      outcome.messageId = kStrPrintPageNotStarted;
      return outcome;
    }
    DrawSheet(painter, picture, part);
    ++outcome.sheetsPrinted;
    if (!oneFile) {
      const bool ended = painter.end();
      outcome.messageId = ended ? JobOutcome(printer) : kStrPrintJobNotFinished;
      if (outcome.messageId != 0) return outcome;
    }
  }
  if (oneFile && painter.isActive()) {
    const bool ended = painter.end();
    outcome.messageId = ended ? JobOutcome(printer) : kStrPrintJobNotFinished;
  }
  return outcome;
}

void UseDefaultPage(QPrinter& printer) {
  printer.setResolution(kDefaultResolution);
  printer.setFullPage(true);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

}  // namespace tx
