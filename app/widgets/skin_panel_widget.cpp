#include "app/widgets/skin_panel_widget.h"

#include <algorithm>

#include <QtCore/QTimer>
#include <QtGui/QAccessible>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>

#include "app/widgets/click_sound.h"
#include "app/widgets/interface_font.h"
#include "app/widgets/packed_image_view.h"
#include "app/widgets/skin_accessibility.h"
#include "app/widgets/tool_tip_popup.h"
#include "image/image_lock.h"
#include "resources/messages.h"

namespace tx {

namespace {

// Mouse key flags handed to the panel with each message.
constexpr unsigned kKeyLeftButton = 0x0001;
constexpr unsigned kKeyRightButton = 0x0002;
constexpr unsigned kKeyShift = 0x0004;
constexpr unsigned kKeyControl = 0x0008;
constexpr unsigned kKeyMiddleButton = 0x0010;

// A button's label stands this far right of it; with less room than
// kMinLabelWidth it goes under the button instead.
constexpr int kLabelGap = 8;
constexpr int kMinLabelWidth = 40;
constexpr int kLabelBelowHeight = 18;
// Gap between a row's tick picture and its text.
constexpr int kTickGap = 4;
// Inner margin of the status line.
constexpr int kStatusMargin = 4;
// Room left of the words a screen shows in one of its areas.
constexpr int kAreaTextIndent = 2;

unsigned KeysOf(const QMouseEvent* event) {
  unsigned keys = 0;
  if (event->buttons() & Qt::LeftButton) keys |= kKeyLeftButton;
  if (event->buttons() & Qt::RightButton) keys |= kKeyRightButton;
  if (event->buttons() & Qt::MiddleButton) keys |= kKeyMiddleButton;
  if (event->modifiers() & Qt::ShiftModifier) keys |= kKeyShift;
  if (event->modifiers() & Qt::ControlModifier) keys |= kKeyControl;
  return keys;
}

Qt::Alignment AlignmentOf(std::int32_t align) {
  switch (align) {
    case kAlignCenter:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case kAlignRight:
      return Qt::AlignRight | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

int PixelsOf(std::int32_t role) {
  return role == kTextHeading || role == kTextTitle ? kHeadingPixels : kLabelPixels;
}

}  // namespace

QRect ToQRect(const ButtonRect& r) {
  return QRect(r.left, r.top, r.Width(), r.Height());
}

PanelSkin MainPanelSkin() {
  PanelSkin skin;
  skin.skinFile = std::filesystem::path("ui") / "button.800";
  for (int n = 0; n < kScreenCount; ++n)
    skin.screens.push_back(&MainScreenLayout(n));
  return skin;
}

PanelSkin DetailBarSkin() {
  PanelSkin skin;
  skin.skinFile = std::filesystem::path("ui") / "detail.dta";
  skin.screens.push_back(&DetailBarLayout());
  return skin;
}

SkinPanelWidget::SkinPanelWidget(QWidget* parent, PanelSkin skin,
                                 std::filesystem::path programFolder,
                                 const ButtonGroupOptions& options)
    : QWidget(parent),
      m_skin(std::move(skin)),
      m_programFolder(std::move(programFolder)),
      m_start(std::chrono::steady_clock::now()) {
  InstallSkinAccessibility();
  // Every pixel is painted from the skin; Qt's backing store then holds the
  // whole frame, so a cross-fade replaces pictures without a flicker.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFixedSize(kMainWindowWidth, kMainWindowHeight);
  m_toolTip = new ToolTipPopup(this);
  m_clickSound = std::make_unique<ClickSound>(m_programFolder);

  std::vector<std::vector<ButtonRecord>> screens;
  for (const ScreenLayout* layout : m_skin.screens)
    screens.push_back(MakeRecords(*layout));
  m_panel = std::make_unique<ButtonPanel>(*this, m_programFolder / m_skin.skinFile,
                                          std::move(screens), options);
  m_lists =
      std::make_unique<ListSet>(*this, *m_panel, m_programFolder,
                                [this](unsigned message, std::uint32_t wParam, SkinnedList& list) {
                                  if (m_listNotify) m_listNotify(message, wParam, list);
                                });
  if (!m_skin.screens.empty()) SetScreen(0);
}

SkinPanelWidget::~SkinPanelWidget() {
  // The lists and groups close their tips and timers through this host, so
  // they go while the rest of it still exists.
  m_lists.reset();
  m_panel.reset();
  for (auto& [key, timer] : m_timers)
    timer->stop();
}

void SkinPanelWidget::SetScreen(int n) {
  m_panel->SetScreen(n);
  DropDeadTimers();
  update();
  if (QAccessible::isActive()) {
    QAccessibleEvent event(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&event);
  }
  emit screenChanged(n);
}

int SkinPanelWidget::screen() const {
  return m_panel->screen();
}

int SkinPanelWidget::BindHandler(const std::string& command, const ButtonHandler& handler) {
  int bound = 0;
  for (int n = 0; n < int(m_skin.screens.size()); ++n) {
    for (ButtonRecord& record : m_panel->records(n)) {
      if (record.command == command) {
        record.handler = handler;
        ++bound;
      }
    }
  }
  return bound;
}

void SkinPanelWidget::SetListNotify(ListNotify notify) {
  m_listNotify = std::move(notify);
}

void SkinPanelWidget::SetChoiceFilter(std::function<bool(int, int)> filter) {
  m_choiceFilter = std::move(filter);
}

bool SkinPanelWidget::IsTimerRunning(const ButtonGroup& group, int id) const {
  const auto found = m_timers.find({&group, id});
  return found != m_timers.end() && found->second->isActive();
}

bool SkinPanelWidget::IsLiveGroup(const ButtonGroup* group) const {
  if (!group || !m_panel) return false;
  if (m_panel->main() == group) return true;
  const auto& subs = m_panel->subPanels();
  if (std::find(subs.begin(), subs.end(), group) != subs.end()) return true;
  if (m_lists) {
    for (SkinnedList* list : m_lists->OpenLists()) {
      if (&list->group() == group) return true;
    }
  }
  return false;
}

ButtonGroup* SkinPanelWidget::GroupOfScope(int scope) {
  if (scope == m_panel->screen()) return m_panel->main();
  if (SkinnedList* list = m_lists->FindList(scope)) return &list->group();
  return nullptr;
}

void SkinPanelWidget::DropDeadTimers() {
  for (auto it = m_timers.begin(); it != m_timers.end();) {
    if (IsLiveGroup(it->first.first)) {
      ++it;
      continue;
    }
    it->second->stop();
    it->second->deleteLater();
    it = m_timers.erase(it);
  }
}

// ButtonHost -----------------------------------------------------------------

void SkinPanelWidget::Invalidate(const ButtonRect& rect) {
  if (rect.IsEmpty()) return;
  update(ToQRect(rect));
}

void SkinPanelWidget::StartTimer(ButtonGroup& group, int id, int intervalMs) {
  QTimer*& timer = m_timers[{&group, id}];
  if (!timer) {
    timer = new QTimer(this);
    ButtonGroup* target = &group;
    connect(timer, &QTimer::timeout, this, [this, target, id, t = timer]() {
      // A group replaced by a screen switch never hears its old timers.
      if (!IsLiveGroup(target)) {
        t->stop();
        return;
      }
      target->OnTimer(id);
    });
  }
  timer->start(std::max(0, intervalMs));
}

void SkinPanelWidget::StopTimer(ButtonGroup& group, int id) {
  const auto found = m_timers.find({&group, id});
  if (found != m_timers.end()) found->second->stop();
}

std::int64_t SkinPanelWidget::NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               m_start)
      .count();
}

void SkinPanelWidget::SetMouseCapture(bool on) {
  // Qt gives a widget every mouse event while one of its buttons is held,
  // which is all the capture the groups ask for.
  m_captured = on;
}

void SkinPanelWidget::ShowToolTip(const std::string& text, int x, int y) {
  m_toolTip->ShowText(text, x, y);
}

void SkinPanelWidget::SetStatusText(const std::string& text) {
  const QString next = QString::fromStdString(text);
  if (next == m_status) return;
  m_status = next;
  update(ToQRect(kStatusLineRect));
}

void SkinPanelWidget::PlayClickSound() {
  m_clickSound->Play();
}

void SkinPanelWidget::Beep() {
  QApplication::beep();
}

void SkinPanelWidget::ShowMessage(int id) {
  tx::ShowMessage(unsigned(id));
}

void SkinPanelWidget::ResizeWindow(int width, int height) {
  if (width > 0 && height > 0) setFixedSize(width, height);
}

bool SkinPanelWidget::AcceptChoice(int choiceGroup, int value) {
  return m_choiceFilter ? m_choiceFilter(choiceGroup, value) : true;
}

// Mouse ----------------------------------------------------------------------

void SkinPanelWidget::Route(MouseMessage message, QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  m_panel->OnMouse(message, at.x(), at.y(), KeysOf(event));
}

void SkinPanelWidget::mouseMoveEvent(QMouseEvent* event) {
  Route(MouseMessage::Move, event);
}

void SkinPanelWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    Route(MouseMessage::LeftDown, event);
  } else {
    QWidget::mousePressEvent(event);
  }
}

void SkinPanelWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    Route(MouseMessage::LeftUp, event);
  } else {
    QWidget::mouseReleaseEvent(event);
  }
}

void SkinPanelWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    Route(MouseMessage::LeftDoubleClick, event);
  } else {
    QWidget::mouseDoubleClickEvent(event);
  }
}

void SkinPanelWidget::changeEvent(QEvent* event) {
  // A drop-down list belongs to the moment: it closes when the window loses
  // activation, as a menu would.
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) m_lists->CloseDropDowns();
  QWidget::changeEvent(event);
}

void SkinPanelWidget::leaveEvent(QEvent* event) {
  // The pointer is nowhere on the panel: no button stays highlighted.
  m_panel->OnMouse(MouseMessage::Leave, -1, -1, 0);
  QWidget::leaveEvent(event);
}

// Painting -------------------------------------------------------------------

void SkinPanelWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (ButtonGroup* group = m_panel->main()) {
    DrawPackedImage(painter, QPoint(group->panel().left, group->panel().top), group->Background());
    for (const DrawItem& item : group->DrawItems()) {
      DrawPackedImage(painter, QPoint(item.rect.left, item.rect.top), item.picture);
    }
    PaintWords(painter, *group);
  }
  for (SkinnedList* list : m_lists->OpenLists())
    PaintList(painter, *list);
  // Child widgets are drawn over the panel: the owners of those an opened
  // drop-down covers hear of it and hide them.
  std::vector<QRect> lists = OpenListAreas();
  if (lists != m_paintedLists) {
    m_paintedLists = std::move(lists);
    QMetaObject::invokeMethod(this, &SkinPanelWidget::listsChanged, Qt::QueuedConnection);
  }
  if (!m_status.isEmpty()) {
    const QRect line = ToQRect(kStatusLineRect).adjusted(kStatusMargin, 0, -kStatusMargin, 0);
    const QFont font = InterfaceQFont(kLabelPixels);
    painter.setFont(font);
    painter.setPen(kTextColourWhite);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     ShortenToFit(m_status, line.width(), font));
  }
}

void SkinPanelWidget::SetAreaText(int screen, int controlId, const QString& text) {
  const std::pair<int, int> key(screen, controlId);
  if (text.isEmpty()) {
    m_areaTexts.erase(key);
  } else {
    m_areaTexts[key] = text;
  }
  if (screen == this->screen()) update(ToQRect(m_panel->GetButtonRect(controlId)));
}

QString SkinPanelWidget::areaText(int screen, int controlId) const {
  const auto found = m_areaTexts.find({screen, controlId});
  return found == m_areaTexts.end() ? QString() : found->second;
}

std::vector<QRect> SkinPanelWidget::OpenListAreas() {
  std::vector<QRect> areas;
  for (SkinnedList* list : m_lists->OpenLists())
    areas.push_back(ToQRect(list->area()));
  return areas;
}

void SkinPanelWidget::PaintWords(QPainter& painter, const ButtonGroup& group) {
  const int n = m_panel->screen();
  if (n < 0 || n >= int(m_skin.screens.size())) return;
  // The words the screen places itself: headings, labels, the title.
  for (const TextLayout& text : m_skin.screens[std::size_t(n)]->texts) {
    const QString words = CatalogueText(text.stringId);
    if (words.isEmpty()) continue;
    const QRect box(text.left, text.top, text.right - text.left, text.bottom - text.top);
    QFont font = InterfaceQFont(PixelsOf(text.role));
    if (text.role == kTextTitle) font.setWeight(QFont::DemiBold);
    painter.setFont(font);
    painter.setPen(text.role == kTextSecondary ? kTextColourSecondary : kTextColourWhite);
    painter.drawText(box, AlignmentOf(text.align) | Qt::TextSingleLine,
                     ShortenToFit(words, box.width(), font));
  }
  // The values the program shows in areas of the screen.
  const QFont valueFont = InterfaceQFont();
  painter.setFont(valueFont);
  painter.setPen(kTextColourWhite);
  for (const auto& [key, words] : m_areaTexts) {
    if (key.first != n) continue;
    const QRect box = ToQRect(group.GetButtonRect(key.second)).adjusted(kAreaTextIndent, 0, 0, 0);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     ShortenToFit(words, box.width(), valueFont));
  }
  // Each button's label beside it, so no picture has to carry words.
  const QFont font = InterfaceQFont(kLabelPixels);
  painter.setFont(font);
  painter.setPen(kTextColourWhite);
  for (const ButtonRecord& record : group.records()) {
    if (record.labelId <= 0 || record.rect.IsEmpty() || record.on == kOnSkippable) continue;
    const QString words = CatalogueText(record.labelId);
    if (words.isEmpty()) continue;
    const QRect button = ToQRect(record.rect);
    // The label ends before the next button on its row, or at the window's edge.
    int right = width() - kLabelGap;
    for (const ButtonRecord& other : group.records()) {
      const QRect next = ToQRect(other.rect);
      if (&other == &record || next.isEmpty() || other.type == kButtonArea) continue;
      if (next.left() > button.right() && next.top() <= button.bottom() &&
          next.bottom() >= button.top()) {
        right = std::min(right, next.left() - kLabelGap);
      }
    }
    QRect box(button.right() + 1 + kLabelGap, button.top(),
              right - (button.right() + 1 + kLabelGap), button.height());
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    if (box.width() < kMinLabelWidth) {
      box = QRect(button.left() - kLabelGap, button.bottom() + 1, button.width() + 2 * kLabelGap,
                  kLabelBelowHeight);
      align = Qt::AlignHCenter | Qt::AlignTop;
    }
    painter.drawText(box, align | Qt::TextSingleLine, ShortenToFit(words, box.width(), font));
  }
}

void SkinPanelWidget::PaintList(QPainter& painter, SkinnedList& list) {
  ButtonGroup& group = list.group();
  DrawPackedImage(painter, QPoint(group.panel().left, group.panel().top), group.Background());
  for (const DrawItem& item : group.DrawItems()) {
    DrawPackedImage(painter, QPoint(item.rect.left, item.rect.top), item.picture);
  }
  for (const ListRowDraw& row : list.RowsToDraw())
    PaintListRow(painter, row);
}

void PaintListRow(QPainter& painter, const ListRowDraw& row) {
  const QRect box = ToQRect(row.rect);
  if (box.isEmpty()) return;
  painter.save();
  painter.setClipRect(box);
  int textLeft = box.left() + kTickGap;
  {
    const PackedImageView tick(row.tick);
    if (tick.valid()) {
      const int top = box.top() + (box.height() - tick.height()) / 2;
      tick.Draw(painter, QPoint(box.left() + kTickGap, top));
      textLeft = box.left() + kTickGap + tick.width() + kTickGap;
    }
  }
  // A pressed row's words sink by one pixel with its picture.
  const QRect textBox(textLeft, box.top() + (row.pressed ? 1 : 0),
                      std::max(0, box.right() + 1 - kTickGap - textLeft), box.height());
  const QFont font = InterfaceQFont();
  painter.setFont(font);
  painter.setPen(row.red ? kTextColourRed : kTextColourWhite);
  painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   ShortenToFit(QString::fromStdString(row.text), textBox.width(), font));
  painter.restore();
}

}  // namespace tx
