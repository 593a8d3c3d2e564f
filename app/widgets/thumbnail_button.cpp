#include "app/widgets/thumbnail_button.h"

#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>

#include "app/widgets/interface_font.h"
#include "app/widgets/packed_image_view.h"

namespace tx {

namespace {

const QColor kBoxColour{0x16, 0x16, 0x1E};
const QColor kEdgeColour{0x3A, 0x3A, 0x4A};
const QColor kHotEdgeColour{0x4D, 0x2B, 0xE3};

}  // namespace

ThumbnailButton::ThumbnailButton(QWidget* parent) : QWidget(parent) {
  setCursor(Qt::PointingHandCursor);
  setAttribute(Qt::WA_Hover);
}

void ThumbnailButton::SetPicture(GlobalHandle picture) {
  const PackedImageView view(picture);
  m_picture = view.valid() ? view.ToImage() : QImage();
  update();
}

void ThumbnailButton::SetPlaceholder(const QString& text) {
  m_placeholder = text;
  setAccessibleName(text);
  update();
}

void ThumbnailButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect box = rect();
  painter.fillRect(box, kBoxColour);
  if (!m_picture.isNull()) {
    const QSize fitted = m_picture.size().scaled(box.size() - QSize(2, 2), Qt::KeepAspectRatio);
    QRect place(QPoint(0, 0), fitted);
    place.moveCenter(box.center());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(place, m_picture);
  } else {
    painter.setFont(InterfaceQFont(kLabelPixels));
    painter.setPen(kTextColourSecondary);
    painter.drawText(box.adjusted(2, 0, -2, 0), Qt::AlignCenter | Qt::TextWordWrap, m_placeholder);
  }
  painter.setPen(m_hot ? kHotEdgeColour : kEdgeColour);
  painter.drawRect(box.adjusted(0, 0, -1, -1));
}

void ThumbnailButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit clicked();
}

void ThumbnailButton::enterEvent(QEnterEvent*) {
  m_hot = true;
  update();
}

void ThumbnailButton::leaveEvent(QEvent*) {
  m_hot = false;
  update();
}

}  // namespace tx
