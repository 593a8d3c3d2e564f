#pragma once
// Video sources: video files registered in the collection registry (kind 3)
// to make video collections from, and the video screen's commands over
// their list: registering picked files, deleting sources.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "collections/my_collection_commands.h"

namespace tx {

class CollectionRegistry;

/// Paths this long or longer (bytes) are refused.
inline constexpr std::size_t kVideoPathLimit = 200;
inline constexpr char kVideoKeyPrefix[] = "Video";

/// Whether "mov" files can be read. Our reader reads them, so it is on; the
/// switch is there for a build whose reader cannot.
bool QuickTimeAvailable();
void SetQuickTimeAvailable(bool available);
/// Whether `path` names a "mov" file, in any case: "clip.MOV" needs
/// QuickTime as much as "clip.mov" does.
bool IsMovFile(const std::string& path);

/// True for the extensions of video files we take (compared lower-cased,
/// without the dot): avi, mpg, mpeg, mov, dat, and what cameras and phones
/// write today: mp4, m4v, mkv, webm, wmv, 3gp.
bool IsVideoExtension(std::string_view extension);

/// The key the next video source gets: "Video" and one more than the
/// largest number ending the key of any video source or video collection.
std::string NextVideoKey(const CollectionRegistry& registry);

/// Registers `path` as a video source (key NextVideoKey, name the file name
/// without folder and extension, status 0). -1 when added; the index of the
/// source that already has exactly this path; -2 when the registry refused
/// the entry (full, or a name it cannot store).
int AddVideoSource(CollectionRegistry& registry, const std::string& path);

/// The list and state of the video screen.
struct VideoScreen {
  /// One item per video source and per video collection, in registry order.
  std::vector<CollectionListItem> sources;
  std::vector<CollectionListItem> collections;
  /// Frames nearly of one colour make no tile while this is on.
  bool skipFlatFrames = true;
  /// A preview or capture runs: registering and deleting only beep.
  bool busy = false;
  /// The folder of the first file accepted by the last AddVideoFiles, where
  /// the next file dialog starts.
  std::filesystem::path lastFolder;
};

/// The screen over the registry's current entries.
VideoScreen MakeVideoScreen(CollectionRegistry& registry);

enum class VideoFileResult {
  Added,
  AlreadyRegistered,
  PathTooLong,
  NeedsQuickTime,
  UnknownType,
  NotFound,
  Unreadable,
  RegistryFull,
  Busy,
};

/// Registers each picked file as a video source, with the checks and
/// messages of the Add Video command: a path of 200 bytes or more (6465),
/// "mov" without QuickTime (3091), another extension (2356), a file that
/// does not play (6465 when missing, else 2356), a path registered already
/// (the warning box 2322 + path + 9918). Added sources are appended to
/// `screen.sources`. While the screen is busy nothing is done but a beep.
/// One result per file.
std::vector<VideoFileResult> AddVideoFiles(CollectionRegistry& registry, VideoScreen& screen,
                                           const std::vector<std::string>& paths);

/// Deletes the selected video sources (indexes into the list), from the last
/// to the first: the list item and the registry entry, and the video file
/// itself when `deleteFiles` (a regular file only; a failed deletion is
/// ignored). While the screen is busy nothing is done but a beep. Returns
/// the sources removed.
int DeleteVideoSources(CollectionRegistry& registry, VideoScreen& screen, std::vector<int> selected,
                       bool deleteFiles);

}  // namespace tx
