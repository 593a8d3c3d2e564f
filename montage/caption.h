#pragma once
// The caption: one text blended into the finished montage in the caption
// colour, at the top or bottom, inside the picture or in a band outside it.
//
// The text is drawn by Qt's font engine at double size as a black-and-white
// mask, reduced with the Mitchell filter to an anti-aliased gray mask, and
// blended in. Qt needs an application object for its fonts: when the
// program has none (the command-line tool, tests), the first call here
// creates a QGuiApplication on the "offscreen" platform (unless
// QT_QPA_PLATFORM names another) and keeps it to the end of the process.
// Call these functions on the thread that runs the montage; in a program
// with its own QGuiApplication that is its main thread.

#include <string>
#include <string_view>

#include <QtGui/QColor>

#include "image/image_lock.h"

namespace tx {

/// The fields of the platform's font record that a caption uses.
///
/// height: negative, the character height in pixels (the font's em size);
/// positive, the cell height (ascent plus descent) in pixels; 0, the
/// default cell height of 16 pixels. width: the average character width in
/// pixels, 0 for the font's own proportions. weight: 1 to 1000 (400 normal,
/// 700 bold; 0 is normal). charSet is kept for the font dialog; the font
/// engine chooses fallback fonts for characters by itself. An empty face
/// name means the engine's default font.
struct CaptionFont {
  int height = -48;
  int width = 0;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  int charSet = 0;
  std::string faceName;
};

/// Caption positions: inside or outside the picture, at its top or bottom.
inline constexpr int kCaptionTopInside = 0;
inline constexpr int kCaptionBottomInside = 1;
inline constexpr int kCaptionTopOutside = 2;
inline constexpr int kCaptionBottomOutside = 3;

/// The initial caption colour: white.
inline constexpr ColourWord kInitialCaptionColour = 0x00FFFFFF;

/// A colour word (0x00BBGGRR) and Qt's colour.
QColor QColorOf(ColourWord colour);
ColourWord ColourWordOf(const QColor& colour);
/// The cell height a font record of height 0 asks for.
inline constexpr int kDefaultCaptionCellHeight = 16;

/// Text layout flags, numbered as the platform's text drawing numbers them.
inline constexpr unsigned kDtCenter = 0x0001;
inline constexpr unsigned kDtRight = 0x0002;
inline constexpr unsigned kDtWordBreak = 0x0010;
inline constexpr unsigned kDtSingleLine = 0x0020;
inline constexpr unsigned kDtExpandTabs = 0x0040;
inline constexpr unsigned kDtNoPrefix = 0x0800;
inline constexpr unsigned kDtEditControl = 0x2000;
/// Centred, tabs expanded, no prefix processing, edit-control line breaks.
inline constexpr unsigned kCaptionLayoutFlags = 0x2841;
/// The width of the rectangle a caption is laid out in: one line in practice.
inline constexpr int kCaptionLayoutWidth = 1000000;

/// The caption font at start: the resource library's interface font (its
/// size as the height, its character set and face name, weight 400) when
/// one is bound, else height -48, weight 400 and no face name.
CaptionFont InitialCaptionFont();

/// Makes sure Qt's font engine can be used on this thread: a program with a
/// QGuiApplication has it; one without any application object gets one on
/// the offscreen platform. False in a program that made a non-GUI
/// application object: no text can be drawn there.
bool FontEngineReady();

struct CaptionExtent {
  int width = 0;
  int height = 0;
  bool operator==(const CaptionExtent&) const = default;
};

/// The extent of `text` laid out with kCaptionLayoutFlags in `font` at its
/// own size: what the mask of RenderCaptionMask measures, and the height of
/// the band an outside caption needs. (0, 0) for an empty text.
CaptionExtent MeasureCaptionBand(std::string_view text, const CaptionFont& font);

/// An 8-bit gray mask of `text` (UTF-8) laid out with `layoutFlags`: 255
/// inside the glyphs, 0 outside, anti-aliased at the edges, of the text's
/// extent at the font's own size. Drawn at twice the size without
/// anti-aliasing (a quarter of a "W" wider, so nothing is clipped) and
/// reduced with the Mitchell filter. Null for an empty text, an empty
/// extent or no memory. The caller frees it.
GlobalHandle RenderCaptionMask(std::string_view text, const CaptionFont& font,
                               unsigned layoutFlags = kCaptionLayoutFlags);

/// Where a mask of maskWidth x maskHeight goes in a montage of
/// montageWidth x montageHeight with border `border`: x from the left,
/// y the mask's bottom row counted from the bottom of the montage.
/// Centred horizontally over the whole image (never left of it); position 0
/// ends `border` rows below the top, 1 starts `border` rows above the
/// bottom, 2 and 3 are centred in the band (the larger of the border and the
/// mask height) above or below the area.
struct CaptionOrigin {
  int x = 0;
  int y = 0;
  bool operator==(const CaptionOrigin&) const = default;
};
CaptionOrigin PlaceCaption(int position, int montageWidth, int montageHeight, int maskWidth,
                           int maskHeight, int border);

/// Blends the gray `mask` into the 24-bit `montage` with its bottom-left
/// corner at `origin`: each channel becomes
/// ((255 - a) * pixel + a * colour channel) >> 8 for mask value a > 0;
/// pixels under a mask value of 0 are left as they are. Mask pixels outside
/// the montage are dropped. False when an image is not of
/// those depths.
bool BlendCaptionMask(GlobalHandle montage, GlobalHandle mask, CaptionOrigin origin,
                      ColourWord colour);

/// Draws the caption into the finished 24-bit montage at `position` (0 top
/// inside, 1 bottom inside, 2 top outside, 3 bottom outside) with the
/// montage's border width. True when it was drawn; false for an empty
/// text, no montage, a position outside 0 to 3, or no memory (the montage
/// is then unchanged).
bool DrawCaption(GlobalHandle montage, int position, std::string_view text, const CaptionFont& font,
                 ColourWord colour, int borderWidth);

}  // namespace tx
