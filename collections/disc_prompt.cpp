#include "collections/disc_prompt.h"

#include <cctype>
#include <string_view>

#include "collections/collection_registry.h"
#include "config/config_keys.h"
#include "config/settings_access.h"
#include "resources/messages.h"
#include "resources/string_ids.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

// Key `key` of section USER of the settings file, with the key table's
// default and length.
std::string ReadDiscSetting(const ProfileFile& settings, const char* key) {
  const ConfigKey* entry = FindConfigKey(ConfigFile::Settings, kSectionUser, key);
  if (!entry) return {};
  return settings.GetString(kSectionUser, key, ConfigKeyDefault(*entry), entry->maxBytes);
}

// True for a folder name "Res" followed by one or more digits.
bool IsResolutionFolder(std::string_view name) {
  if (name.size() < 4 || name.substr(0, 3) != "Res") return false;
  for (char c : name.substr(3)) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

std::string DiscDriveOfPath(const fs::path& tilePicturePath) {
  const std::string text = tilePicturePath.string();
  if (text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':') {
    return text.substr(0, 2);
  }
  // Our paths have no drive letters: name the disc folder the collection
  // expects, the one holding the resolution folders.
  fs::path above;
  fs::path walked;
  for (const fs::path& part : tilePicturePath.parent_path()) {
    if (IsResolutionFolder(part.string()) && !walked.empty()) above = walked;
    walked /= part;
  }
  if (!above.empty()) return above.string();
  fs::path folder = tilePicturePath.parent_path();
  return folder.empty() ? text : folder.string();
}

int AskForCollectionDisc(NoticeOwner owner, const fs::path& tilePicturePath,
                         CollectionRegistry& registry, int discIndex) {
  // Without the text there is no one to ask; answering OK would make the
  // caller try the same picture again without end.
  if (LoadText(kStrInsertCollectionDisc).empty()) return kIdCancel;

  const ProfileFile& settings = registry.configuration().settingsFile();
  const std::string discName = ReadDiscSetting(settings, "CDName");
  std::string collection = ReadDiscSetting(settings, "Collection");
  if (collection.empty()) collection = registry.GetCollectionName(kDiscCollection, discIndex);
  std::string drive = ReadDiscSetting(settings, "Drive");
  if (drive.empty()) drive = DiscDriveOfPath(tilePicturePath);

  return ShowFormatted(owner, kStrInsertCollectionDisc, kStrWarning,
                       kMbOkCancel | kMbIconExclamation, discName, collection, drive);
}

}  // namespace tx
