#include "montage/match_map.h"

#include <QtCore/QString>
#include <QtGui/QFont>
#include <QtGui/QFontMetrics>
#include <QtGui/QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "image/packed_image.h"
#include "montage/caption.h"

namespace tx {
namespace {

const QColor kEmptyCell(0x40, 0x40, 0x40);
const QColor kFrame(0x20, 0x20, 0x20);
const QColor kPaper(0x1C, 0x1B, 0x22);
const QColor kInk(0xF2, 0xF2, 0xF5);
const QColor kQuietInk(0xB4, 0xB4, 0xBE);

constexpr int kLegendHeight = 56;
constexpr int kLegendMinWidth = 360;
// A wide map gets a legend enlarged by one step per this many pixels, so
// that it stays readable beside a full-size montage.
constexpr int kLegendWidthPerStep = 720;
constexpr int kLegendMargin = 12;
constexpr int kLegendBarHeight = 14;
constexpr int kTextPixels = 12;

constexpr int kSwatchWidth = 150;
constexpr int kSwatchHeight = 84;
constexpr int kSwatchLabelHeight = 54;
constexpr int kSwatchGap = 12;
constexpr int kSwatchColumns = 4;
constexpr int kTitleHeight = 36;

QFont LabelFont(bool bold = false) {
  QFont font;
  font.setPixelSize(kTextPixels);
  font.setBold(bold);
  return font;
}

// Fills the cells of `report` into `image`, the cell area at `area` with
// blocks of blockWidth x blockHeight pixels; odd rows counted from the
// bottom of a staggered layout are shifted left by half a block, their
// first block split across both edges as the montage's tiles are.
void FillCells(QImage& image, const MatchReport& report, QPoint area, int blockWidth,
               int blockHeight) {
  QPainter painter(&image);
  const int areaWidth = report.cols * blockWidth;
  const int half = blockWidth / 2;
  const std::int64_t top = std::max<std::int64_t>(report.largest, 1);
  for (int row = 0; row < report.rows; ++row) {
    const bool shifted = report.geometry.staggered && (report.rows - 1 - row) % 2 == 1;
    for (int col = 0; col < report.cols; ++col) {
      const std::int64_t distance = report.distances[std::size_t(row) * report.cols + col];
      const QColor colour =
          distance < 0 ? kEmptyCell : ViridisColour(MatchScalePosition(distance, top));
      const int y = area.y() + row * blockHeight;
      const int x = area.x() + col * blockWidth;
      if (!shifted) {
        painter.fillRect(x, y, blockWidth, blockHeight, colour);
      } else if (col > 0) {
        painter.fillRect(x - half, y, blockWidth, blockHeight, colour);
      } else {
        painter.fillRect(area.x(), y, blockWidth - half, blockHeight, colour);
        painter.fillRect(area.x() + areaWidth - half, y, half, blockHeight, colour);
      }
    }
  }
}

// The legend strip: the scale as a bar from 0 to the largest distance,
// ticks and numbers at the median and the 95th percentile.
void DrawLegend(QPainter& painter, const MatchReport& report, QRect strip) {
  painter.fillRect(strip, kPaper);
  const std::int64_t top = std::max<std::int64_t>(report.largest, 1);
  const QRect bar(strip.left() + kLegendMargin, strip.top() + 8, strip.width() - 2 * kLegendMargin,
                  kLegendBarHeight);
  DrawViridisBar(painter, bar);
  painter.setFont(LabelFont());
  const QFontMetrics metrics(painter.font());
  const int textTop = bar.bottom() + 5;
  auto xOf = [&](std::int64_t distance) {
    return bar.left() + int(std::lround(MatchScalePosition(distance, top) * (bar.width() - 1)));
  };
  auto label = [&](std::int64_t distance, const QString& text, Qt::Alignment align) {
    const int x = xOf(distance);
    painter.fillRect(x, bar.top() - 3, 1, bar.height() + 6, kInk);
    const int width = metrics.horizontalAdvance(text);
    int left = align == Qt::AlignLeft ? x : align == Qt::AlignRight ? x - width : x - width / 2;
    left = std::clamp(left, strip.left() + 2, strip.right() - width - 2);
    painter.drawText(QRect(left, textTop, width + 1, metrics.height()), Qt::AlignLeft, text);
  };
  painter.setPen(kQuietInk);
  label(0, QStringLiteral("0 exact"), Qt::AlignLeft);
  label(report.largest, QStringLiteral("%1 worst").arg(report.largest), Qt::AlignRight);
  painter.setPen(kInk);
  label(report.median, QStringLiteral("median %1").arg(report.median), Qt::AlignHCenter);
  // The 95th percentile's number goes on a second line so that it never
  // covers the median's.
  const int x95 = xOf(report.p95);
  painter.fillRect(x95, bar.top() - 3, 1, bar.height() + 6, kInk);
  const QString p95 = QStringLiteral("95 % below %1").arg(report.p95);
  const int width = metrics.horizontalAdvance(p95);
  const int left = std::clamp(x95 - width / 2, strip.left() + 2, strip.right() - width - 2);
  painter.drawText(QRect(left, textTop + metrics.height(), width + 1, metrics.height()),
                   Qt::AlignLeft, p95);
}

}  // namespace

QColor ViridisColour(double t) {
  // A polynomial fit of the viridis map, close to its table everywhere.
  static constexpr std::array<std::array<double, 3>, 7> kCoefficients{{
      {0.2777273272234177, 0.005407344544966578, 0.3340998053353061},
      {0.1050930431085774, 1.404613529898575, 1.384590162594685},
      {-0.3308618287255563, 0.214847559468213, 0.09509516302823659},
      {-4.634230498983486, -5.799100973351585, -19.33244095627987},
      {6.228269936347081, 14.17993336680509, 56.69055260068105},
      {4.776384997670288, -13.74514537774601, -65.35303263337234},
      {-5.435455855934631, 4.645852612178535, 26.3124352495832},
  }};
  if (!(t >= 0)) t = 0;  // also NaN
  t = std::min(t, 1.0);
  std::array<int, 3> channel{};
  for (int c = 0; c < 3; ++c) {
    double value = kCoefficients[6][c];
    for (int k = 5; k >= 0; --k)
      value = value * t + kCoefficients[std::size_t(k)][c];
    channel[std::size_t(c)] = int(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
  }
  return QColor(channel[0], channel[1], channel[2]);
}

void DrawViridisBar(QPainter& painter, const QRect& bar) {
  for (int x = 0; x < bar.width(); ++x) {
    painter.fillRect(bar.left() + x, bar.top(), 1, bar.height(),
                     ViridisColour(bar.width() > 1 ? double(x) / (bar.width() - 1) : 0.0));
  }
}

double MatchScalePosition(std::int64_t distance, std::int64_t top) {
  if (distance <= 0 || top <= 0) return 0.0;
  return std::min(1.0, std::sqrt(double(distance) / double(top)));
}

QImage DrawMatchCells(const MatchReport& report) {
  const MatchGeometry& g = report.geometry;
  if (report.empty() || g.cellWidth < 1 || g.cellHeight < 1) return {};
  QImage image(report.cols * g.cellWidth, report.rows * g.cellHeight, QImage::Format_RGB888);
  if (image.isNull()) return {};
  image.fill(kEmptyCell);
  FillCells(image, report, QPoint(0, 0), g.cellWidth, g.cellHeight);
  return image;
}

QImage DrawMatchMap(const MatchReport& report, MatchMapScale scale) {
  const MatchGeometry& g = report.geometry;
  if (report.empty() || !FontEngineReady()) return {};
  QImage cells;
  QPoint at(0, 0);
  QSize mapSize;
  if (scale == MatchMapScale::Full && g.montageWidth > 0 && g.montageHeight > 0 &&
      report.cols > 0 && report.rows > 0) {
    mapSize = QSize(g.montageWidth, g.montageHeight);
  } else {
    cells = DrawMatchCells(report);
    if (cells.isNull()) return {};
    mapSize = cells.size();
  }
  const int width = std::max(mapSize.width(), kLegendMinWidth);
  const int factor = std::max(1, width / kLegendWidthPerStep);
  QImage image(width, mapSize.height() + factor * kLegendHeight, QImage::Format_RGB888);
  if (image.isNull()) return {};
  image.fill(kFrame);
  if (cells.isNull()) {
    // The montage's frame (border, caption band) stays dark; each block is
    // as large as a tile.
    FillCells(image, report, QPoint(g.areaLeft, g.areaTop), g.areaWidth / report.cols,
              g.areaHeight / report.rows);
  } else {
    QPainter painter(&image);
    painter.drawImage(at, cells);
  }
  QPainter painter(&image);
  painter.translate(0, mapSize.height());
  painter.scale(factor, factor);
  DrawLegend(painter, report, QRect(0, 0, width / factor, kLegendHeight));
  return image;
}

QImage DrawGapSwatches(const MatchReport& report) {
  if (!FontEngineReady()) return {};
  const int count = int(report.gaps.size());
  const int columns = std::clamp(count, 1, kSwatchColumns);
  const int rows = count == 0 ? 0 : (count + kSwatchColumns - 1) / kSwatchColumns;
  const int width = kSwatchGap + columns * (kSwatchWidth + kSwatchGap);
  const int height =
      kTitleHeight + std::max(rows, 1) * (kSwatchHeight + kSwatchLabelHeight) + kSwatchGap;
  QImage image(std::max(width, kLegendMinWidth), height, QImage::Format_RGB888);
  if (image.isNull()) return {};
  image.fill(kPaper);
  QPainter painter(&image);
  painter.setPen(kInk);
  painter.setFont(LabelFont(true));
  painter.drawText(QRect(kSwatchGap, 0, image.width() - 2 * kSwatchGap, kTitleHeight),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   count == 0 ? QStringLiteral("No colour gaps: every cell colour has close tiles.")
                              : QStringLiteral("Cell colours your collections lack"));
  painter.setFont(LabelFont());
  for (int i = 0; i < count; ++i) {
    const ColourGap& gap = report.gaps[std::size_t(i)];
    const int x = kSwatchGap + (i % kSwatchColumns) * (kSwatchWidth + kSwatchGap);
    const int y = kTitleHeight + (i / kSwatchColumns) * (kSwatchHeight + kSwatchLabelHeight);
    painter.fillRect(x, y, kSwatchWidth, kSwatchHeight, QColorOf(gap.meanColour));
    painter.setPen(kQuietInk);
    painter.drawRect(x, y, kSwatchWidth - 1, kSwatchHeight - 1);
    const QString lines = QStringLiteral("#%1\n%2 % of cells\nnearest tile %3")
                              .arg(QString::fromStdString(ColourHex(gap.meanColour)))
                              .arg(gap.share * 100.0, 0, 'f', 1)
                              .arg(gap.nearest);
    painter.setPen(kInk);
    painter.drawText(QRect(x, y + kSwatchHeight + 4, kSwatchWidth, kSwatchLabelHeight - 4),
                     Qt::AlignLeft | Qt::AlignTop, lines);
  }
  return image;
}

PackedImage PackedImageOf(const QImage& image) {
  if (image.isNull()) return {};
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  PackedImage packed(CreatePackedImage(rgb.width(), rgb.height(), 0, 0));
  {
    ImageLock lock(packed.get());
    if (!lock) return {};
    for (int y = 0; y < rgb.height(); ++y) {
      const std::uint8_t* from = rgb.constScanLine(y);
      std::uint8_t* to = lock.topDownRow(y);
      for (int x = 0; x < rgb.width(); ++x) {
        to[3 * x] = from[3 * x + 2];  // blue, green, red in a packed picture
        to[3 * x + 1] = from[3 * x + 1];
        to[3 * x + 2] = from[3 * x];
      }
    }
  }
  return packed;
}

}  // namespace tx
