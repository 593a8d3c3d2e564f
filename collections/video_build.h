#pragma once
// Building video collections: frames sampled from a video source at a fixed
// interval become tiles, through the same tile making as photos. Also the
// video screen's Add (sources into the collection list), Build and Delete.

#include <string>
#include <string_view>

#include "collections/photo_build.h"
#include "collections/video_sources.h"

namespace tx {

class CollectionRegistry;

/// Counts of one video build, as it goes.
struct VideoBuildProgress {
  int frames = 0;       // frames the reader delivered
  int tiles = 0;        // frames that became tiles
  int flatSkipped = 0;  // frames skipped as flat
  int unreadable = 0;   // frames that could not be made into a tile
};

/// Hears of a Build command, on the thread that runs it.
class VideoBuildObserver {
 public:
  virtual ~VideoBuildObserver() = default;
  virtual void OnCollectionStarted(int index, const std::string& title, int intervalMs) {
    (void)index, (void)title, (void)intervalMs;
  }
  /// After each delivered frame; `tile` is its medium tile picture when it
  /// became one.
  virtual void OnFrame(const VideoBuildProgress& progress, const PackedImage* tile) {
    (void)progress, (void)tile;
  }
  virtual void OnCollectionFinished(int index, const std::string& title, int result,
                                    const VideoBuildProgress& progress) {
    (void)index, (void)title, (void)result, (void)progress;
  }
};

/// What one video build is given besides its path.
struct VideoBuildSettings {
  BuildOptions options;
  bool skipFlatFrames = true;
  /// The list item of the collection being built; blinks once per frame.
  CollectionListItem* item = nullptr;
  VideoBuildObserver* observer = nullptr;
};

/// Builds video collection `title` from the video at `path`, one frame per
/// `intervalMs`: the tile pictures in its tile folder, then its index. The
/// reader's result when the video was read and the index written, else 0 (a
/// video that cannot be read, or whose every frame was flat, leaves no
/// index). Escape (the cancel flag) stops the reading after the current
/// frame; `cancelled` then reports it.
int BuildFromVideo(CollectionRegistry& registry, std::string_view title, const std::string& path,
                   int intervalMs, const VideoBuildSettings& settings,
                   VideoBuildProgress* progress = nullptr, bool* cancelled = nullptr);

/// The interval a video of `framesPerSecond` is sampled at: the chosen one,
/// or one frame's length (truncated) when that is longer.
int EffectiveFrameInterval(int intervalMs, int framesPerSecond);

/// Flips the screen's skip-flat-frames switch; returns its new state.
bool ToggleSkipFlatFrames(VideoScreen& screen);

/// Add: each selected video source (indexes into the source list), in
/// registry order, gets a video collection of its key: an existing one is
/// marked for building, a new one is appended to the list and the registry
/// (status 1). "mov" sources are skipped with message 3091 while QuickTime
/// is not available.
void AddSourcesToVideoCollections(CollectionRegistry& registry, VideoScreen& screen,
                                  std::vector<int> selectedSources);

struct VideoBuildCommandOutcome {
  int built = 0;          // collections whose index was written
  int failed = 0;         // collections whose video gave no index
  int withoutSource = 0;  // marked collections without a video source
  bool cancelled = false;
};

/// Build: every video collection marked for building, in registry order,
/// from the video source of its title, at the frame interval given (raised
/// to one frame's length of the video). The marks are cleared as each is
/// done; a cancel stops after the collection being built. The registry is
/// saved in every case.
VideoBuildCommandOutcome BuildVideoCollections(CollectionRegistry& registry, VideoScreen& screen,
                                               int intervalMs, const BuildOptions& options,
                                               VideoBuildObserver* observer);

/// Delete: removes every video collection marked 1 (ticked) with its tiles
/// and index, from the last to the first.
void DeleteVideoCollections(CollectionRegistry& registry, VideoScreen& screen);

}  // namespace tx
