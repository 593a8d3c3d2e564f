#pragma once
// The list of sample photos: one tab-separated line per photo giving its
// role ("tile" or "target"), the package that ships it, the resource bundle
// it lies in ("-" for a plain file), its path and its licence. Lines that
// start with '#' and blank lines are comments.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tx::sample {

enum class PhotoRole { kTile, kTarget };

struct ListedPhoto {
  PhotoRole role = PhotoRole::kTile;
  std::string package;
  /// The resource bundle holding the photo; empty for a plain file.
  std::string container;
  /// A file path, or for a photo in a bundle its resource path (":/...").
  std::string path;
  std::string licence;
  int line = 0;  // in the list, for messages
};

/// Parses the list's text. False, with "line N: reason" in `error`, when a
/// line does not have five fields, names an unknown role, has an empty
/// path, or gives a bundle photo a path that does not start with ":/".
bool ParsePhotoList(std::string_view text, std::vector<ListedPhoto>& photos, std::string& error);

/// Reads and parses the list file; false with the reason in `error`.
bool ReadPhotoList(const std::filesystem::path& file, std::vector<ListedPhoto>& photos,
                   std::string& error);

}  // namespace tx::sample
