#pragma once
// `tesserix --help` and `tesserix --version`, answered before any window or
// display is needed, so they work in a terminal without a desktop and can
// make the manual page.

#include <optional>

namespace tx {

/// When the arguments ask for help or the version, prints it on stdout and
/// returns the exit code (0); nothing otherwise.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv);

}  // namespace tx
