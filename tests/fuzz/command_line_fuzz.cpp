// Fuzzes the splitting of a handed-over command line into file names.

#include <string>
#include <string_view>

#include "config/command_line.h"
#include "tests/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > tx::fuzz::kMaxInputBytes) return 0;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  std::string unquoted(line);
  std::erase(unquoted, '"');

  // Every name is a piece of the line without quotes, in order, not
  // overlapping, never starting with a blank and ending in an extension.
  std::size_t from = 0;
  for (const std::string& name : tx::CommandLineFileNames(line)) {
    if (name.size() < 4 || name[name.size() - 4] != '.') tx::fuzz::Fail();
    if (name.front() == ' ' || name.front() == '\t' || name.find('"') != std::string::npos) {
      tx::fuzz::Fail();
    }
    const std::size_t at = unquoted.find(name, from);
    if (at == std::string::npos) tx::fuzz::Fail();
    from = at + name.size();
  }
  return 0;
}
