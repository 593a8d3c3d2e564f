#include "tools/sample_collection/sample_build.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "collections/tile_set_index.h"
#include "rastio/rastio.h"

namespace tx::sample {
namespace {

constexpr int kMaxThreads = 8;
// Photos prepared per worker before the tiles of a batch are committed; a
// batch bounds the memory of full-size photos and their tiles.
constexpr std::size_t kPhotosPerWorker = 4;

struct PhotoTiles {
  std::vector<PreparedTile> tiles;
  std::string reason;  // why the photo gave no tile
};

// True when a quarter of the picture is large enough to make a tile.
bool GivesParts(int width, int height, const TileGeometry& g) {
  const ImageRect crop = TileCrop(width / 2, height / 2, g);
  return crop.width() >= kPartScale * g.largestResolution() * g.columns &&
         crop.height() >= kPartScale * g.largestResolution() * g.rows;
}

// Reads one photo at full size and prepares the tiles of its parts.
PhotoTiles PreparePhoto(const std::filesystem::path& file, const TileGeometry& geometry) {
  PhotoTiles result;
  PackedImage photo(EzOpenFile(file.c_str(), 0, 0));
  if (!photo) {
    result.reason = EzLastError();
    return result;
  }
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  GetImageSize(photo.get(), width, height);
  for (const ImageRect& part : TileSources(width, height, geometry)) {
    PreparedTile tile;
    // PrepareTile takes over and frees the picture it is given.
    if (PrepareTile(CropImageTopDown(photo.get(), part), geometry, tile)) {
      result.tiles.push_back(std::move(tile));
    }
  }
  if (result.tiles.empty()) result.reason = "the picture could not be turned into a tile";
  return result;
}

}  // namespace

std::vector<ImageRect> TileSources(int width, int height, const TileGeometry& geometry) {
  std::vector<ImageRect> parts;
  if (width < 1 || height < 1) return parts;
  parts.push_back({0, 0, width, height});
  if (!GivesParts(width, height, geometry)) return parts;
  const int halfWidth = width / 2;
  const int halfHeight = height / 2;
  parts.push_back({0, 0, halfWidth, halfHeight});
  parts.push_back({width - halfWidth, 0, width, halfHeight});
  parts.push_back({0, height - halfHeight, halfWidth, height});
  parts.push_back({width - halfWidth, height - halfHeight, width, height});
  const int left = (width - halfWidth) / 2;
  const int top = (height - halfHeight) / 2;
  parts.push_back({left, top, left + halfWidth, top + halfHeight});
  return parts;
}

SampleOutcome BuildSampleCollection(const std::vector<std::filesystem::path>& photos,
                                    const std::filesystem::path& indexFile,
                                    const std::filesystem::path& tileFolder,
                                    const SampleOptions& options,
                                    const UnreadablePhoto& onUnreadable) {
  SampleOutcome outcome;
  TileSetIndexWriter writer;
  if (!writer.BeginTileSetIndex(indexFile, options.pictureFileFlag)) return outcome;
  TileCommitter committer(writer, tileFolder, options.geometry, options.pictureExtension);

  int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
  threads = std::clamp(threads, 1, kMaxThreads);
  const std::size_t batch = kPhotosPerWorker * std::size_t(threads);
  bool indexLost = false;
  for (std::size_t first = 0; first < photos.size() && !indexLost; first += batch) {
    const std::size_t end = std::min(photos.size(), first + batch);
    std::vector<PhotoTiles> prepared(end - first);
    std::atomic<std::size_t> next{first};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([&] {
        for (std::size_t k = next++; k < end; k = next++) {
          prepared[k - first] = PreparePhoto(photos[k], options.geometry);
        }
      });
    }
    for (std::thread& worker : workers)
      worker.join();

    // Committed strictly in photo order, whatever order the workers finished in.
    for (std::size_t k = first; k < end && !indexLost; ++k) {
      PhotoTiles& result = prepared[k - first];
      if (result.tiles.empty()) {
        if (onUnreadable) onUnreadable(k, result.reason);
        continue;
      }
      ++outcome.photosUsed;
      for (const PreparedTile& tile : result.tiles) {
        // An index that cannot grow has given itself up: stop writing.
        if (!committer.CommitTile(tile)) {
          indexLost = true;
          break;
        }
      }
    }
  }
  outcome.tiles = int(writer.tileCounter());
  outcome.failedSaves = committer.failedSaves();
  outcome.built = !indexLost && writer.isOpen() && writer.EndTileSetIndex(false);
  return outcome;
}

}  // namespace tx::sample
