#pragma once
// The program's identity: names the user folder and the window class.

namespace tx {

inline constexpr const char kProgramName[] = "Tesserix";
inline constexpr const char kCompanyName[] = "Korvex";
inline constexpr const char kProductVersion[] = "3.1.0.15";
/// The version cut to three components, as folder names use it.
inline constexpr const char kProductVersionShort[] = "3.1.0";

}  // namespace tx
