#pragma once
// Every key of the two configuration files in one table: which file and
// section holds it, its type and its default.
//
// The settings file (Tesserix.set, beside the program) is shipped and only
// read; the user profile (Tesserix.ini, in the user folder) holds the user's
// choices. Some user keys are named by a string of the resource library, so
// a library in another language names them in that language.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tx {

enum class ConfigFile { Settings, UserProfile, Both };
enum class ConfigType { Int, String, Section };

struct ConfigKey {
  ConfigFile file;
  const char* section;
  /// The key name; null when a string of the resource library names it.
  const char* key;
  /// The string naming the key, when `key` is null.
  unsigned keyStringId;
  ConfigType type;
  int defaultInt;
  const char* defaultText;
  /// The most bytes a string value keeps (0 for integers and sections).
  std::size_t maxBytes;
};

/// Section names.
inline constexpr char kSectionUser[] = "USER";
inline constexpr char kSectionTest[] = "Test";
inline constexpr char kSectionTestUpper[] = "TEST";
inline constexpr char kSectionSecondsPerFrame[] = "SecondsPerFrame";

/// Key names taken from strings are at most this long.
inline constexpr std::size_t kMaxKeyNameBytes = 32;

/// The whole table, in the order of the files' documentation.
std::span<const ConfigKey> ConfigKeys();

/// The table entry of `key` in `section` of `file` (names compared without
/// regard to case; keys named by strings matched through the bound resource
/// library), or null.
const ConfigKey* FindConfigKey(ConfigFile file, std::string_view section, std::string_view key);

/// The key's name: its fixed name, or the text of its string (at most
/// kMaxKeyNameBytes; "" when the library lacks the string).
std::string ConfigKeyName(const ConfigKey& entry);

/// The default as text ("" for sections).
std::string ConfigKeyDefault(const ConfigKey& entry);

}  // namespace tx
