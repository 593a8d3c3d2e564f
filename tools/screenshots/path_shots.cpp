// tx-path-screenshots OUT: drives the program's own main window along the
// montage path and saves what a user sees at each step as PNG files in OUT:
// the sample target loaded, a crop under way, the montage settings with a
// list open, a run half done, the finished montage, the full-screen view,
// the match map over it and the colours to add on the settings screen, the
// Save As dialog with its option panel and the print screen in layouts 0, 4
// and 6 and with its layout list open.
//
// It starts like the program (resource library, settings, collections of
// the user folder) but never claims the single instance, so it can run
// beside a real Tesserix. The texts come from Res_TX, or Res_EN when
// TESSERIX_LANG is "en".

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtGui/QMouseEvent>
#include <QtPrintSupport/QPrinter>
#include <QtWidgets/QApplication>

#include "app/printing/poster_printing.h"
#include "app/program/save_dialog.h"
#include "app/views/crop_state.h"
#include "app/views/full_screen_view.h"
#include "app/widgets/skin_panel_widget.h"
#include "platform/paths.h"
#include "tools/screenshots/program_shots.h"

namespace fs = std::filesystem;

using tx::shots::kSettleMs;
using tx::shots::Shoot;
using tx::shots::Wait;
using tx::shots::WaitFor;

namespace {

constexpr int kRunLimitMs = 120000;

// Clicks the button of `command` on `screen` as a user would: the pointer
// moves there, presses and lets go.
bool ClickCommand(tx::SkinPanelWidget& panel, int screen, const char* command) {
  for (const tx::ButtonRecord& r : panel.panel().records(screen)) {
    if (r.command != command) continue;
    const QPointF at((r.rect.left + r.rect.right) / 2.0, (r.rect.top + r.rect.bottom) / 2.0);
    const QPointF global = panel.mapToGlobal(at);
    QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(&panel, &move);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(&panel, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(&panel, &release);
    return true;
  }
  std::fprintf(stderr, "tx-path-screenshots: no %s button\n", command);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tx-path-screenshots OUT\n");
    return 2;
  }
  QApplication app(argc, argv);
  const fs::path out = argv[1];
  fs::create_directories(out);
  tx::shots::ProgramForShots program(app);
  tx::MontagePath& path = program.path();
  tx::MainWindow& window = program.window();
  bool ok = true;

  // The sample target on the home screen.
  if (!window.OpenTargetFile(tx::ProgramDir() / "sample-target.jpg")) {
    std::fprintf(stderr, "tx-path-screenshots: the sample target does not open\n");
    return 1;
  }
  Wait(kSettleMs);
  ok &= Shoot(window, out, "path1-target");

  // A crop to 3 : 4 under way.
  window.GoToScreen(tx::kScreenCrop);
  for (int entry = 0; entry < tx::kCropRatioCount; ++entry) {
    const tx::CropRatio ratio = tx::CropRatioAt(entry);
    if (ratio.width == 3 && ratio.height == 4) path.cropScreen()->ChooseRatio(entry);
  }
  Wait(kSettleMs);
  ok &= Shoot(window, out, "path2-crop");
  window.hooks().cropCancel();
  window.GoToScreen(tx::kScreenHome);

  // The settings, with a caption, the sample as signature, and the tile
  // count list open.
  window.GoToScreen(tx::kScreenMontageSettings);
  tx::MontageSettingsScreen& settings = *path.settingsScreen();
  settings.captionField()->setText(QStringLiteral("Tesserix 2026"));
  settings.pictureChooser = [] { return tx::ProgramDir() / "sample-target.jpg"; };
  settings.ChooseSpecialPicture(tx::SpecialPicture::Signature);
  Wait(kSettleMs);
  ok &= Shoot(window, out, "path3-settings");
  settings.ToggleDropDown(tx::kTileCountList);
  Wait(kSettleMs);
  ok &= Shoot(window, out, "path3-settings-tile-counts");
  settings.ToggleDropDown(tx::kTileCountList);

  // A run, shot once half its tiles are drawn.
  bool halfShot = false;
  bool ended = false;
  QObject::connect(&path.run(), &tx::MontageRun::progress, &window, [&](int, int drawn, int cells) {
    if (!halfShot && cells > 0 && drawn >= cells / 2) {
      halfShot = true;
      ok &= Shoot(window, out, "path4-run-half-done");
    }
  });
  QObject::connect(&path.run(), &tx::MontageRun::finished, &window, [&](bool) { ended = true; });
  path.Create();
  if (!WaitFor([&] { return ended; }, kRunLimitMs) || !path.engine().montagePresent()) {
    std::fprintf(stderr, "tx-path-screenshots: the run made no montage\n");
    return 1;
  }
  Wait(kSettleMs);
  ok &= halfShot;
  ok &= Shoot(window, out, "path5-montage");

  // The match map over the montage, then the colours the sample collection
  // lacks on the settings screen.
  ok &= ClickCommand(window.panel(), tx::kScreenHome, "MatchMap");
  Wait(kSettleMs);
  ok &= path.matchMapOn();
  ok &= Shoot(window, out, "path5-match-map");
  window.GoToScreen(tx::kScreenMontageSettings);
  Wait(kSettleMs);
  ok &= Shoot(window, out, "path5-colours-to-add");
  window.GoToScreen(tx::kScreenHome);
  ok &= ClickCommand(window.panel(), tx::kScreenHome, "MatchMap");
  Wait(kSettleMs);

  // The montage full screen.
  window.hooks().fullScreen();
  Wait(kSettleMs * 2);
  if (tx::FullScreenView* view = tx::CurrentFullScreenView()) {
    ok &= Shoot(*view, out, "path6-full-screen");
    view->close();
  } else {
    ok = false;
  }

  // The Save As dialog, shot and cancelled.
  QTimer::singleShot(kSettleMs * 3, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<tx::SaveAsDialog*>(widget); dialog && dialog->isVisible()) {
        ok &= Shoot(*dialog, out, "path7-save-dialog");
        dialog->reject();
      }
    }
  });
  window.hooks().save();

  // The montage on the print screen in one, four and six sheets, printing
  // to a PDF file on an A4 sheet at 300 dpi set up without a dialog.
  QTemporaryDir scratch;
  tx::PrintScreen& print = *path.printScreen();
  print.printerSetup = [&scratch](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(scratch.filePath(QStringLiteral("print.pdf")));
    tx::UseDefaultPage(printer);
    printer.setPageOrientation(QPageLayout::Portrait);
    return true;
  };
  path.Print();
  ok &= window.screen() == tx::kScreenPrint;
  for (int layout : {0, 4, 6}) {
    print.SetLayout(layout);
    Wait(kSettleMs);
    ok &= Shoot(window, out, "path8-print-layout" + std::to_string(layout));
  }
  print.ToggleLayoutList();
  Wait(kSettleMs);
  ok &= Shoot(window, out, "path8-print-layout-list");
  print.ToggleLayoutList();
  window.hooks().printCancel();
  window.GoToScreen(tx::kScreenHome);

  // Nothing asked on the way out: the montage is dropped on purpose.
  path.engine().MarkMontageSaved();
  window.close();
  std::printf("tx-path-screenshots: %s\n", ok ? "done" : "some shots failed");
  return ok ? 0 : 1;
}
