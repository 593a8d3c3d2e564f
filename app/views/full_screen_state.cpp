#include "app/views/full_screen_state.h"

#include <algorithm>
#include <cstdint>

namespace tx {

namespace {

// Keeps `value` within -limit..limit.
int Clamp(int value, int limit) {
  return std::clamp(value, -limit, limit);
}

// Where a drag or a navigator click may put the offset along one axis:
// anywhere within half the excess where the scaled picture is larger than
// the screen, else only the centre.
int LimitOf(int scaled, int screen) {
  return scaled > screen ? (scaled - screen) / 2 : 0;
}

}  // namespace

ButtonRect ControlBarPlace(int screenWidth, int screenHeight, int barWidth, int barHeight) {
  const int left = (screenWidth - barWidth) / 2;
  const int top = screenHeight - barHeight;
  return {left, top, left + barWidth, top + barHeight};
}

FullScreenState::FullScreenState(int pictureWidth, int pictureHeight, int screenWidth,
                                 int screenHeight)
    : m_pictureWidth(pictureWidth),
      m_pictureHeight(pictureHeight),
      m_screenWidth(screenWidth),
      m_screenHeight(screenHeight) {}

bool FullScreenState::valid() const {
  return m_pictureWidth > 0 && m_pictureHeight > 0 && m_screenWidth > 0 && m_screenHeight > 0;
}

int FullScreenState::ScaledWidth() const {
  return m_pictureWidth / m_divisor;
}

int FullScreenState::ScaledHeight() const {
  return m_pictureHeight / m_divisor;
}

bool FullScreenState::IsLargerThanScreen() const {
  return valid() && (ScaledWidth() > m_screenWidth || ScaledHeight() > m_screenHeight);
}

bool FullScreenState::ZoomIn() {
  if (!valid() || m_divisor <= 1) return false;
  --m_divisor;
  m_offsetX = 0;
  m_offsetY = 0;
  return true;
}

bool FullScreenState::ZoomOut() {
  if (!valid()) return false;
  // Reducing further than one pixel a side would leave nothing to draw (and
  // the divisor would grow without bound): stop at the last visible step.
  const int next = m_divisor + 1;
  if (m_pictureWidth / next < 1 || m_pictureHeight / next < 1) return false;
  m_divisor = next;
  m_offsetX = 0;
  m_offsetY = 0;
  return true;
}

int FullScreenState::LimitX() const {
  return valid() ? LimitOf(ScaledWidth(), m_screenWidth) : 0;
}

int FullScreenState::LimitY() const {
  return valid() ? LimitOf(ScaledHeight(), m_screenHeight) : 0;
}

ButtonRect FullScreenState::PictureRect() const {
  if (!valid()) return {};
  const int left = (m_screenWidth - ScaledWidth()) / 2 - m_offsetX;
  const int top = (m_screenHeight - ScaledHeight()) / 2 - m_offsetY;
  return {left, top, left + ScaledWidth(), top + ScaledHeight()};
}

int FullScreenState::CursorId() const {
  return IsLargerThanScreen() ? kViewCursorHand : kViewCursorArrow;
}

void FullScreenState::BeginDrag(int x, int y) {
  m_dragging = true;
  m_lastX = x;
  m_lastY = y;
}

bool FullScreenState::DragTo(int x, int y) {
  if (!m_dragging || !IsLargerThanScreen()) return false;
  const int oldX = m_offsetX;
  const int oldY = m_offsetY;
  // Moving the pointer right lowers the offset: the picture follows the hand.
  m_offsetX = Clamp(m_offsetX + (m_lastX - x), LimitX());
  m_offsetY = Clamp(m_offsetY + (m_lastY - y), LimitY());
  m_lastX = x;
  m_lastY = y;
  return m_offsetX != oldX || m_offsetY != oldY;
}

void FullScreenState::EndDrag() {
  m_dragging = false;
}

void FullScreenState::SetNavigatorSize(int width, int height) {
  m_navigatorWidth = width;
  m_navigatorHeight = height;
}

ButtonRect FullScreenState::ThumbnailRect() const {
  if (!valid() || m_navigatorWidth < 1 || m_navigatorHeight < 1) return {};
  const std::int64_t w = m_pictureWidth;
  const std::int64_t h = m_pictureHeight;
  const std::int64_t aw = m_navigatorWidth;
  const std::int64_t ah = m_navigatorHeight;
  int thumbWidth = 0;
  int thumbHeight = 0;
  // The side that meets the area first decides the reduction.
  if (w * ah >= h * aw) {
    thumbWidth = int(aw);
    thumbHeight = int(std::max<std::int64_t>(1, h * aw / w));
  } else {
    thumbHeight = int(ah);
    thumbWidth = int(std::max<std::int64_t>(1, w * ah / h));
  }
  const int left = (m_navigatorWidth - thumbWidth) / 2;
  const int top = (m_navigatorHeight - thumbHeight) / 2;
  return {left, top, left + thumbWidth, top + thumbHeight};
}

int FullScreenState::ThumbOfScaled(int v, int scaled, int picture, int thumb) const {
  if (v >= scaled) return thumb;
  return int(std::int64_t(v) * m_divisor * thumb / picture);
}

ButtonRect FullScreenState::FrameRect() const {
  const ButtonRect thumb = ThumbnailRect();
  if (thumb.IsEmpty()) return {};
  const ButtonRect shown = PictureRect();
  // One axis: the thumbnail span of the screen's part of the scaled picture.
  const auto span = [this](int pictureStart, int scaled, int screen, int picture, int thumbSize,
                           int& from, int& to) {
    if (scaled <= screen) {
      from = 0;
      to = thumbSize;
    } else {
      const int first = std::max(0, -pictureStart);
      const int last = std::min(scaled, screen - pictureStart);
      from = ThumbOfScaled(first, scaled, picture, thumbSize);
      to = ThumbOfScaled(last, scaled, picture, thumbSize);
    }
    // Never thinner than a pixel, never outside the thumbnail.
    from = std::clamp(from, 0, thumbSize - 1);
    to = std::clamp(to, from + 1, thumbSize);
  };
  int left = 0, right = 0, top = 0, bottom = 0;
  span(shown.left, ScaledWidth(), m_screenWidth, m_pictureWidth, thumb.Width(), left, right);
  span(shown.top, ScaledHeight(), m_screenHeight, m_pictureHeight, thumb.Height(), top, bottom);
  return {thumb.left + left, thumb.top + top, thumb.left + right, thumb.top + bottom};
}

bool FullScreenState::InThumbnail(int x, int y) const {
  return ThumbnailRect().Contains(x, y);
}

bool FullScreenState::NavigateTo(int x, int y) {
  const ButtonRect thumb = ThumbnailRect();
  if (!thumb.Contains(x, y) || !IsLargerThanScreen()) return false;
  // The picture point under the pointer, then its place in the scaled picture.
  const int pictureX = int(std::int64_t(x - thumb.left) * m_pictureWidth / thumb.Width());
  const int pictureY = int(std::int64_t(y - thumb.top) * m_pictureHeight / thumb.Height());
  const int scaledX = pictureX / m_divisor;
  const int scaledY = pictureY / m_divisor;
  int wantX = 0;
  int wantY = 0;
  if (ScaledWidth() > m_screenWidth) {
    wantX = scaledX - ScaledWidth() / 2;
    if (wantX < -LimitX() || wantX > LimitX()) return false;
  }
  if (ScaledHeight() > m_screenHeight) {
    wantY = scaledY - ScaledHeight() / 2;
    if (wantY < -LimitY() || wantY > LimitY()) return false;
  }
  if (wantX == m_offsetX && wantY == m_offsetY) return false;
  m_offsetX = wantX;
  m_offsetY = wantY;
  return true;
}

}  // namespace tx
