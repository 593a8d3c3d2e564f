// Fuzzes profile-file parsing. The input is profile text, optionally
// followed by a NUL and "section NUL key NUL value" for one Set. Checks:
// every lookup of what was found works, text written back reads back to the
// same sections and values, writing is stable, and Set keeps its promise
// that Get returns the value set (line breaks turned into blanks).

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "config/profile_file.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

// Everything lookups report: per section, its lines and every key's value.
struct Contents {
  std::vector<std::string> sections;
  std::vector<std::vector<std::string>> lines;
  std::vector<std::vector<std::string>> values;
  bool operator==(const Contents&) const = default;
};

Contents Look(const tx::ProfileFile& profile) {
  Contents contents;
  contents.sections = profile.SectionNames();
  for (const std::string& section : contents.sections) {
    if (!profile.HasSection(section)) tx::fuzz::Fail();
    std::vector<std::string> lines = profile.ReadSection(section, 1u << 20);
    std::vector<std::string> values;
    for (const std::string& line : lines) {
      const std::size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      const std::string key = line.substr(0, equals);
      std::optional<std::string> value = profile.Get(section, key);
      values.push_back(value ? "=" + *value : "none");
      (void)profile.GetInt(section, key, -1);
      const std::string cut = profile.GetString(section, key, "fallback", 16);
      if (cut.size() > 16) tx::fuzz::Fail();
    }
    contents.lines.push_back(std::move(lines));
    contents.values.push_back(std::move(values));
  }
  return contents;
}

std::string Expected(std::string_view value) {
  std::string expected(value);
  std::replace(expected.begin(), expected.end(), '\r', ' ');
  std::replace(expected.begin(), expected.end(), '\n', ' ');
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > tx::fuzz::kMaxInputBytes) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view text = input.substr(0, split);

  tx::ProfileFile profile = tx::ProfileFile::Parse(text);
  const Contents before = Look(profile);
  const std::string written = profile.Serialize();
  tx::ProfileFile again = tx::ProfileFile::Parse(written);
  if (Look(again) != before) tx::fuzz::Fail();
  if (again.Serialize() != written) tx::fuzz::Fail();

  if (split == std::string_view::npos) return 0;
  std::string_view rest = input.substr(split + 1);
  const std::size_t keyAt = rest.find('\0');
  if (keyAt == std::string_view::npos) return 0;
  const std::string_view section = rest.substr(0, keyAt);
  rest.remove_prefix(keyAt + 1);
  const std::size_t valueAt = rest.find('\0');
  if (valueAt == std::string_view::npos) return 0;
  const std::string_view key = rest.substr(0, valueAt);
  const std::string_view value = rest.substr(valueAt + 1);
  if (!profile.Set(section, key, value)) return 0;
  if (profile.Get(section, key) != Expected(value)) tx::fuzz::Fail();
  tx::ProfileFile reread = tx::ProfileFile::Parse(profile.Serialize());
  if (reread.Get(section, key) != Expected(value)) tx::fuzz::Fail();
  if (Look(reread) != Look(profile)) tx::fuzz::Fail();
  return 0;
}
