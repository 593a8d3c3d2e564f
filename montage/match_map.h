#pragma once
// Pictures of a match report: the match map (one block per cell coloured by
// how well its tile matches, on the viridis scale, with a legend strip) and
// the gap swatches (the colours the collections lack, labelled).

#include <cstdint>

#include <QtGui/QColor>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "image/image_lock.h"
#include "montage/match_report.h"

namespace tx {

enum class MatchMapScale {
  Cell,  // a block of the cell's analysis size (8 x 6 or 6 x 8) per cell
  Full,  // the montage's own size, each block where its tile lies
};

/// The viridis colour at `t` (0 dark blue-violet to 1 yellow; clamped).
QColor ViridisColour(double t);

/// The whole scale from left to right across `bar`.
void DrawViridisBar(QPainter& painter, const QRect& bar);

/// Where `distance` lies on the map's scale: the square root of its share
/// of `top` (the root of a sum of squares reads like a colour difference),
/// 0 to 1.
double MatchScalePosition(std::int64_t distance, std::int64_t top);

/// The cells alone, cellWidth x cellHeight pixels each, staggered rows
/// shifted as in the montage; a cell without a tile is dark grey. RGB888,
/// null for an empty report.
QImage DrawMatchCells(const MatchReport& report);

/// The match map with its legend strip below: the cells at `scale`, and
/// the scale from 0 to the largest distance with the median and the 95th
/// percentile marked. Null for an empty report or when the text cannot be
/// drawn.
QImage DrawMatchMap(const MatchReport& report, MatchMapScale scale);

/// The gap swatches: one labelled block per gap ("#RRGGBB", its share of
/// the cells, the nearest tile's distance), or a line saying there is none.
/// Null when the text cannot be drawn.
QImage DrawGapSwatches(const MatchReport& report);

/// A 24-bit packed picture of `image`, for the engine's savers. Null for a
/// null image or when memory runs out.
PackedImage PackedImageOf(const QImage& image);

}  // namespace tx
