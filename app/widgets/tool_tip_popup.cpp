#include "app/widgets/tool_tip_popup.h"

#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>

#include "app/buttons/button_group.h"
#include "app/widgets/interface_font.h"

namespace tx {

ToolTipPopup::ToolTipPopup(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setFont(InterfaceQFont());
  hide();
}

void ToolTipPopup::ShowText(const std::string& text, int x, int y) {
  if (text.empty()) {
    Close();
    return;
  }
  if (isVisible() && text == m_asked) return;
  Close();
  m_asked = text;
  QString shown = QString::fromStdString(text);
  if (shown.startsWith(QLatin1Char(' '))) shown.remove(0, 1);
  m_text = shown;
  setFont(InterfaceQFont());
  const QFontMetrics metrics(font());
  const int w = std::max(1, metrics.horizontalAdvance(m_text));
  const int h = std::max(1, metrics.height());
  const QWidget* parent = parentWidget();
  int left = x;
  int top = y;
  PlaceToolTip(x, y, w, h, parent ? parent->width() : w, parent ? parent->height() : h, left, top);
  setGeometry(left, top, w, h);
  ++m_openings;
  show();
  raise();
}

void ToolTipPopup::Close() {
  m_asked.clear();
  m_text.clear();
  hide();
}

QString ToolTipPopup::shownText() const {
  return isVisible() ? m_text : QString();
}

void ToolTipPopup::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kToolTipYellow);
  painter.setPen(Qt::black);
  painter.setFont(font());
  painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_text);
}

void ToolTipPopup::mouseMoveEvent(QMouseEvent*) {
  // The pointer reaching the tip closes it, so it never hides what is under it.
  Close();
}

void ToolTipPopup::enterEvent(QEnterEvent*) {
  Close();
}

}  // namespace tx
