#pragma once
// The interface font and the words the widgets draw.
//
// Every word of the skinned interface is drawn in the face the bound
// resource library names (Noto Sans CJK TC for the Chinese library), so
// exchanging the library changes the font with the texts.

#include <functional>

#include <QtCore/QString>
#include <QtGui/QColor>
#include <QtGui/QFont>

namespace tx {

/// Sizes of the screen's own words, in pixels.
inline constexpr int kHeadingPixels = 16;
inline constexpr int kLabelPixels = 13;

/// Colours of the words: list rows and labels are white, hot and selected
/// rows red, secondary words grey-violet.
inline const QColor kTextColourWhite{255, 255, 255};
inline const QColor kTextColourRed{255, 0, 0};
inline const QColor kTextColourSecondary{0xA9, 0xA9, 0xBC};

/// The interface font of the bound resource library at `pixelSize` (0: the
/// library's own height), normal weight. Without a bound library, the
/// application's default face at that size.
QFont InterfaceQFont(int pixelSize = 0);

/// Catalogue text `id` as a QString ("" when missing).
QString CatalogueText(int id);

/// Shortens `text` so that it fits `width` pixels as `measure` measures it:
/// the text itself when it fits, else the longest start of it (whole
/// characters, never half a surrogate pair or a split accent) followed by
/// "...". When not even "..." fits, "..." is returned (the caller clips).
QString ShortenToFit(const QString& text, int width,
                     const std::function<int(const QString&)>& measure);

/// The same, measured with `font`.
QString ShortenToFit(const QString& text, int width, const QFont& font);

}  // namespace tx
