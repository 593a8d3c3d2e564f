#pragma once
// What the full-screen view does, apart from any window: the reduction
// divisor and zoom, the pan offset and dragging, the navigator's thumbnail
// and frame, the cursor the view wants and where the control bar goes.
//
// All arithmetic is on whole pixels. The view shows the picture reduced to
// (width / n) x (height / n) for a divisor n of 1 or more, centred on the
// screen and moved by the pan offset. The offset is the position of the
// shown part's centre relative to the scaled picture's centre, so the
// scaled picture's left edge stands at (screen width - scaled width) / 2 -
// offset x: dragging the pointer to the right lowers the offset and moves
// the picture right with the pointer.

#include "app/buttons/button_record.h"

namespace tx {

/// Commands the view window answers (sent by the control bar's buttons).
inline constexpr int kCmdViewZoomIn = 40006;
inline constexpr int kCmdViewZoomOut = 40007;
inline constexpr int kCmdViewClose = 40008;

/// Cursor ids the view asks for: the program's hand cursor, or the arrow.
inline constexpr int kViewCursorHand = 3001;
inline constexpr int kViewCursorArrow = 0;

/// Where the control bar of size (barWidth, barHeight) stands on a screen of
/// size (screenWidth, screenHeight): centred horizontally, its bottom on the
/// screen's bottom edge.
ButtonRect ControlBarPlace(int screenWidth, int screenHeight, int barWidth, int barHeight);

class FullScreenState {
 public:
  /// A picture of pictureWidth x pictureHeight on a screen of
  /// screenWidth x screenHeight, at 100 percent, centred, not dragging. A
  /// size below 1 makes an invalid state that refuses every zoom and pan.
  FullScreenState(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight);

  bool valid() const;
  int pictureWidth() const { return m_pictureWidth; }
  int pictureHeight() const { return m_pictureHeight; }
  int screenWidth() const { return m_screenWidth; }
  int screenHeight() const { return m_screenHeight; }

  /// The reduction divisor n (1 or more): the picture is shown at 1 / n.
  int divisor() const { return m_divisor; }
  /// The scale as a whole percentage, 100 / n (33 for n = 3).
  int Percent() const { return 100 / m_divisor; }
  /// The picture's size at the current scale (width / n, height / n).
  int ScaledWidth() const;
  int ScaledHeight() const;
  /// Whether the scaled picture is wider or taller than the screen.
  bool IsLargerThanScreen() const;

  /// One step closer: n - 1. Refused (false; the caller beeps) at 100
  /// percent. On success the shown part is centred again.
  bool ZoomIn();
  /// One step further: n + 1. Refused (false; the caller beeps) when the
  /// picture would become smaller than one pixel on either side. On success
  /// the shown part is centred again.
  bool ZoomOut();

  /// The pan offset: the shown part's centre from the scaled picture's centre.
  int offsetX() const { return m_offsetX; }
  int offsetY() const { return m_offsetY; }
  /// How far the offset may go either way along each axis: half the excess
  /// of the scaled picture over the screen, 0 where it is not larger.
  int LimitX() const;
  int LimitY() const;
  /// Where the scaled picture lies on the screen.
  ButtonRect PictureRect() const;

  /// The cursor wanted over the view: the hand when the scaled picture is
  /// larger than the screen in either direction, else the arrow.
  int CursorId() const;

  /// Left button down at (x, y): a drag starts there.
  void BeginDrag(int x, int y);
  /// The pointer moved to (x, y) while dragging. Along each axis the offset
  /// grows by the previous pointer minus the current one and is kept within
  /// its limit (0 where the picture is not larger). Nothing happens unless a
  /// drag runs and the picture is larger than the screen. Returns whether
  /// the offset changed.
  bool DragTo(int x, int y);
  /// Left button up.
  void EndDrag();
  bool dragging() const { return m_dragging; }

  /// The navigator's area size; the thumbnail is laid out in it.
  void SetNavigatorSize(int width, int height);
  /// The whole picture fitted into the navigator's area, keeping its
  /// proportions, centred; in navigator coordinates. Empty until a size is set.
  ButtonRect ThumbnailRect() const;
  /// The frame around the part of the picture the view shows, in navigator
  /// coordinates, inside the thumbnail and never thinner than one pixel.
  ButtonRect FrameRect() const;
  /// Whether (x, y) of the navigator lies on the thumbnail.
  bool InThumbnail(int x, int y) const;
  /// A click or drag at (x, y) of the navigator: centres the shown part on
  /// the picture point under the pointer. Ignored (false) outside the
  /// thumbnail, when the picture fits the screen, and when the part centred
  /// there would reach past the picture's edge along an axis on which the
  /// picture is larger than the screen. Returns whether the offset changed.
  bool NavigateTo(int x, int y);

 private:
  // Thumbnail coordinate (counted from the thumbnail's edge) of scaled
  // picture coordinate `v` along one axis.
  int ThumbOfScaled(int v, int scaled, int picture, int thumb) const;

  int m_pictureWidth = 0;
  int m_pictureHeight = 0;
  int m_screenWidth = 0;
  int m_screenHeight = 0;
  int m_divisor = 1;
  int m_offsetX = 0;
  int m_offsetY = 0;
  bool m_dragging = false;
  int m_lastX = 0;
  int m_lastY = 0;
  int m_navigatorWidth = 0;
  int m_navigatorHeight = 0;
};

}  // namespace tx
