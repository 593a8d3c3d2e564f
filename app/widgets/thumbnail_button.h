#pragma once
// A small clickable box that shows a picture fitted into it, or a word when
// it has none: the montage settings screen's previews of the signature and
// treasure pictures, which a click replaces.

#include <QtCore/QString>
#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include "image/image_lock.h"

namespace tx {

class ThumbnailButton : public QWidget {
  Q_OBJECT

 public:
  explicit ThumbnailButton(QWidget* parent = nullptr);

  /// Shows a top-down copy of `picture` (the caller keeps it); a null or
  /// unreadable picture shows the placeholder word.
  void SetPicture(GlobalHandle picture);
  void SetPlaceholder(const QString& text);
  bool hasPicture() const { return !m_picture.isNull(); }
  const QImage& picture() const { return m_picture; }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QImage m_picture;
  QString m_placeholder;
  bool m_hot = false;
};

}  // namespace tx
