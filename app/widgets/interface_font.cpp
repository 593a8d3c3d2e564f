#include "app/widgets/interface_font.h"

#include <vector>

#include <QtCore/QTextBoundaryFinder>
#include <QtGui/QFontMetrics>

#include "resources/messages.h"
#include "resources/resource_binding.h"

namespace tx {

namespace {
const QString kEllipsis = QStringLiteral("...");
}

QFont InterfaceQFont(int pixelSize) {
  QFont font;
  int size = pixelSize;
  if (const ResourceLibrary* library = ResourceInstance()) {
    const InterfaceFont& wanted = library->font();
    if (!wanted.faceName.empty()) font.setFamily(QString::fromStdString(wanted.faceName));
    if (size <= 0) size = wanted.height;
  }
  // A library that gives no usable height still gets readable words.
  if (size <= 0) size = kLabelPixels;
  font.setPixelSize(size);
  font.setWeight(QFont::Normal);
  return font;
}

QString CatalogueText(int id) {
  if (id <= 0) return {};
  return QString::fromStdString(LoadText(unsigned(id)));
}

QString ShortenToFit(const QString& text, int width,
                     const std::function<int(const QString&)>& measure) {
  if (measure(text) <= width) return text;
  // Cut only where a reader sees a character end (grapheme boundaries).
  std::vector<qsizetype> cuts;
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
  for (qsizetype at = finder.toNextBoundary(); at > 0 && at < text.size();
       at = finder.toNextBoundary()) {
    cuts.push_back(at);
  }
  // Widths grow with the prefix, so the longest fitting prefix is found by
  // halving the range of cut points.
  qsizetype low = 0;
  qsizetype high = qsizetype(cuts.size());
  while (low < high) {
    const qsizetype mid = (low + high + 1) / 2;
    if (measure(text.left(cuts[std::size_t(mid - 1)]) + kEllipsis) <= width) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  if (low == 0) return kEllipsis;
  return text.left(cuts[std::size_t(low - 1)]) + kEllipsis;
}

QString ShortenToFit(const QString& text, int width, const QFont& font) {
  const QFontMetrics metrics(font);
  return ShortenToFit(text, width,
                      [&metrics](const QString& s) { return metrics.horizontalAdvance(s); });
}

}  // namespace tx
