// The crop preview's state and rules, free of any window system.

#include "app/views/crop_state.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "resources/messages.h"

namespace tx {
namespace {

constexpr int kTol = kCropTolerance;

// Width : height of each entry of the ratio list; entry 0 is free.
constexpr CropRatio kCropRatios[kCropRatioCount] = {
    {0, 0}, {1, 1}, {2, 3}, {3, 4}, {3, 5}, {5, 7}, {3, 2}, {4, 3}, {5, 3}, {7, 5},
};

constexpr bool IsCornerMode(int mode) {
  return mode >= kDragTopLeft && mode <= kDragBottomRight;
}
constexpr bool MovesLeftEdge(int mode) {
  return mode == kDragTopLeft || mode == kDragBottomLeft || mode == kDragLeft;
}
constexpr bool MovesRightEdge(int mode) {
  return mode == kDragTopRight || mode == kDragBottomRight || mode == kDragRight;
}
constexpr bool MovesTopEdge(int mode) {
  return mode == kDragTopLeft || mode == kDragTopRight || mode == kDragTop;
}
constexpr bool MovesBottomEdge(int mode) {
  return mode == kDragBottomLeft || mode == kDragBottomRight || mode == kDragBottom;
}

// Truncating product and quotient with the 32-bit aspect, as the rectangle's
// sides are whole pixels.
std::int64_t TimesAspect(std::int64_t side, float aspect) {
  return std::int64_t(float(side) * aspect);
}
std::int64_t OverAspect(std::int64_t side, float aspect) {
  return std::int64_t(float(side) / aspect);
}

}  // namespace

CropRatio CropRatioAt(int entry) {
  if (entry < 0 || entry >= kCropRatioCount) return {};
  return kCropRatios[entry];
}

std::string CropRatioText(int entry) {
  if (entry < 0 || entry >= kCropRatioCount) return {};
  if (entry == 0) return LoadText(kStrCropRatioFree);
  const CropRatio ratio = kCropRatios[entry];
  return std::to_string(ratio.width) + " : " + std::to_string(ratio.height);
}

int CropSliderOffset(int value) {
  value = std::clamp(value, 0, kCropSliderMax);
  return value * 256 / kCropSliderMax - 128;
}

bool BuildCropToneTable(int b, int c, std::array<std::uint8_t, 256>& table) {
  for (int i = 0; i < 256; ++i)
    table[std::size_t(i)] = std::uint8_t(i);
  if (b == 0 && c == 0) return false;
  const int span = 255 - 2 * c;
  for (int i = 0; i < 256; ++i) {
    const int x = i + b;
    int value;
    if (x < c) {
      value = 0;
    } else if (x > 255 - c) {
      value = 255;
    } else if (span <= 0) {
      // Only reachable for offsets beyond the sliders' range: a pure step.
      value = x < 128 ? 0 : 255;
    } else {
      value = ((x - c) * 255 + span / 2) / span;
    }
    table[std::size_t(i)] = std::uint8_t(std::clamp(value, 0, 255));
  }
  return true;
}

bool ApplyCropTone(PackedImage& image, const std::array<std::uint8_t, 256>& table) {
  int bits = GetImageBitCount(image.get());
  if (bits == 16) {
    PackedImage wide(ConvertToTrueColour(image.get()));
    if (!wide) return false;
    image = std::move(wide);
    bits = 24;
  }
  ImageLock lock(image.get());
  if (!lock) return false;
  if (bits == 24 || bits == 32) {
    const int bytesPerPixel = bits / 8;
    for (int y = 0; y < lock.height(); ++y) {
      std::uint8_t* row = lock.row(y);
      for (int x = 0; x < lock.width(); ++x) {
        std::uint8_t* pixel = row + std::size_t(x) * std::size_t(bytesPerPixel);
        for (int k = 0; k < 3; ++k)
          pixel[k] = table[pixel[k]];
      }
    }
    return true;
  }
  if (bits == 8 && lock.isGray()) {
    // The gray ramp stays; the values change.
    for (int y = 0; y < lock.height(); ++y) {
      std::uint8_t* row = lock.row(y);
      for (int x = 0; x < lock.width(); ++x)
        row[x] = table[row[x]];
    }
    return true;
  }
  for (std::uint32_t i = 0; i < lock.colourCount(); ++i) {
    RgbQuad& entry = lock.palette()[i];
    entry.blue = table[entry.blue];
    entry.green = table[entry.green];
    entry.red = table[entry.red];
  }
  return true;
}

void CropState::Layout(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight) {
  m_clientWidth = std::max(clientWidth, 0);
  m_clientHeight = std::max(clientHeight, 0);
  m_dragMode = kDragNone;
  if (pictureWidth < 1 || pictureHeight < 1) {
    m_picture = {};
    m_crop = {};
    m_aspect = 1.0f;
    return;
  }
  const int left = std::max((m_clientWidth - pictureWidth) / 2, 0);
  const int top = std::max((m_clientHeight - pictureHeight) / 2, 0);
  m_picture = {left, top, left + pictureWidth, top + pictureHeight};
  ResetCrop();
}

bool CropState::SetRatio(int entry) {
  if (entry < 0 || entry >= kCropRatioCount) return false;
  m_ratioEntry = entry;
  m_free = kCropRatios[entry].free();
  m_dragMode = kDragNone;
  ResetCrop();
  return true;
}

void CropState::ResetCrop() {
  const std::int64_t pw = m_picture.width(), ph = m_picture.height();
  if (pw < 1 || ph < 1) {
    m_crop = {};
    m_aspect = 1.0f;
    return;
  }
  std::int64_t w = pw, h = ph;
  const CropRatio ratio = kCropRatios[m_ratioEntry];
  if (!ratio.free()) {
    // The largest rectangle of the ratio: full height when the picture is
    // relatively wider than the ratio (rh / ph >= rw / pw), else full width.
    if (std::int64_t(ratio.height) * pw >= std::int64_t(ratio.width) * ph) {
      w = ph * ratio.width / ratio.height;
    } else {
      h = pw * ratio.height / ratio.width;
    }
    // A picture a few pixels small still gets a rectangle to hold.
    w = std::clamp<std::int64_t>(w, 1, pw);
    h = std::clamp<std::int64_t>(h, 1, ph);
  }
  const int left = m_picture.left + int((pw - w) / 2);
  const int top = m_picture.top + int((ph - h) / 2);
  m_crop = {left, top, left + int(w), top + int(h)};
  m_aspect = float(w) / float(h);
}

void CropState::SetCrop(const ImageRect& rect) {
  m_crop = rect;
  ClipToPicture();
}

int CropState::HitTest(int x, int y) const {
  if (m_crop.width() < 1 || m_crop.height() < 1) return 0;
  // The outline runs along the first and last columns and rows inside.
  const int lastX = m_crop.right - 1, lastY = m_crop.bottom - 1;
  const bool inRows = y >= m_crop.top - kTol && y <= lastY + kTol;
  const bool inCols = x >= m_crop.left - kTol && x <= lastX + kTol;
  const int dl = std::abs(x - m_crop.left), dr = std::abs(x - lastX);
  const int dt = std::abs(y - m_crop.top), db = std::abs(y - lastY);
  int flags = 0;
  if (inRows && dl <= kTol) flags |= kHitLeft;
  if (inRows && dr <= kTol) flags |= kHitRight;
  if (inCols && dt <= kTol) flags |= kHitTop;
  if (inCols && db <= kTol) flags |= kHitBottom;
  // A rectangle narrower than twice the tolerance has both edges in reach.
  if ((flags & (kHitLeft | kHitRight)) == (kHitLeft | kHitRight))
    flags &= ~(dl <= dr ? kHitRight : kHitLeft);
  if ((flags & (kHitTop | kHitBottom)) == (kHitTop | kHitBottom))
    flags &= ~(dt <= db ? kHitBottom : kHitTop);
  return flags;
}

CropCursor CropState::CursorForMode(int mode) {
  switch (mode) {
    case kDragTopLeft:
    case kDragBottomRight:
      return CropCursor::kSizeNwSe;
    case kDragBottomLeft:
    case kDragTopRight:
      return CropCursor::kSizeNeSw;
    case kDragLeft:
    case kDragRight:
      return CropCursor::kSizeWe;
    case kDragTop:
    case kDragBottom:
      return CropCursor::kSizeNs;
    case kDragMove:
      return CropCursor::kClosedHand;
    default:
      return CropCursor::kArrow;
  }
}

CropCursor CropState::CursorAt(int x, int y) const {
  if (m_dragMode != kDragNone) return CursorForMode(m_dragMode);
  const int flags = HitTest(x, y);
  switch (flags) {
    case kHitLeft | kHitTop:
    case kHitRight | kHitBottom:
      return CropCursor::kSizeNwSe;
    case kHitTop | kHitRight:
    case kHitLeft | kHitBottom:
      return CropCursor::kSizeNeSw;
    case kHitLeft:
    case kHitRight:
      return m_free ? CropCursor::kSizeWe : CropCursor::kArrow;
    case kHitTop:
    case kHitBottom:
      return m_free ? CropCursor::kSizeNs : CropCursor::kArrow;
    case 0:
      if (x >= m_crop.left && x < m_crop.right && y >= m_crop.top && y < m_crop.bottom)
        return CropCursor::kOpenHand;
      return CropCursor::kArrow;
    default:
      return CropCursor::kArrow;
  }
}

int CropState::BeginDrag(int x, int y) {
  int mode = kDragNone;
  switch (HitTest(x, y)) {
    case kHitLeft | kHitTop:
      mode = kDragTopLeft;
      break;
    case kHitLeft | kHitBottom:
      mode = kDragBottomLeft;
      break;
    case kHitTop | kHitRight:
      mode = kDragTopRight;
      break;
    case kHitRight | kHitBottom:
      mode = kDragBottomRight;
      break;
    case kHitLeft:
      mode = m_free ? kDragLeft : kDragNone;
      break;
    case kHitRight:
      mode = m_free ? kDragRight : kDragNone;
      break;
    case kHitTop:
      mode = m_free ? kDragTop : kDragNone;
      break;
    case kHitBottom:
      mode = m_free ? kDragBottom : kDragNone;
      break;
    case 0:
      if (x >= m_crop.left && x < m_crop.right && y >= m_crop.top && y < m_crop.bottom)
        mode = kDragMove;
      break;
    default:
      break;
  }
  m_dragMode = mode;
  m_lastX = x;
  m_lastY = y;
  return mode;
}

void CropState::DragTo(int x, int y) {
  if (m_dragMode == kDragNone) return;
  const int dx = x - m_lastX, dy = y - m_lastY;
  m_lastX = x;
  m_lastY = y;
  ApplyStep(m_dragMode, dx, dy, false);
}

void CropState::EndDrag(int x, int y) {
  if (m_dragMode == kDragNone) return;
  const int dx = x - m_lastX, dy = y - m_lastY;
  ApplyStep(m_dragMode, dx, dy, true);
  m_dragMode = kDragNone;
}

void CropState::ApplyStep(int mode, int dx, int dy, bool release) {
  if (m_crop.width() < 1 || m_crop.height() < 1) return;
  if (mode == kDragMove) {
    MoveRect(dx, dy);
  } else if (!IsCornerMode(mode)) {
    MoveEdges(mode, dx, dy);
  } else if (m_free && release) {
    // In free mode the release moves the corner itself, so the proportions
    // can change; the moves before it scale the rectangle.
    MoveEdges(mode, dx, dy);
  } else {
    if (m_free) m_aspect = float(m_crop.width()) / float(m_crop.height());
    ResizeKeepingAspect(mode, dx, dy);
  }
  ClipToPicture();
}

void CropState::MoveRect(int dx, int dy) {
  dx = std::max(std::min(dx, m_picture.right - m_crop.right), m_picture.left - m_crop.left);
  dy = std::max(std::min(dy, m_picture.bottom - m_crop.bottom), m_picture.top - m_crop.top);
  m_crop.left += dx;
  m_crop.right += dx;
  m_crop.top += dy;
  m_crop.bottom += dy;
}

void CropState::MoveEdges(int mode, int dx, int dy) {
  if (MovesLeftEdge(mode)) m_crop.left = std::min(m_crop.left + dx, m_crop.right - kTol);
  if (MovesRightEdge(mode)) m_crop.right = std::max(m_crop.right + dx, m_crop.left + kTol);
  if (MovesTopEdge(mode)) m_crop.top = std::min(m_crop.top + dy, m_crop.bottom - kTol);
  if (MovesBottomEdge(mode)) m_crop.bottom = std::max(m_crop.bottom + dy, m_crop.top + kTol);
}

void CropState::ResizeKeepingAspect(int mode, int dx, int dy) {
  const float a = m_aspect > 0.0f ? m_aspect : 1.0f;
  const std::int64_t minSide = 2 * kTol;
  std::int64_t w = m_crop.width(), h = m_crop.height();
  const std::int64_t cx = m_crop.left + w / 2, cy = m_crop.top + h / 2;
  const bool top = MovesTopEdge(mode), left = MovesLeftEdge(mode);

  // Both sides grow or shrink about the centre by twice the displacement of
  // the axis the pointer moved along more.
  if (std::abs(dx) <= std::abs(dy)) {
    h = top ? h - 2 * std::int64_t(dy) : h + 2 * std::int64_t(dy);
    h = std::max(h, minSide);
    w = TimesAspect(h, a);
  } else {
    w = left ? w - 2 * std::int64_t(dx) : w + 2 * std::int64_t(dx);
    h = OverAspect(w, a);
  }

  // Stay inside the picture around the unchanged centre.
  const std::int64_t maxW = 2 * std::min(cx - m_picture.left, m_picture.right - cx);
  const std::int64_t maxH = 2 * std::min(cy - m_picture.top, m_picture.bottom - cy);
  w = std::min(w, maxW);
  h = std::min(h, maxH);
  if (w > TimesAspect(h, a)) {
    w = TimesAspect(h, a);
  } else if (h > OverAspect(w, a)) {
    h = OverAspect(w, a);
  }
  w = std::max(w, minSide);
  h = std::max(h, minSide);
  // The longer side follows the shorter one, which keeps its whole pixels.
  if (a >= 1.0f) {
    w = TimesAspect(h, a);
  } else {
    h = OverAspect(w, a);
  }

  m_crop.left = int(cx - w / 2);
  m_crop.right = int(m_crop.left + w);
  m_crop.top = int(cy - h / 2);
  m_crop.bottom = int(m_crop.top + h);
}

void CropState::ClipToPicture() {
  const ImageRect& p = m_picture;
  if (p.width() < 1 || p.height() < 1) {
    m_crop = {};
    return;
  }
  m_crop.left = std::clamp(m_crop.left, p.left, p.right - 1);
  m_crop.top = std::clamp(m_crop.top, p.top, p.bottom - 1);
  m_crop.right = std::clamp(m_crop.right, m_crop.left + 1, p.right);
  m_crop.bottom = std::clamp(m_crop.bottom, m_crop.top + 1, p.bottom);
}

void CropState::SetBrightness(int value) {
  m_brightness = std::clamp(value, 0, kCropSliderMax);
}

void CropState::SetContrast(int value) {
  m_contrast = std::clamp(value, 0, kCropSliderMax);
}

bool CropState::ToneTable(std::array<std::uint8_t, 256>& table) const {
  return BuildCropToneTable(CropSliderOffset(m_brightness), CropSliderOffset(m_contrast), table);
}

std::optional<ImageRect> CropState::SourceRect(int sourceWidth, int sourceHeight) const {
  const int pw = m_picture.width(), ph = m_picture.height();
  if (sourceWidth < 1 || sourceHeight < 1 || pw < 1 || ph < 1) return std::nullopt;
  if (m_crop.width() < std::min(kTol, pw) || m_crop.height() < 1) return std::nullopt;

  // One factor for both axes, from the side the picture was fitted by.
  const double f =
      sourceHeight > sourceWidth ? double(sourceHeight) / ph : double(sourceWidth) / pw;
  auto map = [f](int offset, int limit) {
    const long long value = std::llround(double(offset) * f);
    return int(std::clamp<long long>(value, 0, limit));
  };
  ImageRect rect{map(m_crop.left - m_picture.left, sourceWidth),
                 map(m_crop.top - m_picture.top, sourceHeight),
                 map(m_crop.right - m_picture.left, sourceWidth),
                 map(m_crop.bottom - m_picture.top, sourceHeight)};
  // Rounding may close up a rectangle of a pixel or two: keep one pixel.
  if (rect.right <= rect.left) {
    rect.left = std::min(rect.left, sourceWidth - 1);
    rect.right = rect.left + 1;
  }
  if (rect.bottom <= rect.top) {
    rect.top = std::min(rect.top, sourceHeight - 1);
    rect.bottom = rect.top + 1;
  }
  return rect;
}

}  // namespace tx
