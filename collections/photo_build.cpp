#include "collections/photo_build.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "albums/album_list.h"
#include "collections/collection_registry.h"
#include "collections/photo_loading.h"
#include "collections/staged_tile_folder.h"
#include "config/startup_settings.h"
#include "platform/cancel_flag.h"

namespace tx {
namespace {

constexpr int kMaxThreads = 8;
// Photos prepared ahead of the one being committed, per worker.
constexpr std::size_t kAheadPerWorker = 2;

struct PhotoResult {
  bool ready = false;
  bool prepared = false;
  PreparedTile tile;
  std::string reason;
};

// Runs PrepareTile over the photos on worker threads and hands the results
// over in photo order. Never more than `window` photos are prepared ahead
// of the consumer, so memory stays bounded however long the list.
class PhotoPipeline {
 public:
  PhotoPipeline(const std::vector<std::string>& photos, const BuildOptions& options)
      : m_photos(photos), m_options(options), m_results(photos.size()) {
    int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, kMaxThreads);
    m_window = kAheadPerWorker * std::size_t(threads);
    const TileGeometry& g = options.geometry;
    // Twice the largest tile picture each way keeps the resampling filter
    // well fed after the crop.
    m_minWidth = options.exactDecode ? 0 : 2 * g.largestResolution() * g.columns;
    m_minHeight = options.exactDecode ? 0 : 2 * g.largestResolution() * g.rows;
    for (int i = 0; i < threads; ++i)
      m_workers.emplace_back([this] { Work(); });
  }

  ~PhotoPipeline() { Stop(); }

  /// Waits for photo k (taken in order from 0) and takes its result.
  PhotoResult Take(std::size_t k) {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return m_results[k].ready; });
    PhotoResult result = std::move(m_results[k]);
    m_results[k] = PhotoResult{};
    m_taken = k + 1;
    m_space.notify_all();
    return result;
  }

  void Stop() {
    {
      std::lock_guard lock(m_mutex);
      m_stop = true;
    }
    m_space.notify_all();
    for (std::thread& worker : m_workers) {
      if (worker.joinable()) worker.join();
    }
  }

 private:
  void Work() {
    for (;;) {
      std::size_t k;
      {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock, [&] {
          return m_stop || m_next >= m_photos.size() || m_next < m_taken + m_window;
        });
        if (m_stop || m_next >= m_photos.size()) return;
        k = m_next++;
      }
      PhotoResult result;
      GlobalHandle picture = LoadPictureFile(m_photos[k], m_minWidth, m_minHeight, &result.reason);
      if (picture) {
        result.prepared = PrepareTile(picture, m_options.geometry, result.tile);
        if (!result.prepared) result.reason = "the picture could not be turned into a tile";
      }
      {
        std::lock_guard lock(m_mutex);
        result.ready = true;
        m_results[k] = std::move(result);
      }
      m_done.notify_all();
    }
  }

  const std::vector<std::string>& m_photos;
  const BuildOptions& m_options;
  std::vector<PhotoResult> m_results;
  std::vector<std::thread> m_workers;
  std::mutex m_mutex;
  std::condition_variable m_done;
  std::condition_variable m_space;
  std::size_t m_next = 0;
  std::size_t m_taken = 0;
  std::size_t m_window = 2;
  int m_minWidth = 0;
  int m_minHeight = 0;
  bool m_stop = false;
};

}  // namespace

bool FinishBuild(TileSetIndexWriter& writer, StagedTileFolder& pictures, bool cancelled,
                 int failedSaves) {
  // A writer that could not grow has already given up its index.
  if (!writer.isOpen()) return false;
  if (failedSaves > 0 && !cancelled) {
    // Tiles without pictures must not replace a collection that was whole.
    writer.Discard();
    return false;
  }
  // The pictures learn which index they belong to before it replaces the
  // old one, so a build killed between the two steps can be finished.
  auto mark = [&](std::span<const std::uint8_t> index) { return pictures.MarkFinished(index); };
  if (!writer.EndTileSetIndex(cancelled, mark)) return false;
  // The new index is in place; its pictures follow at once.
  return pictures.Commit();
}

BuildOptions BuildOptions::FromSettings() {
  const StartupSettings& s = Settings();
  BuildOptions options;
  options.geometry = TileGeometry::FromSettings();
  options.pictureExtension = NewTilePictureExtension();
  options.pictureFileFlag = std::uint32_t(s.cdSerialNo);
  options.exactDecode = s.exactDecode != 0;
  return options;
}

BuildOutcome BuildCollectionFromPhotos(CollectionRegistry& registry, int kind,
                                       std::string_view title,
                                       const std::vector<std::string>& photos,
                                       const BuildOptions& options, BuildObserver* observer) {
  BuildOutcome outcome;
  std::filesystem::path tileFolder = registry.TileFolder(kind, title);
  std::filesystem::path indexFolder = registry.IndexFolder(kind);
  if (tileFolder.empty() || indexFolder.empty()) return outcome;
  const std::filesystem::path indexFile = indexFolder / (std::string(title) + kIndexExtension);
  TileSetIndexWriter writer;
  StagedTileFolder pictures(tileFolder, indexFile);
  if (!pictures.Begin()) {
    outcome.problem = "the folder " + pictures.staging().string() + " cannot be made";
    return outcome;
  }
  if (!writer.BeginTileSetIndex(indexFile, options.pictureFileFlag)) {
    outcome.problem = "the index " + indexFile.string() + " cannot be written";
    return outcome;
  }
  TileCommitter committer(writer, pictures.staging(), options.geometry, options.pictureExtension);
  PhotoPipeline pipeline(photos, options);
  const int total = int(photos.size());
  for (std::size_t k = 0; k < photos.size(); ++k) {
    PhotoResult result = pipeline.Take(k);
    if (PollCancel()) {
      outcome.cancelled = true;
      break;
    }
    if (!result.prepared) {
      ++outcome.skipped;
      if (observer) observer->OnSkipped(photos[k], result.reason);
      if (observer) observer->OnPhoto(int(k) + 1, total, nullptr);
      continue;
    }
    // An index that cannot grow ends the build without an index.
    if (!committer.CommitTile(result.tile)) break;
    if (observer) observer->OnPhoto(int(k) + 1, total, &result.tile.medium);
    // A picture that cannot be written (a full disc) ends the build.
    if (committer.failedSaves() > 0) break;
  }
  pipeline.Stop();
  outcome.tiles = int(writer.tileCounter());
  outcome.failedSaves = committer.failedSaves();
  outcome.built = FinishBuild(writer, pictures, outcome.cancelled, outcome.failedSaves);
  if (outcome.failedSaves > 0) {
    outcome.problem = "tile pictures could not be written in " + tileFolder.parent_path().string() +
                      " (is the disc full?)";
  } else if (!outcome.built && !outcome.cancelled && outcome.tiles > 0) {
    outcome.problem = "the index " + indexFile.string() + " could not be written";
  }
  return outcome;
}

BuildOutcome BuildFromAlbum(CollectionRegistry& registry, AlbumList& albums,
                            const std::filesystem::path& albumFile, std::string_view title,
                            const BuildOptions& options, BuildObserver* observer) {
  std::vector<std::string> photos;
  if (!albums.GetAlbumPictures(albumFile, photos) || photos.empty()) return {};
  return BuildCollectionFromPhotos(registry, kMyCollection, title, photos, options, observer);
}

std::vector<std::string> ListPictureFiles(const std::filesystem::path& folder, bool recursive) {
  std::vector<std::string> files;
  std::error_code ec;
  auto consider = [&](const std::filesystem::directory_entry& entry) {
    std::error_code entryError;
    if (entry.is_regular_file(entryError) && IsBuildPicture(entry.path())) {
      files.push_back(entry.path().string());
    }
  };
  if (recursive) {
    for (std::filesystem::recursive_directory_iterator
             it(folder, std::filesystem::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
      consider(*it);
    }
  } else {
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
      consider(*it);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace tx
