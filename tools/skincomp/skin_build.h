#pragma once
// Everything the compiler makes from the skin source: the skin files, the
// backgrounds and pictures of ui/, the click sound and the screen tables.

#include <filesystem>
#include <map>
#include <string>

#include "tools/skincomp/art.h"
#include "tools/skincomp/skin_source.h"

namespace tx::skincomp {

struct BuildOptions {
  /// The program folder: ui/ and the click sound go here.
  std::filesystem::path programDir;
  /// The C++ file of the screen tables.
  std::filesystem::path tablesFile;
  /// When set, a PNG of every picture made, to look at (not part of the build).
  std::filesystem::path previewDir;
  /// For the previews: words by string id, drawn where the program draws them.
  std::map<int, std::string> previewWords;
};

/// Writes every output. False with a reason on the first failure.
bool BuildSkins(const SkinSource& source, const Art& art, const BuildOptions& options,
                std::string& error);

}  // namespace tx::skincomp
