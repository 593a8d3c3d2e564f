#pragma once
// Rendering the filled cell table into the montage: every cell's tile
// picture (or a special picture, or a plain tile when the picture is
// missing), colour-shifted, outlined and copied into place.

#include "montage/montage_types.h"
#include "montage/signature_treasure.h"
#include "montage/tile_drawing.h"
#include "platform/notices.h"

namespace tx {

class CollectionRegistry;

/// "No thumbnails were found in the selected collections."
inline constexpr unsigned kStrNoThumbnailsFound = 9912;

/// The extensions of tile pictures: ".jpg" for collections whose index sets
/// the picture-file flag (disc collections), ".txd" for the others.
inline constexpr char kDiscPictureExtension[] = ".jpg";
inline constexpr char kTilePictureExtension[] = ".txd";

struct RenderOptions {
  /// Decode tile pictures on a second thread ahead of the drawing. The
  /// result is the same either way; only the time differs.
  bool prefetch = true;
  /// How many cells ahead of the one being drawn may be decoded; at most
  /// lookAhead + 1 tile pictures are held at a time.
  int lookAhead = 4;
};

/// Draws every cell of `cells` that holds a tile into `montage` (24-bit,
/// layout.montageWidth() x layout.montageHeight()), in table order.
///
/// A cell's picture is, by the first rule that applies: the treasure picture
/// of U for `treasureCell` when params.treasure is on; the signature picture
/// of U for the bottom-right cell when params.signature is on; else the
/// tile's picture from its collection at resolution params.scale. A special
/// picture that cannot be read falls back to the tile picture. A tile picture
/// that cannot be read gives a plain tile of the cell's mean colour and,
/// once the run ends uncancelled, notice 9912 (once). For a disc collection
/// (picture-file flag set) a failed read first asks for the disc on this
/// thread (owned by `owner`): OK tries the cell again, Cancel draws it plain
/// and stops the asking until a disc picture is read. Pictures that are not
/// 24-bit or not of tile size are converted and scaled. Colour variation
/// (params.colourAllowed) shifts each picture towards the cell's mean; the
/// grid flag outlines it. `observer` hears of each drawn tile.
///
/// The cancel flag is polled before each cell; a cancel stops the run and
/// returns false (no notice; the caller frees the montage). False also when
/// `montage` is not a 24-bit image or the layout has no tiles, or when
/// memory runs out for the reading ahead. True otherwise, also when
/// pictures were missing. Cells whose tile index is negative or
/// beyond the tile tables stay black.
bool RenderCells(GlobalHandle montage, const TileView& tiles, const CellTable& cells,
                 const MontageLayout& layout, const RunParameters& params,
                 CollectionRegistry& registry, CellPosition treasureCell, MontageObserver* observer,
                 NoticeOwner owner, const RenderOptions& options = {});

}  // namespace tx
