#include "config/command_line.h"

#include <algorithm>

#include "config/settings_access.h"

namespace tx {
namespace {

constexpr char kTransferNameKey[] = "TransferName";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> CommandLineFileNames(std::string_view commandLine) {
  std::string line(commandLine);
  line.erase(std::remove(line.begin(), line.end(), '"'), line.end());

  std::size_t pos = 0;
  auto skipBlanks = [&] {
    while (pos < line.size() && IsBlank(line[pos]))
      ++pos;
  };
  skipBlanks();
  // Options begin with '-'. A leading '/' starts an absolute path here, not
  // an option as on systems with drive letters.
  while (pos < line.size() && line[pos] == '-') {
    while (pos < line.size() && !IsBlank(line[pos]))
      ++pos;
    skipBlanks();
  }

  std::vector<std::string> names;
  std::size_t start = pos;
  for (; pos < line.size(); ++pos) {
    // A blank ends a name when the fourth character before it is '.', that
    // is, the name ends in a three-letter extension.
    if (IsBlank(line[pos]) && pos >= start + 4 && line[pos - 4] == '.') {
      names.push_back(line.substr(start, pos - start));
      while (pos + 1 < line.size() && IsBlank(line[pos + 1]))
        ++pos;
      start = pos + 1;
    }
  }
  std::string_view rest = std::string_view(line).substr(std::min(start, line.size()));
  if (rest.size() >= 5 && rest[rest.size() - 4] == '.') names.emplace_back(rest);
  return names;
}

void HandOverCommandLine(std::string_view commandLine,
                         const std::function<void()>& openTransferName) {
  for (const std::string& name : CommandLineFileNames(commandLine)) {
    WriteUserString(kTransferNameKey, name);
    if (openTransferName) openTransferName();
  }
}

}  // namespace tx
