#pragma once
// Names derived from the product version: the version cut to three
// components, the folder name made of it, and the main window's class name,
// which also names the single-instance channel.

#include <string>
#include <string_view>

namespace tx {

/// `version` cut before its third separator: ',' when the string holds one,
/// else '.'. "3.1.0.15" gives "3.1.0"; "3, 1, 0, 15" gives "3, 1, 0".
std::string CutVersion(std::string_view version);

/// The cut version as a folder name: every character that is neither a
/// letter, a digit nor a blank becomes '.'.
std::string VersionFolderName(std::string_view cutVersion);

/// The program name followed by the cut version without its dots:
/// "Tesserix" and "3.1.0.15" give "Tesserix310".
std::string MainWindowClassName(std::string_view programName, std::string_view version);

}  // namespace tx
