#include "montage/tile_drawing.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tx {

namespace {

constexpr int kGridLineWidth = 2;

// The largest side or area a montage may have: what a packed image's 32-bit
// header and block can describe.
constexpr std::int64_t kMaxMontageSide = std::numeric_limits<std::int32_t>::max() / 4;

void BlackenPixels(std::uint8_t* row, int from, int to) {
  if (to > from) std::memset(row + 3 * from, 0, std::size_t(to - from) * 3);
}

}  // namespace

std::optional<MontageLayout> ComputeMontageLayout(const RunParameters& params, int cols, int rows,
                                                  int captionPosition, int captionHeight) {
  if (cols < 1 || rows < 1 || params.cellWidth < 1 || params.cellHeight < 1 || params.scale < 1 ||
      params.borderWidth < 0 || captionHeight < 0) {
    return std::nullopt;
  }
  const std::int64_t tileWidth = std::int64_t(params.cellWidth) * params.scale;
  const std::int64_t tileHeight = std::int64_t(params.cellHeight) * params.scale;
  const std::int64_t areaWidth = tileWidth * cols;
  const std::int64_t areaHeight = tileHeight * rows;
  const bool outside =
      captionPosition == kCaptionTopOutside || captionPosition == kCaptionBottomOutside;
  const std::int64_t band = std::max<std::int64_t>(params.borderWidth, outside ? captionHeight : 0);
  const std::int64_t width = areaWidth + 2 * std::int64_t(params.borderWidth);
  const std::int64_t height = areaHeight + params.borderWidth + band;
  if (width > kMaxMontageSide || height > kMaxMontageSide) return std::nullopt;

  MontageLayout layout;
  layout.areaWidth = int(areaWidth);
  layout.areaHeight = int(areaHeight);
  layout.tileWidth = int(tileWidth);
  layout.tileHeight = int(tileHeight);
  layout.border = params.borderWidth;
  layout.band = int(band);
  // An outside caption at the top puts the band above the area, so only the
  // border lies below it.
  layout.areaOffset = captionPosition == kCaptionTopOutside ? params.borderWidth : int(band);
  layout.cols = cols;
  layout.rows = rows;
  layout.staggered = params.staggered;
  layout.cellWidth = params.cellWidth;
  layout.cellHeight = params.cellHeight;
  layout.scale = params.scale;
  return layout;
}

GlobalHandle ShiftTileColour(GlobalHandle tile, ColourWord cellMean, ColourWord tileMean) {
  ImageLock source(tile);
  if (!source || source.bitCount() != 24) return nullptr;
  // The copy keeps the header (and anything before the rows) byte for byte.
  PackedImage result(GlobalAlloc(GlobalSize(tile)));
  if (!result) return nullptr;
  if (void* raw = GlobalLock(result.get())) {
    std::memcpy(raw, &source.header(), source.imageBytes());
    GlobalUnlock(result.get());
  } else {
    return nullptr;
  }

  ImageLock shifted(result.get());
  if (!shifted) return nullptr;
  // Channel order in a pixel is blue, green, red.
  const int delta[3] = {int(BlueOf(cellMean)) - int(BlueOf(tileMean)),
                        int(GreenOf(cellMean)) - int(GreenOf(tileMean)),
                        int(RedOf(cellMean)) - int(RedOf(tileMean))};
  const int width = shifted.width();
  for (int y = 0; y < shifted.height(); ++y) {
    std::uint8_t* pixel = shifted.row(y);
    for (int x = 0; x < width; ++x, pixel += 3) {
      for (int c = 0; c < 3; ++c)
        pixel[c] = std::uint8_t(std::clamp(pixel[c] + delta[c], 0, 255));
    }
    std::memset(pixel, 0, shifted.stride() - std::size_t(width) * 3);
  }
  return result.release();
}

void DrawGridLines(GlobalHandle tile, int column, int row, int cols, int rows, bool staggered) {
  ImageLock image(tile);
  if (!image || image.bitCount() != 24) return;
  const int width = image.width();
  const int height = image.height();
  const int line = std::min(kGridLineWidth, width);
  const bool topRow = row == rows - 1;
  const bool rightEdge = column == cols - 1 && !(staggered && row % 2 == 1);
  const int bottomEnd = std::min(kGridLineWidth, height);
  const int topStart = topRow ? std::max(bottomEnd, height - kGridLineWidth) : height;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* pixels = image.row(y);
    if (y < bottomEnd || y >= topStart) {
      BlackenPixels(pixels, 0, width);
      continue;
    }
    BlackenPixels(pixels, 0, line);
    if (rightEdge) BlackenPixels(pixels, std::max(line, width - kGridLineWidth), width);
  }
}

bool CopyTileIntoMontage(GlobalHandle tile, int x, int y, const ImageLock& montage,
                         const MontageLayout& layout) {
  ImageLock source(tile);
  if (!source || source.bitCount() != 24 || !montage || montage.bitCount() != 24) return false;
  if (x < 0 || y < 0 || layout.tileWidth < 1 || layout.tileHeight < 1) return false;
  const int W = layout.areaWidth;
  const int H = layout.areaHeight;
  const int halfTile = layout.tileWidth / 2;
  const bool shifted = layout.staggered && (y / layout.tileHeight) % 2 == 1;
  const bool wraps = shifted && x / layout.tileWidth == 0;

  // Destination column of tile pixel p, or -1 when it lies outside the image.
  auto destinationColumn = [&](int p) -> std::int64_t {
    std::int64_t column;
    if (!shifted) {
      column = std::int64_t(layout.border) + x + p;
    } else if (!wraps) {
      column = std::int64_t(layout.border) + x + p - halfTile;
    } else if (p >= halfTile) {
      column = std::int64_t(layout.border) + p - halfTile;
    } else {
      column = std::int64_t(layout.border) + W - halfTile + p;
    }
    return column >= 0 && column < montage.width() ? column : -1;
  };

  for (int r = 0; r < source.height() && std::int64_t(y) + r < H; ++r) {
    const std::int64_t destinationRow = std::int64_t(layout.areaOffset) + y + r;
    if (destinationRow < 0 || destinationRow >= montage.height()) continue;
    const std::uint8_t* from = source.row(r);
    std::uint8_t* to = montage.row(int(destinationRow));
    for (int p = 0; p < source.width() && std::int64_t(x) + p < W; ++p) {
      const std::int64_t column = destinationColumn(p);
      if (column >= 0) std::memcpy(to + 3 * column, from + 3 * p, 3);
    }
  }
  return true;
}

GlobalHandle MakePlainTile(ColourWord colour, int width, int height) {
  return CreatePackedImage(width, height, colour, 0);
}

}  // namespace tx
