#include "app/widgets/cursors.h"

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

}  // namespace tx
