#include "cli/print_command.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include <QtGui/QGuiApplication>
#include <QtPrintSupport/QPrinter>
#include <QtPrintSupport/QPrinterInfo>

#include "app/printing/poster_printing.h"
#include "cli/picture_loading.h"
#include "config/startup_settings.h"
#include "image/image_lock.h"
#include "resources/messages.h"

namespace tx::cli {

namespace {

constexpr const char* kUsage =
    "usage: tesserix-cli print PICTURE [--layout 0..7] [--size 50..100] [--copies 1..100]\n"
    "                          (--printer NAME | --pdf OUT | --plan)\n"
    "                          [--sheet WIDTHxHEIGHT] [--dpi X[,Y]]\n\n"
    "Prints PICTURE on one sheet or as a poster, as the print screen does:\n"
    "  --layout L   0 portrait 1 page, 1 landscape 1 page, 2 portrait 2 pages,\n"
    "               3 landscape 2 pages, 4 portrait 4 pages, 5 landscape 4 pages,\n"
    "               6 portrait 6 pages, 7 landscape 6 pages (default 0)\n"
    "  --size S     percent of the largest size that fits (default 100)\n"
    "  --copies N   copies of every sheet (default 1)\n"
    "  --printer N  print on printer queue N, every sheet its own job\n"
    "  --pdf OUT    write the sheets as the pages of PDF file OUT (A4 at 300 dpi)\n"
    "  --plan       print nothing; write the layout as JSON: the sheets row by row,\n"
    "               'source' in picture pixels from the top, 'sheet' in printer\n"
    "               pixels of the printable area, all zero for an empty sheet\n"
    "  --sheet WxH  with --plan: the printable width and height in printer pixels\n"
    "  --dpi X[,Y]  with --plan and --sheet: the printer's resolution (default 300)\n"
    "Without --sheet the plan takes the sheet from --printer, else A4 at 300 dpi.\n";

constexpr int kDefaultDpi = 300;

struct PrintRequest {
  std::string picture;
  PrintSettings settings;
  std::string printer;
  std::string pdf;
  bool plan = false;
  std::optional<std::pair<int, int>> sheet;
  std::optional<std::pair<int, int>> dpi;
};

// "A x B" or "A,B" as two positive numbers; `second` may be left out when
// `single` allows it (then both are the first).
std::optional<std::pair<int, int>> ParsePair(const std::string& text, char between, bool single) {
  const std::size_t at = text.find(between);
  if (at == std::string::npos) {
    if (!single) return std::nullopt;
    const std::optional<int> one = ParseInt(text);
    if (!one || *one < 1) return std::nullopt;
    return std::make_pair(*one, *one);
  }
  const std::optional<int> first = ParseInt(text.substr(0, at));
  const std::optional<int> second = ParseInt(text.substr(at + 1));
  if (!first || !second || *first < 1 || *second < 1) return std::nullopt;
  return std::make_pair(*first, *second);
}

// Reads a numbered option into `value`, refusing what lies outside its range.
std::optional<std::string> TakeNumber(const std::string& option, const std::string& text, int low,
                                      int high, int& value) {
  const std::optional<int> number = ParseInt(text);
  if (!number || *number < low || *number > high) {
    return option + " takes a whole number from " + std::to_string(low) + " to " +
           std::to_string(high) + ", not \"" + text + "\"";
  }
  value = *number;
  return std::nullopt;
}

// The request of the arguments, or the reason they do not make one.
std::optional<std::string> ParseRequest(const Args& args, PrintRequest& request) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--plan") {
      request.plan = true;
      continue;
    }
    if (arg.rfind("--", 0) != 0) {
      if (!request.picture.empty()) return "one picture at a time: \"" + arg + "\" is extra";
      request.picture = arg;
      continue;
    }
    if (i + 1 >= args.size()) return arg + " needs a value";
    const std::string& value = args[++i];
    std::optional<std::string> problem;
    if (arg == "--layout") {
      problem = TakeNumber(arg, value, 0, kLayoutCount - 1, request.settings.layout);
    } else if (arg == "--size") {
      problem =
          TakeNumber(arg, value, kMinSizePercent, kMaxSizePercent, request.settings.sizePercent);
    } else if (arg == "--copies") {
      problem = TakeNumber(arg, value, kMinCopies, kMaxCopies, request.settings.copies);
    } else if (arg == "--printer") {
      request.printer = value;
    } else if (arg == "--pdf") {
      request.pdf = value;
    } else if (arg == "--sheet") {
      request.sheet = ParsePair(value, 'x', false);
      if (!request.sheet)
        problem = "--sheet takes WIDTHxHEIGHT in printer pixels, not \"" + value + "\"";
    } else if (arg == "--dpi") {
      request.dpi = ParsePair(value, ',', true);
      if (!request.dpi) problem = "--dpi takes X or X,Y dots per inch, not \"" + value + "\"";
    } else {
      problem = "unknown option " + arg;
    }
    if (problem) return problem;
  }
  if (request.picture.empty()) return std::string("which picture? (try --help)");
  if (!request.printer.empty() && !request.pdf.empty()) {
    return std::string("--printer and --pdf: choose one");
  }
  if (!request.plan && request.printer.empty() && request.pdf.empty()) {
    return std::string("where to? give --printer NAME, --pdf OUT or --plan");
  }
  if ((request.sheet || request.dpi) && !request.plan) {
    return std::string("--sheet and --dpi describe the sheet of a --plan");
  }
  if (request.dpi && !request.sheet) return std::string("--dpi goes with --sheet");
  return std::nullopt;
}

std::string JsonText(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JsonRect(const PrintRect& rect) {
  return "[" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ", " +
         std::to_string(rect.right) + ", " + std::to_string(rect.bottom) + "]";
}

void WritePlan(const PrintLayout& layout, const std::string& label) {
  std::string json = "{\"layout\": " + std::to_string(layout.layout) +
                     ", \"cols\": " + std::to_string(layout.columns) +
                     ", \"rows\": " + std::to_string(layout.rows) + ", \"sheets\": [";
  for (std::size_t i = 0; i < layout.sheets.size(); ++i) {
    if (i > 0) json += ", ";
    json += "{\"source\": " + JsonRect(layout.sheets[i].source) +
            ", \"sheet\": " + JsonRect(layout.sheets[i].sheet) + "}";
  }
  json += "], \"label\": " + JsonText(label) + "}\n";
  std::fputs(json.c_str(), stdout);
}

// The sheet a plan is made for: given, the printer's, or A4 at 300 dpi in
// the layout's orientation.
PrinterMetrics PlanMetrics(const PrintRequest& request, const QPrinter* printer) {
  if (request.sheet) {
    const std::pair<int, int> dpi = request.dpi.value_or(std::make_pair(kDefaultDpi, kDefaultDpi));
    return UsableMetrics(
        {0, 0, request.sheet->first, request.sheet->second, dpi.first, dpi.second});
  }
  if (printer != nullptr) return MetricsOf(*printer);
  QPrinter page(QPrinter::HighResolution);
  page.setOutputFormat(QPrinter::PdfFormat);
  UseDefaultPage(page);
  ApplyPrintSettings(page, request.settings);
  return MetricsOf(page);
}

// Qt's notes about its environment (a missing runtime folder and the like)
// say nothing about the print; only its errors reach the user.
void KeepQtErrorsOnly(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "tesserix-cli: %s\n", message.toLocal8Bit().constData());
  }
}

// Qt's printing needs an application object; without a display it runs on
// the offscreen platform.
std::unique_ptr<QGuiApplication> MakeApplication() {
  qInstallMessageHandler(KeepQtErrorsOnly);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tesserix-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int RunPrintCommand(const Args& args) {
  if (const std::optional<int> answered = AnswerUsage(args, kUsage)) return *answered;
  PrintRequest request;
  if (const std::optional<std::string> problem = ParseRequest(args, request)) return Fail(*problem);

  std::string error;
  PackedImage picture(LoadPictureByExtension(request.picture, error));
  if (!picture) return Fail(error);
  const ImageLock size(picture.get());
  if (!size.valid()) return Fail(request.picture + ": the picture cannot be read");

  const std::unique_ptr<QGuiApplication> application = MakeApplication();
  std::unique_ptr<QPrinter> printer;
  if (!request.printer.empty()) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(request.printer));
    if (info.isNull()) {
      const bool none = QPrinterInfo::availablePrinterNames().isEmpty();
      return Fail(none ? LoadText(kStrNoPrinterInstalled)
                       : "no printer queue \"" + request.printer + "\"");
    }
    printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    ApplyPrintSettings(*printer, request.settings);
  } else if (!request.pdf.empty()) {
    printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(request.pdf));
    UseDefaultPage(*printer);
  }

  if (request.plan) {
    const PrinterMetrics metrics = PlanMetrics(request, printer.get());
    const PrintSettings& settings = request.settings;
    WritePlan(
        ComputeLayout(size.width(), size.height(), metrics, settings.layout, settings.sizePercent),
        PrintedSizeLabel(size.width(), size.height(), metrics, settings.layout,
                         settings.sizePercent, Settings().units != 0));
    return kExitOk;
  }

  const QImage sheetPicture = PictureForPrinting(picture.get());
  picture.reset();  // the printing copy is all that is needed now
  const PrintOutcome outcome = PrintPoster(*printer, sheetPicture, request.settings);
  if (!outcome.ok()) return Fail(LoadText(outcome.messageId));
  const std::string where = request.pdf.empty() ? "printer " + request.printer : request.pdf;
  std::printf("printed %d sheet%s to %s\n", outcome.sheetsPrinted,
              outcome.sheetsPrinted == 1 ? "" : "s", where.c_str());
  return kExitOk;
}

}  // namespace tx::cli
