#include "cli/cli_common.h"

#include <charconv>
#include <cstdio>

#include "albumkit/album_file_name.h"

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

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else if (c < 0x80) {
      out += char(c);
    } else if (const std::size_t length = abm::Utf8SequenceLength(text, i); length > 0) {
      out.append(text.substr(i, length));
      i += length;
      continue;
    } else {
      out += "\\ufffd";
    }
    ++i;
  }
  out += '"';
  return out;
}

}  // namespace tx::cli
