#include "config/config_keys.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "resources/messages.h"
#include "resources/string_ids.h"

namespace tx {
namespace {

constexpr ConfigFile kSet = ConfigFile::Settings;
constexpr ConfigFile kIni = ConfigFile::UserProfile;
constexpr ConfigType kInt = ConfigType::Int;
constexpr ConfigType kText = ConfigType::String;
constexpr ConfigType kWhole = ConfigType::Section;

constexpr std::size_t kPathBytes = 260;

constexpr ConfigKey Int(ConfigFile file, const char* section, const char* key, int value) {
  return {file, section, key, 0, kInt, value, "", 0};
}
constexpr ConfigKey Text(ConfigFile file, const char* section, const char* key, const char* value,
                         std::size_t maxBytes) {
  return {file, section, key, 0, kText, 0, value, maxBytes};
}
constexpr ConfigKey UserIntById(unsigned id, int value) {
  return {kIni, kSectionUser, nullptr, id, kInt, value, "", 0};
}
constexpr ConfigKey Whole(ConfigFile file, const char* section) {
  return {file, section, nullptr, 0, kWhole, 0, "", 0};
}

// The shipped web addresses are deployment values.
constexpr char kShowMeUrl[] = "https://showme.korvex.example/sample";
constexpr char kKorvexUrl[] = "https://www.korvex.example/";
constexpr char kZantheUrl[] = "https://www.zanthe.example/";
constexpr char kRegionalUrl[] = "https://tw.korvex.example/member";

constexpr auto kKeys = std::to_array<ConfigKey>({
    // Settings file, section USER: web links and edition switches.
    Text(kSet, kSectionUser, "DefaultTwainDir", "", kPathBytes),
    Text(kSet, kSectionUser, "ShowMeURL", kShowMeUrl, kPathBytes),
    Text(kSet, kSectionUser, "KorvexURL", kKorvexUrl, kPathBytes),
    Text(kSet, kSectionUser, "ZantheURL", kZantheUrl, kPathBytes),
    Int(kSet, kSectionUser, "NOZANTHE", 0),
    Int(kSet, kSectionUser, "NOGIF", 0),
    Int(kSet, kSectionUser, "VIDEOEDITION", 0),
    Int(kSet, kSectionUser, "SAMELASTDIR", 1),
    Int(kSet, kSectionUser, "LowResOnly", 0),
    Int(kSet, kSectionUser, "Random", 0),
    Int(kSet, kSectionUser, "Unlimited", 0),
    Int(kSet, kSectionUser, "Orientation", 0),
    Int(kSet, kSectionUser, "ForVanteo", 0),
    Int(kSet, kSectionUser, "ForTW", 0),
    Text(kSet, kSectionUser, "ForTWWebSite", kRegionalUrl, kPathBytes),
    Text(kSet, kSectionUser, "CDName", "Tesserix CD", kPathBytes),
    Text(kSet, kSectionUser, "Collection", "", kPathBytes),
    Text(kSet, kSectionUser, "Drive", "", 10),
    Int(kSet, kSectionUser, "Units", 0),
    Int(kSet, kSectionUser, "bOnlyWDM", 0),
    // Settings file, section Test (also read as TEST: names ignore case).
    Int(kSet, kSectionTest, "DefaultResolutionM", 15),
    Int(kSet, kSectionTest, "DefaultResolutionL", 20),
    Int(kSet, kSectionTest, "DefaultResolutionS", 10),
    Int(kSet, kSectionTest, "DefaultName", 0),
    Int(kSet, kSectionTest, "CDSerialNo", 0),
    Int(kSet, kSectionTest, "OutputSizeLimit", 64),
    Int(kSet, kSectionTest, "MaxImageNum", 2000),
    Int(kSet, kSectionTest, "CropRatio", 100),
    Int(kSet, kSectionTestUpper, "UseExactOrder", 0),
    Int(kSet, kSectionTest, "ExactDecode", 0),
    // Settings file, the frame-interval choices of the video screen.
    Int(kSet, kSectionSecondsPerFrame, "Number", 9),
    Text(kSet, kSectionSecondsPerFrame, "SPF1", "0.5", kPathBytes),
    Text(kSet, kSectionSecondsPerFrame, "SPF2", "1", kPathBytes),
    Text(kSet, kSectionSecondsPerFrame, "SPF3", "2", kPathBytes),
    Text(kSet, kSectionSecondsPerFrame, "SPF4", "3", kPathBytes),
    Text(kSet, kSectionSecondsPerFrame, "SPF5", "4", kPathBytes),
    Text(kSet, kSectionSecondsPerFrame, "SPF6", "5", kPathBytes),
    Text(kSet, kSectionSecondsPerFrame, "SPF7", "10", kPathBytes),
    Text(kSet, kSectionSecondsPerFrame, "SPF8", "15", kPathBytes),
    Text(kSet, kSectionSecondsPerFrame, "SPF9", "30", kPathBytes),
    // Disc collections: the settings file ships them, the user profile may
    // hold the status section.
    Whole(ConfigFile::Both, "CDCOLLECTION"),
    Whole(ConfigFile::Both, "CDCOLLECTION PATH"),
    Whole(ConfigFile::Both, "CDCOLLECTION STATUS"),
    // User profile, section USER, fixed names.
    Int(kIni, kSectionUser, "FOR_640", 0),
    Text(kIni, kSectionUser, "TransferName", "", kPathBytes),
    Text(kIni, kSectionUser, "StiDeviceNAME", "", 512),
    Text(kIni, kSectionUser, "LastDir", "", 256),
    Int(kIni, kSectionUser, "MemoryScan", 0),
    Int(kIni, kSectionUser, "MultiScan", 0),
    Int(kIni, kSectionUser, "CAMERA_DATE", 0),
    // User profile, section USER, named by strings: the montage settings,
    // the video frame interval, and the image editor's settings.
    UserIntById(kKeyBlockNum, 0),
    UserIntById(kKeyPosition, 3),
    UserIntById(kKeyStyle, 0),
    UserIntById(kKeyResolution, 0),
    UserIntById(kKeyUsage, 0),
    UserIntById(kKeyGridBorder, 0),
    UserIntById(kKeyAllowColor, 1),
    UserIntById(kKeySignature, 0),
    UserIntById(kKeyTreasure, 0),
    UserIntById(kKeyTimeInterval, 3000),
    UserIntById(kKeyGammaR, 1000),
    UserIntById(kKeyGammaG, 1000),
    UserIntById(kKeyGammaB, 1000),
    UserIntById(kKeyActR, 255),
    UserIntById(kKeyActG, 255),
    UserIntById(kKeyActB, 0),
    UserIntById(kKeyAltR, 0),
    UserIntById(kKeyAltG, 0),
    UserIntById(kKeyAltB, 255),
    UserIntById(kKeyShowBrush, 1),
    UserIntById(kKeyShowColorPal, 1),
    UserIntById(kKeyEditorOption1, 0),
    UserIntById(kKeyEditorOption2, 32),
    UserIntById(kKeyScanCalFlag, 0),
    UserIntById(kKeyScanCalChannel, 0),
    {kIni, kSectionUser, nullptr, kKeyScanCalParam, kText, 0, "0", 127},
    UserIntById(kKeyPrintCalFlag, 0),
    UserIntById(kKeyPrintCalChannel, 0),
    UserIntById(kKeyBlackGeneration, 33),
    UserIntById(kKeyUnderColorRemoval, 20),
    UserIntById(kKeyTotalInkLimit, 400),
    // Albums keep the current album and their own sections.
    Whole(kIni, "ALBUMCUR"),
});

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

bool InFile(ConfigFile entry, ConfigFile wanted) {
  return entry == wanted || entry == ConfigFile::Both || wanted == ConfigFile::Both;
}

}  // namespace

std::span<const ConfigKey> ConfigKeys() {
  return kKeys;
}

std::string ConfigKeyName(const ConfigKey& entry) {
  if (entry.key) return entry.key;
  if (entry.type == ConfigType::Section || entry.keyStringId == 0) return {};
  return LoadText(entry.keyStringId, kMaxKeyNameBytes + 1);
}

std::string ConfigKeyDefault(const ConfigKey& entry) {
  switch (entry.type) {
    case ConfigType::Int:
      return std::to_string(entry.defaultInt);
    case ConfigType::String:
      return entry.defaultText;
    case ConfigType::Section:
      break;
  }
  return {};
}

const ConfigKey* FindConfigKey(ConfigFile file, std::string_view section, std::string_view key) {
  for (const ConfigKey& entry : kKeys) {
    if (!InFile(entry.file, file) || !SameName(entry.section, section)) continue;
    if (entry.type == ConfigType::Section) {
      if (key.empty()) return &entry;
      continue;
    }
    std::string name = ConfigKeyName(entry);
    if (!name.empty() && SameName(name, key)) return &entry;
  }
  return nullptr;
}

}  // namespace tx
