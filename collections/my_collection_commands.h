#pragma once
// The commands of the My Collection screen, as operations over its list, so
// the screen and the command-line tool share them: Add (albums become My
// Collections to build), Build and Delete. Also building a My Collection
// straight from a folder of photos.

#include <filesystem>
#include <string>
#include <vector>

#include "collections/photo_build.h"

namespace tx {

class AlbumList;
class CollectionRegistry;

/// Build marks of list items: not ticked, ticked (Delete removes it), to be
/// built at the next Build.
inline constexpr int kMarkNone = 0;
inline constexpr int kMarkTicked = 1;
inline constexpr int kMarkBuild = 2;

/// One item of a collection list; item i shows registry entry i.
struct CollectionListItem {
  std::string name;
  int mark = kMarkNone;
  bool ticked = false;
};

/// The items of the list of `kind`, one per registry entry, unmarked.
std::vector<CollectionListItem> MakeCollectionList(CollectionRegistry& registry, int kind);

/// Hears of a Build command: which collection is being built, then the
/// progress of its photos (BuildObserver).
class CollectionBuildObserver : public BuildObserver {
 public:
  virtual void OnCollectionStarted(int index, const std::string& title) {
    (void)index, (void)title;
  }
  virtual void OnCollectionFinished(int index, const BuildOutcome& outcome) {
    (void)index, (void)outcome;
  }
};

/// Add: for each selected album (indexes into `albums`, in album order) the
/// My Collection of its title gets build mark 2, registered with status 0
/// when new.
void AddAlbumsToMyCollections(CollectionRegistry& registry, AlbumList& albums,
                              std::vector<CollectionListItem>& list,
                              const std::vector<int>& selectedAlbums);

struct BuildCommandOutcome {
  int built = 0;
  /// Marked collections that ended without an index (no tile, or a problem).
  int failed = 0;
  bool cancelled = false;
  /// Titles of marked collections without an album of the same title.
  std::vector<std::string> withoutAlbum;
};

/// Build: builds every My Collection marked 2, in registry order, from the
/// album of the same title; a built one gets the album's name, its tile
/// folder, status 1 and mark 0. A cancel stops the command (the collection
/// being built loses its index, the marks stay). The registry is saved in
/// every case.
BuildCommandOutcome BuildMyCollections(CollectionRegistry& registry, AlbumList& albums,
                                       std::vector<CollectionListItem>& list,
                                       const BuildOptions& options,
                                       CollectionBuildObserver* observer);

/// Removes every item of the list of `kind` marked 1 (ticked) with its
/// collection, from the last to the first.
void DeleteTickedCollections(CollectionRegistry& registry, int kind,
                             std::vector<CollectionListItem>& list);

/// Delete: DeleteTickedCollections over the My Collections.
void DeleteMyCollections(CollectionRegistry& registry, std::vector<CollectionListItem>& list);

/// A title for a collection made from `name`: characters that cannot be in
/// a file name become '_', and " 2", " 3", ... make it unique among the My
/// Collections and their index files.
std::string UniqueCollectionTitle(CollectionRegistry& registry, int kind, std::string_view name);

struct FolderBuildOutcome {
  std::string title;
  BuildOutcome build;
};

/// Builds a My Collection from every picture under `folder` (sub-folders
/// too when `recursive`), in the order of their sorted paths. The title is
/// `title` when given (an existing collection of that title is rebuilt),
/// else the folder's name made unique. Once built, the entry is registered
/// (or updated) with status 1 and the registry saved; a build that fails
/// changes no entry.
FolderBuildOutcome BuildFromFolder(CollectionRegistry& registry,
                                   const std::filesystem::path& folder, const std::string& title,
                                   bool recursive, const BuildOptions& options,
                                   BuildObserver* observer);

}  // namespace tx
