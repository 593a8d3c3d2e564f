#include "config/startup_settings.h"

#include <algorithm>
#include <array>

#include "config/config_keys.h"
#include "config/settings_access.h"
#include "resources/messages.h"
#include "resources/string_ids.h"

namespace tx {
namespace {

constexpr std::size_t kShippedValueBytes = 260;

StartupSettings& Storage() {
  static StartupSettings settings;
  return settings;
}

// The table's default of a settings-file key, so that defaults live in one
// place.
const ConfigKey& Entry(std::string_view section, std::string_view key) {
  const ConfigKey* entry = FindConfigKey(ConfigFile::Settings, section, key);
  static const ConfigKey kMissing{};
  return entry ? *entry : kMissing;
}

int Int(const ProfileFile& file, std::string_view section, std::string_view key) {
  return file.GetInt(section, key, Entry(section, key).defaultInt);
}

std::string Text(const ProfileFile& file, std::string_view section, std::string_view key) {
  const ConfigKey& entry = Entry(section, key);
  return file.GetString(section, key, entry.defaultText ? entry.defaultText : "",
                        entry.maxBytes ? entry.maxBytes : kShippedValueBytes);
}

}  // namespace

std::vector<std::string> SecondsPerFrame(const ProfileFile& file) {
  int count =
      std::clamp(Int(file, kSectionSecondsPerFrame, "Number"), 0, kMaxSecondsPerFrameEntries);
  std::vector<std::string> entries;
  for (int i = 1; i <= count; ++i) {
    std::string key = "SPF" + std::to_string(i);
    entries.push_back(Text(file, kSectionSecondsPerFrame, key));
  }
  return entries;
}

StartupSettings ReadStartupSettings(const ProfileFile& file, int screenWidth, int screenHeight) {
  StartupSettings s;
  // The order is the order in which the program's start reads them.
  s.defaultResolutionM = Int(file, kSectionTest, "DefaultResolutionM");
  s.defaultResolutionL = Int(file, kSectionTest, "DefaultResolutionL");
  s.defaultResolutionS = Int(file, kSectionTest, "DefaultResolutionS");
  s.defaultName = Int(file, kSectionTest, "DefaultName");
  s.random = Int(file, kSectionUser, "Random");
  s.unlimited = Int(file, kSectionUser, "Unlimited");
  s.useExactOrder = Int(file, kSectionTestUpper, "UseExactOrder");
  s.noZanthe = Int(file, kSectionUser, "NOZANTHE");
  s.noGif = Int(file, kSectionUser, "NOGIF");
  s.videoEdition = Int(file, kSectionUser, "VIDEOEDITION");
  s.sameLastDir = Int(file, kSectionUser, "SAMELASTDIR");
  s.screenWidth = screenWidth;
  s.screenHeight = screenHeight;
  s.lowResOnly = Int(file, kSectionUser, "LowResOnly");
  s.outputSizeLimit = Int(file, kSectionTest, "OutputSizeLimit");
  s.maxImageNum = Int(file, kSectionTest, "MaxImageNum");
  s.cropRatio = Int(file, kSectionTest, "CropRatio");
  s.orientation = Int(file, kSectionUser, "Orientation");
  s.maxImageNumAtLeast600 =
      std::max(kMinMaxImageNum, file.GetInt(kSectionTestUpper, "MaxImageNum", 2000));
  s.defaultTwainDir = Text(file, kSectionUser, "DefaultTwainDir");
  s.showMeUrl = Text(file, kSectionUser, "ShowMeURL");
  s.korvexUrl = Text(file, kSectionUser, "KorvexURL");
  s.zantheUrl = Text(file, kSectionUser, "ZantheURL");
  s.secondsPerFrame = SecondsPerFrame(file);
  s.forVanteo = Int(file, kSectionUser, "ForVanteo");
  s.forTw = Int(file, kSectionUser, "ForTW");
  s.forTwWebSite = Text(file, kSectionUser, "ForTWWebSite");
  s.units = Int(file, kSectionUser, "Units");
  s.onlyWdm = Int(file, kSectionUser, "bOnlyWDM");
  s.cdSerialNo = Int(file, kSectionTest, "CDSerialNo");
  s.exactDecode = Int(file, kSectionTest, "ExactDecode");
  return s;
}

void InitialiseStartupSettings(int screenWidth, int screenHeight) {
  SetStartupSettings(
      ReadStartupSettings(Configuration::Current().settingsFile(), screenWidth, screenHeight));
  if (Settings().videoEdition) {
    // A library without the video edition's name keeps the program's own,
    // rather than leaving every caption empty.
    std::string name = LoadText(kStrVideoProgramName);
    if (!name.empty()) SetProgramName(name);
  }
}

const StartupSettings& Settings() {
  return Storage();
}

void SetStartupSettings(StartupSettings settings) {
  Storage() = std::move(settings);
}

}  // namespace tx
