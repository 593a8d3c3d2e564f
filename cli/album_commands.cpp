#include "cli/album_commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>

#include "albumkit/album_file_name.h"
#include "albums/album_list.h"
#include "albums/album_picture_loading.h"

namespace fs = std::filesystem;

namespace tx::cli {
namespace {

constexpr std::size_t kAnyNumber = std::numeric_limits<std::size_t>::max();

struct Command {
  const char* usage;
  const char* summary;
  std::size_t minArgs;  // arguments after the command's name
  std::size_t maxArgs;
  std::function<int(AlbumList&, const Args&)> run;
};

// The index of the album named exactly `name`, or -1.
int FindAlbum(AlbumList& albums, const std::string& name) {
  for (int i = 0; i < albums.GetAlbumCount(); ++i) {
    if (albums.GetAlbumName(i) == name) return i;
  }
  return -1;
}

int NoSuchAlbum(const std::string& name) {
  return Fail("no album named \"" + name + "\"");
}

int Create(AlbumList& albums, const Args& args) {
  const std::string& name = args[0];
  if (FindAlbum(albums, name) >= 0) return Fail("an album named \"" + name + "\" exists already");
  // A file of that name that is not listed (unreadable, or beyond the list's
  // limit) is never taken over or removed.
  const fs::path share = albums.ShareFolder();
  std::error_code ec;
  if (share.empty()) return Fail("the album folder cannot be made");
  if (fs::exists(share / abm::AlbumFileName(name), ec) || ec) {
    return Fail("the album file " + (share / abm::AlbumFileName(name)).string() +
                " exists already");
  }
  if (albums.AddAlbum(name) != 0) {
    return Fail(albums.GetAlbumCount() >= kMaxAlbums
                    ? "the album list is full (" + std::to_string(kMaxAlbums) + " albums)"
                    : "cannot add an album named \"" + name +
                          "\" (empty, or its file name belongs to another album)");
  }
  // The album file is written now, so the album exists for the library too.
  const int index = albums.GetAlbumCount() - 1;
  if (!albums.OpenAlbum(index) || !albums.SaveAlbum(albums.AlbumFilePath(index))) {
    albums.DeleteAlbum(index);
    return Fail("cannot write the album file for \"" + name + "\"");
  }
  return kExitOk;
}

// Adds `files` to album `index` as one add command: the album is opened
// once, each file added to it, and the album saved once at the end.
int AddFiles(AlbumList& albums, int index, const std::vector<std::string>& files) {
  const std::string name = albums.GetAlbumName(index);
  albums.BeginAddCommand();
  if (!albums.OpenAlbum(index)) return Fail("cannot read album \"" + name + "\"");
  std::size_t refused = 0;
  for (const std::string& file : files) {
    if (albums.AddPictureToAlbum(nullptr, nullptr, file, -1, "", 1, 1, 1) != 1) {
      std::fprintf(stderr, "tesserix-cli: %s: not added\n", file.c_str());
      ++refused;
    }
  }
  if (albums.openAlbumChanged() && !albums.SaveAlbum(albums.openAlbumPath())) {
    return Fail("cannot save album \"" + name + "\"");
  }
  if (refused > 0) {
    return Fail(std::to_string(refused) + " of " + std::to_string(files.size()) +
                " files were not added");
  }
  return kExitOk;
}

int Add(AlbumList& albums, const Args& args) {
  const int index = FindAlbum(albums, args[0]);
  if (index < 0) return NoSuchAlbum(args[0]);
  return AddFiles(albums, index, std::vector<std::string>(args.begin() + 1, args.end()));
}

int AddFolder(AlbumList& albums, const Args& args) {
  const bool recursive = args.size() == 3 && args[2] == "--recursive";
  if (args.size() == 3 && !recursive) return Fail("unknown option \"" + args[2] + "\"");
  const int index = FindAlbum(albums, args[0]);
  if (index < 0) return NoSuchAlbum(args[0]);
  const fs::path folder(args[1]);
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return Fail(args[1] + ": not a folder");

  std::vector<std::string> files;
  auto take = [&](const fs::directory_entry& entry) {
    std::error_code typeError;
    if (entry.is_regular_file(typeError) && IsAlbumPictureFile(entry.path())) {
      files.push_back(entry.path().string());
    }
  };
  const auto options = fs::directory_options::skip_permission_denied;
  if (recursive) {
    for (auto it = fs::recursive_directory_iterator(folder, options, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      take(*it);
    }
  } else {
    for (auto it = fs::directory_iterator(folder, options, ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
      take(*it);
    }
  }
  if (ec) return Fail(args[1] + ": " + ec.message());
  std::sort(files.begin(), files.end());
  return AddFiles(albums, index, files);
}

int List(AlbumList& albums, const Args&) {
  for (int i = 0; i < albums.GetAlbumCount(); ++i) {
    std::vector<std::string> pictures;
    const bool readable = albums.GetAlbumPictures(albums.AlbumFilePath(i), pictures);
    std::printf("%s\t%s\n", albums.GetAlbumName(i).c_str(),
                readable ? std::to_string(pictures.size()).c_str() : "?");
  }
  return kExitOk;
}

int Delete(AlbumList& albums, const Args& args) {
  const int index = FindAlbum(albums, args[0]);
  if (index < 0) return NoSuchAlbum(args[0]);
  albums.DeleteAlbum(index);
  return kExitOk;
}

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> commands = {
      {"create", {"create NAME", "create an empty album", 1, 1, Create}},
      {"add",
       {"add NAME FILE...", "add picture files to an album (a file already in it is replaced)", 2,
        kAnyNumber, Add}},
      {"add-folder",
       {"add-folder NAME DIR [--recursive]",
        "add every picture file of a folder (and its subfolders), in path order", 2, 3, AddFolder}},
      {"list", {"list", "print each album's name and picture count, tab-separated", 0, 0, List}},
      {"delete", {"delete NAME", "delete an album and its album file", 1, 1, Delete}},
  };
  return commands;
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage: tesserix-cli album COMMAND ARGS...\n\ncommands:\n");
  for (const auto& [name, command] : Commands()) {
    std::fprintf(out, "  %-36s %s\n", command.usage, command.summary);
  }
  std::fprintf(out,
               "\nAlbums live in the Albums folder of the user folder; an album holds at most\n"
               "%d pictures, and a picture's full path at most 127 bytes.\n",
               kAlbumPictureLimit);
}

}  // namespace

int RunAlbumCommand(const Args& args) {
  if (args.empty()) return Fail("usage: tesserix-cli album COMMAND ARGS... (try --help)");
  if (args[0] == "-h" || args[0] == "--help") {
    PrintUsage(stdout);
    return kExitOk;
  }
  auto it = Commands().find(args[0]);
  if (it == Commands().end()) return Fail("unknown album command \"" + args[0] + "\"");
  const Command& command = it->second;
  Args rest(args.begin() + 1, args.end());
  if (WantsHelp(rest)) {
    std::printf("usage: tesserix-cli album %s\n  %s\n", command.usage, command.summary);
    return kExitOk;
  }
  if (rest.size() < command.minArgs || rest.size() > command.maxArgs) {
    return Fail("usage: tesserix-cli album " + std::string(command.usage));
  }
  AlbumList& albums = Albums();
  if (!albums.libraryLoaded()) return Fail("the album library Albumkit cannot be loaded");
  return command.run(albums, rest);
}

}  // namespace tx::cli
