#pragma once
// A plain-text trace of what the program does at its edges (start, hand-over,
// screens, close), for scripts that drive the real window. Off unless the
// environment variable TESSERIX_LOG names a file; lines are appended.

#include <string_view>

namespace tx {

/// Appends `line` and a line feed to the file TESSERIX_LOG names (read at
/// each call, so tests may set it late); does nothing when it is unset or
/// the file cannot be opened.
void ProgramLog(std::string_view line);

}  // namespace tx
