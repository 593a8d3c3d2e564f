#pragma once
// The print screen: the home screen's Print button asks for the printer
// set-up and then shows the picture on the sheets of the chosen layout. The
// layout list, the size and copies arrows change the print settings (kept
// for the program's run, never stored); Print sends the picture to the
// printer off the GUI thread and returns home, Cancel returns home.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtGui/QImage>

#include "app/lists/skinned_list.h"
#include "app/program/program_screen.h"
#include "app/views/print_preview.h"
#include "image/image_lock.h"
#include "output/print_layout.h"

class QPrinter;
class QWidget;

namespace tx {

class MainWindow;

/// The print screen's drop-down list of page layouts.
inline constexpr int kPrintLayoutList = 1016;

class PrintScreen : public ProgramScreen {
 public:
  /// Works on `window`, which must outlive it.
  explicit PrintScreen(MainWindow& window);
  ~PrintScreen();
  PrintScreen(const PrintScreen&) = delete;
  PrintScreen& operator=(const PrintScreen&) = delete;

  /// Binds the layout button, the arrows and Print on the window's panel;
  /// the home screen's Print button calls `print`.
  void Bind(std::function<void()> print);

  /// The home screen's Print for `picture` (not taken; its owner keeps it
  /// unchanged while the print screen shows): a beep without a picture,
  /// else the printer set-up and, when confirmed, the print screen.
  void Print(GlobalHandle picture);
  /// The printer set-up on the window; true when the user confirmed. A call
  /// while the set-up is open returns false at once.
  bool PrinterSetup();
  /// Prepares `picture` for printing (the layout follows the printer's
  /// orientation, the preview picture is made) and goes to the print
  /// screen. False when the picture is unreadable or the screen refused.
  bool OpenPrintScreen(GlobalHandle picture);

  /// Whether the print screen may be entered: only with a picture opened
  /// for printing.
  bool CanEnter() const { return m_picture != nullptr; }
  /// After every move between screens: entering shows the preview and the
  /// settings, leaving closes the preview and the layout list.
  void ScreenChanged(int from, int to) override;
  /// The layout list's notification; true when it was the layout list's.
  bool HandleListNotify(unsigned message, std::uint32_t wParam, SkinnedList& list) override;

  /// The layout button: opens the layout list under the layout label, or
  /// closes it when it is open.
  void ToggleLayoutList();
  /// Chooses layout `index` (brought into 0 to 7): the printer's sheet
  /// orientation and metrics follow, the labels and the preview are redrawn.
  void SetLayout(int index);
  /// The arrows: one step up (+1) or down (-1); a beep at a limit.
  void StepCopies(int direction);
  void StepSizePercent(int direction);
  /// Print: prints the picture as laid out, frees the preview and returns
  /// home. A printer that cannot print, or a print that fails, is reported
  /// with its message.
  void PrintNow();
  /// Cancel: closes the preview (the window then returns home).
  void Cancel();

  const PrintSettings& settings() const { return m_settings; }
  const PrinterMetrics& metrics() const { return m_metrics; }
  /// The printer chosen in the set-up, kept for the program's run.
  QPrinter& printer();
  PrintPreview* preview() const { return m_preview.data(); }
  /// The words shown in the layout label, the size and copies boxes and
  /// the printed-size label ("" before the screen was opened).
  QString layoutText() const;
  QString sizeText() const;
  QString copiesText() const;
  QString printedSizeText() const;
  /// Sheets sent and the message of the last print.
  int lastSheetsPrinted() const { return m_lastSheets; }
  unsigned lastPrintMessage() const { return m_lastMessage; }

  /// The printer set-up dialog, replaceable for tests: true when confirmed.
  std::function<bool(QPrinter& printer)> printerSetup;

 private:
  void Open();
  void Close();
  // Puts the layout's orientation and the copies on the printer and reads
  // its sheet back.
  void ReadMetrics();
  void ShowNumbers();
  void ShowLabels();
  // Shows the words while the screen is open, except those an open
  // drop-down list covers.
  void ShowWords();
  void Beep();

  MainWindow& m_window;
  QPointer<QObject> m_windowAlive;
  std::unique_ptr<QPrinter> m_printer;
  PrintSettings m_settings;
  PrinterMetrics m_metrics;
  GlobalHandle m_picture = nullptr;
  QImage m_previewPicture;
  QPointer<PrintPreview> m_preview;
  // Layout label, size box, printed-size label, copies box.
  std::array<QPointer<QWidget>, 4> m_words;
  bool m_open = false;
  bool m_inSetup = false;
  int m_lastSheets = 0;
  unsigned m_lastMessage = 0;
};

}  // namespace tx
