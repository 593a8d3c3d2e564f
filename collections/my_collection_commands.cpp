#include "collections/my_collection_commands.h"

#include "albums/album_list.h"
#include "collections/collection_registry.h"

namespace tx {
namespace {

// Forwards a build's progress and blinks the list item being built.
class BlinkingObserver : public BuildObserver {
 public:
  BlinkingObserver(CollectionListItem& item, CollectionBuildObserver* observer)
      : m_item(item), m_observer(observer) {}
  void OnPhoto(int done, int total, const PackedImage* tile) override {
    m_item.ticked = !m_item.ticked;
    if (m_observer) m_observer->OnPhoto(done, total, tile);
  }
  void OnSkipped(const std::string& path, const std::string& reason) override {
    if (m_observer) m_observer->OnSkipped(path, reason);
  }

 private:
  CollectionListItem& m_item;
  CollectionBuildObserver* m_observer;
};

std::string TileFolderValue(CollectionRegistry& registry, std::string_view title) {
  return registry.TileFolder(kMyCollection, title).string();
}

// Registers the built collection: name, tile folder and status 1.
void RecordBuiltCollection(CollectionRegistry& registry, std::string_view title,
                           const std::string& name) {
  std::string folder = TileFolderValue(registry, title);
  int index = registry.FindCollectionByTitle(kMyCollection, title);
  if (index < 0) {
    registry.AddCollection(kMyCollection, std::string(title) + kIndexExtension, name, folder, 1);
    return;
  }
  registry.SetCollectionName(kMyCollection, index, name);
  registry.SetCollectionPath(kMyCollection, index, folder);
  registry.SetCollectionStatus(kMyCollection, index, 1);
}

// An album's title: its key (the file name) without the ".abm" extension.
std::string AlbumTitle(std::string_view key) {
  constexpr std::size_t kExtensionLength = 4;
  return std::string(
      key.substr(0, key.size() > kExtensionLength ? key.size() - kExtensionLength : key.size()));
}

// The album whose title is `title`, or -1.
int FindAlbumByTitle(AlbumList& albums, std::string_view title) {
  for (int i = 0; i < albums.GetAlbumCount(); ++i) {
    if (AlbumTitle(albums.GetAlbumKey(i)) == title) return i;
  }
  return -1;
}

}  // namespace

std::vector<CollectionListItem> MakeCollectionList(CollectionRegistry& registry, int kind) {
  std::vector<CollectionListItem> list;
  for (int i = 0; i < registry.GetCollectionCount(kind); ++i) {
    list.push_back({registry.GetCollectionName(kind, i), kMarkNone, false});
  }
  return list;
}

void AddAlbumsToMyCollections(CollectionRegistry& registry, AlbumList& albums,
                              std::vector<CollectionListItem>& list,
                              const std::vector<int>& selectedAlbums) {
  albums.EnsureAlbumList();
  for (int album : selectedAlbums) {
    if (album < 0 || album >= albums.GetAlbumCount()) continue;
    std::string title = AlbumTitle(albums.GetAlbumKey(album));
    if (!IsSafeTitle(title)) continue;
    int index = registry.FindCollectionByTitle(kMyCollection, title);
    if (index >= 0 && std::size_t(index) < list.size()) {
      list[std::size_t(index)].mark = kMarkBuild;
      list[std::size_t(index)].ticked = true;
      continue;
    }
    std::string name = albums.GetAlbumName(album);
    if (registry.AddCollection(kMyCollection, title + kIndexExtension, name,
                               TileFolderValue(registry, title), 0)) {
      list.push_back({name, kMarkBuild, true});
    }
  }
}

BuildCommandOutcome BuildMyCollections(CollectionRegistry& registry, AlbumList& albums,
                                       std::vector<CollectionListItem>& list,
                                       const BuildOptions& options,
                                       CollectionBuildObserver* observer) {
  BuildCommandOutcome outcome;
  albums.EnsureAlbumList();
  const int count = std::min(registry.GetCollectionCount(kMyCollection), int(list.size()));
  for (int i = 0; i < count && !outcome.cancelled; ++i) {
    CollectionListItem& item = list[std::size_t(i)];
    if (item.mark != kMarkBuild) continue;
    std::string title = TitleOfKey(registry.GetCollectionKey(kMyCollection, i));
    int album = FindAlbumByTitle(albums, title);
    if (album < 0) {
      outcome.withoutAlbum.push_back(title);
      continue;
    }
    if (observer) observer->OnCollectionStarted(i, title);
    BlinkingObserver blinking(item, observer);
    BuildOutcome built =
        BuildFromAlbum(registry, albums, albums.AlbumFilePath(album), title, options, &blinking);
    item.ticked = false;
    if (observer) observer->OnCollectionFinished(i, built);
    if (built.cancelled) {
      outcome.cancelled = true;
      break;
    }
    RecordBuiltCollection(registry, title, albums.GetAlbumName(album));
    item.name = albums.GetAlbumName(album);
    item.mark = kMarkNone;
    built.built ? ++outcome.built : ++outcome.failed;
  }
  registry.SaveCollections();
  return outcome;
}

void DeleteTickedCollections(CollectionRegistry& registry, int kind,
                             std::vector<CollectionListItem>& list) {
  for (std::size_t i = list.size(); i-- > 0;) {
    if (list[i].mark != kMarkTicked) continue;
    list.erase(list.begin() + std::ptrdiff_t(i));
    registry.DeleteCollection(kind, int(i));
  }
}

void DeleteMyCollections(CollectionRegistry& registry, std::vector<CollectionListItem>& list) {
  DeleteTickedCollections(registry, kMyCollection, list);
}

std::string UniqueCollectionTitle(CollectionRegistry& registry, int kind, std::string_view name) {
  std::string base;
  for (unsigned char c : name) {
    bool bad = c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':';
    base.push_back(bad ? '_' : char(c));
  }
  while (!base.empty() && (base.front() == '.' || base.front() == ' '))
    base.erase(0, 1);
  if (base.size() > 200) base.resize(200);
  while (!base.empty() && (static_cast<unsigned char>(base.back()) & 0xC0) == 0x80)
    base.pop_back();
  if (!base.empty() && static_cast<unsigned char>(base.back()) >= 0xC0) base.pop_back();
  if (base.empty()) base = "Photos";
  auto taken = [&](const std::string& title) {
    std::error_code ec;
    return registry.FindCollectionByTitle(kind, title) >= 0 ||
           std::filesystem::exists(registry.IndexFolder(kind) / (title + kIndexExtension), ec) ||
           std::filesystem::exists(registry.TileFolder(kind, title), ec);
  };
  std::string title = base;
  for (int n = 2; taken(title); ++n)
    title = base + " " + std::to_string(n);
  return title;
}

FolderBuildOutcome BuildFromFolder(CollectionRegistry& registry,
                                   const std::filesystem::path& folder, const std::string& title,
                                   bool recursive, const BuildOptions& options,
                                   BuildObserver* observer) {
  FolderBuildOutcome outcome;
  std::filesystem::path normal = folder.lexically_normal();
  std::string name = (normal.has_filename() ? normal : normal.parent_path()).filename().string();
  outcome.title = title.empty() ? UniqueCollectionTitle(registry, kMyCollection, name) : title;
  if (!IsSafeTitle(outcome.title)) return outcome;
  // A new collection is registered once built: a failed build leaves the
  // registry as it was.
  std::vector<std::string> photos = ListPictureFiles(folder, recursive);
  if (!photos.empty()) {
    outcome.build = BuildCollectionFromPhotos(registry, kMyCollection, outcome.title, photos,
                                              options, observer);
  }
  if (!outcome.build.built) return outcome;
  RecordBuiltCollection(registry, outcome.title, name);
  registry.SaveCollections();
  return outcome;
}

}  // namespace tx
