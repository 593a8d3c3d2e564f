#include "cli/cli_common.h"

#include <charconv>
#include <cstdio>

namespace tx::cli {

int Fail(const std::string& reason) {
  std::fprintf(stderr, "tesserix-cli: %s\n", reason.c_str());
  return kExitFailure;
}

std::optional<int> ParseInt(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

bool WantsHelp(const Args& args) {
  for (const std::string& arg : args) {
    if (arg == "-h" || arg == "--help") return true;
  }
  return false;
}

std::optional<int> AnswerUsage(const Args& args, const char* usage) {
  if (!args.empty() && !WantsHelp(args)) return std::nullopt;
  std::fputs(usage, args.empty() ? stderr : stdout);
  return args.empty() ? kExitFailure : kExitOk;
}

}  // namespace tx::cli
