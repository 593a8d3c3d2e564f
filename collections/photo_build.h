#pragma once
// Building a tile collection from photos: every photo that can be read
// becomes one tile, numbered in photo order.
//
// Photos are decoded and resampled by worker threads (one full-size photo
// per worker in memory at a time) while the calling thread commits the
// tiles strictly in photo order, so tile numbers, pictures and records are
// exactly those of a build done one photo after another. The cancel flag is
// polled once per photo, as the interface polls Escape.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "collections/tile_maker.h"

namespace tx {

class AlbumList;
class CollectionRegistry;
class StagedTileFolder;
class TileSetIndexWriter;

struct BuildOptions {
  TileGeometry geometry;
  /// Extension of the tile pictures (".txd" or ".jpg").
  std::string pictureExtension = ".txd";
  /// Stamped into the index header (CDSerialNo).
  std::uint32_t pictureFileFlag = 0;
  /// Decode photos at full size instead of the smallest DCT-scaled size that
  /// is twice the largest tile picture; gives the pixels of a build done
  /// entirely at full size.
  bool exactDecode = false;
  /// Worker threads; 0 picks the number of cores.
  int threads = 0;

  /// From the start-up switches (grid, resolutions, DefaultName,
  /// CDSerialNo, ExactDecode).
  static BuildOptions FromSettings();
};

/// Hears of a build's progress, on the thread that runs the build.
class BuildObserver {
 public:
  virtual ~BuildObserver() = default;
  /// After each photo, in photo order: photos handled, the total, and the
  /// medium tile picture when the photo made a tile (else null).
  virtual void OnPhoto(int done, int total, const PackedImage* tile) {
    (void)done, (void)total, (void)tile;
  }
  /// A photo that could not be read, and why; it takes no tile number.
  virtual void OnSkipped(const std::string& path, const std::string& reason) {
    (void)path, (void)reason;
  }
};

struct BuildOutcome {
  bool built = false;  // the index was written
  bool cancelled = false;
  int tiles = 0;
  int skipped = 0;
  int failedSaves = 0;  // tile pictures that could not be written
  /// Why a build that was not cancelled made no collection; empty when it
  /// simply made no tile.
  std::string problem;
};

/// Builds collection `title` of `kind` (My Collection or video collection)
/// from `photos`: tile pictures in a staging folder, then its index, then
/// the pictures take the tile folder's place. A cancelled build or one
/// without a tile leaves no index (an old one is removed). A build that
/// fails to start, cannot write a tile picture (it stops there) or cannot
/// write its index leaves the old collection as it was, index and pictures;
/// so does a build killed at any moment.
BuildOutcome BuildCollectionFromPhotos(CollectionRegistry& registry, int kind,
                                       std::string_view title,
                                       const std::vector<std::string>& photos,
                                       const BuildOptions& options, BuildObserver* observer);

/// Ends a build whose pictures went to `pictures`: writes the index and
/// moves the pictures in, or for a cancel or an empty build removes the
/// index; a build with pictures that could not be written changes nothing.
/// True when the collection was built.
bool FinishBuild(TileSetIndexWriter& writer, StagedTileFolder& pictures, bool cancelled,
                 int failedSaves);

/// Builds the current target collection `title` from the pictures of the
/// album file `albumFile`, as listed by the album library. Fails (not
/// built) when the album cannot be listed or is empty.
BuildOutcome BuildFromAlbum(CollectionRegistry& registry, AlbumList& albums,
                            const std::filesystem::path& albumFile, std::string_view title,
                            const BuildOptions& options, BuildObserver* observer);

/// Every picture file under `folder` (and its sub-folders when
/// `recursive`), sorted by path; symbolic links to folders are not followed.
std::vector<std::string> ListPictureFiles(const std::filesystem::path& folder, bool recursive);

}  // namespace tx
