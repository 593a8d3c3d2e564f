#include "montage/render_cells.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "collections/collection_registry.h"
#include "collections/disc_prompt.h"
#include "image/image_utils.h"
#include "platform/cancel_flag.h"
#include "rastio/rastio.h"
#include "resources/messages.h"

namespace tx {

namespace {

// Tile pictures and special pictures are JPEG files read at full size.
GlobalHandle ReadPicture(const std::string& path) {
  return EzLoadJpgFileThumbnail(path.c_str(), 0, 0);
}

// Reads the tile pictures of the next cells on a second thread while the
// renderer draws, so decoding overlaps drawing. Reads are queued and taken
// strictly in the order they were asked for; the thread only reads files,
// every decision (prompt, fallback) stays with the renderer. Without a
// thread (disabled, or one could not be started) TakeNext reads at once.
class TilePrefetcher {
 public:
  struct Result {
    std::string path;  // "" when the cell has no picture to read
    PackedImage picture;
  };

  explicit TilePrefetcher(bool enabled) {
    if (!enabled) return;
    try {
      m_worker = std::thread([this] { Run(); });
    } catch (...) {
      // No thread: the renderer reads each picture itself.
    }
  }

  ~TilePrefetcher() {
    {
      std::lock_guard lock(m_mutex);
      m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable()) m_worker.join();
  }

  TilePrefetcher(const TilePrefetcher&) = delete;
  TilePrefetcher& operator=(const TilePrefetcher&) = delete;

  /// Queues the read of `path` ("" for nothing to read).
  void Submit(std::string path) {
    {
      std::lock_guard lock(m_mutex);
      m_jobs.push_back(Job{std::move(path), PackedImage(), false});
    }
    m_wake.notify_all();
  }

  /// The oldest queued read, waiting for it; its picture is null when the
  /// read failed.
  Result TakeNext() {
    std::unique_lock lock(m_mutex);
    if (!m_worker.joinable()) {
      Job job = std::move(m_jobs.front());
      m_jobs.pop_front();
      lock.unlock();
      Result result{std::move(job.path), PackedImage()};
      if (!result.path.empty()) result.picture.reset(ReadPicture(result.path));
      return result;
    }
    m_done.wait(lock, [this] { return m_jobs.front().done; });
    Result result{std::move(m_jobs.front().path), std::move(m_jobs.front().picture)};
    m_jobs.pop_front();
    ++m_firstJob;
    return result;
  }

 private:
  struct Job {
    std::string path;
    PackedImage picture;
    bool done = false;
  };

  void Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
      m_wake.wait(lock, [this] { return m_stop || m_nextJob - m_firstJob < m_jobs.size(); });
      if (m_stop) return;
      const std::uint64_t number = m_nextJob++;
      const std::string path = m_jobs[number - m_firstJob].path;
      lock.unlock();
      PackedImage picture(path.empty() ? nullptr : ReadPicture(path));
      lock.lock();
      // The job is still queued: the renderer takes only finished jobs.
      Job& job = m_jobs[number - m_firstJob];
      job.picture = std::move(picture);
      job.done = true;
      m_done.notify_all();
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_wake;  // a job was queued, or stop
  std::condition_variable m_done;  // a job was finished
  std::deque<Job> m_jobs;          // queued and finished jobs, oldest first
  std::uint64_t m_firstJob = 0;    // number of m_jobs.front()
  std::uint64_t m_nextJob = 0;     // number of the next job to read
  bool m_stop = false;
  std::thread m_worker;
};

// A picture that can be copied into a cell: 24 bits and tile-sized. A
// conversion or scaling that fails leaves the picture as it was (a picture
// of another depth then leaves the cell black).
PackedImage FitToTile(PackedImage picture, int tileWidth, int tileHeight) {
  if (!picture) return picture;
  if (GetImageBitCount(picture.get()) != 24) {
    if (PackedImage converted(ConvertToTrueColour(picture.get())); converted) {
      picture = std::move(converted);
    }
  }
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  if (GetImageSize(picture.get(), width, height) && (width != tileWidth || height != tileHeight)) {
    if (PackedImage scaled(ScaleImage(picture.get(), tileWidth, tileHeight)); scaled) {
      picture = std::move(scaled);
    }
  }
  return picture;
}

// A special picture scaled to the tile, or null when it cannot be read or scaled.
PackedImage ReadSpecialTile(const std::filesystem::path& userDir, SpecialPicture which,
                            int tileWidth, int tileHeight) {
  PackedImage picture(LoadSpecialPicture(userDir, which));
  if (!picture) return picture;
  PackedImage scaled(ScaleImage(picture.get(), tileWidth, tileHeight));
  if (!scaled) return scaled;
  return FitToTile(std::move(scaled), tileWidth, tileHeight);
}

// The path of the picture of tile `tileIndex` at resolution `scale`, with
// its extension; "" when the collection store cannot form one.
std::string TilePicturePathOf(const TileView& tiles, std::uint32_t tileIndex, int scale,
                              CollectionRegistry& registry) {
  const int kind = tiles.Get16(tileIndex, kEntryKind);
  const int index = tiles.Get16(tileIndex, kEntryIndex);
  std::filesystem::path path =
      registry.TilePicturePath(kind, index, tiles.fileNumber(tileIndex), scale);
  if (path.empty()) return {};
  const bool discPictures = tiles.Get32(tileIndex, kEntryPictureFileFlag) != 0;
  return path.string() + (discPictures ? kDiscPictureExtension : kTilePictureExtension);
}

bool HoldsTile(const CellRecord& cell, const TileView& tiles) {
  return cell.tileIndex >= 0 && std::uint32_t(cell.tileIndex) < tiles.count();
}

bool RenderAllCells(GlobalHandle montage, const TileView& tiles, const CellTable& cells,
                    const MontageLayout& layout, const RunParameters& params,
                    CollectionRegistry& registry, CellPosition treasureCell,
                    MontageObserver* observer, NoticeOwner owner, const RenderOptions& options) {
  ImageLock target(montage);
  if (!target || target.bitCount() != 24 || layout.tileWidth < 1 || layout.tileHeight < 1 ||
      layout.cellWidth < 1 || layout.cellHeight < 1) {
    return false;
  }
  const int tw = layout.tileWidth;
  const int th = layout.tileHeight;
  const int gridCols = layout.areaWidth / tw;
  const int gridRows = layout.areaHeight / th;
  const std::filesystem::path& userDir = registry.userDir();

  TilePrefetcher prefetcher(options.prefetch);
  const std::size_t cellCount = cells.cells.size();
  const std::size_t lookAhead = std::size_t(std::max(0, options.lookAhead));
  std::size_t submitted = 0;

  bool missing = false;
  // Cleared when the user cancels a disc prompt; set again by a disc
  // picture that reads.
  bool mayAskForDisc = true;

  for (std::size_t i = 0; i < cellCount; ++i) {
    // Keep the reads of the next few cells queued, in drawing order.
    for (; submitted < cellCount && submitted <= i + lookAhead; ++submitted) {
      const CellRecord& ahead = cells.cells[submitted];
      prefetcher.Submit(
          HoldsTile(ahead, tiles)
              ? TilePicturePathOf(tiles, std::uint32_t(ahead.tileIndex), layout.scale, registry)
              : std::string());
    }
    TilePrefetcher::Result prefetched = prefetcher.TakeNext();
    bool firstAttempt = true;

    const CellRecord& cell = cells.cells[i];
    const int column = cell.left / layout.cellWidth;
    const int row = cell.firstRow / layout.cellHeight;
    PackedImage picture;
    for (;;) {
      if (PollCancel()) return false;
      if (!HoldsTile(cell, tiles)) break;
      const std::uint32_t tileIndex = std::uint32_t(cell.tileIndex);

      if (params.treasure && column == treasureCell.x && row == treasureCell.y) {
        picture = ReadSpecialTile(userDir, SpecialPicture::Treasure, tw, th);
        if (picture) break;
      }
      if (params.signature && row == 0 && column == gridCols - 1) {
        picture = ReadSpecialTile(userDir, SpecialPicture::Signature, tw, th);
        if (picture) break;
      }

      const std::string& path = prefetched.path;
      if (path.empty()) {
        picture.reset(MakePlainTile(cell.meanColour, tw, th));
        missing = true;
        break;
      }
      const bool discPictures = tiles.Get32(tileIndex, kEntryPictureFileFlag) != 0;
      if (firstAttempt) {
        picture = std::move(prefetched.picture);
        // The read ahead may have failed before the user inserted the disc.
        if (!picture && discPictures) picture.reset(ReadPicture(path));
      } else {
        picture.reset(ReadPicture(path));
      }
      firstAttempt = false;

      if (picture) {
        if (discPictures) mayAskForDisc = true;
        picture = FitToTile(std::move(picture), tw, th);
        break;
      }
      // Only a disc collection's pictures can come back with a disc.
      const int kind = tiles.Get16(tileIndex, kEntryKind);
      if (discPictures && kind == kDiscCollection && mayAskForDisc) {
        const int index = tiles.Get16(tileIndex, kEntryIndex);
        if (AskForCollectionDisc(owner, path, registry, index) == kIdOk) continue;
        mayAskForDisc = false;
      }
      picture.reset(MakePlainTile(cell.meanColour, tw, th));
      missing = true;
      break;
    }
    if (!picture) continue;

    if (params.colourAllowed) {
      PackedImage shifted(ShiftTileColour(picture.get(), cell.meanColour,
                                          tiles.recordMeanColour(std::uint32_t(cell.tileIndex))));
      if (shifted) picture = std::move(shifted);
    }
    if (params.grid)
      DrawGridLines(picture.get(), column, row, gridCols, gridRows, layout.staggered);
    CopyTileIntoMontage(picture.get(), cell.left * layout.scale, cell.firstRow * layout.scale,
                        target, layout);
    if (observer) {
      observer->ShowRenderedTile(cell, layout.areaWidth, layout.areaHeight, picture.get(),
                                 layout.staggered);
    }
  }

  if (missing) ShowMessageFor(owner, kStrNoThumbnailsFound);
  return true;
}

}  // namespace

bool RenderCells(GlobalHandle montage, const TileView& tiles, const CellTable& cells,
                 const MontageLayout& layout, const RunParameters& params,
                 CollectionRegistry& registry, CellPosition treasureCell, MontageObserver* observer,
                 NoticeOwner owner, const RenderOptions& options) {
  try {
    return RenderAllCells(montage, tiles, cells, layout, params, registry, treasureCell, observer,
                          owner, options);
  } catch (...) {
    // Out of memory for the queue of reads: the run ends without a montage.
    return false;
  }
}

}  // namespace tx
