#include "montage/caption.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtGui/QColor>
#include <QtGui/QFont>
#include <QtGui/QFontMetrics>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include <unistd.h>

#include "image/image_utils.h"
#include "rastio/rastio.h"
#include "resources/resource_binding.h"

namespace tx {

namespace {

constexpr int kMinWeight = 1;
constexpr int kMaxWeight = 1000;
constexpr int kNormalWeight = 400;
// QFont's stretch factor range, in percent.
constexpr int kMinStretch = 1;
constexpr int kMaxStretch = 4000;
// The largest pixel size asked of the font engine; far beyond any caption.
constexpr std::int64_t kMaxPixelSize = 100000;
// The face every caption falls back to for the characters its own face lacks.
constexpr char kChineseFallbackFace[] = "Noto Sans CJK TC";

// The Qt font a font record asks for.
QFont ToQFont(const CaptionFont& record) {
  // Whatever face the record names, Chinese characters the face lacks come
  // from the Traditional Chinese face rather than from whatever the system
  // happens to pick.
  QFont font;
  QStringList families;
  if (!record.faceName.empty()) families << QString::fromStdString(record.faceName);
  families << QString::fromLatin1(kChineseFallbackFace);
  font.setFamilies(families);
  const int weight = record.weight == 0 ? kNormalWeight : record.weight;
  font.setWeight(QFont::Weight(std::clamp(weight, kMinWeight, kMaxWeight)));
  font.setItalic(record.italic);
  font.setUnderline(record.underline);
  font.setStrikeOut(record.strikeOut);

  std::int64_t pixelSize;
  if (record.height < 0) {
    // A negative height is the character (em) height, which is what Qt's
    // pixel size means.
    pixelSize = -std::int64_t(record.height);
  } else {
    // A positive height is the cell height, ascent plus descent. Qt has no
    // such request: ask for that em size, see what cell it gives, and scale
    // the em size by the ratio.
    const std::int64_t cell = record.height == 0 ? kDefaultCaptionCellHeight : record.height;
    font.setPixelSize(int(std::min(cell, kMaxPixelSize)));
    const QFontMetrics metrics(font);
    const int natural = metrics.ascent() + metrics.descent();
    pixelSize = natural > 0 ? std::llround(double(cell) * double(cell) / natural) : cell;
  }
  font.setPixelSize(int(std::clamp<std::int64_t>(pixelSize, 1, kMaxPixelSize)));

  if (record.width != 0) {
    // The width is the average character width; Qt stretches a font by a
    // percentage of its own.
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 0) {
      const double stretch = 100.0 * std::abs(double(record.width)) / average;
      font.setStretch(int(std::clamp(std::lround(stretch), long(kMinStretch), long(kMaxStretch))));
    }
  }
  return font;
}

// Qt's alignment and text flags for the platform's layout flags.
int ToQtFlags(unsigned layoutFlags) {
  int flags = Qt::AlignTop;
  if (layoutFlags & kDtCenter) {
    flags |= Qt::AlignHCenter;
  } else if (layoutFlags & kDtRight) {
    flags |= Qt::AlignRight;
  } else {
    flags |= Qt::AlignLeft;
  }
  if (layoutFlags & kDtSingleLine) {
    flags |= Qt::TextSingleLine;
  } else if (layoutFlags & (kDtWordBreak | kDtEditControl)) {
    flags |= Qt::TextWordWrap;
  }
  if (layoutFlags & kDtExpandTabs) flags |= Qt::TextExpandTabs;
  if (!(layoutFlags & kDtNoPrefix)) flags |= Qt::TextShowMnemonic;
  return flags;
}

// The laid-out extent of `text` in `font` inside the wide layout rectangle.
QSize Measure(const QFont& font, int qtFlags, const QString& text) {
  const QRect bounds =
      QFontMetrics(font).boundingRect(QRect(0, 0, kCaptionLayoutWidth, 0), qtFlags, text);
  return QSize(std::max(0, bounds.width()), std::max(0, bounds.height()));
}

CaptionFont DoubledFont(CaptionFont font) {
  font.height =
      int(std::clamp<std::int64_t>(std::int64_t(font.height) * 2, -kMaxPixelSize, kMaxPixelSize));
  font.width =
      int(std::clamp<std::int64_t>(std::int64_t(font.width) * 2, -kMaxPixelSize, kMaxPixelSize));
  return font;
}

}  // namespace

// A program without any application object gets one on the offscreen
// platform, made once and kept until exit (its argument storage must
// outlive it).
bool FontEngineReady() {
  static const bool ready = [] {
    if (QCoreApplication::instance()) {
      return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform needs no session; without this it warns on
    // stderr that the runtime folder is not set.
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
      QByteArray folder = QByteArray("/tmp/tesserix-runtime-") + QByteArray::number(getuid());
      QDir().mkpath(QString::fromLocal8Bit(folder));
      QFile::setPermissions(QString::fromLocal8Bit(folder), QFileDevice::ReadOwner |
                                                                QFileDevice::WriteOwner |
                                                                QFileDevice::ExeOwner);
      qputenv("XDG_RUNTIME_DIR", folder);
    }
    static int argc = 1;
    static char name[] = "tesserix";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    return application != nullptr;
  }();
  return ready && qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

CaptionFont InitialCaptionFont() {
  CaptionFont font;
  if (const ResourceLibrary* library = ResourceInstance()) {
    font.height = library->font().height;
    font.charSet = library->font().charSet;
    font.faceName = library->font().faceName;
    font.weight = kNormalWeight;
  }
  return font;
}

CaptionExtent MeasureCaptionBand(std::string_view text, const CaptionFont& font) {
  if (text.empty() || !FontEngineReady()) return {};
  const QSize size = Measure(ToQFont(font), ToQtFlags(kCaptionLayoutFlags),
                             QString::fromUtf8(text.data(), qsizetype(text.size())));
  return {size.width(), size.height()};
}

GlobalHandle RenderCaptionMask(std::string_view text, const CaptionFont& font,
                               unsigned layoutFlags) {
  if (text.empty() || !FontEngineReady()) return nullptr;
  const QString string = QString::fromUtf8(text.data(), qsizetype(text.size()));
  const int flags = ToQtFlags(layoutFlags);

  // Lay the text out at twice the size, a quarter of a "W" wider so that
  // overhanging glyphs are not clipped.
  QFont doubled = ToQFont(DoubledFont(font));
  doubled.setStyleStrategy(QFont::NoAntialias);
  const QSize doubledSize = Measure(doubled, flags, string);
  const int width2 = doubledSize.width() + Measure(doubled, flags, QStringLiteral("W")).width() / 4;
  const int height2 = doubledSize.height();
  if (width2 <= 0 || height2 <= 0) return nullptr;
  if (std::int64_t(width2) * height2 > kMaxPicturePixels) return nullptr;

  // White text on black, without anti-aliasing: a two-level mask.
  QImage canvas(width2, height2, QImage::Format_Grayscale8);
  if (canvas.isNull()) return nullptr;
  canvas.fill(0);
  {
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(doubled);
    painter.setPen(QColor(255, 255, 255));
    painter.drawText(QRect(0, 0, width2, height2), flags, string);
  }
  PackedImage mask2(CreatePackedImage(width2, height2, 0, 1));
  {
    ImageLock target(mask2.get());
    if (!target) return nullptr;
    for (int y = 0; y < height2; ++y) {
      // Packed rows are stored bottom-up.
      const uchar* from = canvas.constScanLine(height2 - 1 - y);
      std::uint8_t* to = target.row(y);
      for (int x = 0; x < width2; ++x)
        to[x] = from[x] >= 128 ? 255 : 0;
    }
  }

  // Reduce to the extent of the text at its own size: the filter turns the
  // two levels into smooth edges.
  const QSize size = Measure(ToQFont(font), flags, string);
  if (size.width() <= 0 || size.height() <= 0) return nullptr;
  return ResampleMitchell(mask2.get(), size.width(), size.height());
}

CaptionOrigin PlaceCaption(int position, int montageWidth, int montageHeight, int maskWidth,
                           int maskHeight, int border) {
  const int band = std::max(border, maskHeight);
  CaptionOrigin origin;
  origin.x = std::max(0, (montageWidth - maskWidth) / 2);
  switch (position) {
    case kCaptionTopInside:
      origin.y = std::max(0, montageHeight - maskHeight - border);
      break;
    case kCaptionBottomInside:
      origin.y = border;
      break;
    case kCaptionTopOutside:  // centred in the band above the area
      origin.y = std::max(0, montageHeight - band + (band - maskHeight) / 2);
      break;
    default:  // kCaptionBottomOutside: centred in the band below the area
      origin.y = (band - maskHeight) / 2;
      break;
  }
  return origin;
}

bool BlendCaptionMask(GlobalHandle montage, GlobalHandle mask, CaptionOrigin origin,
                      ColourWord colour) {
  ImageLock target(montage);
  ImageLock coverage(mask);
  if (!target || target.bitCount() != 24 || !coverage ||
      (coverage.bitCount() != 8 && coverage.bitCount() != 24)) {
    return false;
  }
  const int step = coverage.bitCount() / 8;
  // Pixel channel order: blue, green, red.
  const int ink[3] = {BlueOf(colour), GreenOf(colour), RedOf(colour)};
  for (int r = 0; r < coverage.height(); ++r) {
    const std::int64_t y = std::int64_t(origin.y) + r;
    if (y >= target.height()) break;
    if (y < 0) continue;
    const std::uint8_t* from = coverage.row(r);
    std::uint8_t* to = target.row(int(y));
    for (int c = 0; c < coverage.width(); ++c) {
      const std::int64_t x = std::int64_t(origin.x) + c;
      if (x >= target.width()) break;
      if (x < 0) continue;
      const int a = from[c * step];
      // Uncovered pixels keep their colour: the shift would darken them by
      // one step, leaving a visible box round the text.
      if (a == 0) continue;
      std::uint8_t* pixel = to + 3 * x;
      for (int k = 0; k < 3; ++k)
        pixel[k] = std::uint8_t(((255 - a) * pixel[k] + a * ink[k]) >> 8);
    }
  }
  return true;
}

bool DrawCaption(GlobalHandle montage, int position, std::string_view text, const CaptionFont& font,
                 ColourWord colour, int borderWidth) {
  if (text.empty() || position < kCaptionTopInside || position > kCaptionBottomOutside) {
    return false;
  }
  if (GetImageBitCount(montage) != 24) return false;
  PackedImage mask(RenderCaptionMask(text, font));
  ImageLock maskLock(mask.get());
  if (!maskLock) return false;
  ImageLock montageLock(montage);
  if (!montageLock) return false;
  const CaptionOrigin origin = PlaceCaption(position, montageLock.width(), montageLock.height(),
                                            maskLock.width(), maskLock.height(), borderWidth);
  return BlendCaptionMask(montage, mask.get(), origin, colour);
}

QColor QColorOf(ColourWord colour) {
  return QColor(int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF));
}

ColourWord ColourWordOf(const QColor& colour) {
  return ColourWord(colour.red()) | ColourWord(colour.green()) << 8 |
         ColourWord(colour.blue()) << 16;
}

}  // namespace tx
