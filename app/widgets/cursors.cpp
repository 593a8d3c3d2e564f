#include "app/widgets/cursors.h"

#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>

namespace tx {

Qt::CursorShape CursorShapeForId(int id) {
  switch (id) {
    case kCursorOpenHand:
      return Qt::OpenHandCursor;
    case kCursorClosedHand:
      return Qt::ClosedHandCursor;
    case kCursorPointingHand:
      return Qt::PointingHandCursor;
    default:
      return Qt::ArrowCursor;
  }
}

WaitCursor::WaitCursor() {
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor() {
  QGuiApplication::restoreOverrideCursor();
}

}  // namespace tx
