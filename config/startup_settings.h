#pragma once
// The switches the program reads from the settings file at start, in one
// object that the other modules ask.

#include <string>
#include <vector>

#include "config/profile_file.h"

namespace tx {

/// Frame-interval choices: at most this many are read.
inline constexpr int kMaxSecondsPerFrameEntries = 64;
/// Tile-count tables never top out below this many tiles.
inline constexpr int kMinMaxImageNum = 600;

struct StartupSettings {
  // Tile collections.
  int defaultResolutionM = 15;
  int defaultResolutionL = 20;
  int defaultResolutionS = 10;
  int defaultName = 0;
  // Montage.
  int random = 0;
  int unlimited = 0;
  int useExactOrder = 0;
  // Editions.
  int noZanthe = 0;
  int noGif = 0;
  int videoEdition = 0;
  int sameLastDir = 1;
  // The screen at start.
  int screenWidth = 0;
  int screenHeight = 0;
  // Output limits.
  int lowResOnly = 0;
  int outputSizeLimit = 64;
  int maxImageNum = 2000;
  int cropRatio = 100;
  int orientation = 0;
  /// MaxImageNum read a second time, raised to at least kMinMaxImageNum.
  int maxImageNumAtLeast600 = 2000;
  // Shipped values read by the entry point.
  std::string defaultTwainDir;
  std::string showMeUrl;
  std::string korvexUrl;
  std::string zantheUrl;
  /// The frame-interval choices of the video screen, SPF1 onwards.
  std::vector<std::string> secondsPerFrame;
  // Read where they are used; kept here so every switch has one home.
  int forVanteo = 0;
  int forTw = 0;
  std::string forTwWebSite;
  int units = 0;
  int onlyWdm = 0;
  int cdSerialNo = 0;
  /// Non-zero: photos are decoded at full size when tiles are made.
  int exactDecode = 0;
};

/// Reads every switch from `settingsFile` in the order the program start
/// reads them; missing keys give their defaults.
StartupSettings ReadStartupSettings(const ProfileFile& settingsFile, int screenWidth,
                                    int screenHeight);

/// The frame-interval choices of section SecondsPerFrame: Number entries
/// (default 9, at most 64, negative read as 0), each at most 260 bytes,
/// the first nine defaulting to "0.5", "1", "2", "3", "4", "5", "10", "15",
/// "30" and later ones to "".
std::vector<std::string> SecondsPerFrame(const ProfileFile& settingsFile);

/// Reads the switches of this run from the program's settings file into
/// Settings(). In the video edition the program name becomes the library's
/// video-edition name, when the library has one.
void InitialiseStartupSettings(int screenWidth, int screenHeight);

/// The switches of this run; defaults until they are set.
const StartupSettings& Settings();
void SetStartupSettings(StartupSettings settings);

}  // namespace tx
