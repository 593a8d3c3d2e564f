// The configuration key table, settings access and the start-up switches.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "config/config_keys.h"
#include "config/settings_access.h"
#include "config/startup_settings.h"
#include "platform/notices.h"
#include "resources/resource_binding.h"
#include "resources/string_ids.h"
#include "tests/support/recording_notice_sink.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::TempDir;

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A fresh configuration in a temporary program and user folder, with a
// resource library bound.
class Settings : public ::testing::Test {
 protected:
  void SetUpLanguage(const char* library) {
    std::string error;
    ASSERT_TRUE(BindResourceLibrary(TESSERIX_BIN_DIR, library, error)) << error;
    Configuration::SetCurrent(
        std::make_unique<Configuration>(m_dir / "Tesserix.set", m_dir / "user" / "Tesserix.ini"));
    std::filesystem::create_directories(m_dir / "user");
  }
  void SetUp() override { SetUpLanguage("Res_TX"); }
  void TearDown() override {
    Configuration::SetCurrent(nullptr);
    ReleaseResourceLibrary();
  }
  TempDir m_dir;
  testing::ScopedRecordingSink m_sink;
};

// Reads `entry` through the configuration as the program reads it.
std::string ReadKey(const ConfigKey& entry) {
  std::string name = ConfigKeyName(entry);
  if (entry.file == ConfigFile::Settings) {
    const ProfileFile& file = Configuration::Current().settingsFile();
    return entry.type == ConfigType::Int
               ? std::to_string(file.GetInt(entry.section, name, entry.defaultInt))
               : file.GetString(entry.section, name, entry.defaultText, entry.maxBytes);
  }
  if (entry.type == ConfigType::Int) {
    return std::to_string(entry.keyStringId ? ReadUserIntById(entry.keyStringId, entry.defaultInt)
                                            : ReadUserInt(name, entry.defaultInt));
  }
  std::string value = entry.defaultText;
  if (entry.keyStringId) {
    ReadUserStringById(entry.keyStringId, value);
  } else {
    ReadUserString(name, entry.defaultText, value);
  }
  return value;
}

TEST_F(Settings, EveryKeyReadsItsDefaultFromAnEmptySetupAndItsValueFromAFile) {
  ProfileFile settingsFile;
  std::vector<const ConfigKey*> named;
  for (const ConfigKey& entry : ConfigKeys()) {
    if (entry.type == ConfigType::Section) continue;
    EXPECT_EQ(ReadKey(entry), ConfigKeyDefault(entry)) << ConfigKeyName(entry);
    std::string name = ConfigKeyName(entry);
    // Keys whose naming string the library lacks always read their default.
    if (name.empty()) continue;
    named.push_back(&entry);
    std::string value = entry.type == ConfigType::Int ? "77" : "value";
    if (entry.file == ConfigFile::Settings) {
      ASSERT_TRUE(settingsFile.Set(entry.section, name, value));
    } else {
      ASSERT_TRUE(WriteUserString(name, value));
    }
  }
  std::string error;
  ASSERT_TRUE(settingsFile.Save(Configuration::Current().settingsFilePath(), error)) << error;
  Configuration::SetCurrent(std::make_unique<Configuration>(
      Configuration::Current().settingsFilePath(), Configuration::Current().userProfilePath()));
  for (const ConfigKey* entry : named) {
    EXPECT_EQ(ReadKey(*entry), entry->type == ConfigType::Int ? "77" : "value")
        << ConfigKeyName(*entry);
  }
  EXPECT_TRUE(m_sink->notices.empty());
}

TEST_F(Settings, StartupSwitchesHaveTheirDefaultsWithoutASettingsFile) {
  StartupSettings s = ReadStartupSettings(Configuration::Current().settingsFile(), 1024, 768);
  EXPECT_EQ(s.defaultResolutionM, 15);
  EXPECT_EQ(s.defaultResolutionL, 20);
  EXPECT_EQ(s.defaultResolutionS, 10);
  EXPECT_EQ(s.sameLastDir, 1);
  EXPECT_EQ(s.outputSizeLimit, 64);
  EXPECT_EQ(s.maxImageNum, 2000);
  EXPECT_EQ(s.cropRatio, 100);
  EXPECT_EQ(s.screenWidth, 1024);
  EXPECT_EQ(s.secondsPerFrame,
            (std::vector<std::string>{"0.5", "1", "2", "3", "4", "5", "10", "15", "30"}));
}

TEST_F(Settings, StartupSwitchesReadTestAndTESTAsOneSection) {
  ProfileFile file = ProfileFile::Parse(
      "[test]\nMaxImageNum=500\nUseExactOrder=1\nCropRatio=80\n"
      "[user]\nRandom=1\nNOGIF=1\nShowMeURL=\"http://x\"\n"
      "[SecondsPerFrame]\nNumber=100\nSPF2=7\n");
  StartupSettings s = ReadStartupSettings(file, 800, 600);
  EXPECT_EQ(s.maxImageNum, 500);
  EXPECT_EQ(s.maxImageNumAtLeast600, 600);
  EXPECT_EQ(s.useExactOrder, 1);
  EXPECT_EQ(s.cropRatio, 80);
  EXPECT_EQ(s.random, 1);
  EXPECT_EQ(s.noGif, 1);
  EXPECT_EQ(s.showMeUrl, "http://x");
  ASSERT_EQ(s.secondsPerFrame.size(), 64u);
  EXPECT_EQ(s.secondsPerFrame[1], "7");
  EXPECT_EQ(s.secondsPerFrame[8], "30");
  EXPECT_EQ(s.secondsPerFrame[9], "");
  EXPECT_TRUE(SecondsPerFrame(ProfileFile::Parse("[SecondsPerFrame]\nNumber=-4\n")).empty());
}

TEST_F(Settings, TheShippedSettingsFileHoldsEveryKeyAtItsDefaultWithAComment) {
  std::filesystem::path shipped = std::filesystem::path(TESSERIX_BIN_DIR) / kSettingsFileName;
  ProfileFile file = ProfileFile::Load(shipped);
  ASSERT_TRUE(file.loadError().empty());
  std::ifstream in(shipped);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  for (const ConfigKey& entry : ConfigKeys()) {
    if (entry.file != ConfigFile::Settings) continue;
    std::string name = ConfigKeyName(entry);
    ASSERT_TRUE(file.Get(entry.section, name)) << name << " is not shipped";
    EXPECT_EQ(file.GetString(entry.section, name, ""), ConfigKeyDefault(entry)) << name;
    // The line before the key, or before its group of SPF entries, explains it.
    auto at = std::find_if(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(name + "=", 0) == 0; });
    ASSERT_NE(at, lines.end());
    while (at != lines.begin() && (at - 1)->rfind("SPF", 0) == 0)
      --at;
    ASSERT_NE(at, lines.begin());
    EXPECT_EQ((at - 1)->front(), ';') << name << " has no comment";
  }
  StartupSettings s = ReadStartupSettings(file, 800, 600);
  StartupSettings defaults = ReadStartupSettings(ProfileFile(), 800, 600);
  EXPECT_EQ(s.secondsPerFrame, defaults.secondsPerFrame);
  EXPECT_EQ(s.korvexUrl, defaults.korvexUrl);
}

TEST_F(Settings, UserValuesRoundTripAndNamesByIdFollowTheLanguage) {
  EXPECT_EQ(ReadUserInt("FOR_640", 0), 0);
  EXPECT_TRUE(WriteUserString("LastDir", "/home/me/相片"));
  std::string value;
  EXPECT_TRUE(ReadUserString("lastdir", "", value));
  EXPECT_EQ(value, "/home/me/相片");
  EXPECT_FALSE(ReadUserString("Missing", "", value));
  EXPECT_TRUE(ReadUserString("Missing", "fallback", value));
  EXPECT_EQ(value, "fallback");

  EXPECT_EQ(ReadUserIntById(kKeyPosition, 3), 3);
  EXPECT_TRUE(WriteUserIntById(kKeyStyle, 1));
  EXPECT_TRUE(WriteUserIntById(kKeyPosition, -2));
  EXPECT_EQ(ReadUserIntById(kKeyStyle, 0), 1);
  EXPECT_EQ(ReadUserInt("樣式", 0), 1);
  EXPECT_EQ(ReadUserIntById(kKeyPosition, 3), -2);
  EXPECT_FALSE(WriteUserIntById(kKeyEditorOption1, 5));
  EXPECT_EQ(ReadUserIntById(kKeyEditorOption2, 32), 32);

  std::string param = "default";
  ReadUserStringById(kKeyScanCalParam, param);
  EXPECT_EQ(param, "default");
  EXPECT_TRUE(WriteUserStringById(kKeyScanCalParam, std::string(300, 'p')));
  ReadUserStringById(kKeyScanCalParam, param);
  EXPECT_EQ(param.size(), kMaxUserStringByIdBytes);

  // The English library names the style key in English: the Chinese key is
  // not seen.
  TearDown();
  SetUpLanguage("Res_EN");
  EXPECT_EQ(ReadUserIntById(kKeyStyle, 0), 0);
  EXPECT_EQ(FindConfigKey(ConfigFile::UserProfile, "user", "STYLE")->keyStringId, kKeyStyle);
  EXPECT_TRUE(m_sink->notices.empty());
}

TEST_F(Settings, AnUnwritableUserFolderLeavesDefaultsAndSaysSoOnce) {
  // A plain file where the user folder should be: no one can write there.
  WriteText(m_dir / "not-a-folder", "");
  Configuration::SetCurrent(std::make_unique<Configuration>(
      m_dir / "Tesserix.set", m_dir / "not-a-folder" / "Tesserix.ini"));
  EXPECT_FALSE(WriteUserString("LastDir", "a"));
  EXPECT_FALSE(WriteUserIntById(kKeyStyle, 1));
  EXPECT_EQ(ReadUserIntById(kKeyStyle, 0), 0);
  ASSERT_EQ(m_sink->notices.size(), 1u);
  EXPECT_EQ(m_sink->notices[0].text, "無法儲存設定，您這次所做的變更將不會保留。");
  EXPECT_TRUE(Configuration::Current().saveFailed());
}

TEST_F(Settings, AHostileUserProfileReadsAsDefaultsAndIsNotLost) {
  std::filesystem::path ini = Configuration::Current().userProfilePath();
  using namespace std::string_literals;
  std::string garbage = "\xff\xfe[USER\n=x\n[USER]\nFOR_640\n"s + std::string(100000, 'k') +
                        "\n\0\0\n[USER]\nFOR_640=2\n"s;
  WriteText(ini, garbage);
  EXPECT_EQ(ReadUserInt("FOR_640", 0), 0);
  // A profile too large to read is never replaced by a save.
  std::filesystem::resize_file(ini, kMaxProfileFileBytes + 1);
  EXPECT_EQ(ReadUserInt("FOR_640", 7), 7);
  EXPECT_FALSE(WriteUserString("FOR_640", "1"));
  EXPECT_EQ(std::filesystem::file_size(ini), kMaxProfileFileBytes + 1);
}

}  // namespace
}  // namespace tx
