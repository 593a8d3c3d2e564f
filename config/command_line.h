#pragma once
// The file names a command line hands to the main window.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tx {

/// The file names of `commandLine` in order: quotes are removed, leading
/// options (words beginning with '-') skipped, and the rest split
/// where a blank follows a three-letter extension, so names holding blanks
/// stay whole. A last name is taken only when it too ends in a three-letter
/// extension ("picture.jpeg" at the end is not taken).
std::vector<std::string> CommandLineFileNames(std::string_view commandLine);

/// Hands each file name of `commandLine` to the main window: writes it to
/// TransferName in the user profile, then calls `openTransferName`, which
/// has the window open it (command 121).
void HandOverCommandLine(std::string_view commandLine,
                         const std::function<void()>& openTransferName);

}  // namespace tx
