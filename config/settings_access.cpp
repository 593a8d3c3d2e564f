#include "config/settings_access.h"

#include "config/config_keys.h"
#include "platform/paths.h"
#include "resources/messages.h"
#include "resources/string_ids.h"

namespace tx {
namespace {

std::unique_ptr<Configuration>& CurrentStorage() {
  static std::unique_ptr<Configuration> current;
  return current;
}

std::string KeyNameOf(unsigned stringId) {
  return LoadText(stringId, kMaxKeyNameBytes + 1);
}

}  // namespace

Configuration::Configuration(std::filesystem::path settingsFile, std::filesystem::path userProfile)
    : m_settingsFile(std::move(settingsFile)), m_userProfile(std::move(userProfile)) {}

Configuration& Configuration::Current() {
  std::unique_ptr<Configuration>& current = CurrentStorage();
  if (!current) {
    std::filesystem::path userDir = UserDir();
    // A folder that cannot be made leaves the program on its defaults; the
    // first save then says that settings cannot be kept.
    EnsureDirectory(userDir);
    current = std::make_unique<Configuration>(ProgramDir() / kSettingsFileName,
                                              userDir / kUserProfileName);
  }
  return *current;
}

void Configuration::SetCurrent(std::unique_ptr<Configuration> configuration) {
  CurrentStorage() = std::move(configuration);
}

const ProfileFile& Configuration::settingsFile() {
  if (!m_settings) m_settings = std::make_unique<ProfileFile>(ProfileFile::Load(m_settingsFile));
  return *m_settings;
}

ProfileFile Configuration::userProfile() const {
  return ProfileFile::Load(m_userProfile);
}

bool Configuration::SaveUserProfile(const ProfileFile& profile) {
  std::string error;
  if (profile.Save(m_userProfile, error)) return true;
  if (!m_saveFailed) {
    m_saveFailed = true;
    ShowMessage(kStrSettingsNotSaved);
  }
  return false;
}

std::filesystem::path GetSettingsFilePath() {
  return Configuration::Current().settingsFilePath();
}

std::filesystem::path GetUserProfilePath() {
  return Configuration::Current().userProfilePath();
}

int ReadUserInt(std::string_view key, int fallback) {
  return Configuration::Current().userProfile().GetInt(kSectionUser, key, fallback);
}

bool ReadUserString(std::string_view key, std::string_view fallback, std::string& value) {
  value = Configuration::Current().userProfile().GetString(kSectionUser, key, fallback,
                                                           kMaxUserStringBytes);
  return !value.empty();
}

bool WriteUserString(std::string_view key, std::string_view value) {
  return Configuration::Current().EditUserProfile(
      [&](ProfileFile& profile) { profile.Set(kSectionUser, key, value); });
}

int ReadUserIntById(unsigned stringId, int fallback) {
  std::string key = KeyNameOf(stringId);
  return key.empty() ? fallback : ReadUserInt(key, fallback);
}

bool WriteUserIntById(unsigned stringId, int value) {
  std::string key = KeyNameOf(stringId);
  return key.empty() ? false : WriteUserString(key, std::to_string(value));
}

void ReadUserStringById(unsigned stringId, std::string& value) {
  std::string key = KeyNameOf(stringId);
  if (key.empty()) return;
  value = Configuration::Current().userProfile().GetString(kSectionUser, key, value,
                                                           kMaxUserStringByIdBytes);
}

bool WriteUserStringById(unsigned stringId, std::string_view value) {
  std::string key = KeyNameOf(stringId);
  return key.empty() ? false : WriteUserString(key, value);
}

}  // namespace tx
