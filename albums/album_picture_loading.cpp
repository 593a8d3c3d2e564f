#include "albums/album_picture_loading.h"

#include <algorithm>
#include <array>

#include "albums/album_string_ids.h"
#include "config/startup_settings.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "rastio/rastio.h"
#include "resources/messages.h"
#include "resources/string_ids.h"

namespace tx {
namespace {

std::string UpperExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(c >= 'a' && c <= 'z' ? c - 32 : c); });
  return ext;
}

// The types read by their contents: the program's picture types, and the
// newer types our reader handles.
bool IsContentReadType(const std::string& ext) {
  static constexpr std::array<const char*, 10> kTypes = {"BMP", "PCX", "TGA",  "JPG",  "JPEG",
                                                         "FPX", "PNG", "WEBP", "HEIC", "HEIF"};
  return std::find(kTypes.begin(), kTypes.end(), ext) != kTypes.end();
}

}  // namespace

bool IsAlbumPictureFile(const std::filesystem::path& path) {
  const std::string ext = UpperExtension(path);
  if (ext == "GIF") return !Settings().noGif;
  return ext == "TIF" || ext == "TIFF" || ext == "MSK" || IsContentReadType(ext);
}

GlobalHandle LoadAlbumPicture(NoticeOwner owner, const std::string& path, bool savingStill) {
  const std::string ext = UpperExtension(path);
  const bool noGif = Settings().noGif != 0;
  GlobalHandle picture = nullptr;
  if (ext == "TIF" || ext == "TIFF") {
    if (noGif && EzIsLzwTiff(path.c_str())) {
      ShowMessageFor(owner, kStrLzwNotSupported);
      return nullptr;
    }
    picture = EzLoadTifFile(path.c_str());
  } else if (ext == "GIF") {
    if (noGif) {
      ShowMessageFor(owner, kStrFormatNotSupported);
      return nullptr;
    }
    picture = EzLoadGifFile(path.c_str(), 1);
  } else if (ext == "MSK") {
    picture = EzLoadJpgFileThumbnail(path.c_str(), 0, 0);
  } else if (IsContentReadType(ext)) {
    picture = EzOpenFile(path.c_str(), 0, 0);
  } else {
    ShowMessageFor(owner, kStrUnrecognisedFormat);
    return nullptr;
  }

  if (!picture) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
      ShowMessageFor(owner, savingStill ? kStrFileSaveError : kStrUnknownFileFormat);
    } else {
      ShowFormatted(owner, kStrFileNotFound, kStrProgramName, kMbOk | kMbIconExclamation, path);
    }
    return nullptr;
  }
  if (GetImageKind(picture) == kImageKindGray) {
    PackedImage gray(picture);
    picture = ConvertToTrueColour(gray.get());
  }
  return picture;
}

}  // namespace tx
