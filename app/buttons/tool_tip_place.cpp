#include <algorithm>

#include "app/buttons/button_group.h"

namespace tx {

namespace {
// The tip sits below and right of the pointer, clear of the cursor's picture.
constexpr int kTipOffsetX = 6;
constexpr int kTipOffsetY = 66;
// A tip pushed back from the parent's edge keeps this gap to it.
constexpr int kTipEdgeGap = 4;
}  // namespace

void PlaceToolTip(int x, int y, int w, int h, int parentW, int parentH, int& left, int& top) {
  left = x + kTipOffsetX;
  top = y + kTipOffsetY;
  left = std::min(left, parentW - kTipEdgeGap - w);
  top = std::min(top, parentH - kTipEdgeGap - h);
  left = std::max(left, 0);
  top = std::max(top, 0);
}

}  // namespace tx
