#include "collections/photo_loading.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "config/startup_settings.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "rastio/rastio.h"

namespace tx {
namespace {

std::string UpperExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return ext;
}

bool IsOtherPictureType(const std::string& ext) {
  static constexpr std::array<const char*, 10> kTypes = {"BMP", "PCX", "TGA",  "JPG",  "JPEG",
                                                         "FPX", "PNG", "WEBP", "HEIC", "HEIF"};
  return std::find(kTypes.begin(), kTypes.end(), ext) != kTypes.end();
}

GlobalHandle Refuse(std::string* reason, const std::string& why) {
  if (reason) *reason = why;
  return nullptr;
}

}  // namespace

bool IsBuildPicture(const std::filesystem::path& path) {
  std::string ext = UpperExtension(path);
  if (ext == "GIF") return !Settings().noGif;
  return ext == "TIF" || ext == "TIFF" || IsOtherPictureType(ext);
}

GlobalHandle LoadPictureFile(const std::filesystem::path& path, int minWidth, int minHeight,
                             std::string* reason) {
  std::string ext = UpperExtension(path);
  const bool noGif = Settings().noGif != 0;
  GlobalHandle picture = nullptr;
  if (ext == "TIF" || ext == "TIFF") {
    if (noGif && EzIsLzwTiff(path.c_str())) {
      return Refuse(reason, "LZW compression is not supported in this edition");
    }
    picture = EzLoadTifFile(path.c_str());
  } else if (ext == "GIF") {
    if (noGif) return Refuse(reason, "GIF pictures are not supported in this edition");
    picture = EzLoadGifFile(path.c_str(), 1);
  } else if (IsOtherPictureType(ext)) {
    picture = minWidth > 0 || minHeight > 0 ? LoadPictureAtLeast(path.c_str(), minWidth, minHeight)
                                            : EzOpenFile(path.c_str(), 0, 0);
  } else {
    return Refuse(reason, "not a picture type");
  }
  if (!picture) return Refuse(reason, EzLastError());
  if (GetImageKind(picture) == kImageKindGray) {
    PackedImage gray(picture);
    picture = ConvertToTrueColour(gray.get());
    if (!picture) return Refuse(reason, "not enough memory");
  }
  return picture;
}

}  // namespace tx
