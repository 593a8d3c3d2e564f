#pragma once
// The montage window: a child of the main window over its picture area that
// shows the target while a run is prepared, marks each placed cell as a
// negative, paints each tile as it is rendered and finally shows the
// finished montage.
//
// The window keeps the display picture (the shown picture scaled to the
// window) and a canvas: a top-down copy of it on which progress marks and
// rendered tiles accumulate. Painting draws the canvas. Everything here runs
// on the GUI thread.

#include <QtCore/QRect>
#include <QtCore/QRectF>
#include <QtCore/QSize>
#include <QtCore/QString>
#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include "image/image_lock.h"
#include "montage/montage_types.h"

namespace tx {

/// Where a picture of `width` x `height` is shown in `box` (parent
/// coordinates): at its own size and centred when it is smaller than the box
/// both ways, otherwise scaled to fill the box's height or width (whichever
/// limits it, rounded to nearest) and centred on the other axis. Empty for
/// an empty picture or box.
QRect FitIntoMontageBox(int width, int height, const QRect& box);

/// The rectangle (window coordinates, top-down) that placement progress
/// marks for placed index `placedIndex` on a display of `display` size: the
/// cells are marked in table order (top row first) by the count placed, cell
/// m = placedIndex mod (cols x rows), without any staggered shift. Empty for
/// an empty grid or area.
QRect PlacementDisplayRect(int placedIndex, int cols, int rows, int areaWidth, int areaHeight,
                           QSize display);

/// The unshifted rectangle (window coordinates) of `cell` (analysis pixels,
/// rows from the bottom) on a display of `display` size, for a montage area
/// of areaWidth x areaHeight output pixels made at `scale` output pixels per
/// analysis pixel.
QRect TileDisplayRect(const CellRecord& cell, int areaWidth, int areaHeight, int scale,
                      QSize display);

/// Output pixels per analysis pixel of a tile drawn for `cell`: the tile's
/// width over the cell's width, at least 1.
int TileScaleOf(const CellRecord& cell, GlobalHandle tile);

/// A tile already scaled to its display rectangle, with what the staggered
/// split needs to know.
struct DisplayTile {
  QRect rect;                ///< unshifted place, window coordinates
  bool shifted = false;      ///< staggered layout and an odd row (from the bottom)
  bool firstColumn = false;  ///< the cell of column 0
  PackedImage picture;       ///< the tile, any size (scaled to rect when it differs)
};

/// Builds the DisplayTile of one rendered tile (safe on any thread: it
/// touches no widget). The picture is left null when the rectangle is empty
/// or scaling fails.
DisplayTile MakeDisplayTile(const CellRecord& cell, int areaWidth, int areaHeight,
                            GlobalHandle tile, bool staggered, QSize display);

class MontageWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MontageWindow(QWidget* parent);
  ~MontageWindow() override;

  /// Replaces the display picture by `picture` (not taken; the caller keeps
  /// it) scaled to its place in `box` (parent coordinates), moves the window
  /// there and shows it. False for a null or unreadable picture; when
  /// scaling fails the window is left empty (black) and true is returned.
  bool ShowPicture(GlobalHandle picture, const QRect& box);

  /// Marks the cell of placed index `placedIndex` as a negative of that
  /// part of the display picture (through the effects library's negative;
  /// drawn unchanged when the effect gives nothing).
  void ShowPlacementProgress(int placedIndex, int cols, int rows, int areaWidth, int areaHeight);

  /// Paints `tile` (the tile as drawn into the montage, not taken) at its
  /// cell's place; in the staggered layout tiles of odd rows are shifted
  /// left by half a tile and the first column's tile is split across both
  /// edges.
  void ShowRenderedTile(const CellRecord& cell, int areaWidth, int areaHeight, GlobalHandle tile,
                        bool staggered);
  /// Paints a tile prepared by MakeDisplayTile.
  void DrawDisplayTile(const DisplayTile& tile);

  /// Shows `cells` (the match map's cells, one block per cell) over the
  /// picture, stretched over `area` (the cell area as fractions of the
  /// picture: 0 to 1 each way) and partly see-through, with a legend strip
  /// whose ends read `closeWords` and `poorWords`. Showing a new picture
  /// removes it.
  void SetMatchOverlay(const QImage& cells, const QRectF& area, const QString& closeWords,
                       const QString& poorWords);
  void ClearMatchOverlay();
  bool matchOverlayShown() const { return !m_overlay.isNull(); }

  /// The window's title: the path the montage was saved to.
  void SetSavedPath(const QString& path) { setWindowTitle(path); }

  /// Size of the display picture (empty when there is none).
  QSize displaySize() const { return m_canvas.size(); }
  /// The rectangle last shown at, in the parent's coordinates (the crop
  /// preview opens over the same area).
  QRect shownRect() const { return m_shownRect; }
  /// What the window shows, top-down RGB (for tests and screenshots).
  const QImage& canvas() const { return m_canvas; }
  /// The display picture (owned by the window).
  GlobalHandle displayPicture() const { return m_display.get(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void DrawOnCanvas(const QImage& image, QPoint at, const QRect& source);
  void DrawMatchOverlay(QPainter& painter) const;

  PackedImage m_display;
  QImage m_canvas;
  QRect m_shownRect;
  QImage m_overlay;
  QRectF m_overlayArea;
  QString m_closeWords;
  QString m_poorWords;
};

/// Shows `picture` in the montage window of `parent` (made on first use; one
/// per parent) fitted into `box`. Null when there is no picture or no parent.
MontageWindow* ShowInMontageWindow(QWidget* parent, GlobalHandle picture, const QRect& box);

}  // namespace tx
