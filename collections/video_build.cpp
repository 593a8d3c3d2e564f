#include "collections/video_build.h"

#include <algorithm>
#include <cmath>

#include "collections/collection_registry.h"
#include "collections/staged_tile_folder.h"
#include "collections/tile_set_index.h"
#include "collections/video_frames.h"
#include "image/image_utils.h"
#include "platform/cancel_flag.h"
#include "resources/messages.h"
#include "video/video_api.h"

namespace tx {
namespace {

constexpr unsigned kStrQuickTimeNeeded = 3091;
constexpr int kReadSampled = 2;

// What the frame callback works with during one build.
struct FrameSink {
  TileCommitter& committer;
  const VideoBuildSettings& settings;
  VideoBuildProgress progress;
  bool cancelled = false;
  bool indexLost = false;
};

// One sampled frame from the reader, which hands it over.
void TakeFrame(void* frame, void* context) {
  FrameSink& sink = *static_cast<FrameSink*>(context);
  PackedImage picture(static_cast<GlobalHandle>(frame));
  VideoBuildProgress& progress = sink.progress;
  ++progress.frames;
  // The item being built blinks: on for even frames, off for odd ones.
  if (sink.settings.item) sink.settings.item->ticked = progress.frames % 2 == 0;

  PreparedTile tile;
  bool made = false;
  bool skip = false;
  if (sink.settings.skipFlatFrames && picture && GetImageBitCount(picture.get()) != 24) {
    picture.reset(ConvertToTrueColour(picture.get()));
  }
  if (sink.settings.skipFlatFrames && IsFlatFrame(picture.get())) {
    ++progress.flatSkipped;
    skip = true;
  }
  if (!skip && !sink.indexLost) {
    if (!PrepareTile(picture.get(), sink.settings.options.geometry, tile)) {
      ++progress.unreadable;
    } else if (sink.committer.CommitTile(tile)) {
      ++progress.tiles;
      made = true;
      // A picture that cannot be written (a full disc) ends the reading.
      if (sink.committer.failedSaves() > 0) BreakTran();
    } else {
      // The index could not grow and is gone: nothing more can be kept.
      sink.indexLost = true;
      BreakTran();
    }
  }
  if (sink.settings.observer)
    sink.settings.observer->OnFrame(progress, made ? &tile.medium : nullptr);
  if (PollCancel()) {
    sink.cancelled = true;
    BreakTran();
  }
}

// The video source whose key is `title`, or -1.
int FindVideoSource(const CollectionRegistry& registry, std::string_view title) {
  for (int i = 0; i < registry.GetCollectionCount(kVideoSource); ++i) {
    if (TitleOfKey(registry.GetCollectionKey(kVideoSource, i)) == title) return i;
  }
  return -1;
}

}  // namespace

int BuildFromVideo(CollectionRegistry& registry, std::string_view title, const std::string& path,
                   int intervalMs, const VideoBuildSettings& settings, VideoBuildProgress* progress,
                   bool* cancelled) {
  if (progress) *progress = {};
  if (cancelled) *cancelled = false;
  const std::filesystem::path tileFolder = registry.TileFolder(kVideoCollection, title);
  const std::filesystem::path indexFolder = registry.IndexFolder(kVideoCollection);
  if (tileFolder.empty() || indexFolder.empty()) return 0;
  const std::filesystem::path indexFile = indexFolder / (std::string(title) + kIndexExtension);
  TileSetIndexWriter writer;
  StagedTileFolder pictures(tileFolder, indexFile);
  if (!pictures.Begin() || !writer.BeginTileSetIndex(indexFile, settings.options.pictureFileFlag)) {
    return 0;
  }
  TileCommitter committer(writer, pictures.staging(), settings.options.geometry,
                          settings.options.pictureExtension);
  FrameSink sink{committer, settings, {}, false, false};
  InitProc(TakeFrame, &sink);
  std::uint32_t delivered = 0;
  const int result = ReadVideoImage(path.c_str(), kReadSampled, intervalMs, &delivered);
  InitProc(nullptr, nullptr);
  if (settings.item) settings.item->ticked = false;
  if (progress) *progress = sink.progress;
  if (cancelled) *cancelled = sink.cancelled;
  // A video that could not be read leaves no index; an empty one neither.
  const bool kept = FinishBuild(writer, pictures, result == 0, committer.failedSaves());
  return kept ? result : 0;
}

int EffectiveFrameInterval(int intervalMs, int framesPerSecond) {
  if (framesPerSecond <= 0) return intervalMs;
  const double frameLength = 1000.0 / framesPerSecond;
  return intervalMs < frameLength ? int(std::trunc(frameLength)) : intervalMs;
}

bool ToggleSkipFlatFrames(VideoScreen& screen) {
  screen.skipFlatFrames = !screen.skipFlatFrames;
  return screen.skipFlatFrames;
}

void AddSourcesToVideoCollections(CollectionRegistry& registry, VideoScreen& screen,
                                  std::vector<int> selectedSources) {
  std::sort(selectedSources.begin(), selectedSources.end());
  selectedSources.erase(std::unique(selectedSources.begin(), selectedSources.end()),
                        selectedSources.end());
  for (int source : selectedSources) {
    if (source < 0 || source >= registry.GetCollectionCount(kVideoSource)) continue;
    const std::string title = TitleOfKey(registry.GetCollectionKey(kVideoSource, source));
    if (!IsSafeTitle(title)) continue;
    const int index = registry.FindCollectionByTitle(kVideoCollection, title);
    if (index >= 0) {
      if (std::size_t(index) < screen.collections.size()) {
        screen.collections[std::size_t(index)].mark = kMarkBuild;
        screen.collections[std::size_t(index)].ticked = true;
      }
      continue;
    }
    if (IsMovFile(registry.GetCollectionPath(kVideoSource, source)) && !QuickTimeAvailable()) {
      ShowMessage(kStrQuickTimeNeeded);
      continue;
    }
    const std::string name = registry.GetCollectionName(kVideoSource, source);
    const std::string folder = registry.TileFolder(kVideoCollection, title).string();
    if (!registry.AddCollection(kVideoCollection, title + kIndexExtension, name, folder, 1)) {
      continue;
    }
    screen.collections.push_back({name, kMarkBuild, true});
  }
}

VideoBuildCommandOutcome BuildVideoCollections(CollectionRegistry& registry, VideoScreen& screen,
                                               int intervalMs, const BuildOptions& options,
                                               VideoBuildObserver* observer) {
  VideoBuildCommandOutcome outcome;
  ClearCancel();
  if (screen.busy) {
    EndPlay();
    screen.busy = false;
  }
  const int interval = std::max(kMinFrameInterval, intervalMs);
  for (int i = 0; i < registry.GetCollectionCount(kVideoCollection); ++i) {
    if (std::size_t(i) >= screen.collections.size()) break;
    CollectionListItem& item = screen.collections[std::size_t(i)];
    if (item.mark != kMarkBuild) continue;
    const std::string title = TitleOfKey(registry.GetCollectionKey(kVideoCollection, i));
    const int source = FindVideoSource(registry, title);
    if (source < 0) {
      ++outcome.withoutSource;
      continue;
    }
    const std::string path = registry.GetCollectionPath(kVideoSource, source);
    std::uint32_t framesPerSecond = 0;
    if (!GetVideoInfo(path.c_str(), &framesPerSecond, nullptr, nullptr)) framesPerSecond = 0;
    const int used = EffectiveFrameInterval(interval, int(framesPerSecond));
    if (observer) observer->OnCollectionStarted(i, title, used);

    VideoBuildSettings settings{options, screen.skipFlatFrames, &item, observer};
    VideoBuildProgress progress;
    bool cancelled = false;
    const int result = BuildFromVideo(registry, title, path, used, settings, &progress, &cancelled);
    result ? ++outcome.built : ++outcome.failed;
    item.mark = kMarkNone;
    if (observer) observer->OnCollectionFinished(i, title, result, progress);
    if (cancelled) {
      outcome.cancelled = true;
      break;
    }
  }
  registry.SaveCollections();
  return outcome;
}

void DeleteVideoCollections(CollectionRegistry& registry, VideoScreen& screen) {
  DeleteTickedCollections(registry, kVideoCollection, screen.collections);
}

}  // namespace tx
