#pragma once
// The crop preview window: the target picture fitted over the picture area,
// a crop rectangle with a marching outline that the mouse moves and resizes,
// the brightness and contrast sliders' effect, and the cropped result.
//
// The crop screen drives one window at a time through the free functions at
// the end (OpenCropPreview, SetCropRatio, ..., ApplyCrop, CloseCropPreview).
// The window never owns the target picture: the caller keeps it alive while
// the window is open and decides what to do with the picture ApplyCrop makes.

#include <functional>

#include <QtCore/QRect>
#include <QtCore/QStringList>
#include <QtCore/QTimer>
#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include "app/views/crop_state.h"
#include "image/packed_image.h"

namespace tx {

/// How often the outline's dots step along.
inline constexpr int kCropOutlineIntervalMs = 300;

class CropPreviewWindow : public QWidget {
  Q_OBJECT

 public:
  /// A child of `parent` covering `area` (in the parent's coordinates) that
  /// shows `target`. A null or unreadable target leaves the window black.
  CropPreviewWindow(QWidget* parent, const QRect& area, GlobalHandle target);
  ~CropPreviewWindow() override;

  /// Chooses ratio entry `entry` (0 free, 1 .. 9 fixed) and resets the
  /// rectangle; ignores entries out of range.
  void SetRatio(int entry);
  /// Slider values 0 .. 100 (50 changes nothing).
  void SetBrightness(int value);
  void SetContrast(int value);

  /// The target's pixels under the crop rectangle with brightness and
  /// contrast applied: a new picture the caller owns, or null when there is
  /// no picture, the rectangle is too narrow, the crop was cancelled (Esc) or
  /// memory ran out. With both sliders at 50 the pixels are the target's own.
  GlobalHandle ApplyCrop() const;

  const CropState& state() const { return m_state; }
  /// The fitted picture as drawn inside P (adjusted and lightened outside
  /// the rectangle), without the outline; null when there is no picture.
  QImage ShownPicture();

 signals:
  /// The rectangle changed (drag ended, ratio chosen, window resized).
  void cropChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void RebuildDisplay();
  void RebuildShown();
  void ShowCursorAt(QPoint at);
  void DrawOutline(QPainter& painter) const;

  GlobalHandle m_source = nullptr;
  int m_sourceWidth = 0;
  int m_sourceHeight = 0;
  QSize m_layoutSize;  // the window size the display was fitted to
  QImage m_display;    // the fitted picture, top-down RGB888
  QImage m_shown;      // m_display adjusted and lightened outside the rectangle
  bool m_shownDirty = true;
  CropState m_state;
  QTimer m_outlineTimer;
};

/// Opens the crop preview over `area` of `parent` for `target` (kept by the
/// caller while the window is open), closing any previous one. Returns true
/// when the window was created.
bool OpenCropPreview(QWidget* parent, const QRect& area, GlobalHandle target);

/// The open crop preview, or null.
CropPreviewWindow* CurrentCropPreview();

/// Change the open window's ratio entry, brightness or contrast and repaint;
/// nothing when no window is open.
void SetCropRatio(int entry);
void SetCropBrightness(int value);
void SetCropContrast(int value);

/// The open window's cropped and adjusted picture (new, owned by the
/// caller), or null (also when no window is open).
GlobalHandle ApplyCrop();

/// Applies the crop and hands the result to `save` (the Save As dialog and
/// the writing), freeing it afterwards. Returns 1 when `save` reported
/// success, 0 when there was nothing to save or saving failed.
int SaveCroppedPicture(const std::function<bool(GlobalHandle)>& save);

/// Closes the open crop preview, if any, without applying anything: it is
/// hidden at once and deleted when control returns to the event loop.
void CloseCropPreview();

/// The ratio list's texts in entry order.
QStringList CropRatioTexts();

}  // namespace tx
