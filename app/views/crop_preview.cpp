// The crop preview window and the crop screen's calls into it.

#include "app/views/crop_preview.h"

#include <QtCore/QPointer>
#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPen>

#include "app/widgets/cursors.h"
#include "app/widgets/packed_image_view.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "platform/cancel_flag.h"

namespace tx {
namespace {

// Side of the square marking each corner of the rectangle.
constexpr int kCornerMarkSide = 8;
// The outline's dots: on and off lengths in pixels; one period is the four
// phases of the march.
constexpr qreal kOutlineDash = 2;
const QColor kCornerMarkColour(64, 64, 64);

QPointer<CropPreviewWindow>& CurrentWindow() {
  static QPointer<CropPreviewWindow> window;
  return window;
}

Qt::CursorShape ShapeOf(CropCursor cursor) {
  switch (cursor) {
    case CropCursor::kSizeNwSe:
      return Qt::SizeFDiagCursor;
    case CropCursor::kSizeNeSw:
      return Qt::SizeBDiagCursor;
    case CropCursor::kSizeWe:
      return Qt::SizeHorCursor;
    case CropCursor::kSizeNs:
      return Qt::SizeVerCursor;
    case CropCursor::kOpenHand:
      return CursorShapeForId(kCursorOpenHand);
    case CropCursor::kClosedHand:
      return CursorShapeForId(kCursorClosedHand);
    case CropCursor::kArrow:
      break;
  }
  return Qt::ArrowCursor;
}

// Sets the wait cursor and turns on Escape polling in the image utilities
// for the length of a crop, putting both back afterwards.
class LongCropScope {
 public:
  LongCropScope() : m_abort(ImageAbortSwitch()) {
    ClearCancel();
    SetImageAbortSwitch(true);
    if (qGuiApp) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~LongCropScope() {
    if (qGuiApp) QGuiApplication::restoreOverrideCursor();
    SetImageAbortSwitch(m_abort);
  }
  LongCropScope(const LongCropScope&) = delete;
  LongCropScope& operator=(const LongCropScope&) = delete;

 private:
  bool m_abort;
};

}  // namespace

CropPreviewWindow::CropPreviewWindow(QWidget* parent, const QRect& area, GlobalHandle target)
    : QWidget(parent), m_source(target) {
  setObjectName(QStringLiteral("CropingPrvwWnd"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  {
    const ImageLock lock(target);
    if (lock) {
      m_sourceWidth = lock.width();
      m_sourceHeight = lock.height();
    } else {
      m_source = nullptr;
    }
  }
  setGeometry(area);
  RebuildDisplay();
  m_outlineTimer.setInterval(kCropOutlineIntervalMs);
  connect(&m_outlineTimer, &QTimer::timeout, this, [this] {
    m_state.AdvanceOutline();
    update();
  });
  m_outlineTimer.start();
}

CropPreviewWindow::~CropPreviewWindow() = default;

void CropPreviewWindow::RebuildDisplay() {
  m_display = {};
  m_shownDirty = true;
  m_layoutSize = size();
  const int clientWidth = width(), clientHeight = height();
  if (m_source && clientWidth > 0 && clientHeight > 0) {
    // Fitted into the window keeping its proportions, but never enlarged.
    const bool fits = m_sourceWidth <= clientWidth && m_sourceHeight <= clientHeight;
    PackedImage fitted(
        fits ? FitImageForDisplay(m_source, m_sourceWidth, m_sourceHeight, false, false)
             : FitImageForDisplay(m_source, clientWidth, clientHeight, true, true));
    if (fitted) {
      const PackedImageView view(fitted.get());
      m_display = view.ToImage().convertToFormat(QImage::Format_RGB888);
    }
  }
  m_state.Layout(clientWidth, clientHeight, m_display.width(), m_display.height());
}

void CropPreviewWindow::RebuildShown() {
  m_shownDirty = false;
  m_shown = m_display;
  if (m_shown.isNull()) return;
  std::array<std::uint8_t, 256> table{};
  const bool adjust = m_state.ToneTable(table);
  const ImageRect& p = m_state.picture();
  // The rectangle in the picture's own coordinates.
  const ImageRect& crop = m_state.crop();
  const int left = crop.left - p.left, right = crop.right - p.left;
  const int top = crop.top - p.top, bottom = crop.bottom - p.top;
  const int w = m_shown.width();
  for (int y = 0; y < m_shown.height(); ++y) {
    std::uint8_t* row = m_shown.scanLine(y);
    const bool rowInside = y >= top && y < bottom;
    for (int x = 0; x < w; ++x) {
      std::uint8_t* pixel = row + 3 * x;
      const bool inside = rowInside && x >= left && x < right;
      for (int k = 0; k < 3; ++k) {
        const std::uint8_t value = adjust ? table[pixel[k]] : pixel[k];
        pixel[k] = inside ? value : LightenOutsideCrop(value);
      }
    }
  }
}

QImage CropPreviewWindow::ShownPicture() {
  if (m_shownDirty) RebuildShown();
  return m_shown;
}

void CropPreviewWindow::SetRatio(int entry) {
  if (!m_state.SetRatio(entry)) return;
  m_shownDirty = true;
  update();
  emit cropChanged();
}

void CropPreviewWindow::SetBrightness(int value) {
  m_state.SetBrightness(value);
  m_shownDirty = true;
  update();
}

void CropPreviewWindow::SetContrast(int value) {
  m_state.SetContrast(value);
  m_shownDirty = true;
  update();
}

GlobalHandle CropPreviewWindow::ApplyCrop() const {
  if (!m_source) return nullptr;
  const auto rect = m_state.SourceRect(m_sourceWidth, m_sourceHeight);
  if (!rect) return nullptr;
  PackedImage cropped;
  {
    const LongCropScope scope;
    cropped.reset(CropImageTopDown(m_source, *rect));
  }
  if (!cropped) return nullptr;
  std::array<std::uint8_t, 256> table{};
  if (m_state.ToneTable(table) && !ApplyCropTone(cropped, table)) return nullptr;
  return cropped.release();
}

void CropPreviewWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (m_display.isNull()) return;
  if (m_shownDirty) RebuildShown();
  const ImageRect& p = m_state.picture();
  painter.drawImage(QPoint(p.left, p.top), m_shown);
  DrawOutline(painter);
}

void CropPreviewWindow::DrawOutline(QPainter& painter) const {
  const ImageRect& crop = m_state.crop();
  if (crop.width() < 1 || crop.height() < 1) return;
  const int l = crop.left, t = crop.top, r = crop.right - 1, b = crop.bottom - 1;
  painter.save();
  // Inverting, so the outline shows on any picture.
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  QPen pen(Qt::white, 1);
  pen.setCosmetic(true);
  pen.setCapStyle(Qt::FlatCap);
  pen.setDashPattern({kOutlineDash, kOutlineDash});
  pen.setDashOffset(m_state.outlinePhase());
  painter.setPen(pen);
  painter.drawLine(l, t, r, t);
  painter.drawLine(r, t, r, b);
  painter.drawLine(r, b, l, b);
  painter.drawLine(l, b, l, t);
  painter.setPen(Qt::NoPen);
  const int half = kCornerMarkSide / 2;
  for (const QPoint corner : {QPoint(l, t), QPoint(r, t), QPoint(l, b), QPoint(r, b)}) {
    painter.fillRect(QRect(corner.x() - half, corner.y() - half, kCornerMarkSide, kCornerMarkSide),
                     kCornerMarkColour);
  }
  painter.restore();
}

void CropPreviewWindow::resizeEvent(QResizeEvent*) {
  if (size() == m_layoutSize) return;
  RebuildDisplay();
  emit cropChanged();
}

void CropPreviewWindow::ShowCursorAt(QPoint at) {
  setCursor(ShapeOf(m_state.CursorAt(at.x(), at.y())));
}

void CropPreviewWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_state.dragMode() != kDragNone) {
    QWidget::mousePressEvent(event);
    return;
  }
  const QPoint at = event->position().toPoint();
  // The widget keeps the mouse until the button is released.
  m_state.BeginDrag(at.x(), at.y());
  ShowCursorAt(at);
}

void CropPreviewWindow::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (m_state.dragMode() != kDragNone) {
    m_state.DragTo(at.x(), at.y());
    m_shownDirty = true;
    update();
  }
  ShowCursorAt(at);
}

void CropPreviewWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_state.dragMode() == kDragNone) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  const QPoint at = event->position().toPoint();
  m_state.EndDrag(at.x(), at.y());
  m_shownDirty = true;
  update();
  ShowCursorAt(at);
  emit cropChanged();
}

bool OpenCropPreview(QWidget* parent, const QRect& area, GlobalHandle target) {
  CloseCropPreview();
  auto* window = new CropPreviewWindow(parent, area, target);
  CurrentWindow() = window;
  window->show();
  return true;
}

CropPreviewWindow* CurrentCropPreview() {
  return CurrentWindow().data();
}

void SetCropRatio(int entry) {
  if (CropPreviewWindow* window = CurrentCropPreview()) window->SetRatio(entry);
}

void SetCropBrightness(int value) {
  if (CropPreviewWindow* window = CurrentCropPreview()) window->SetBrightness(value);
}

void SetCropContrast(int value) {
  if (CropPreviewWindow* window = CurrentCropPreview()) window->SetContrast(value);
}

GlobalHandle ApplyCrop() {
  const CropPreviewWindow* window = CurrentCropPreview();
  return window ? window->ApplyCrop() : nullptr;
}

int SaveCroppedPicture(const std::function<bool(GlobalHandle)>& save) {
  PackedImage result(ApplyCrop());
  if (!result || !save) return 0;
  return save(result.get()) ? 1 : 0;
}

void CloseCropPreview() {
  CropPreviewWindow* window = CurrentWindow().data();
  CurrentWindow() = nullptr;
  if (!window) return;
  // Deleted later, so that a handler of the window's own signals may close it.
  window->hide();
  window->deleteLater();
}

QStringList CropRatioTexts() {
  QStringList texts;
  for (int entry = 0; entry < kCropRatioCount; ++entry)
    texts << QString::fromStdString(CropRatioText(entry));
  return texts;
}

}  // namespace tx
