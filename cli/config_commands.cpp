#include "cli/config_commands.h"

#include <cstdio>

#include "config/config_keys.h"
#include "config/settings_access.h"
#include "resources/messages.h"

namespace tx::cli {
namespace {

constexpr char kConfigUsage[] =
    "usage: tesserix-cli config get FILE SECTION KEY   (FILE is set or ini)\n"
    "       tesserix-cli config set SECTION KEY VALUE  (writes the user profile)\n";

// Prints the value, or the key's default when the file does not set it.
int Get(const Args& args) {
  ConfigFile which;
  if (args[0] == "set") {
    which = ConfigFile::Settings;
  } else if (args[0] == "ini") {
    which = ConfigFile::UserProfile;
  } else {
    return Fail("FILE must be set or ini, not \"" + args[0] + "\"");
  }
  Configuration& configuration = Configuration::Current();
  ProfileFile userProfile;
  if (which == ConfigFile::UserProfile) userProfile = configuration.userProfile();
  const ProfileFile& file =
      which == ConfigFile::Settings ? configuration.settingsFile() : userProfile;
  if (!file.loadError().empty())
    std::fprintf(stderr, "tesserix-cli: %s\n", file.loadError().c_str());

  std::optional<std::string> value = file.Get(args[1], args[2]);
  if (!value || value->empty()) {
    if (const ConfigKey* entry = FindConfigKey(which, args[1], args[2])) {
      value = ConfigKeyDefault(*entry);
    }
  }
  if (!value) return Fail("[" + args[1] + "] " + args[2] + " is not set and has no default");
  std::printf("%s\n", value->c_str());
  return kExitOk;
}

int Set(const Args& args) {
  bool valid = true;
  bool saved = Configuration::Current().EditUserProfile(
      [&](ProfileFile& profile) { valid = profile.Set(args[0], args[1], args[2]); });
  if (!valid) return Fail("\"" + args[1] + "\" cannot be a key of section [" + args[0] + "]");
  if (!saved) {
    return Fail("cannot save " + Configuration::Current().userProfilePath().string());
  }
  return kExitOk;
}

}  // namespace

int RunStringCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::printf("usage: tesserix-cli string ID\n  prints text ID of the message catalogue\n");
    return kExitOk;
  }
  if (args.size() != 1) return Fail("usage: tesserix-cli string ID");
  std::optional<int> id = ParseInt(args[0]);
  if (!id || *id < 0) return Fail("ID must be a string number, not \"" + args[0] + "\"");
  std::string text = LoadText(static_cast<unsigned>(*id));
  if (text.empty()) return Fail("the catalogue has no string " + args[0]);
  std::printf("%s\n", text.c_str());
  return kExitOk;
}

int RunConfigCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kConfigUsage, stdout);
    return kExitOk;
  }
  if (args.size() == 4 && args[0] == "get") return Get(Args(args.begin() + 1, args.end()));
  if (args.size() == 4 && args[0] == "set") return Set(Args(args.begin() + 1, args.end()));
  std::fputs(kConfigUsage, stderr);
  return kExitFailure;
}

}  // namespace tx::cli
