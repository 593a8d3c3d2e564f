#include "app/widgets/packed_image_view.h"

#include <algorithm>
#include <cstdint>

#include <QtCore/QList>

namespace tx {

namespace {

// A colour table of exactly 2^depth entries: a stored pixel may name an
// entry the file does not hold, and such pixels draw black instead of
// reading past the table.
QList<QRgb> FullColourTable(const ImageLock& lock, int depth) {
  const int entries = 1 << depth;
  QList<QRgb> table(entries, qRgb(0, 0, 0));
  const int given = int(std::min<std::uint32_t>(lock.colourCount(), std::uint32_t(entries)));
  for (int i = 0; i < given; ++i) {
    const RgbQuad& quad = lock.palette()[i];
    table[i] = qRgb(quad.red, quad.green, quad.blue);
  }
  return table;
}

}  // namespace

PackedImageView::PackedImageView(GlobalHandle image) : m_lock(image) {
  if (!m_lock.valid()) return;
  const int w = m_lock.width();
  const int h = m_lock.height();
  const qsizetype stride = qsizetype(m_lock.stride());
  uchar* bits = m_lock.bits();
  switch (m_lock.bitCount()) {
    case 24:
      m_image = QImage(bits, w, h, stride, QImage::Format_BGR888);
      break;
    case 32:
      m_image = QImage(bits, w, h, stride, QImage::Format_RGB32);
      break;
    case 16:
      m_image = QImage(bits, w, h, stride, QImage::Format_RGB555);
      break;
    case 8:
      m_image = QImage(bits, w, h, stride, QImage::Format_Indexed8);
      m_image.setColorTable(FullColourTable(m_lock, 8));
      break;
    case 1:
      // Bitmap rows keep the leftmost pixel in the highest bit.
      m_image = QImage(bits, w, h, stride, QImage::Format_Mono);
      m_image.setColorTable(FullColourTable(m_lock, 1));
      break;
    case 4: {
      // The one copy: two pixels per byte widened to one, high nibble first.
      QImage wide(w, h, QImage::Format_Indexed8);
      if (wide.isNull()) return;
      for (int y = 0; y < h; ++y) {
        const std::uint8_t* from = m_lock.row(y);
        uchar* to = wide.scanLine(y);
        for (int x = 0; x < w; ++x) {
          const std::uint8_t pair = from[x / 2];
          to[x] = (x % 2 == 0) ? std::uint8_t(pair >> 4) : std::uint8_t(pair & 0x0F);
        }
      }
      wide.setColorTable(FullColourTable(m_lock, 4));
      m_image = wide;
      break;
    }
    default:
      break;
  }
}

void PackedImageView::Draw(QPainter& painter, QPoint at) const {
  if (!valid()) return;
  // The rows are stored bottom-up: flip about the picture's horizontal axis
  // instead of converting the pixels on every paint.
  painter.save();
  painter.translate(at.x(), at.y() + m_image.height());
  painter.scale(1.0, -1.0);
  painter.drawImage(QPoint(0, 0), m_image);
  painter.restore();
}

QImage PackedImageView::ToImage() const {
  if (!valid()) return {};
  return m_image.mirrored(false, true).convertToFormat(QImage::Format_RGB32);
}

bool DrawPackedImage(QPainter& painter, QPoint at, GlobalHandle image) {
  const PackedImageView view(image);
  if (!view.valid()) return false;
  view.Draw(painter, at);
  return true;
}

}  // namespace tx
