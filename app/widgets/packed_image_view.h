#pragma once
// A QImage over a packed image's own rows, so drawing a skin picture copies
// nothing into a device-dependent form.
//
// The view locks the packed image for its life and wraps the bottom-up rows
// with their stride: 24-bit rows as BGR888, 32-bit as RGB32, 16-bit as
// RGB555, 8- and 1-bit rows as indexed images with the colour table. Qt has
// no 4-bit format, so 4-bit rows are widened to 8 bits once, when the view
// is made. The picture is upside down in the QImage; DrawPackedImage draws
// it the right way up with a painter transform.

#include <QtCore/QPoint>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "image/image_lock.h"

namespace tx {

class PackedImageView {
 public:
  /// Locks `image` (which the caller keeps owning; it must outlive the view).
  /// A null, unlockable or unreadable image gives an invalid view.
  explicit PackedImageView(GlobalHandle image);
  PackedImageView(const PackedImageView&) = delete;
  PackedImageView& operator=(const PackedImageView&) = delete;

  bool valid() const { return !m_image.isNull(); }
  int width() const { return m_image.width(); }
  int height() const { return m_image.height(); }
  /// The rows as stored: scan line 0 is the bottom row of the picture.
  const QImage& bottomUp() const { return m_image; }
  /// Draws the picture with its top-left corner at `at`.
  void Draw(QPainter& painter, QPoint at) const;
  /// A top-down copy (for saving and comparing).
  QImage ToImage() const;

 private:
  ImageLock m_lock;
  QImage m_image;
};

/// Draws packed image `image` with its top-left corner at `at`; nothing for an
/// invalid image. Returns whether it drew.
bool DrawPackedImage(QPainter& painter, QPoint at, GlobalHandle image);

}  // namespace tx
