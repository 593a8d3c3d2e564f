#include "output/save_file_name.h"

#include <filesystem>

#include "output/save_options.h"

namespace tx {
namespace {

constexpr std::string_view kNameSeparators = "/\\:";

std::string& FolderStorage() {
  static std::string folder;
  return folder;
}

}  // namespace

bool HasTypedExtension(std::string_view path) {
  std::size_t separator = path.find_last_of(kNameSeparators);
  std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
  // Step back over whole characters: continuation bytes of UTF-8 are 10xxxxxx.
  std::size_t start = name.size();
  for (std::size_t chars = 0; chars < kExtensionSearchChars && start > 0; ++chars) {
    do {
      --start;
    } while (start > 0 && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80);
  }
  return name.substr(start).find('.') != std::string_view::npos;
}

std::string WithSaveExtension(std::string_view path, int code) {
  std::string result(path);
  if (!HasTypedExtension(path)) result += SaveTypeExtension(code);
  return result;
}

std::string AcceptSaveChoice(std::string_view typedName, int typeCode, const SaveOptions& shown) {
  SaveOptions& options = CurrentSaveOptions();
  SaveTypeControls controls = ControlsForType(typeCode);
  options.typeCode = typeCode;
  if (controls.quality) options.quality = ClampSaveQuality(shown.quality);
  if (controls.compress) options.compress = shown.compress;
  if (controls.interlace) options.interlace = shown.interlace;
  if (controls.secondGifFlag) options.secondGifFlag = shown.secondGifFlag;
  if (typedName.empty()) return {};
  std::string path = WithSaveExtension(typedName, typeCode);
  RememberSaveFolder(path);
  return path;
}

std::string FolderPart(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

const std::string& RememberedSaveFolder() {
  return FolderStorage();
}

void RememberSaveFolder(std::string_view chosenPath) {
  std::string folder = FolderPart(chosenPath);
  if (!folder.empty()) FolderStorage() = std::move(folder);
}

void ForgetSaveFolder() {
  FolderStorage().clear();
}

std::string InitialSaveFolder(const std::string& defaultFolder) {
  const std::string& remembered = FolderStorage();
  std::error_code error;
  if (!remembered.empty() && std::filesystem::is_directory(remembered, error)) return remembered;
  return defaultFolder;
}

}  // namespace tx
