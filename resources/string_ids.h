#pragma once
// Names of the string ids of the message catalogue that the program uses.
// The texts themselves live only in the resource scripts.

namespace tx {

// Program identity and captions.
inline constexpr unsigned kStrProgramName = 3087;
inline constexpr unsigned kStrWarning = 3088;
inline constexpr unsigned kStrClipboardFormat = 33100;
inline constexpr unsigned kStrPrintDocument = 34465;
/// The video edition's program name, message and document name; the
/// libraries we ship have none of them.
inline constexpr unsigned kStrVideoScreenTooSmall = 9924;
inline constexpr unsigned kStrVideoPrintDocument = 9925;
inline constexpr unsigned kStrVideoProgramName = 9926;

// Start-up.
inline constexpr unsigned kStrFullColourDisplay = 6448;
inline constexpr unsigned kStrScreenTooSmall = 6462;
inline constexpr unsigned kStrOtherSession = 6464;
inline constexpr unsigned kStrSettingsNotSaved = 6467;

// File-dialog filters: every picture type, and every type but GIF.
inline constexpr unsigned kStrFilterAllTypes = 3085;
inline constexpr unsigned kStrFilterNoGif = 3086;

// Key names of user settings, by the string that names them.
inline constexpr unsigned kKeyBlockNum = 9900;
inline constexpr unsigned kKeyTimeInterval = 9901;
inline constexpr unsigned kKeyPosition = 9906;
inline constexpr unsigned kKeyGridBorder = 9907;
inline constexpr unsigned kKeyAllowColor = 9908;
inline constexpr unsigned kKeyStyle = 6204;
inline constexpr unsigned kKeySignature = 6200;
inline constexpr unsigned kKeyTreasure = 6201;
inline constexpr unsigned kKeyResolution = 2651;
inline constexpr unsigned kKeyUsage = 2653;
inline constexpr unsigned kKeyGammaR = 2017;
inline constexpr unsigned kKeyGammaG = 2018;
inline constexpr unsigned kKeyGammaB = 2019;
inline constexpr unsigned kKeyActR = 2020;
inline constexpr unsigned kKeyActG = 2021;
inline constexpr unsigned kKeyActB = 2022;
inline constexpr unsigned kKeyAltR = 2023;
inline constexpr unsigned kKeyAltG = 2024;
inline constexpr unsigned kKeyAltB = 2025;
inline constexpr unsigned kKeyShowBrush = 2033;
inline constexpr unsigned kKeyShowColorPal = 2034;
inline constexpr unsigned kKeyScanCalFlag = 2038;
inline constexpr unsigned kKeyScanCalChannel = 2039;
inline constexpr unsigned kKeyScanCalParam = 2040;
inline constexpr unsigned kKeyPrintCalFlag = 2041;
inline constexpr unsigned kKeyPrintCalChannel = 2042;
inline constexpr unsigned kKeyBlackGeneration = 2043;
inline constexpr unsigned kKeyUnderColorRemoval = 2044;
inline constexpr unsigned kKeyTotalInkLimit = 2045;
/// Two image-editor settings whose key strings the shipped libraries lack,
/// so they always read their defaults.
inline constexpr unsigned kKeyEditorOption1 = 2654;
inline constexpr unsigned kKeyEditorOption2 = 2655;

}  // namespace tx
