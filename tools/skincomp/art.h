#pragma once
// The art of the interface: backgrounds, button states, lists, ticks and the
// program's pictures, drawn with QPainter from the skin source.
//
// One dark look with one accent. Every button picture is opaque: the part of
// the background beneath it with the button drawn over, so the program can
// blit it as it is. No picture holds a word, except the product name on the
// About picture.

#include <QColor>
#include <QImage>
#include <array>

#include "tools/skincomp/icon_font.h"
#include "tools/skincomp/skin_source.h"

namespace tx::skincomp {

/// The palette.
namespace colours {
inline const QColor kGroundTop{0x12, 0x12, 0x18};
inline const QColor kGroundBottom{0x1C, 0x1C, 0x26};
inline const QColor kTitleStrip{0x0D, 0x0D, 0x13};
inline const QColor kPanel{0x23, 0x23, 0x2F};
inline const QColor kPanelBorder{0x34, 0x34, 0x4A};
inline const QColor kButton{0x2A, 0x2A, 0x38};
inline const QColor kButtonHot{0x2E, 0x2E, 0x40};
inline const QColor kButtonOn{0x27, 0x20, 0x44};
inline const QColor kAccent{77, 43, 227};  // the print label's colour too
inline const QColor kAccentLight{0x7A, 0x5C, 0xFF};
inline const QColor kAccentDark{0x3A, 0x1F, 0xB8};
inline const QColor kIcon{0xE6, 0xE6, 0xF0};
inline const QColor kSecondary{0xA9, 0xA9, 0xBC};
inline const QColor kDim{0x5A, 0x5A, 0x74};
inline const QColor kInset{0x17, 0x17, 0x1F};
inline const QColor kDropDown{0x1E, 0x1E, 0x2A};
inline const QColor kFieldBorder{0x3A, 0x3A, 0x52};
}  // namespace colours

/// Normal, highlighted and pressed (for choices and toggles: on).
using StatePictures = std::array<QImage, 3>;

class Art {
 public:
  explicit Art(const IconFont& icons) : m_icons(icons) {}

  /// The whole background of a screen or of the full-screen bar.
  QImage ScreenBackground(const ScreenSource& screen) const;
  /// The three pictures of a button, over `background` at the button's place.
  StatePictures ButtonPictures(const RecordSource& record, const QImage& background) const;

  QImage ListBackground(const ListBackgroundSource& list) const;
  StatePictures ListArrowPictures(const Rect& rect, bool up, const QImage& background) const;
  StatePictures ListRowPictures(const Rect& rect, const QImage& background) const;

  /// Tick picture `state` of a set.
  QImage Tick(const TickSetSource& ticks, int state) const;
  QImage Picture(const PictureSource& picture) const;

 private:
  const IconFont& m_icons;
};

}  // namespace tx::skincomp
