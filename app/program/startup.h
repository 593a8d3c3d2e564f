#pragma once
// The program's start: from the process's arguments to the main loop and
// back.

#include <filesystem>
#include <string>
#include <vector>

#include <QtCore/QStringList>

namespace tx {

/// Exit codes besides 0 (a normal end, or names handed to the running
/// instance) and kExitNoResources.
inline constexpr int kExitRefused = 1;
/// How many command-line names the first instance opens as target pictures
/// (each replacing the one before).
inline constexpr int kMaxStartTargets = 2;
/// A display with fewer bits per pixel than this gets no hand-over.
inline constexpr int kMinHandOverDepth = 16;
/// A display with this many bits per pixel or fewer is a palette display.
inline constexpr int kPaletteDepth = 8;
inline constexpr unsigned kStrOtherSessionNotice = 6464;

/// The file names among `arguments` (the program's own name first, as
/// QCoreApplication::arguments gives them): every argument that does not
/// begin with '-', made absolute against `workingDir` so that another
/// process can open it.
std::vector<std::string> CommandLineFiles(const QStringList& arguments,
                                          const std::filesystem::path& workingDir);

/// The whole run of the program: resource library, settings, folders, one
/// instance per installation, the main window and the main loop. Returns
/// the process's exit code.
int RunProgram(int& argc, char** argv);

}  // namespace tx
