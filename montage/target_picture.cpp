#include "montage/target_picture.h"

#include <algorithm>
#include <cctype>

#include "collections/photo_loading.h"
#include "config/startup_settings.h"
#include "image/image_utils.h"
#include "rastio/rastio.h"
#include "resources/messages.h"
#include "resources/string_ids.h"

namespace tx {
namespace {

constexpr unsigned kStrFileNotFound = 6465;
constexpr unsigned kStrNoLzw = 2545;
constexpr unsigned kStrFormatNotSupported = 2326;
constexpr unsigned kStrUnrecognisedFormat = 2356;

std::string LowerExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return ext;
}

}  // namespace

PackedImage ReadTargetPicture(NoticeOwner owner, const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    ShowFormatted(owner, kStrFileNotFound, kStrProgramName, kMbOk | kMbIconExclamation,
                  path.string());
    return {};
  }
  const bool noGif = Settings().noGif != 0;
  std::string ext = LowerExtension(path);
  PackedImage picture;
  if (ext == "tif" || ext == "tiff") {
    if (noGif && EzIsLzwTiff(path.c_str())) {
      ShowMessageFor(owner, kStrNoLzw);
      return {};
    }
    picture.reset(EzLoadTifFile(path.c_str()));
  } else if (ext == "gif") {
    if (noGif) {
      ShowMessageFor(owner, kStrFormatNotSupported);
      return {};
    }
    picture.reset(EzLoadGifFile(path.c_str(), 1));
  } else if (IsBuildPicture(path)) {
    picture.reset(EzOpenFile(path.c_str(), 0, 0));
  } else {
    ShowMessageFor(owner, kStrUnrecognisedFormat);
    return {};
  }
  if (picture && GetImageKind(picture.get()) != kImageKindTrueColour) {
    picture.reset(ConvertToTrueColour(picture.get()));
  }
  return picture;
}

}  // namespace tx
