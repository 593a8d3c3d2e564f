#include "collections/video_sources.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <system_error>

#include "albums/album_string_ids.h"
#include "collections/collection_registry.h"
#include "resources/messages.h"
#include "resources/string_ids.h"
#include "video/video_api.h"

namespace tx {
namespace {

constexpr unsigned kStrQuickTimeNeeded = 3091;
constexpr unsigned kStrUnknownFileFormat = 2356;
constexpr unsigned kStrFileLabel = 2322;
constexpr unsigned kStrFileExists = 9918;

std::atomic<bool> g_quickTime{true};

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string ExtensionOf(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  if (!extension.empty()) extension.erase(0, 1);
  return extension;
}

// The number that ends `title` ("Video12" gives 12), 0 when none; saturates
// instead of overflowing on absurdly long digit runs.
std::uint64_t TrailingNumber(std::string_view title) {
  std::size_t start = title.size();
  while (start > 0 && std::isdigit(static_cast<unsigned char>(title[start - 1])))
    --start;
  constexpr std::uint64_t kCeiling = 1'000'000'000'000'000'000ull;
  std::uint64_t n = 0;
  for (std::size_t i = start; i < title.size(); ++i)
    n = std::min(kCeiling, n * 10 + std::uint64_t(title[i] - '0'));
  return n;
}

void ShowAlreadyRegistered(const std::string& registeredPath) {
  const std::string text = LoadText(kStrFileLabel) + registeredPath + LoadText(kStrFileExists);
  ShowWithCaptionId(nullptr, text, kStrWarning, kMbOk | kMbIconExclamation);
}

void ShowNotFound(const std::string& path) {
  ShowFormatted(nullptr, kStrFileNotFound, kStrProgramName, kMbOk | kMbIconExclamation, path);
}

// Checks one picked file and registers it.
VideoFileResult AddVideoFile(CollectionRegistry& registry, VideoScreen& screen,
                             const std::string& path) {
  if (path.size() >= kVideoPathLimit) {
    ShowNotFound(path);
    return VideoFileResult::PathTooLong;
  }
  const std::string extension = LowerCase(ExtensionOf(path));
  if (extension == "mov" && !QuickTimeAvailable()) {
    ShowMessage(kStrQuickTimeNeeded);
    return VideoFileResult::NeedsQuickTime;
  }
  if (!IsVideoExtension(extension)) {
    ShowMessage(kStrUnknownFileFormat);
    return VideoFileResult::UnknownType;
  }
  // A file that plays is a video we can read; the preview ends at once.
  if (!StartPlay(path.c_str())) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
      ShowNotFound(path);
      return VideoFileResult::NotFound;
    }
    ShowMessage(kStrUnknownFileFormat);
    return VideoFileResult::Unreadable;
  }
  EndPlay();
  if (screen.lastFolder.empty()) screen.lastFolder = std::filesystem::path(path).parent_path();

  const int added = AddVideoSource(registry, path);
  if (added == -2) return VideoFileResult::RegistryFull;
  if (added >= 0) {
    ShowAlreadyRegistered(registry.GetCollectionPath(kVideoSource, added));
    return VideoFileResult::AlreadyRegistered;
  }
  const int index = registry.GetCollectionCount(kVideoSource) - 1;
  screen.sources.push_back({registry.GetCollectionName(kVideoSource, index), kMarkNone, false});
  return VideoFileResult::Added;
}

}  // namespace

bool QuickTimeAvailable() {
  return g_quickTime.load();
}

bool IsMovFile(const std::string& path) {
  return LowerCase(ExtensionOf(path)) == "mov";
}

void SetQuickTimeAvailable(bool available) {
  g_quickTime.store(available);
}

bool IsVideoExtension(std::string_view extension) {
  static constexpr std::string_view kAccepted[] = {"avi", "mpg", "mpeg", "mov", "dat", "mp4",
                                                   "m4v", "mkv", "webm", "wmv", "3gp"};
  const std::string lower = LowerCase(extension);
  return std::find(std::begin(kAccepted), std::end(kAccepted), lower) != std::end(kAccepted);
}

std::string NextVideoKey(const CollectionRegistry& registry) {
  // The number ends the key's title: "Video6" for a source, "Video4" of
  // "Video4.TXS" for a collection. Only the key is read, never the name
  // after it, which may hold dots and digits of its own.
  std::uint64_t largest = 0;
  for (int kind : {kVideoSource, kVideoCollection}) {
    for (int i = 0; i < registry.GetCollectionCount(kind); ++i)
      largest = std::max(largest, TrailingNumber(TitleOfKey(registry.GetCollectionKey(kind, i))));
  }
  return kVideoKeyPrefix + std::to_string(largest + 1);
}

int AddVideoSource(CollectionRegistry& registry, const std::string& path) {
  for (int i = 0; i < registry.GetCollectionCount(kVideoSource); ++i) {
    if (registry.GetCollectionPath(kVideoSource, i) == path) return i;
  }
  const std::string name = std::filesystem::path(path).stem().string();
  if (!registry.AddCollection(kVideoSource, NextVideoKey(registry), name, path, 0)) return -2;
  return -1;
}

VideoScreen MakeVideoScreen(CollectionRegistry& registry) {
  VideoScreen screen;
  screen.sources = MakeCollectionList(registry, kVideoSource);
  screen.collections = MakeCollectionList(registry, kVideoCollection);
  return screen;
}

std::vector<VideoFileResult> AddVideoFiles(CollectionRegistry& registry, VideoScreen& screen,
                                           const std::vector<std::string>& paths) {
  if (screen.busy) {
    Notices()->Beep();
    return std::vector<VideoFileResult>(paths.size(), VideoFileResult::Busy);
  }
  screen.lastFolder.clear();
  std::vector<VideoFileResult> results;
  for (const std::string& path : paths)
    results.push_back(AddVideoFile(registry, screen, path));
  return results;
}

int DeleteVideoSources(CollectionRegistry& registry, VideoScreen& screen, std::vector<int> selected,
                       bool deleteFiles) {
  if (screen.busy) {
    Notices()->Beep();
    return 0;
  }
  std::sort(selected.begin(), selected.end());
  selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
  int removed = 0;
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    const int index = *it;
    if (index < 0 || index >= registry.GetCollectionCount(kVideoSource)) continue;
    if (deleteFiles) {
      const std::filesystem::path file = registry.GetCollectionPath(kVideoSource, index);
      std::error_code ec;
      // Only the video file itself: never a folder a hand-edited entry names.
      if (std::filesystem::is_regular_file(std::filesystem::symlink_status(file, ec))) {
        std::filesystem::remove(file, ec);
      }
    }
    if (std::size_t(index) < screen.sources.size()) {
      screen.sources.erase(screen.sources.begin() + index);
    }
    registry.DeleteCollection(kVideoSource, index);
    ++removed;
  }
  return removed;
}

}  // namespace tx
