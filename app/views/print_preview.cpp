#include "app/views/print_preview.h"

#include <algorithm>
#include <utility>

#include <QtGui/QPainter>
#include <QtGui/QRegion>

namespace tx {

namespace {

QRect ToQRect(const PrintRect& rect) {
  if (rect.Empty()) return {};
  return QRect(rect.left, rect.top, rect.Width(), rect.Height());
}

// A sheet's source part inside the picture: negative edges become 0 and an
// inverted or outside part becomes empty.
QRect SourceInPicture(const PrintRect& source, const QImage& picture) {
  const int left = std::max(0, source.left);
  const int top = std::max(0, source.top);
  const int right = std::min(std::max(0, source.right), picture.width());
  const int bottom = std::min(std::max(0, source.bottom), picture.height());
  if (right <= left || bottom <= top) return {};
  return QRect(left, top, right - left, bottom - top);
}

}  // namespace

PrintPreview::PrintPreview(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

PrintPreview::~PrintPreview() = default;

void PrintPreview::SetPicture(QImage picture, const PrinterMetrics& metrics, int layout,
                              int sizePercent) {
  m_picture = std::move(picture);
  m_metrics = metrics;
  m_layout = layout;
  m_sizePercent = sizePercent;
  Redraw();
}

void PrintPreview::SetLayout(const PrinterMetrics& metrics, int layout) {
  m_metrics = metrics;
  m_layout = layout;
  Redraw();
}

void PrintPreview::SetSizePercent(int sizePercent) {
  const bool smaller = sizePercent < m_sizePercent;
  m_sizePercent = sizePercent;
  if (m_picture.isNull() || m_canvas.isNull()) return;
  const PreviewLayout preview = Compute();
  if (smaller) {
    // The smaller picture leaves part of each sheet uncovered: whiten what
    // the larger one occupied there.
    QPainter painter(&m_canvas);
    const std::size_t sheets = std::min(preview.pictureRects.size(), m_drawn.pictureRects.size());
    for (std::size_t i = 0; i < sheets; ++i) {
      const QRegion uncovered =
          QRegion(ToQRect(m_drawn.pictureRects[i])) - QRegion(ToQRect(preview.pictureRects[i]));
      for (const QRect& strip : uncovered)
        painter.fillRect(strip, Qt::white);
    }
  }
  DrawParts(preview);
  m_drawn = preview;
  update();
}

void PrintPreview::DropPicture() {
  m_picture = QImage();
  update();
}

QPoint PrintPreview::canvasOrigin() const {
  return QPoint(std::max(0, (width() - kPreviewSide) / 2),
                std::max(0, (height() - kPreviewSide) / 2));
}

void PrintPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (m_picture.isNull() || m_canvas.isNull()) return;
  painter.drawImage(canvasOrigin(), m_canvas);
}

PreviewLayout PrintPreview::Compute() const {
  return ComputePreview(m_picture.width(), m_picture.height(), m_metrics, m_layout, m_sizePercent);
}

void PrintPreview::Redraw() {
  if (m_picture.isNull()) {
    m_canvas = QImage();
    m_drawn = PreviewLayout{};
    update();
    return;
  }
  const PreviewLayout preview = Compute();
  if (m_canvas.isNull()) m_canvas = QImage(kPreviewSide, kPreviewSide, QImage::Format_RGB32);
  m_canvas.fill(Qt::black);
  {
    QPainter painter(&m_canvas);
    for (const PrintRect& outline : preview.outlines)
      painter.fillRect(ToQRect(outline), Qt::white);
  }
  DrawParts(preview);
  m_drawn = preview;
  update();
}

void PrintPreview::DrawParts(const PreviewLayout& preview) {
  QPainter painter(&m_canvas);
  // Nearest neighbour, as the sheets themselves are printed.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const std::size_t sheets = std::min(preview.layout.sheets.size(), preview.pictureRects.size());
  for (std::size_t i = 0; i < sheets; ++i) {
    const QRect target = ToQRect(preview.pictureRects[i]);
    const QRect source = SourceInPicture(preview.layout.sheets[i].source, m_picture);
    if (target.isEmpty() || source.isEmpty()) continue;
    painter.drawImage(target, m_picture, source);
  }
}

}  // namespace tx
