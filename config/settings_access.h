#pragma once
// Access to the two configuration files.
//
// The settings file Tesserix.set lies in the program folder and is only
// ever read. The user profile Tesserix.ini lies in the user folder; it is
// read afresh on every access (another instance may have written it) and
// every write replaces it atomically. When the user profile cannot be
// written the program goes on with what it has and says so once.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "config/profile_file.h"

namespace tx {

inline constexpr char kSettingsFileName[] = "Tesserix.set";
inline constexpr char kUserProfileName[] = "Tesserix.ini";

/// The most bytes ReadUserString and ReadUserStringById give.
inline constexpr std::size_t kMaxUserStringBytes = 256;
inline constexpr std::size_t kMaxUserStringByIdBytes = 127;

/// The configuration files of one program run. Tests make their own; the
/// program uses Configuration::Current().
class Configuration {
 public:
  Configuration(std::filesystem::path settingsFile, std::filesystem::path userProfile);

  /// The program's configuration: the settings file in the program folder,
  /// the user profile in the user folder (created when missing).
  static Configuration& Current();
  /// Replaces the program's configuration (tests, a changed user folder).
  static void SetCurrent(std::unique_ptr<Configuration> configuration);

  const std::filesystem::path& settingsFilePath() const { return m_settingsFile; }
  const std::filesystem::path& userProfilePath() const { return m_userProfile; }

  /// The settings file as read at the first use; it is never written.
  const ProfileFile& settingsFile();
  /// The user profile as it is on disc now.
  ProfileFile userProfile() const;

  /// Changes the user profile: loads it, applies `edit`, saves it. On
  /// failure the user is told once per run that settings cannot be saved.
  template <typename Edit>
  bool EditUserProfile(Edit&& edit) {
    ProfileFile profile = userProfile();
    edit(profile);
    return SaveUserProfile(profile);
  }
  bool SaveUserProfile(const ProfileFile& profile);

  /// True once a save of the user profile has failed in this run.
  bool saveFailed() const { return m_saveFailed; }

 private:
  std::filesystem::path m_settingsFile;
  std::filesystem::path m_userProfile;
  std::unique_ptr<ProfileFile> m_settings;
  bool m_saveFailed = false;
};

/// The full paths of Tesserix.set and Tesserix.ini; the first call makes the
/// user profile's folders.
std::filesystem::path GetSettingsFilePath();
std::filesystem::path GetUserProfilePath();

/// Section USER of the user profile.
int ReadUserInt(std::string_view key, int fallback);
/// Puts the value (at most kMaxUserStringBytes), or `fallback` when the key
/// is missing or empty, in `value`; true when what it put there is not empty.
bool ReadUserString(std::string_view key, std::string_view fallback, std::string& value);
bool WriteUserString(std::string_view key, std::string_view value);

/// The same, the key named by string `stringId` of the resource library (at
/// most 32 bytes). Without that string the key name is empty: reads give
/// the default and writes do nothing.
int ReadUserIntById(unsigned stringId, int fallback);
bool WriteUserIntById(unsigned stringId, int value);
/// `value` holds the default on entry and the value (at most
/// kMaxUserStringByIdBytes) on return.
void ReadUserStringById(unsigned stringId, std::string& value);
bool WriteUserStringById(unsigned stringId, std::string_view value);

}  // namespace tx
