#include "app/program/print_screen.h"

#include <string>
#include <utility>

#include <QtGui/QPainter>
#include <QtPrintSupport/QPrintDialog>
#include <QtPrintSupport/QPrinter>
#include <QtWidgets/QWidget>

#include "app/buttons/button_record.h"
#include "app/printing/poster_printing.h"
#include "app/program/main_window.h"
#include "app/program/program_log.h"
#include "app/views/print_preview.h"
#include "app/views/work_off_gui.h"
#include "app/widgets/cursors.h"
#include "app/widgets/interface_font.h"
#include "app/widgets/packed_image_view.h"
#include "app/widgets/skin_panel_widget.h"
#include "config/startup_settings.h"
#include "image/image_utils.h"
#include "platform/notices.h"
#include "resources/messages.h"

namespace tx {

namespace {

// The screen's areas: the layout label, the size percent box, the printed
// size label and the copies box, in the order of PrintScreen::m_words.
constexpr int kLayoutLabelArea = 163;
constexpr int kSizeBoxArea = 164;
constexpr int kPrintedSizeArea = 165;
constexpr int kCopiesBoxArea = 166;
constexpr int kWordAreas[] = {kLayoutLabelArea, kSizeBoxArea, kPrintedSizeArea, kCopiesBoxArea};
constexpr int kLayoutWords = 0;
constexpr int kSizeWords = 1;
constexpr int kPrintedSizeWords = 2;
constexpr int kCopiesWords = 3;
// The numbers are drawn larger than the labels.
constexpr int kNumberPixels = 16;

// Words centred in one of the screen's areas, drawn over the panel. The
// panel's own area words start at the left; these values and labels are
// centred in their boxes.
class AreaWords : public QWidget {
 public:
  AreaWords(QWidget* parent, int pixelSize) : QWidget(parent), m_font(InterfaceQFont(pixelSize)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  void SetText(const QString& text) {
    if (text == m_text) return;
    m_text = text;
    setAccessibleName(text);
    update();
  }
  const QString& text() const { return m_text; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setFont(m_font);
    painter.setPen(kTextColourWhite);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine,
                     ShortenToFit(m_text, width(), m_font));
  }

 private:
  QFont m_font;
  QString m_text;
};

QString WordsOf(const std::array<QPointer<QWidget>, 4>& words, int which) {
  auto* area = static_cast<AreaWords*>(words[std::size_t(which)].data());
  return area != nullptr ? area->text() : QString();
}

}  // namespace

PrintScreen::PrintScreen(MainWindow& window) : m_window(window), m_windowAlive(&window) {}

PrintScreen::~PrintScreen() {
  if (m_windowAlive && m_window.screen() == kScreenPrint) Close();
}

void PrintScreen::Bind(std::function<void()> print) {
  SkinPanelWidget& panel = m_window.panel();
  panel.BindHandler("Print", [print = std::move(print)](const ButtonCall&) {
    if (print) print();
  });
  panel.BindHandler("ChooseLayout", [this](const ButtonCall&) { ToggleLayoutList(); });
  panel.BindHandler("StepSize", [this](const ButtonCall& call) {
    StepSizePercent(ArgLow(call.argument) > 0 ? 1 : -1);
  });
  panel.BindHandler("StepCopies", [this](const ButtonCall& call) {
    StepCopies(ArgLow(call.argument) > 0 ? 1 : -1);
  });
  panel.BindHandler("PrintNow", [this](const ButtonCall&) { PrintNow(); });
}

QPrinter& PrintScreen::printer() {
  if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  return *m_printer;
}

void PrintScreen::Print(GlobalHandle picture) {
  if (picture == nullptr) {
    Beep();
    return;
  }
  if (!PrinterSetup()) return;
  if (!OpenPrintScreen(picture)) Beep();
}

bool PrintScreen::PrinterSetup() {
  if (m_inSetup) return false;
  m_inSetup = true;
  QPrinter& chosen = printer();
  bool confirmed = false;
  if (printerSetup) {
    confirmed = printerSetup(chosen);
  } else {
    QPrintDialog dialog(&chosen, &m_window);
    confirmed = dialog.exec() == QDialog::Accepted;
  }
  m_inSetup = false;
  return confirmed;
}

bool PrintScreen::OpenPrintScreen(GlobalHandle picture) {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  if (picture == nullptr || GetImageSize(picture, width, height) == 0 || width == 0 ||
      height == 0) {
    return false;
  }
  // The layout keeps its number of sheets but takes the orientation the
  // user has just chosen for the printer.
  const bool portrait = printer().pageLayout().orientation() == QPageLayout::Portrait;
  m_settings.layout = OrientLayout(m_settings.layout, portrait);
  ReadMetrics();

  const PreviewSize size = PreviewPictureSize(width, height);
  const PackedImage scaled(FitImageForDisplay(picture, size.width, size.height, false, false));
  if (!scaled) return false;
  const PackedImageView view(scaled.get());
  m_previewPicture = view.ToImage();
  if (m_previewPicture.isNull()) return false;

  m_picture = picture;
  if (m_window.GoToScreen(kScreenPrint)) return true;
  m_picture = nullptr;
  m_previewPicture = QImage();
  return false;
}

void PrintScreen::ScreenChanged(int from, int to) {
  if (to == kScreenPrint) {
    Open();
  } else if (from == kScreenPrint) {
    Close();
  }
}

bool PrintScreen::HandleListNotify(unsigned message, std::uint32_t wParam, SkinnedList& list) {
  if (list.id() != kPrintLayoutList) return false;
  if (message == kListNotify && (wParam >> 16) == kNotifySelectionChanged) {
    const int entry = list.store().selection();
    // A choice closes the drop-down; the set frees it once its event ends.
    m_window.panel().lists().DestroyList(kPrintLayoutList);
    if (entry >= 0) SetLayout(entry);
  }
  return true;
}

void PrintScreen::ToggleLayoutList() {
  ListSet& lists = m_window.panel().lists();
  if (lists.FindList(kPrintLayoutList) != nullptr) {
    lists.DestroyList(kPrintLayoutList);
    return;
  }
  // The list opens under the layout label, at its left edge.
  const ButtonRect label = m_window.panel().panel().GetButtonRect(kLayoutLabelArea);
  SkinnedList* list = lists.CreateList(kPrintLayoutList, label.left, label.bottom, 0);
  if (list == nullptr) {
    Beep();
    return;
  }
  ListStore& store = list->store();
  store.ResetContent();
  for (int layout = 0; layout < kLayoutCount; ++layout)
    store.AddString(CatalogueText(int(kStrFirstLayoutLabel) + layout).toStdString());
  store.SetSelection(m_settings.layout);
  list->Update();
}

void PrintScreen::SetLayout(int index) {
  m_settings.layout = ReduceLayout(index);
  ReadMetrics();
  ShowLabels();
  if (m_preview) m_preview->SetLayout(m_metrics, m_settings.layout);
}

void PrintScreen::StepCopies(int direction) {
  if (!m_settings.StepCopies(direction)) {
    Beep();
    return;
  }
  ShowNumbers();
}

void PrintScreen::StepSizePercent(int direction) {
  if (!m_settings.StepSizePercent(direction)) {
    Beep();
    return;
  }
  ShowNumbers();
  ShowLabels();
  if (m_preview) m_preview->SetSizePercent(m_settings.sizePercent);
}

void PrintScreen::PrintNow() {
  if (m_picture == nullptr) {
    Beep();
    return;
  }
  const NoticeOwner owner = static_cast<NoticeOwner>(&m_window);
  QPrinter& target = printer();
  PrintOutcome outcome;
  outcome.messageId = CheckPrinter(target);
  if (m_preview) m_preview->DropPicture();
  m_previewPicture = QImage();
  if (outcome.messageId == 0) {
    WaitCursor wait;
    // The printer gets the whole picture the right way up.
    const QImage picture = PictureForPrinting(m_picture);
    if (picture.isNull()) {
      outcome.messageId = kStrPrintPictureNotPrepared;
    } else {
      // The print runs on a worker while the windows keep painting; input
      // waits, so nothing it reads changes under it.
      RunKeepingWindowsPainted([&] { outcome = PrintPoster(target, picture, m_settings); });
    }
  }
  m_lastSheets = outcome.sheetsPrinted;
  m_lastMessage = outcome.messageId;
  ProgramLog("printed " + std::to_string(outcome.sheetsPrinted) + " sheets");
  // Printing that did not happen is said, not passed over in silence.
  if (outcome.messageId != 0) ShowMessageFor(owner, outcome.messageId);
  m_window.GoToScreen(kScreenHome);
}

void PrintScreen::Cancel() {
  Close();
}

QString PrintScreen::layoutText() const {
  return WordsOf(m_words, kLayoutWords);
}
QString PrintScreen::sizeText() const {
  return WordsOf(m_words, kSizeWords);
}
QString PrintScreen::copiesText() const {
  return WordsOf(m_words, kCopiesWords);
}
QString PrintScreen::printedSizeText() const {
  return WordsOf(m_words, kPrintedSizeWords);
}

void PrintScreen::Open() {
  SkinPanelWidget& panel = m_window.panel();
  ButtonPanel& buttons = panel.panel();
  for (std::size_t i = 0; i < m_words.size(); ++i) {
    if (!m_words[i]) {
      const bool number = kWordAreas[i] == kSizeBoxArea || kWordAreas[i] == kCopiesBoxArea;
      m_words[i] = new AreaWords(&panel, number ? kNumberPixels : 0);
      // The words give way to the drop-down list that covers them.
      QObject::connect(&panel, &SkinPanelWidget::listsChanged, m_words[i], [this] { ShowWords(); });
    }
    m_words[i]->setGeometry(ToQRect(buttons.GetButtonRect(kWordAreas[i])));
  }
  if (!m_preview) m_preview = new PrintPreview(&panel);
  m_preview->setGeometry(ToQRect(buttons.GetButtonRect(kPictureViewArea)));
  m_preview->SetPicture(std::move(m_previewPicture), m_metrics, m_settings.layout,
                        m_settings.sizePercent);
  m_previewPicture = QImage();
  m_preview->show();
  m_preview->raise();
  m_open = true;
  ShowNumbers();
  ShowLabels();
  ShowWords();
}

void PrintScreen::Close() {
  if (m_windowAlive) m_window.panel().lists().DestroyList(kPrintLayoutList);
  delete m_preview.data();
  m_picture = nullptr;
  m_previewPicture = QImage();
  m_open = false;
  ShowWords();
}

void PrintScreen::ReadMetrics() {
  QPrinter& chosen = printer();
  ApplyPrintSettings(chosen, m_settings);
  m_metrics = MetricsOf(chosen);
}

void PrintScreen::ShowNumbers() {
  if (auto* words = static_cast<AreaWords*>(m_words[kSizeWords].data()))
    words->SetText(QString::number(m_settings.sizePercent));
  if (auto* words = static_cast<AreaWords*>(m_words[kCopiesWords].data()))
    words->SetText(QString::number(m_settings.copies));
}

void PrintScreen::ShowLabels() {
  if (auto* words = static_cast<AreaWords*>(m_words[kLayoutWords].data()))
    words->SetText(CatalogueText(int(kStrFirstLayoutLabel) + m_settings.layout));
  auto* words = static_cast<AreaWords*>(m_words[kPrintedSizeWords].data());
  if (words == nullptr) return;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  if (m_picture == nullptr || GetImageSize(m_picture, width, height) == 0) {
    words->SetText({});
    return;
  }
  const std::string label = PrintedSizeLabel(width, height, m_metrics, m_settings.layout,
                                             m_settings.sizePercent, Settings().units != 0);
  // The label's own margins are blanks; the words are centred in the box.
  words->SetText(QString::fromStdString(label).trimmed());
}

void PrintScreen::ShowWords() {
  if (!m_windowAlive) return;
  const std::vector<QRect> lists = m_window.panel().OpenListAreas();
  for (const QPointer<QWidget>& widget : m_words) {
    if (!widget) continue;
    bool covered = false;
    for (const QRect& list : lists)
      covered = covered || list.intersects(widget->geometry());
    widget->setVisible(m_open && !covered);
  }
}

void PrintScreen::Beep() {
  Notices()->Beep();
}

}  // namespace tx
