#include "app/views/montage_window.h"

#include <QtGui/QFontMetrics>
#include <QtGui/QMouseEvent>
#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>

#include <algorithm>
#include <cstdint>

#include "app/widgets/packed_image_view.h"
#include "effects/fxkit.h"
#include "image/image_utils.h"
#include "montage/match_map.h"

namespace tx {
namespace {

/// The effects library's negative, used to mark placed cells.
constexpr int kNegativeEffect = 7;

// The match map over the picture, and its legend box.
constexpr double kOverlayOpacity = 0.85;
constexpr int kLegendMargin = 8;
constexpr int kLegendPadding = 8;
constexpr int kLegendBarWidth = 160;
constexpr int kLegendBoxHeight = 42;

// (numerator + divisor / 2) / divisor in 64 bits: the rounding every
// mapping from the montage area to the display uses.
int RoundedRatio(std::int64_t numerator, std::int64_t divisor) {
  if (divisor <= 0) return 0;
  return int((numerator + divisor / 2) / divisor);
}

// A top-down RGB32 copy of a packed image; null for an unreadable one.
QImage ToCanvasImage(GlobalHandle picture) {
  PackedImageView view(picture);
  if (!view.valid()) return {};
  return view.ToImage().convertToFormat(QImage::Format_RGB32);
}

// The picture's full size (a montage may be wider than 16 bits hold).
bool PictureSize(GlobalHandle picture, int& width, int& height) {
  ImageLock lock(picture);
  if (!lock) return false;
  width = lock.width();
  height = lock.height();
  return true;
}

}  // namespace

QRect FitIntoMontageBox(int width, int height, const QRect& box) {
  const std::int64_t w = width;
  const std::int64_t h = height;
  const std::int64_t boxWidth = box.width();
  const std::int64_t boxHeight = box.height();
  if (w < 1 || h < 1 || boxWidth < 1 || boxHeight < 1) return {};
  if (w < boxWidth && h < boxHeight) {
    return QRect(box.left() + int((boxWidth - w) / 2), box.top() + int((boxHeight - h) / 2), int(w),
                 int(h));
  }
  if (w * boxHeight < h * boxWidth) {
    const int shownWidth = std::max(1, RoundedRatio(w * boxHeight, h));
    return QRect(box.left() + int((boxWidth - shownWidth) / 2), box.top(), shownWidth,
                 int(boxHeight));
  }
  const int shownHeight = std::max(1, RoundedRatio(h * boxWidth, w));
  return QRect(box.left(), box.top() + int((boxHeight - shownHeight) / 2), int(boxWidth),
               shownHeight);
}

QRect PlacementDisplayRect(int placedIndex, int cols, int rows, int areaWidth, int areaHeight,
                           QSize display) {
  if (cols < 1 || rows < 1 || areaWidth < 1 || areaHeight < 1 || display.isEmpty()) return {};
  const std::int64_t total = std::int64_t(cols) * rows;
  std::int64_t m = std::int64_t(placedIndex) % total;
  if (m < 0) m += total;
  const std::int64_t column = m % cols;
  const std::int64_t rowFromTop = m / cols;
  const std::int64_t rowFromBottom = rows - rowFromTop - 1;
  // A cell's size in output pixels: the area holds exactly cols x rows cells.
  const std::int64_t cellWidth = areaWidth / cols;
  const std::int64_t cellHeight = areaHeight / rows;
  const std::int64_t dw = display.width();
  const std::int64_t dh = display.height();
  const int left = RoundedRatio(dw * column * cellWidth, areaWidth);
  const int right = RoundedRatio(dw * (column + 1) * cellWidth, areaWidth);
  const int firstRow = RoundedRatio(dh * rowFromBottom * cellHeight, areaHeight);
  const int rowBound = RoundedRatio(dh * (rowFromBottom + 1) * cellHeight, areaHeight);
  return QRect(QPoint(left, int(dh) - rowBound), QPoint(right - 1, int(dh) - firstRow - 1));
}

QRect TileDisplayRect(const CellRecord& cell, int areaWidth, int areaHeight, int scale,
                      QSize display) {
  if (areaWidth < 1 || areaHeight < 1 || scale < 1 || display.isEmpty()) return {};
  const std::int64_t dw = std::int64_t(display.width()) * scale;
  const std::int64_t dh = std::int64_t(display.height()) * scale;
  const int left = RoundedRatio(dw * cell.left, areaWidth);
  const int right = RoundedRatio(dw * cell.right, areaWidth);
  const int firstRow = RoundedRatio(dh * cell.firstRow, areaHeight);
  const int rowBound = RoundedRatio(dh * cell.rowBound, areaHeight);
  if (right <= left || rowBound <= firstRow) return {};
  return QRect(QPoint(left, display.height() - rowBound),
               QPoint(right - 1, display.height() - firstRow - 1));
}

int TileScaleOf(const CellRecord& cell, GlobalHandle tile) {
  int width = 0;
  int height = 0;
  const int cellWidth = cell.right - cell.left;
  if (cellWidth < 1 || !PictureSize(tile, width, height)) return 1;
  return std::max(1, width / cellWidth);
}

DisplayTile MakeDisplayTile(const CellRecord& cell, int areaWidth, int areaHeight,
                            GlobalHandle tile, bool staggered, QSize display) {
  DisplayTile shown;
  shown.rect = TileDisplayRect(cell, areaWidth, areaHeight, TileScaleOf(cell, tile), display);
  const int cellHeight = cell.rowBound - cell.firstRow;
  shown.shifted = staggered && cellHeight > 0 && (cell.firstRow / cellHeight) % 2 == 1;
  shown.firstColumn = cell.left == 0;
  if (!shown.rect.isEmpty() && tile)
    shown.picture.reset(ScaleImage(tile, shown.rect.width(), shown.rect.height()));
  return shown;
}

MontageWindow::MontageWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MontageWindow"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

MontageWindow::~MontageWindow() = default;

bool MontageWindow::ShowPicture(GlobalHandle picture, const QRect& box) {
  int width = 0;
  int height = 0;
  if (!picture || !PictureSize(picture, width, height)) return false;
  const QRect shown = FitIntoMontageBox(width, height, box);
  if (shown.isEmpty()) return false;
  // A failed scale leaves the window black rather than showing a stale picture.
  m_display.reset(ScaleImage(picture, shown.width(), shown.height()));
  m_canvas = m_display ? ToCanvasImage(m_display.get()) : QImage();
  m_shownRect = shown;
  ClearMatchOverlay();
  setGeometry(shown);
  show();
  raise();
  update();
  return true;
}

void MontageWindow::ShowPlacementProgress(int placedIndex, int cols, int rows, int areaWidth,
                                          int areaHeight) {
  if (!m_display) return;
  const QRect place =
      PlacementDisplayRect(placedIndex, cols, rows, areaWidth, areaHeight, m_canvas.size());
  const QRect clipped = place & m_canvas.rect();
  if (clipped.isEmpty()) return;
  // The crop works on stored rows, counted from the bottom.
  const int displayHeight = m_canvas.height();
  ImageRect stored{clipped.left(), displayHeight - 1 - clipped.bottom(), clipped.right() + 1,
                   displayHeight - clipped.top()};
  PackedImage crop(CropImage(m_display.get(), stored));
  if (!crop) return;
  int index = placedIndex;
  PackedImage negative(static_cast<GlobalHandle>(
      DoEnhanceAndEffect(crop.get(), kNegativeEffect, &index, 1, nullptr)));
  const QImage drawn = ToCanvasImage(negative ? negative.get() : crop.get());
  if (drawn.isNull()) return;
  DrawOnCanvas(drawn, clipped.topLeft(), drawn.rect());
}

void MontageWindow::ShowRenderedTile(const CellRecord& cell, int areaWidth, int areaHeight,
                                     GlobalHandle tile, bool staggered) {
  if (!m_display) return;
  DrawDisplayTile(MakeDisplayTile(cell, areaWidth, areaHeight, tile, staggered, m_canvas.size()));
}

void MontageWindow::DrawDisplayTile(const DisplayTile& tile) {
  if (!m_display || !tile.picture || tile.rect.isEmpty()) return;
  const int w = tile.rect.width();
  const int h = tile.rect.height();
  PackedImage resized;
  GlobalHandle source = tile.picture.get();
  int pw = 0;
  int ph = 0;
  // The display may have changed size since the tile was prepared.
  if (!PictureSize(source, pw, ph) || pw != w || ph != h) {
    resized.reset(ScaleImage(source, w, h));
    source = resized.get();
  }
  const QImage image = ToCanvasImage(source);
  if (image.isNull()) return;
  if (!tile.shifted) {
    DrawOnCanvas(image, tile.rect.topLeft(), image.rect());
  } else if (!tile.firstColumn) {
    DrawOnCanvas(image, tile.rect.topLeft() - QPoint(w - w / 2, 0), image.rect());
  } else {
    // The first column's tile wraps: its right half opens the row, its left
    // half closes it at the display's right end.
    const int half = w / 2;
    DrawOnCanvas(image, tile.rect.topLeft(), QRect(half, 0, w - half, h));
    DrawOnCanvas(image, QPoint(m_canvas.width() - half, tile.rect.top()), QRect(0, 0, half, h));
  }
}

void MontageWindow::DrawOnCanvas(const QImage& image, QPoint at, const QRect& source) {
  if (source.isEmpty() || m_canvas.isNull()) return;
  {
    QPainter painter(&m_canvas);
    painter.drawImage(at, image, source);
  }
  // Repaints merge: many marks between two paints cost one paint event.
  update(QRect(at, source.size()) & rect());
}

void MontageWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), Qt::black);
  if (!m_canvas.isNull()) painter.drawImage(event->rect().topLeft(), m_canvas, event->rect());
  if (!m_overlay.isNull()) DrawMatchOverlay(painter);
}

void MontageWindow::SetMatchOverlay(const QImage& cells, const QRectF& area,
                                    const QString& closeWords, const QString& poorWords) {
  m_overlay = cells;
  m_overlayArea = area;
  m_closeWords = closeWords;
  m_poorWords = poorWords;
  update();
}

void MontageWindow::ClearMatchOverlay() {
  if (m_overlay.isNull()) return;
  m_overlay = QImage();
  update();
}

void MontageWindow::DrawMatchOverlay(QPainter& painter) const {
  const QSizeF size(m_canvas.size());
  const QRectF target(m_overlayArea.x() * size.width(), m_overlayArea.y() * size.height(),
                      m_overlayArea.width() * size.width(), m_overlayArea.height() * size.height());
  painter.save();
  // Blocks stay blocks: no smoothing between cells. A little of the montage
  // shows through so that the user sees which tile a block belongs to.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.setOpacity(kOverlayOpacity);
  painter.drawImage(target, m_overlay);
  painter.restore();

  // The legend: the scale from a close match to a poor one, in a dark box
  // at the bottom left.
  const QFontMetrics metrics(painter.font());
  const int textWidth =
      metrics.horizontalAdvance(m_closeWords) + metrics.horizontalAdvance(m_poorWords) + 24;
  const int barWidth = std::max(kLegendBarWidth, textWidth);
  const QRect box(kLegendMargin, height() - kLegendMargin - kLegendBoxHeight,
                  barWidth + 2 * kLegendPadding, kLegendBoxHeight);
  if (box.width() > width() - 2 * kLegendMargin || box.top() < 0) return;
  painter.fillRect(box, QColor(0, 0, 0, 180));
  const QRect bar(box.left() + kLegendPadding, box.top() + kLegendPadding, barWidth, 8);
  DrawViridisBar(painter, bar);
  painter.setPen(Qt::white);
  const QRect words(bar.left(), bar.bottom() + 3, bar.width(), metrics.height());
  painter.drawText(words, Qt::AlignLeft | Qt::AlignTop, m_closeWords);
  painter.drawText(words, Qt::AlignRight | Qt::AlignTop, m_poorWords);
}

void MontageWindow::mousePressEvent(QMouseEvent* event) {
  // A right press goes on to the parent (at the same point in its
  // coordinates, which Qt maps), where the context menu lives.
  if (event->button() == Qt::RightButton) {
    event->ignore();
    return;
  }
  event->accept();
}

MontageWindow* ShowInMontageWindow(QWidget* parent, GlobalHandle picture, const QRect& box) {
  if (!parent || !picture) return nullptr;
  auto* window = parent->findChild<MontageWindow*>(QString(), Qt::FindDirectChildrenOnly);
  const bool made = window == nullptr;
  if (made) window = new MontageWindow(parent);
  if (!window->ShowPicture(picture, box)) {
    if (made) delete window;
    return nullptr;
  }
  return window;
}

}  // namespace tx
