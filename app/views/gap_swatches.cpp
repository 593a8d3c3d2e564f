#include "app/views/gap_swatches.h"

#include <QtGui/QHelpEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QToolTip>

#include <algorithm>

#include "app/widgets/interface_font.h"
#include "montage/caption.h"

namespace tx {
namespace {

constexpr int kColumns = 4;
constexpr int kRows = 3;
constexpr int kGap = 4;
constexpr int kHeadingHeight = 18;
constexpr int kHeadingFontPixels = 12;

}  // namespace

GapSwatches::GapSwatches(const QString& heading, const QString& tipFormat, QWidget* parent)
    : QWidget(parent), m_heading(heading), m_tipFormat(tipFormat) {
  setAccessibleName(heading);
}

void GapSwatches::SetGaps(std::vector<ColourGap> gaps) {
  if (gaps.size() > std::size_t(kColumns * kRows)) gaps.resize(std::size_t(kColumns * kRows));
  m_gaps = std::move(gaps);
  QStringList described;
  for (int i = 0; i < int(m_gaps.size()); ++i)
    described << TipOf(i);
  setAccessibleDescription(described.join(QLatin1Char('\n')));
  update();
}

QRect GapSwatches::SwatchRect(int index) const {
  if (index < 0 || index >= int(m_gaps.size())) return {};
  const int width = (this->width() - (kColumns - 1) * kGap) / kColumns;
  const int height = (this->height() - kHeadingHeight - (kRows - 1) * kGap) / kRows;
  return QRect((index % kColumns) * (width + kGap),
               kHeadingHeight + (index / kColumns) * (height + kGap), width, height);
}

QString GapSwatches::TipOf(int index) const {
  if (index < 0 || index >= int(m_gaps.size())) return {};
  const ColourGap& gap = m_gaps[std::size_t(index)];
  return m_tipFormat.arg(QString::fromStdString(ColourHex(gap.meanColour)))
      .arg(gap.share * 100.0, 0, 'f', 1);
}

void GapSwatches::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(InterfaceQFont(kHeadingFontPixels));
  painter.setPen(QColor(0xB4, 0xB4, 0xBE));
  painter.drawText(QRect(0, 0, width(), kHeadingHeight), Qt::AlignLeft | Qt::AlignTop, m_heading);
  for (int i = 0; i < int(m_gaps.size()); ++i) {
    const QRect place = SwatchRect(i);
    painter.fillRect(place, QColorOf(m_gaps[std::size_t(i)].meanColour));
    painter.setPen(QColor(255, 255, 255, 70));
    painter.drawRect(place.adjusted(0, 0, -1, -1));
  }
}

bool GapSwatches::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    for (int i = 0; i < int(m_gaps.size()); ++i) {
      if (SwatchRect(i).contains(help->pos())) {
        QToolTip::showText(help->globalPos(), TipOf(i), this, SwatchRect(i));
        return true;
      }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
  }
  return QWidget::event(event);
}

}  // namespace tx
