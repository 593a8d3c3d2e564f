#pragma once
// The program's cursors, by the ids the screens ask for.

#include <Qt>

namespace tx {

inline constexpr int kCursorOpenHand = 3001;
inline constexpr int kCursorClosedHand = 3002;
inline constexpr int kCursorPointingHand = 3010;

/// The Qt cursor shape standing for cursor `id`: the open, closed and
/// pointing hands for 3001, 3002 and 3010; the arrow for any other id.
Qt::CursorShape CursorShapeForId(int id);

/// The wait cursor over the whole application for as long as it lives.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace tx
