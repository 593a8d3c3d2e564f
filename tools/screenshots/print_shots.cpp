// tx-print-screenshots OUT: the program's main window on the print screen
// with the sample target (or a made picture when the sample is missing),
// saved as OUT/print-layout0.png, print-layout4.png and print-layout6.png.
//
// The printer is a PDF file on an A4 sheet at 300 dpi, set up without a
// dialog, so no printer needs to be installed and nothing is printed. The
// texts come from Res_TX, or Res_EN when TESSERIX_LANG is "en".

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QtCore/QEventLoop>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtPrintSupport/QPrinter>
#include <QtWidgets/QApplication>

#include "app/printing/poster_printing.h"
#include "app/program/main_window.h"
#include "app/program/montage_path.h"
#include "app/program/qt_notice_sink.h"
#include "app/program/qt_translations.h"
#include "collections/collection_registry.h"
#include "config/startup_settings.h"
#include "image/image_lock.h"
#include "platform/paths.h"
#include "rastio/rastio.h"
#include "resources/resource_binding.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSettleMs = 150;
// The made picture: a warm gradient with a diagonal band, landscape.
constexpr int kMadeWidth = 640;
constexpr int kMadeHeight = 480;

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Shoot(QWidget& widget, const fs::path& folder, const char* name) {
  const fs::path file = folder / (std::string(name) + ".png");
  if (!widget.grab().save(QString::fromStdString(file.string()))) {
    std::fprintf(stderr, "tx-print-screenshots: cannot write %s\n", file.c_str());
    return false;
  }
  return true;
}

// A picture file to show when the sample target is not beside the program.
fs::path MakePicture(const fs::path& folder) {
  tx::PackedImage image(tx::CreatePackedImage(kMadeWidth, kMadeHeight, 0, 0));
  tx::ImageLock lock(image.get());
  if (!lock.valid()) return {};
  for (int y = 0; y < kMadeHeight; ++y) {
    std::uint8_t* row = lock.row(y);
    for (int x = 0; x < kMadeWidth; ++x) {
      const bool band = std::abs(x - y - (kMadeWidth - kMadeHeight) / 2) < 40;
      row[3 * x] = std::uint8_t(band ? 240 : 80 + y * 120 / kMadeHeight);     // blue
      row[3 * x + 1] = std::uint8_t(band ? 240 : 60 + x * 100 / kMadeWidth);  // green
      row[3 * x + 2] = std::uint8_t(band ? 240 : 200);                        // red
    }
  }
  const fs::path file = folder / "made.bmp";
  if (EzSaveFile(image.get(), file.string().c_str(), tx::kSaveByExtension, nullptr) != 0) return {};
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tx-print-screenshots OUT\n");
    return 2;
  }
  QApplication app(argc, argv);
  const fs::path out = argv[1];
  fs::create_directories(out);
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    std::fprintf(stderr, "tx-print-screenshots: no temporary folder\n");
    return 1;
  }
  const fs::path scratchDir = scratch.path().toStdString();
  tx::BindResourceLibraryOrExit();
  tx::InstallQtTranslations(app);
  auto sink = std::make_shared<tx::QtNoticeSink>();
  tx::SetNoticeSink(sink);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  tx::InitialiseStartupSettings(screen.width(), screen.height());
  tx::Collections().PrepareCollectionFolders();
  tx::Collections().LoadCollections();

  tx::MontagePath path(tx::Collections());
  tx::MainWindow window(path.Hooks());
  path.Attach(window);
  sink->SetMainWindow(&window);
  window.PlaceAndShow(QPoint(0, 0));
  Wait(kSettleMs);

  fs::path picture = tx::ProgramDir() / "sample-target.jpg";
  if (!fs::exists(picture)) picture = MakePicture(scratchDir);
  if (picture.empty() || !window.OpenTargetFile(picture)) {
    std::fprintf(stderr, "tx-print-screenshots: no picture to print\n");
    return 1;
  }

  tx::PrintScreen& print = *path.printScreen();
  print.printerSetup = [&scratchDir](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString((scratchDir / "print.pdf").string()));
    tx::UseDefaultPage(printer);
    printer.setPageOrientation(QPageLayout::Portrait);
    return true;
  };
  path.Print();
  if (window.screen() != tx::kScreenPrint) {
    std::fprintf(stderr, "tx-print-screenshots: the print screen did not open\n");
    return 1;
  }
  bool ok = true;
  for (int layout : {0, 4, 6}) {
    print.SetLayout(layout);
    Wait(kSettleMs);
    const std::string name = "print-layout" + std::to_string(layout);
    ok &= Shoot(window, out, name.c_str());
  }

  window.hooks().printCancel();
  window.GoToScreen(tx::kScreenHome);
  window.close();
  std::printf("tx-print-screenshots: %s\n", ok ? "done" : "some shots failed");
  return ok ? 0 : 1;
}
