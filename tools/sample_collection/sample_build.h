#pragma once
// Building the sample collection: tile pictures and an index, straight into
// the program folder, from photos given as files.
//
// Every photo gives a tile of the whole picture; a large photo also gives a
// tile of each of its four quadrants and of its centre, so a few hundred
// photos make a collection of about a thousand tiles. Photos are prepared on
// worker threads and committed in photo order, so the same photos always
// give the same files.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "collections/tile_maker.h"

namespace tx::sample {

/// How much larger than the largest tile picture, each way, a part of a
/// photo must be to become a tile of its own: enough to keep the resampling
/// filter well fed after the crop to the grid's aspect.
inline constexpr int kPartScale = 2;

/// The parts of a width x height picture that become tiles, in tile order and
/// in top-down coordinates: the whole picture, then, when a quarter of the
/// picture cropped to the grid's aspect still measures kPartScale times the
/// largest tile picture each way, its top-left, top-right, bottom-left and
/// bottom-right quadrants and the half-size rectangle about its centre.
std::vector<ImageRect> TileSources(int width, int height, const TileGeometry& geometry);

struct SampleOptions {
  TileGeometry geometry;
  /// Disc collections' tile pictures carry ".jpg" and their index a nonzero
  /// picture-file flag.
  std::string pictureExtension = ".jpg";
  std::uint32_t pictureFileFlag = 1;
  /// Worker threads; 0 picks the number of cores (at most 8).
  int threads = 0;
};

struct SampleOutcome {
  bool built = false;  // the index was written
  int photosUsed = 0;  // photos that gave at least one tile
  int tiles = 0;
  int failedSaves = 0;  // tile pictures that could not be written
};

/// Called with the position of a photo that gave no tile and the reason.
using UnreadablePhoto = std::function<void(std::size_t position, const std::string& reason)>;

/// Builds the collection from `photos` (read in order): tile pictures under
/// `tileFolder` (Res<r>/<n/1000>/<n%1000><extension>), then the index
/// `indexFile`, written in one piece at the end. No index is left when no
/// tile was made or the index could not grow.
SampleOutcome BuildSampleCollection(const std::vector<std::filesystem::path>& photos,
                                    const std::filesystem::path& indexFile,
                                    const std::filesystem::path& tileFolder,
                                    const SampleOptions& options,
                                    const UnreadablePhoto& onUnreadable);

}  // namespace tx::sample
