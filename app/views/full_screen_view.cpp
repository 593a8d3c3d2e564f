#include "app/views/full_screen_view.h"

#include <QtCore/QPointer>
#include <QtGui/QCloseEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QScreen>

#include "app/widgets/cursors.h"
#include "app/widgets/packed_image_view.h"
#include "app/widgets/skin_panel_widget.h"
#include "image/image_utils.h"
#include "platform/notices.h"

namespace tx {

static_assert(kViewCursorHand == kCursorOpenHand, "the view's hand is the program's cursor 3001");

namespace {

// The frame around the shown part stands out on any thumbnail.
const QColor kFrameColour(255, 255, 255);

// The view open now; cleared when it closes or is deleted.
QPointer<FullScreenView>& Current() {
  static QPointer<FullScreenView> current;
  return current;
}

// `picture` reduced (or enlarged) to width x height: bilinear where the
// depth allows, else a nearest-neighbour copy. Null when neither can.
GlobalHandle ScaledCopy(GlobalHandle picture, int width, int height) {
  if (width < 1 || height < 1) return nullptr;
  if (GlobalHandle scaled = ScaleImage(picture, width, height)) return scaled;
  return FitImageForDisplay(picture, width, height, false, false);
}

}  // namespace

/// The navigator ("DetailWindow"): the whole picture reduced into the
/// control bar's area 100, with a frame around the part the view shows. A
/// click or drag on the thumbnail centres the view there.
class FullScreenNavigator : public QWidget {
 public:
  FullScreenNavigator(QWidget* bar, FullScreenView* view, GlobalHandle picture, const QRect& area)
      : QWidget(bar), m_view(view) {
    setObjectName(QStringLiteral("DetailWindow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setGeometry(area);
    const ButtonRect thumb = Layout().ThumbnailRect();
    m_thumb.reset(ScaledCopy(picture, thumb.Width(), thumb.Height()));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const FullScreenState& state = Layout();
    const ButtonRect thumb = state.ThumbnailRect();
    DrawPackedImage(painter, QPoint(thumb.left, thumb.top), m_thumb.get());
    const ButtonRect frame = state.FrameRect();
    if (frame.IsEmpty()) return;
    painter.setPen(kFrameColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(frame.left, frame.top, frame.Width() - 1, frame.Height() - 1));
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    Follow(event->position().toPoint());
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    const QPoint at = event->position().toPoint();
    if (event->buttons() & Qt::LeftButton) {
      Follow(at);
    } else {
      ShowCursorAt(at);
    }
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    // Qt ends the implicit grab with the button; the cursor goes back to the arrow.
    setCursor(Qt::ArrowCursor);
  }

 private:
  const FullScreenState& Layout() const { return m_view->state(); }
  void ShowCursorAt(QPoint at) {
    setCursor(Layout().InThumbnail(at.x(), at.y()) ? CursorShapeForId(kViewCursorHand)
                                                   : Qt::ArrowCursor);
  }
  void Follow(QPoint at) {
    ShowCursorAt(at);
    m_view->NavigateTo(at.x(), at.y());
  }

  FullScreenView* m_view;
  PackedImage m_thumb;
};

FullScreenView::FullScreenView(QWidget* owner, GlobalHandle picture,
                               const std::filesystem::path& programFolder)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint),
      m_picture(picture),
      m_state(0, 0, 0, 0) {
  setObjectName(QStringLiteral("MaxWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);

  QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!picture || !screen) return;
  const QRect area = screen->geometry();
  {
    const ImageLock lock(picture);
    if (!lock) return;
    m_state = FullScreenState(lock.width(), lock.height(), area.width(), area.height());
  }
  if (!m_state.valid()) return;
  setGeometry(area);

  // The control bar sizes itself to its background when its skin loads.
  m_bar = new SkinPanelWidget(this, DetailBarSkin(), programFolder);
  const ButtonGroup* group = m_bar->panel().main();
  if (!group || !group->valid()) return;
  const ButtonRect place =
      ControlBarPlace(area.width(), area.height(), m_bar->width(), m_bar->height());
  m_bar->move(place.left, place.top);
  m_bar->BindHandler("Zoom", [this](const ButtonCall& call) {
    const int step = ArgLow(call.argument);
    if (step > 0) Command(kCmdViewZoomIn);
    if (step < 0) Command(kCmdViewZoomOut);
  });
  m_bar->BindHandler("CloseView", [this](const ButtonCall&) {
    m_bar->setCursor(Qt::ArrowCursor);
    Command(kCmdViewClose);
  });

  const ButtonRect navigatorArea = m_bar->panel().GetButtonRect(kPictureViewArea);
  if (!navigatorArea.IsEmpty()) {
    m_state.SetNavigatorSize(navigatorArea.Width(), navigatorArea.Height());
    m_navigator = new FullScreenNavigator(m_bar, this, picture, ToQRect(navigatorArea));
  }
  UpdateCursor();
  m_valid = true;
}

FullScreenView::~FullScreenView() {
  if (Current() == this) Current() = nullptr;
}

QWidget* FullScreenView::navigator() const {
  return m_navigator;
}

GlobalHandle FullScreenView::Shown() const {
  return m_state.divisor() == 1 ? m_picture : m_scaled.get();
}

void FullScreenView::Rescale() {
  // The old copy goes first, so a huge picture never needs two at once.
  m_scaled.reset();
  if (m_state.divisor() == 1) return;
  m_scaled.reset(ScaledCopy(m_picture, m_state.ScaledWidth(), m_state.ScaledHeight()));
}

void FullScreenView::UpdateCursor() {
  setCursor(CursorShapeForId(m_state.CursorId()));
}

bool FullScreenView::Command(int id) {
  switch (id) {
    case kCmdViewZoomIn:
    case kCmdViewZoomOut: {
      const bool changed = id == kCmdViewZoomIn ? m_state.ZoomIn() : m_state.ZoomOut();
      if (changed) {
        Rescale();
        update();
        if (m_navigator) m_navigator->update();
      } else {
        Notices()->Beep();
      }
      UpdateCursor();
      return true;
    }
    case kCmdViewClose:
      close();
      return true;
    default:
      return false;
  }
}

bool FullScreenView::NavigateTo(int x, int y) {
  if (!m_state.NavigateTo(x, y)) return false;
  // The view follows at once, not at the next idle moment.
  repaint();
  if (m_navigator) m_navigator->update();
  return true;
}

void FullScreenView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const ButtonRect place = m_state.PictureRect();
  // A handle the caller freed meanwhile fails to lock and leaves the screen black.
  DrawPackedImage(painter, QPoint(place.left, place.top), Shown());
}

void FullScreenView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  // Qt's implicit grab while the button is held is the capture a drag needs.
  const QPoint at = event->position().toPoint();
  m_state.BeginDrag(at.x(), at.y());
}

void FullScreenView::mouseMoveEvent(QMouseEvent* event) {
  UpdateCursor();
  const QPoint at = event->position().toPoint();
  if (m_state.DragTo(at.x(), at.y())) update();
}

void FullScreenView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  m_state.EndDrag();
}

void FullScreenView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void FullScreenView::closeEvent(QCloseEvent* event) {
  event->accept();
  if (m_closed) return;
  m_closed = true;
  m_state.EndDrag();
  if (QWidget::mouseGrabber() == this) releaseMouse();
  // The scaled copy can be large: it goes now, not when the window is deleted.
  m_scaled.reset();
  if (m_navigator) m_navigator->hide();
  if (m_bar) m_bar->hide();
  if (Current() == this) Current() = nullptr;
  emit closed();
}

FullScreenView* OpenFullScreenView(QWidget* owner, GlobalHandle picture,
                                   const std::filesystem::path& programFolder) {
  if (!picture) return nullptr;
  auto* view = new FullScreenView(owner, picture, programFolder);
  if (!view->valid()) {
    delete view;
    return nullptr;
  }
  // The view already open gives way only once the new one stands.
  if (FullScreenView* open = Current()) open->close();
  Current() = view;
  view->showFullScreen();
  view->raise();
  view->activateWindow();
  view->setFocus();
  return view;
}

FullScreenView* CurrentFullScreenView() {
  return Current();
}

}  // namespace tx
