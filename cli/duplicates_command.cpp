#include "cli/duplicates_command.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "cli/collection_commands.h"
#include "collections/collection_registry.h"
#include "collections/near_duplicates.h"
#include "collections/tile_maker.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "image/packed_image.h"
#include "montage/render_cells.h"
#include "rastio/rastio.h"

namespace tx::cli {
namespace {

constexpr char kUsage[] =
    "usage: tesserix-cli collection duplicates [KEY...] [--threshold T] [--sheet OUT.png] "
    "[--json] [--prune]\n"
    "  lists groups of tiles that look alike in a montage (the same photo recompressed,\n"
    "  resized or shot in a burst), within and across the collections KEY... (whatever\n"
    "  their status), or of every selected collection when no KEY is given. Only the\n"
    "  tile-set indexes are read; a missing or damaged index is skipped with a message.\n"
    "\n"
    "  distance: the mean squared difference of two tiles' miniatures, i.e. the sum over\n"
    "  the 48 cells x 3 channels (blue, green, red) of the index of the squared byte\n"
    "  differences, divided by 144; 0 for equal miniatures, at most 65025. Two tiles at\n"
    "  a distance of at most T are near duplicates, and a group holds the tiles linked\n"
    "  by such pairs.\n"
    "\n"
    "  --threshold T   the largest distance of near duplicates, 0 to 65025 (default 150)\n"
    "  --sheet OUT.png also draw the groups into a PNG picture, one row per group (at\n"
    "                  most 50 groups of 24 tiles); a tile whose picture cannot be read\n"
    "                  is drawn as its miniature\n"
    "  --json          print {\"groups\": [{\"tiles\": [{\"key\": K, \"tile\": T, \"path\": "
    "P}]}]}\n"
    "                  instead of one block of lines per group\n"
    "  --prune         after listing (and drawing), keep the first tile of every group and\n"
    "                  remove the others from their collections' tile-set indexes; their\n"
    "                  pictures are kept, so rebuilding a collection brings its tiles back.\n"
    "                  Each index is replaced whole or not at all; one that changed since it\n"
    "                  was read is left alone, one that is a symbolic link is refused\n";

static_assert(kDefaultDuplicateThreshold == 150.0, "the help text names the default");

// The contact sheet: thumbnails of one common height, one row per group.
constexpr int kSheetThumbHeight = 90;
constexpr int kSheetMargin = 8;
constexpr int kSheetTileGap = 4;
constexpr int kSheetGroupGap = 12;
constexpr std::size_t kMaxSheetGroups = 50;
constexpr std::size_t kMaxSheetTilesPerGroup = 24;
// A thumbnail is at most this many times as wide as it is high.
constexpr int kMaxThumbAspect = 4;
constexpr ColourWord kSheetBackground = MakeColourWord(0x40, 0x40, 0x48);
constexpr char kSheetExtension[] = ".png";

struct Options {
  std::vector<std::string> keys;
  double threshold = kDefaultDuplicateThreshold;
  std::string sheet;
  bool json = false;
  bool prune = false;
};

// A whole argument as a decimal number (no sign characters beyond '-').
bool ParseNumber(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return !text.empty() && ec == std::errc() && ptr == end;
}

// Parses the arguments; on failure returns the reason.
std::string ParseOptions(const Args& args, Options& options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--threshold") {
      if (i + 1 >= args.size()) return "--threshold needs a value";
      const std::string& text = args[++i];
      if (!ParseNumber(text, options.threshold) || !IsValidDuplicateThreshold(options.threshold)) {
        return "--threshold must be a number from 0 to 65025, not \"" + text + "\"";
      }
    } else if (arg == "--sheet") {
      if (i + 1 >= args.size()) return "--sheet needs a file name";
      options.sheet = args[++i];
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--prune") {
      options.prune = true;
    } else if (arg.rfind("--", 0) == 0) {
      return "unknown option \"" + arg + "\"";
    } else {
      options.keys.push_back(arg);
    }
  }
  if (!options.sheet.empty()) {
    std::string extension = std::filesystem::path(options.sheet).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension != kSheetExtension)
      return "the sheet is a PNG picture: its name must end in .png";
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::path(options.sheet).parent_path();
    if (folder.empty()) folder = ".";
    if (!std::filesystem::is_directory(folder, ec)) {
      return "cannot write " + options.sheet + ": " + folder.string() + " is not a folder";
    }
  }
  return {};
}

// The entries of kinds 0 to 2 with the given keys; on an unknown key or a
// video source returns the reason.
std::string ResolveKeys(CollectionRegistry& registry, const std::vector<std::string>& keys,
                        std::vector<CollectionRef>& refs) {
  for (const std::string& key : keys) {
    bool found = false;
    for (int kind : {kDiscCollection, kMyCollection, kVideoCollection}) {
      for (int i = 0; i < registry.GetCollectionCount(kind); ++i) {
        if (registry.GetCollectionKey(kind, i) != key) continue;
        found = true;
        if (std::find(refs.begin(), refs.end(), CollectionRef{kind, i}) == refs.end()) {
          refs.push_back({kind, i});
        }
      }
    }
    if (found) continue;
    for (int i = 0; i < registry.GetCollectionCount(kVideoSource); ++i) {
      if (registry.GetCollectionKey(kVideoSource, i) == key) {
        return "\"" + key + "\" is a video source, not a tile collection (build a video " +
               "collection from it first)";
      }
    }
    return "no collection with key \"" + key + "\"";
  }
  return {};
}

// The path of a tile's picture at `resolution`, with the extension its
// index's picture-file flag asks for; empty when the collection has none.
std::string PicturePath(CollectionRegistry& registry, const DuplicateTile& tile, int resolution) {
  std::filesystem::path path = registry.TilePicturePath(tile.collection.kind, tile.collection.index,
                                                        tile.tileNumber, resolution);
  if (path.empty()) return {};
  return path.string() +
         (tile.pictureFileFlag != 0 ? kDiscPictureExtension : kTilePictureExtension);
}

struct Listed {
  std::string key;
  std::uint32_t tile = 0;
  std::string path;
};

std::string GroupsAsJson(const std::vector<std::vector<Listed>>& groups) {
  std::string out = "{\"groups\": [";
  for (std::size_t g = 0; g < groups.size(); ++g) {
    out += g ? ", {\"tiles\": [" : "{\"tiles\": [";
    for (std::size_t t = 0; t < groups[g].size(); ++t) {
      const Listed& tile = groups[g][t];
      out += t ? ", {\"key\": " : "{\"key\": ";
      out += JsonString(tile.key);
      out += ", \"tile\": " + std::to_string(tile.tile) + ", \"path\": ";
      out += JsonString(tile.path);
      out += "}";
    }
    out += "]}";
  }
  out += "]}\n";
  return out;
}

std::string GroupsAsText(const std::vector<std::vector<Listed>>& groups, std::size_t searched,
                         double threshold) {
  std::string out;
  std::size_t tiles = 0;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    out += "group " + std::to_string(g + 1) + ": " + std::to_string(groups[g].size()) + " tiles\n";
    for (const Listed& tile : groups[g]) {
      out += "  " + tile.key + "\t" + std::to_string(tile.tile) + "\t" + tile.path + "\n";
    }
    out += "\n";
    tiles += groups[g].size();
  }
  char summary[160];
  std::snprintf(summary, sizeof summary,
                "%zu groups of near duplicates (%zu tiles) among %zu tiles, distance at most %g\n",
                groups.size(), tiles, searched, threshold);
  return out + summary;
}

// The tile picture scaled to the thumbnail height, or null when it cannot
// be read.
PackedImage PictureThumb(const std::string& path) {
  if (path.empty()) return {};
  // Decoded at the smallest scale that still covers the thumbnail.
  PackedImage picture(LoadPictureAtLeast(path.c_str(), 1, kSheetThumbHeight));
  if (!picture) return {};
  if (GetImageBitCount(picture.get()) != 24) {
    picture.reset(ConvertToTrueColour(picture.get()));
    if (!picture) return {};
  }
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  if (!GetImageSize(picture.get(), width, height) || width == 0 || height == 0) return {};
  const int thumbWidth = std::clamp(int((long(width) * kSheetThumbHeight + height / 2) / height), 1,
                                    kMaxThumbAspect * kSheetThumbHeight);
  return PackedImage(ScaleImage(picture.get(), thumbWidth, kSheetThumbHeight));
}

// The miniature, each cell a block of pixels, at the thumbnail height. The
// cells lie in the order of a bottom-up picture's rows.
PackedImage MiniatureThumb(const std::uint8_t* cells, const TileGeometry& geometry) {
  const int columns = geometry.columns;
  const int rows = geometry.rows;
  if (columns < 1 || rows < 1 || columns * rows != kTileCellCount) return {};
  const int width = kSheetThumbHeight * columns / rows;
  PackedImage thumb(CreatePackedImage(width, kSheetThumbHeight, 0, 0));
  ImageLock lock(thumb.get());
  if (!lock) return {};
  for (int y = 0; y < kSheetThumbHeight; ++y) {
    std::uint8_t* row = lock.row(y);
    const int cellRow = y * rows / kSheetThumbHeight;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* cell = cells + 3 * (cellRow * columns + x * columns / width);
      std::copy(cell, cell + 3, row + 3 * x);
    }
  }
  return thumb;
}

int ThumbWidth(const PackedImage& thumb) {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  return GetImageSize(thumb.get(), width, height) ? width : 0;
}

// Draws up to kMaxSheetGroups groups, one row each, and writes the sheet.
// Returns the reason when it cannot be written.
std::string WriteSheet(const std::string& file, CollectionRegistry& registry,
                       const DuplicateSearchSet& set,
                       const std::vector<std::vector<std::uint32_t>>& groups) {
  const TileGeometry geometry = TileGeometry::FromSettings();
  const std::size_t drawn = std::min(groups.size(), kMaxSheetGroups);
  if (groups.size() > drawn) {
    std::fprintf(stderr, "tesserix-cli: the sheet shows the first %zu of %zu groups\n", drawn,
                 groups.size());
  }
  bool cutRows = false;
  std::vector<std::vector<PackedImage>> rows(drawn);
  int sheetWidth = 1;
  for (std::size_t g = 0; g < drawn; ++g) {
    const std::size_t shown = std::min(groups[g].size(), kMaxSheetTilesPerGroup);
    cutRows = cutRows || shown < groups[g].size();
    int rowWidth = 0;
    for (std::size_t t = 0; t < shown; ++t) {
      const std::uint32_t at = groups[g][t];
      const DuplicateTile& tile = set.tiles[at];
      PackedImage thumb = PictureThumb(PicturePath(registry, tile, geometry.largestResolution()));
      if (!thumb)
        thumb = MiniatureThumb(set.miniatures.data() + std::size_t(at) * kTileCellBytes, geometry);
      if (!thumb) return "there is not enough memory for the sheet";
      rowWidth += (t ? kSheetTileGap : 0) + ThumbWidth(thumb);
      rows[g].push_back(std::move(thumb));
    }
    sheetWidth = std::max(sheetWidth, rowWidth);
  }
  if (cutRows) {
    std::fprintf(stderr, "tesserix-cli: the sheet shows at most %zu tiles of a group\n",
                 kMaxSheetTilesPerGroup);
  }
  const int rowsDrawn = int(drawn);
  const int height = 2 * kSheetMargin + std::max(1, rowsDrawn) * kSheetThumbHeight +
                     std::max(0, rowsDrawn - 1) * kSheetGroupGap;
  PackedImage sheet(CreatePackedImage(sheetWidth + 2 * kSheetMargin, height, kSheetBackground, 0));
  if (!sheet) return "there is not enough memory for the sheet";
  int y = kSheetMargin;
  for (const std::vector<PackedImage>& row : rows) {
    int x = kSheetMargin;
    for (const PackedImage& thumb : row) {
      PasteImage(sheet.get(), thumb.get(), x, y);
      x += ThumbWidth(thumb) + kSheetTileGap;
    }
    y += kSheetThumbHeight + kSheetGroupGap;
  }
  if (EzSaveFile(sheet.get(), file.c_str(), kSaveByExtension, nullptr) != 0) {
    return "cannot write " + file + ": " + EzLastError();
  }
  return {};
}

// Removes every tile of a group but its first from its collection's index.
// Returns the exit code; reports on stderr, and the summary on stdout (on
// stderr beside a JSON list, which must stay the only thing on stdout).
int PruneGroups(CollectionRegistry& registry, const DuplicateSearchSet& set,
                const std::vector<std::vector<std::uint32_t>>& groups, bool json) {
  std::vector<std::vector<DuplicateTile>> drops(set.indexes.size());
  for (const std::vector<std::uint32_t>& group : groups) {
    for (std::size_t t = 1; t < group.size(); ++t) {
      const DuplicateTile& tile = set.tiles[group[t]];
      for (std::size_t x = 0; x < set.indexes.size(); ++x) {
        if (set.indexes[x].collection == tile.collection) drops[x].push_back(tile);
      }
    }
  }
  auto keyOf = [&](std::size_t x) {
    return registry.GetCollectionKey(set.indexes[x].collection.kind,
                                     set.indexes[x].collection.index);
  };
  // Refusals first, so that a refused index stops the pruning before any
  // index is rewritten.
  for (std::size_t x = 0; x < drops.size(); ++x) {
    if (drops[x].empty()) continue;
    if (std::string reason = CheckIndexToPrune(registry, set.indexes[x].collection);
        !reason.empty()) {
      return Fail("cannot prune " + keyOf(x) + ": " + reason + "; no index was changed");
    }
  }
  std::size_t prunedTiles = 0;
  std::size_t prunedIndexes = 0;
  std::size_t skipped = 0;
  for (std::size_t x = 0; x < drops.size(); ++x) {
    if (drops[x].empty()) continue;
    const PruneResult result = PruneIndexRecords(registry, set.indexes[x], drops[x]);
    if (result.status == PruneStatus::kPruned) {
      prunedTiles += drops[x].size();
      ++prunedIndexes;
    } else if (result.status == PruneStatus::kChanged) {
      Fail("not pruning " + keyOf(x) + ": " + result.reason + "; run the command again");
      ++skipped;
    } else {
      std::string message =
          "cannot prune " + keyOf(x) + ": " + result.reason + "; its index is unchanged";
      if (prunedIndexes > 0) {
        message += "; the " + std::to_string(prunedIndexes) + " collection index(es) pruned " +
                   "before it (" + std::to_string(prunedTiles) + " tiles) stay pruned";
      }
      return Fail(message);
    }
  }
  const std::string summary = "pruned " + std::to_string(prunedTiles) + " tiles from " +
                              std::to_string(prunedIndexes) +
                              " collections (their pictures are kept)\n";
  std::fputs(summary.c_str(), json ? stderr : stdout);
  std::fflush(stdout);
  return skipped > 0 ? kExitFailure : kExitOk;
}

}  // namespace

int RunDuplicatesCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  Options options;
  if (std::string problem = ParseOptions(args, options); !problem.empty()) {
    return Fail(problem + " (see 'tesserix-cli collection duplicates --help')");
  }
  CollectionRegistry& registry = LoadedCollections();
  std::vector<CollectionRef> named;
  if (std::string problem = ResolveKeys(registry, options.keys, named); !problem.empty()) {
    return Fail(problem);
  }

  const DuplicateSearchSet set = LoadDuplicateSearchSet(registry, named);
  for (const std::string& notice : set.notices)
    Fail(notice);
  const std::vector<std::vector<std::uint32_t>> groups = FindNearDuplicateGroups(
      set.miniatures.data(), kTileCellBytes, set.tiles.size(), options.threshold);

  const int resolution = TileGeometry::FromSettings().largestResolution();
  std::vector<std::vector<Listed>> listed;
  listed.reserve(groups.size());
  for (const std::vector<std::uint32_t>& group : groups) {
    std::vector<Listed>& out = listed.emplace_back();
    for (std::uint32_t at : group) {
      const DuplicateTile& tile = set.tiles[at];
      out.push_back({registry.GetCollectionKey(tile.collection.kind, tile.collection.index),
                     tile.tileNumber, PicturePath(registry, tile, resolution)});
    }
  }

  const std::string text = options.json ? GroupsAsJson(listed)
                                        : GroupsAsText(listed, set.tiles.size(), options.threshold);
  std::fputs(text.c_str(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return Fail("the list could not be written");

  if (!options.sheet.empty()) {
    if (std::string problem = WriteSheet(options.sheet, registry, set, groups); !problem.empty()) {
      return Fail(problem);
    }
  }
  if (options.prune) return PruneGroups(registry, set, groups, options.json);
  return kExitOk;
}

}  // namespace tx::cli
