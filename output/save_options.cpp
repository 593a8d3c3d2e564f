#include "output/save_options.h"

#include <algorithm>

#include "config/startup_settings.h"
#include "resources/messages.h"

namespace tx {
namespace {

// Spellings used when the catalogue lacks an extension string, and the two
// types the catalogue never names.
constexpr std::array<const char*, kSaveTypeCount> kBuiltInExtensions = {
    ".BMP", ".TIF", ".PCX", ".GIF", ".TGA", ".JPG", ".FPX", ".PNG"};
constexpr int kLastCatalogueExtensionType = kSaveTypeJpg;
constexpr const char* kJpegFilterMark = "(*.JPG)";

}  // namespace

std::string SaveTypeExtension(int code) {
  if (code < 1 || code > kSaveTypeCount) return {};
  if (code <= kLastCatalogueExtensionType) {
    std::string text = LoadText(kStrFirstSaveExtension + unsigned(code - 1));
    if (!text.empty()) return text;
  }
  return kBuiltInExtensions[std::size_t(code - 1)];
}

std::vector<int> SaveTypeList(bool gifWriting) {
  std::vector<int> codes;
  for (int code = 1; code <= kSaveTypeCount; ++code) {
    if (code != kSaveTypeGif || gifWriting) codes.push_back(code);
  }
  return codes;
}

int SaveTypeAt(std::size_t index, bool gifWriting) {
  std::vector<int> codes = SaveTypeList(gifWriting);
  return index < codes.size() ? codes[index] : 0;
}

int SaveTypeIndex(int code, bool gifWriting) {
  std::vector<int> codes = SaveTypeList(gifWriting);
  auto it = std::find(codes.begin(), codes.end(), code);
  return it == codes.end() ? -1 : int(it - codes.begin());
}

bool GifWritingOn() {
  return Settings().noGif == 0;
}

SaveTypeControls ControlsForType(int code) {
  SaveTypeControls controls;
  controls.quality = code == kSaveTypeJpg || code == kSaveTypeFpx;
  controls.compress = code == kSaveTypeTif || code == kSaveTypeTga;
  controls.interlace = code == kSaveTypeGif;
  controls.secondGifFlag = code == kSaveTypeGif;
  return controls;
}

SaveOptions& CurrentSaveOptions() {
  static SaveOptions options;
  return options;
}

int ClampSaveQuality(int quality) {
  return std::clamp(quality, kMinSaveQuality, kMaxSaveQuality);
}

std::array<std::int32_t, kSaveOptionWords> SaveOptionBlock(const SaveOptions& options) {
  return {options.quality,      0, options.compress, kSaveTrueColourWord, options.interlace,
          options.secondGifFlag};
}

std::vector<std::string> SaveFilterEntries(bool gifWriting) {
  return SplitTextList(LoadTextList(gifWriting ? kStrSaveFilterAllTypes : kStrSaveFilterNoGif));
}

int InitialSaveFilter(const std::vector<std::string>& entries) {
  for (std::size_t i = 0; i < entries.size(); i += 2) {
    if (entries[i].find(kJpegFilterMark) != std::string::npos) return int(i / 2);
  }
  return 0;
}

}  // namespace tx
