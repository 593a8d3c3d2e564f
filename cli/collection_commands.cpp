#include "cli/collection_commands.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "albums/album_list.h"
#include "cli/build_progress.h"
#include "cli/duplicates_command.h"
#include "cli/video_commands.h"
#include "collections/collection_registry.h"
#include "collections/my_collection_commands.h"
#include "collections/tile_set_index.h"

namespace tx::cli {
namespace {

constexpr char kUsage[] =
    "usage: tesserix-cli collection list\n"
    "       tesserix-cli collection add-album NAME...\n"
    "       tesserix-cli collection build [TITLE...]\n"
    "       tesserix-cli collection build-folder DIR [--title TITLE] [--recursive]\n"
    "       tesserix-cli collection add-video SOURCEKEY...\n"
    "       tesserix-cli collection build-video [TITLE...] [--interval MS] [--keep-flat]\n"
    "       tesserix-cli collection select KEY STATUS   (STATUS 0 to 3)\n"
    "       tesserix-cli collection delete KEY\n"
    "       tesserix-cli collection duplicates [KEY...] [--threshold T] [--sheet OUT.png] "
    "[--json]\n";

// The record count of an index file, or -1 when it cannot be read.
long TileCount(const std::filesystem::path& indexFile) {
  if (indexFile.empty()) return -1;
  std::ifstream in(indexFile, std::ios::binary);
  unsigned char header[kIndexHeaderBytes];
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return -1;
  if (std::memcmp(header, kIndexMagic, sizeof kIndexMagic) != 0) return -1;
  return long(header[8] | header[9] << 8 | header[10] << 16 | std::uint32_t(header[11]) << 24);
}

int List(CollectionRegistry& registry) {
  for (int kind = 0; kind < kCollectionKindCount; ++kind) {
    for (int i = 0; i < registry.GetCollectionCount(kind); ++i) {
      long tiles = kind == kVideoSource ? -1 : TileCount(registry.IndexFilePath(kind, i));
      std::string count = tiles < 0 ? "-" : std::to_string(tiles);
      std::printf("%d\t%s\t%s\t%d\t%s\n", kind, registry.GetCollectionKey(kind, i).c_str(),
                  registry.GetCollectionName(kind, i).c_str(),
                  registry.GetCollectionStatus(kind, i), count.c_str());
    }
  }
  return kExitOk;
}

// The kind and index of the entry whose key is `key`, searched in `kinds`.
bool FindKey(CollectionRegistry& registry, const std::string& key, std::initializer_list<int> kinds,
             int& kind, int& index) {
  for (int k : kinds) {
    for (int i = 0; i < registry.GetCollectionCount(k); ++i) {
      if (registry.GetCollectionKey(k, i) == key) {
        kind = k;
        index = i;
        return true;
      }
    }
  }
  return false;
}

int AddAlbums(CollectionRegistry& registry, const Args& names) {
  AlbumList& albums = Albums();
  albums.EnsureAlbumList();
  std::vector<int> selected;
  bool missing = false;
  for (const std::string& name : names) {
    int found = -1;
    for (int i = 0; i < albums.GetAlbumCount() && found < 0; ++i) {
      if (albums.GetAlbumName(i) == name) found = i;
    }
    if (found < 0) {
      std::fprintf(stderr, "tesserix-cli: no album \"%s\"\n", name.c_str());
      missing = true;
    } else {
      selected.push_back(found);
    }
  }
  std::sort(selected.begin(), selected.end());
  std::vector<CollectionListItem> list = MakeCollectionList(registry, kMyCollection);
  AddAlbumsToMyCollections(registry, albums, list, selected);
  if (!registry.SaveCollections()) return Fail("the collections could not be saved");
  return missing ? kExitFailure : kExitOk;
}

int Build(CollectionRegistry& registry, const Args& titles) {
  std::vector<CollectionListItem> list = MakeCollectionList(registry, kMyCollection);
  bool missing = false;
  for (const std::string& title : titles) {
    int index = registry.FindCollectionByTitle(kMyCollection, title);
    if (index < 0) {
      std::fprintf(stderr, "tesserix-cli: no My Collection \"%s\"\n", title.c_str());
      missing = true;
    } else {
      list[std::size_t(index)].mark = kMarkBuild;
    }
  }
  // Without titles, every collection that was added but never built.
  if (titles.empty()) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      std::error_code ec;
      std::filesystem::path index = registry.IndexFilePath(kMyCollection, int(i));
      if (!index.empty() && !std::filesystem::exists(index, ec)) list[i].mark = kMarkBuild;
    }
  }
  BuildProgress progress;
  BuildCommandOutcome outcome =
      BuildMyCollections(registry, Albums(), list, BuildOptions::FromSettings(), &progress);
  for (const std::string& title : outcome.withoutAlbum) {
    std::fprintf(stderr, "tesserix-cli: no album for My Collection \"%s\"\n", title.c_str());
  }
  if (outcome.cancelled) return Fail("cancelled");
  return missing || !outcome.withoutAlbum.empty() || outcome.failed > 0 ? kExitFailure : kExitOk;
}

int BuildFolder(CollectionRegistry& registry, const Args& args) {
  std::string folder;
  std::string title;
  bool recursive = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--recursive") {
      recursive = true;
    } else if (args[i] == "--title" && i + 1 < args.size()) {
      title = args[++i];
    } else if (folder.empty() && args[i].rfind("--", 0) != 0) {
      folder = args[i];
    } else {
      return Fail("unexpected argument \"" + args[i] + "\"\n" + kUsage);
    }
  }
  std::error_code ec;
  if (folder.empty()) return Fail("build-folder needs a folder");
  if (!std::filesystem::is_directory(folder, ec)) return Fail(folder + " is not a folder");
  if (!title.empty() && !IsSafeTitle(title)) {
    return Fail("\"" + title + "\" cannot be a collection title (no / \\ : or control characters)");
  }
  BuildProgress progress;
  std::string shown = title.empty() ? std::filesystem::path(folder).filename().string() : title;
  progress.OnCollectionStarted(0, shown);
  FolderBuildOutcome outcome =
      BuildFromFolder(registry, folder, title, recursive, BuildOptions::FromSettings(), &progress);
  progress.Finish(outcome.title, outcome.build);
  if (outcome.build.cancelled) return Fail("cancelled");
  if (!outcome.build.built) {
    return Fail(outcome.build.problem.empty() ? "no tile was made from " + folder
                                              : outcome.build.problem);
  }
  std::printf("%s\n", (outcome.title + kIndexExtension).c_str());
  return kExitOk;
}

int Select(CollectionRegistry& registry, const Args& args) {
  std::optional<int> status = ParseInt(args[1]);
  if (!status || *status < 0 || *status > 3) return Fail("STATUS must be 0, 1, 2 or 3");
  int kind = 0;
  int index = 0;
  if (!FindKey(registry, args[0], {kDiscCollection, kMyCollection, kVideoCollection}, kind,
               index)) {
    return Fail("no collection with key \"" + args[0] + "\"");
  }
  registry.SetCollectionStatus(kind, index, *status);
  if (!registry.SaveCollections()) return Fail("the collections could not be saved");
  return kExitOk;
}

int Delete(CollectionRegistry& registry, const std::string& key) {
  int kind = 0;
  int index = 0;
  if (FindKey(registry, key, {kDiscCollection}, kind, index)) {
    return Fail("disc collections come with the program and cannot be deleted");
  }
  if (!FindKey(registry, key, {kMyCollection, kVideoCollection, kVideoSource}, kind, index)) {
    return Fail("no collection with key \"" + key + "\"");
  }
  registry.DeleteCollection(kind, index);
  if (!registry.SaveCollections()) return Fail("the collections could not be saved");
  return kExitOk;
}

}  // namespace

CollectionRegistry& LoadedCollections() {
  CollectionRegistry& registry = Collections();
  registry.PrepareCollectionFolders();
  registry.LoadCollections();
  return registry;
}

int RunCollectionCommand(const Args& args) {
  // Answers its own --help, which explains the distance it measures.
  if (!args.empty() && args[0] == "duplicates") {
    return RunDuplicatesCommand({args.begin() + 1, args.end()});
  }
  if (std::optional<int> answered = AnswerUsage(args, kUsage)) return *answered;
  CollectionRegistry& registry = LoadedCollections();
  Albums().LoadAlbumLibrary();
  const std::string& command = args[0];
  Args rest(args.begin() + 1, args.end());
  if (command == "list" && rest.empty()) return List(registry);
  if (command == "add-album" && !rest.empty()) return AddAlbums(registry, rest);
  if (command == "build") return Build(registry, rest);
  if (command == "build-folder") return BuildFolder(registry, rest);
  if (command == "add-video" && !rest.empty()) return AddVideoCollections(registry, rest);
  if (command == "build-video") return BuildVideoCollectionsCommand(registry, rest);
  if (command == "select" && rest.size() == 2) return Select(registry, rest);
  if (command == "delete" && rest.size() == 1) return Delete(registry, rest[0]);
  std::fputs(kUsage, stderr);
  return kExitFailure;
}

}  // namespace tx::cli
