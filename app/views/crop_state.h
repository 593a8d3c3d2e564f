#pragma once
// The behaviour of the crop preview without any window system: where the
// fitted picture lies, the crop rectangle and its aspect, the ten drag modes
// with their hit rules and movements, the marching outline's phase, the
// brightness and contrast sliders, and the mapping of the rectangle back to
// the target picture's pixels.
//
// Every rectangle here is in window coordinates with exclusive right and
// bottom edges, so a rectangle that reaches the picture's right edge has
// right == picture().right and maps onto the target's last column exactly.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "image/image_lock.h"
#include "image/image_utils.h"

namespace tx {

/// Hit distance of an edge, and half the smallest side a fixed-ratio drag
/// leaves.
inline constexpr int kCropTolerance = 4;
/// Entries of the ratio list; entry 0 is the free ratio.
inline constexpr int kCropRatioCount = 10;
/// The text of ratio entry 0.
inline constexpr unsigned kStrCropRatioFree = 9910;
/// The brightness and contrast sliders run from 0 to kCropSliderMax and
/// start in the middle, where they change nothing.
inline constexpr int kCropSliderMax = 100;
inline constexpr int kCropSliderStart = 50;
/// The outline's dots march through this many phases.
inline constexpr int kCropOutlinePhases = 4;

/// What the pointer is near: flags of HitTest, combined for corners.
enum CropHitFlag : int {
  kHitLeft = 1,
  kHitTop = 2,
  kHitRight = 4,
  kHitBottom = 8,
};

/// The drag in progress.
enum CropDragMode : int {
  kDragNone = 0,
  kDragTopLeft = 17,
  kDragBottomLeft = 18,
  kDragTopRight = 19,
  kDragBottomRight = 20,
  kDragMove = 21,
  kDragLeft = 22,
  kDragRight = 23,
  kDragTop = 24,
  kDragBottom = 25,
};

/// The cursor the window shows; the window maps it to its toolkit's shapes.
enum class CropCursor {
  kArrow,
  kSizeNwSe,
  kSizeNeSw,
  kSizeWe,
  kSizeNs,
  kOpenHand,
  kClosedHand,
};

/// One entry of the ratio list: width : height, or 0 : 0 for the free ratio.
struct CropRatio {
  int width = 0;
  int height = 0;
  bool free() const { return width == 0 || height == 0; }
};

/// Ratio entry `entry` (0 .. kCropRatioCount - 1); the free ratio for any
/// other entry.
CropRatio CropRatioAt(int entry);

/// The list's text of entry `entry`: string kStrCropRatioFree for entry 0
/// (empty when the catalogue lacks it), "w : h" for the others, empty out of
/// range.
std::string CropRatioText(int entry);

/// A slider value (clamped to 0 .. kCropSliderMax) as an offset from -128 to
/// 128: value x 256 / 100 - 128, truncated, so the middle gives 0.
int CropSliderOffset(int value);

/// The 256-entry table that brightness offset `b` and contrast offset `c`
/// (from CropSliderOffset) apply to every channel. Returns false, leaving
/// `table` as the identity, when both are 0 and nothing would change.
bool BuildCropToneTable(int b, int c, std::array<std::uint8_t, 256>& table);

/// Applies `table` to every colour of `image` in place: the channels of 24-
/// and 32-bit pixels, the values of a gray image, the colour table of other
/// indexed images; a 16-bit image is first replaced by a 24-bit copy. Returns
/// false (the image unchanged) for a null or unreadable image or when memory
/// runs out.
bool ApplyCropTone(PackedImage& image, const std::array<std::uint8_t, 256>& table);

/// A channel value outside the crop rectangle, three quarters of the way to
/// white.
constexpr std::uint8_t LightenOutsideCrop(std::uint8_t value) {
  return std::uint8_t((value + 765) >> 2);
}

class CropState {
 public:
  /// Places a fitted picture of pictureWidth x pictureHeight centred in a
  /// client area of clientWidth x clientHeight (rectangle P) and sets the
  /// crop rectangle for the current ratio. Sizes below 0 count as 0; an empty
  /// picture leaves P and the rectangle empty.
  void Layout(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight);

  /// Chooses ratio entry `entry` and sets the initial rectangle for it: the
  /// whole picture for the free ratio, else the largest rectangle of that
  /// ratio, centred. Returns false (and changes nothing) for an entry out of
  /// range.
  bool SetRatio(int entry);

  int ratioEntry() const { return m_ratioEntry; }
  bool freeMode() const { return m_free; }
  /// Width over height of the rectangle, taken when the ratio was chosen
  /// (and, in free mode, again before each step of a corner drag).
  float aspect() const { return m_aspect; }
  /// P: where the fitted picture lies in the window.
  const ImageRect& picture() const { return m_picture; }
  const ImageRect& crop() const { return m_crop; }
  /// Replaces the rectangle (clipped to P); for restoring a saved state.
  void SetCrop(const ImageRect& rect);

  /// The CropHitFlag bits of window point (x, y): each edge within the
  /// tolerance of the point. When both opposite edges of a small rectangle
  /// are within reach, only the nearer counts (the left or top one on a tie).
  int HitTest(int x, int y) const;
  /// The cursor for (x, y): during a drag the drag's own cursor.
  CropCursor CursorAt(int x, int y) const;
  /// The cursor shown while drag `mode` runs.
  static CropCursor CursorForMode(int mode);

  /// Starts the drag the point (x, y) asks for and returns its mode, or
  /// kDragNone when the point starts nothing.
  int BeginDrag(int x, int y);
  /// One mouse move while dragging: applies the displacement since the last
  /// position. Nothing when no drag runs.
  void DragTo(int x, int y);
  /// The button release: applies the last displacement and ends the drag.
  void EndDrag(int x, int y);
  int dragMode() const { return m_dragMode; }

  int outlinePhase() const { return m_outlinePhase; }
  /// Advances the phase 0, 1, 2, 3, 0, ...
  void AdvanceOutline() { m_outlinePhase = (m_outlinePhase + 1) % kCropOutlinePhases; }

  /// Slider values, clamped to 0 .. kCropSliderMax.
  void SetBrightness(int value);
  void SetContrast(int value);
  int brightness() const { return m_brightness; }
  int contrast() const { return m_contrast; }
  /// The tone table of the two sliders; false when they change nothing.
  bool ToneTable(std::array<std::uint8_t, 256>& table) const;

  /// The rectangle of a sourceWidth x sourceHeight target picture that the
  /// crop rectangle covers, top-down, inside the picture and at least 1 x 1;
  /// nothing when there is no picture or the rectangle is narrower than the
  /// tolerance (or than the whole picture, when the picture is narrower).
  std::optional<ImageRect> SourceRect(int sourceWidth, int sourceHeight) const;

 private:
  void ResetCrop();
  void ApplyStep(int mode, int dx, int dy, bool release);
  void MoveRect(int dx, int dy);
  void MoveEdges(int mode, int dx, int dy);
  void ResizeKeepingAspect(int mode, int dx, int dy);
  void ClipToPicture();

  int m_clientWidth = 0;
  int m_clientHeight = 0;
  ImageRect m_picture;
  ImageRect m_crop;
  int m_ratioEntry = 0;
  bool m_free = true;
  float m_aspect = 1.0f;
  int m_dragMode = kDragNone;
  int m_lastX = 0;
  int m_lastY = 0;
  int m_outlinePhase = 0;
  int m_brightness = kCropSliderStart;
  int m_contrast = kCropSliderStart;
};

}  // namespace tx
