#pragma once
// The print preview: a black child window over the print screen's picture
// area that shows how the picture falls on the sheets of the chosen layout,
// each sheet white with its part of the preview picture.
//
// The drawing accumulates on a persistent canvas, the 510 x 510 preview
// square, so a change of the size percent only touches what it must: a
// smaller picture first whitens the strips its larger predecessor covered,
// a larger one is simply drawn over the smaller. A new picture, layout or
// printer redraws the canvas from scratch. Everything here runs on the GUI
// thread.

#include <vector>

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include "output/print_layout.h"

namespace tx {

class PrintPreview : public QWidget {
  Q_OBJECT

 public:
  explicit PrintPreview(QWidget* parent);
  ~PrintPreview() override;

  /// Takes `picture` (top-down, already scaled to the preview size) and
  /// redraws the canvas for `layout` at `sizePercent` on a printer of
  /// `metrics`. A null picture leaves the window black.
  void SetPicture(QImage picture, const PrinterMetrics& metrics, int layout, int sizePercent);
  /// A new layout or printer orientation: clears and redraws the canvas.
  void SetLayout(const PrinterMetrics& metrics, int layout);
  /// A new size percent: a smaller one whitens what the larger picture
  /// covered before drawing, a larger one draws over what is there.
  void SetSizePercent(int sizePercent);
  /// Frees the preview picture; the window then paints nothing but black.
  void DropPicture();

  bool hasPicture() const { return !m_picture.isNull(); }
  /// The preview square as last drawn (null before any picture).
  const QImage& canvas() const { return m_canvas; }
  /// Where the canvas is drawn in the window.
  QPoint canvasOrigin() const;
  /// The sheet outlines and picture rectangles of the last drawing, in
  /// canvas coordinates.
  const PreviewLayout& drawn() const { return m_drawn; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PreviewLayout Compute() const;
  void Redraw();
  void DrawParts(const PreviewLayout& preview);

  QImage m_picture;
  QImage m_canvas;
  PrinterMetrics m_metrics;
  int m_layout = 0;
  int m_sizePercent = kMaxSizePercent;
  PreviewLayout m_drawn;
};

}  // namespace tx
