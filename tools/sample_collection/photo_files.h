#pragma once
// Making the listed photos readable as files. Plain files are read where
// they lie; a photo inside a Qt resource bundle is copied out into a work
// folder, because the picture readers read files by path.

#include <filesystem>
#include <map>
#include <string>

#include "tools/sample_collection/photo_list.h"

namespace tx::sample {

class PhotoFiles {
 public:
  /// Bundle photos are copied into `workFolder`, which is emptied now and
  /// removed with this object: it must be a folder of the tool's own.
  explicit PhotoFiles(std::filesystem::path workFolder);
  ~PhotoFiles();
  PhotoFiles(const PhotoFiles&) = delete;
  PhotoFiles& operator=(const PhotoFiles&) = delete;

  /// The file to read for `photo`, or an empty path when the photo is not on
  /// this machine or cannot be copied out (the reason in `why`).
  std::filesystem::path Locate(const ListedPhoto& photo, std::string& why);

 private:
  // The root a bundle is mapped under, or empty when it cannot be read.
  std::string BundleRoot(const std::string& container);

  std::filesystem::path m_workFolder;
  std::map<std::string, std::string> m_bundleRoots;
};

}  // namespace tx::sample
