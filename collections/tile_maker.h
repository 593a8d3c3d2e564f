#pragma once
// Making tiles: one photo becomes two tile pictures (small and medium
// resolution) and one tile record with its colour statistics.
//
// The work is split in two so that builds can use every core: PrepareTile
// crops and resamples a photo (pure work on pictures, any thread), and
// TileCommitter::CommitTile numbers the tile, writes its pictures and its
// record (one thread, in photo order). MakeTile does both for one picture.

#include <cstdint>
#include <filesystem>
#include <string>

#include "collections/tile_set_index.h"
#include "image/image_lock.h"
#include "image/image_utils.h"

namespace tx {

class CollectionRegistry;

/// The shape of the tiles of a build: the montage's cell grid (8 x 6, or
/// 6 x 8 for portrait montages) and the two tile resolutions.
struct TileGeometry {
  int columns = 8;
  int rows = 6;
  int smallResolution = 10;
  int mediumResolution = 15;

  /// From the start-up switches: Orientation and DefaultResolutionS/M
  /// (resolutions kept within 10 to 99, so folder names have two digits).
  static TileGeometry FromSettings();
  int largestResolution() const;
};

/// What PrepareTile makes of a photo.
struct PreparedTile {
  PackedImage small;
  PackedImage medium;
  TileStatistics statistics;
};

/// Crops `picture` (taken over and freed) about its centre to the grid's
/// aspect and resamples it to both tile resolutions and to the statistics
/// image (columns x 10 by rows x 10), whose 10 x 10 blocks give the cell
/// colours. A picture that is not 24-bit is converted first. False when a
/// step fails (the photo then makes no tile).
bool PrepareTile(GlobalHandle picture, const TileGeometry& geometry, PreparedTile& tile);

/// The crop PrepareTile makes of a width x height picture: rows counted from
/// the bottom, integer halves.
ImageRect TileCrop(int width, int height, const TileGeometry& geometry);

/// The cell colours and mean colour of a 24-bit statistics image of
/// (columns x 10) by (rows x 10) pixels: each 10 x 10 block's channel sums
/// divided by 100, cells in the order of the image's memory rows.
TileStatistics ComputeTileStatistics(const ImageLock& statistics, const TileGeometry& geometry);

/// Set when saving a special picture failed; tile pictures are then no
/// longer written (their records still are). Process-wide, never cleared.
void SetWriteFailure();
bool WriteFailure();

/// Writes the tiles of one build in order: tile number, pictures, record.
class TileCommitter {
 public:
  /// Tiles go into `tileFolder` (Res<r>/<n/1000>/<n%1000><extension>) and
  /// records into `writer`, which must be open.
  TileCommitter(TileSetIndexWriter& writer, std::filesystem::path tileFolder,
                const TileGeometry& geometry, std::string pictureExtension);

  /// Commits one tile under the writer's tile counter and advances it. A
  /// picture that cannot be saved is left out silently (its record stays).
  /// False when the index could not grow: the build must stop.
  bool CommitTile(const PreparedTile& tile);

  /// Tile pictures that could not be written so far.
  int failedSaves() const { return m_failedSaves; }

 private:
  bool MakeThousandsFolders(std::uint32_t number);

  TileSetIndexWriter& m_writer;
  std::filesystem::path m_tileFolder;
  TileGeometry m_geometry;
  std::string m_extension;
  int m_failedSaves = 0;
};

/// The extension of new tile pictures: ".jpg" when DefaultName is set,
/// else ".txd" (both are JPEG files).
std::string NewTilePictureExtension();

/// Makes one tile of the build `committer` belongs to from `picture` (taken
/// over and freed). A null picture makes no tile.
void MakeTile(GlobalHandle picture, const TileGeometry& geometry, TileCommitter& committer);

}  // namespace tx
