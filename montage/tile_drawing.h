#pragma once
// Drawing one tile into the montage: the montage's geometry, the colour
// shift towards a cell's mean colour, the grid lines, the copy into place
// (with the half-tile shift of staggered rows) and the plain tile.

#include <optional>

#include "image/image_lock.h"
#include "montage/caption.h"
#include "montage/montage_types.h"

namespace tx {

/// Where the tiles go in the montage. All sizes in output pixels.
///
/// The montage image is montageWidth() x montageHeight(); the montage area
/// (the tiles) is areaWidth x areaHeight, its left edge `border` pixels from
/// the left of the image and its bottom edge `areaOffset` rows above the
/// bottom of the image (rows are stored bottom-up).
struct MontageLayout {
  int areaWidth = 0;   // W = cols x tileWidth
  int areaHeight = 0;  // H = rows x tileHeight
  int tileWidth = 0;   // cell width x scale
  int tileHeight = 0;  // cell height x scale
  int border = 0;
  /// Rows below the area, or above it for an outside caption at the top:
  /// the larger of the border and the outside caption's height.
  int band = 0;
  /// Rows between the bottom of the image and the bottom of the area.
  int areaOffset = 0;
  int cols = 0;
  int rows = 0;
  bool staggered = false;
  int cellWidth = 0;  // analysis pixels of a cell
  int cellHeight = 0;
  int scale = 0;  // output pixels per analysis pixel

  int montageWidth() const { return areaWidth + 2 * border; }
  int montageHeight() const { return areaHeight + border + band; }
};

/// The layout of a montage of cols x rows cells with the run's cell size,
/// scale, border and staggered flag. `captionHeight` is the caption's
/// measured height (0 for no caption); it widens the band only for the
/// outside positions (2 and 3). For position 2 the band lies above the area
/// and the border below it. Empty when a size is not positive or the
/// montage would not fit in a packed image's 32-bit sizes.
std::optional<MontageLayout> ComputeMontageLayout(const RunParameters& params, int cols, int rows,
                                                  int captionPosition, int captionHeight);

/// A new 24-bit picture with every channel of every pixel moved by the
/// difference between the cell's mean colour and the tile's mean colour
/// (colour words), clamped to 0..255; padding stays zero. Null when `tile`
/// is not a 24-bit image or memory is exhausted. The tile is not changed.
GlobalHandle ShiftTileColour(GlobalHandle tile, ColourWord cellMean, ColourWord tileMean);

/// Blackens 2-pixel-wide grid lines in a 24-bit tile of cell (column, row),
/// row 0 at the bottom of a cols x rows grid: the bottom two rows always;
/// the top two rows in the top grid row; the left two columns of every
/// other row; and the right two columns of those rows in the last column,
/// except on odd rows of the staggered layout (whose last tile wraps round).
/// Other depths are left alone.
void DrawGridLines(GlobalHandle tile, int column, int row, int cols, int rows, bool staggered);

/// Copies a 24-bit tile into the locked 24-bit montage with its bottom-left
/// corner at (x, y) of the area (output pixels, y counted from the bottom).
/// On odd grid rows of the staggered layout the tile lands half a tile to
/// the left, and the first tile of such a row wraps round the area: its
/// left half ends at the area's right edge. Pixels beyond the area (or the
/// image) are dropped. False, and nothing copied, for another depth.
bool CopyTileIntoMontage(GlobalHandle tile, int x, int y, const ImageLock& montage,
                         const MontageLayout& layout);

/// A width x height 24-bit picture of one colour, or null.
GlobalHandle MakePlainTile(ColourWord colour, int width, int height);

}  // namespace tx
