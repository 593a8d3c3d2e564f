#pragma once
// What every command of the command-line tool shares: argument access and
// the exit convention (0 on success, 1 with a one-line reason on stderr).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tx::cli {

using Args = std::vector<std::string>;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;

/// Prints "tesserix-cli: <reason>" on stderr and returns kExitFailure.
int Fail(const std::string& reason);

/// The whole argument as a decimal integer, or nothing.
std::optional<int> ParseInt(const std::string& text);

/// True when the arguments ask for help (-h or --help anywhere).
bool WantsHelp(const Args& args);

/// `text` as a JSON string with its quotes: quote, backslash and control
/// characters escaped, bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(std::string_view text);

/// For a command group: prints `usage` and gives the exit code when there
/// are no arguments (on stderr, failure) or help is asked for (on stdout,
/// success); nothing otherwise.
std::optional<int> AnswerUsage(const Args& args, const char* usage);

}  // namespace tx::cli
