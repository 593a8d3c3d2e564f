#pragma once
// The two folders the program uses.
//
// P, the program folder, holds what ships with the program (the settings
// file, skins, disc collections, help). U, the user data folder, holds
// everything the program writes for the user (profile, collections, albums).
// TESSERIX_PROGRAM_DIR and TESSERIX_USER_DIR override both, for tests and
// portable use.

#include <filesystem>

namespace tx {

/// P: the override, else the folder of the running executable, or
/// <prefix>/lib/tesserix when the executable is installed in <prefix>/bin.
std::filesystem::path ProgramDir();

/// U: the override, else $XDG_DATA_HOME (default ~/.local/share) followed by
/// Korvex/Tesserix/<version cut to three components>. Not created here.
std::filesystem::path UserDir();

/// Creates `dir` and its parents. Returns false when it cannot be made.
bool EnsureDirectory(const std::filesystem::path& dir);

}  // namespace tx
