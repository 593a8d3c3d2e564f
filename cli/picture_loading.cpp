#include "cli/picture_loading.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "rastio/rastio.h"

namespace tx::cli {
namespace {

std::string UpperExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return ext;
}

}  // namespace

bool IsPictureExtension(const std::string& extension) {
  // The classic types, plus TIFF's long name and the types phones write.
  static constexpr std::array<const char*, 13> kTypes = {"BMP",  "PCX",  "TGA", "JPG",  "JPEG",
                                                         "FPX",  "PNG",  "TIF", "TIFF", "GIF",
                                                         "WEBP", "HEIC", "HEIF"};
  std::string upper = extension;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return std::find(kTypes.begin(), kTypes.end(), upper) != kTypes.end();
}

GlobalHandle LoadPictureByExtension(const std::string& path, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    error = path + ": no such file";
    return nullptr;
  }
  std::string ext = UpperExtension(path);
  GlobalHandle image = nullptr;
  if (ext == "TIF" || ext == "TIFF") {
    image = EzLoadTifFile(path.c_str());
  } else if (ext == "GIF") {
    image = EzLoadGifFile(path.c_str(), 1);
  } else if (IsPictureExtension(ext)) {
    image = EzOpenFile(path.c_str(), 0, 0);
  } else {
    error = path + ": unrecognised file format";
    return nullptr;
  }
  if (!image) error = EzLastError();
  return image;
}

}  // namespace tx::cli
