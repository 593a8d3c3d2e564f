#pragma once
// The analysis image: the target picture reduced so that it holds about as
// many cells as the run's cell count.

#include "platform/global_memory.h"

namespace tx {

struct AnalysisSize {
  int width = 0;
  int height = 0;
};

/// The target's size reduced by sqrt(cellWidth x cellHeight x cellCount /
/// (width x height)) when that ratio is below 1 (each side truncated); a
/// target already small enough keeps its size. A cellCount below 1 counts
/// as 1.
AnalysisSize ReducedTargetSize(int width, int height, int cellCount, int cellWidth, int cellHeight);

/// A new 24-bit image of (cols x cellWidth) x (rows x cellHeight) pixels, the
/// target scaled to the grid of the reduced size (cols and rows at least 1).
/// Targets of 1, 4, 8 or 16 bits are expanded to 24 bits first. The caller
/// owns the result; null when the target cannot be read or memory runs out.
GlobalHandle MakeAnalysisImage(GlobalHandle target, int cellCount, int cellWidth, int cellHeight);

}  // namespace tx
