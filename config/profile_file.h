#pragma once
// Profile (ini) files with the semantics the program's settings rely on.
//
// A profile file is a list of sections ("[NAME]") holding "key=value" lines.
// Section and key names are compared without regard to ASCII case; where a
// section or key appears twice, the first one counts. Values are read with
// surrounding blanks removed and one pair of matching surrounding quotes
// taken off. Integers are read the way the Windows profile calls read them
// (ParseProfileInt). Comment lines (";" or "#"), blank lines and lines
// without "=" never break reading; lines the program does not touch are
// written back unchanged. Lines before the first section belong to none:
// they are kept but cannot be looked up. Files are UTF-8 (a leading
// byte-order mark is skipped); "\r\n" and "\n" line ends are both read, and
// files are written with "\n" and without a byte-order mark. Section and key
// names given to the functions below are taken without their outer blanks.
//
// Reading never fails: a missing, unreadable or oversized file reads as
// empty. A file that exists but could not be read is never overwritten
// (Save refuses), so a user's settings are not lost to a transient error.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tx {

/// Files larger than this are not read (they read as empty and are never
/// overwritten).
inline constexpr std::uint64_t kMaxProfileFileBytes = 4u << 20;

/// The integer value of `text` as the Windows profile calls give it: leading
/// blanks skipped, an optional sign, an optional "0x"/"0X" prefix for
/// hexadecimal, then the digits up to the first non-digit; no digits give 0.
/// The result wraps around in 32 bits like the platform's conversion.
int ParseProfileInt(std::string_view text);

/// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8
/// character.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);

class ProfileFile {
 public:
  /// An empty profile that can be saved.
  ProfileFile() = default;

  /// Reads `path`. A missing file gives an empty profile that can be saved
  /// (the first save creates it). A file that cannot be read or is larger
  /// than kMaxProfileFileBytes gives an empty profile with loadError() set,
  /// and Save refuses to replace it.
  static ProfileFile Load(const std::filesystem::path& path);

  /// Parses profile text; never fails.
  static ProfileFile Parse(std::string_view text);

  /// Why Load could not read an existing file; empty when it could.
  const std::string& loadError() const { return m_loadError; }

  bool HasSection(std::string_view section) const;
  /// Names of the sections in file order, first occurrences only.
  std::vector<std::string> SectionNames() const;

  /// The value of `key` in `section` (first occurrences), or nothing when the
  /// key is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  /// The value, or `fallback` when the key is missing or its value is empty;
  /// cut to at most `maxBytes` bytes.
  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback,
                        std::size_t maxBytes = 4096) const;

  /// ParseProfileInt of the value, or `fallback` when the key is missing or
  /// its value is empty.
  int GetInt(std::string_view section, std::string_view key, int fallback) const;

  /// Sets `key` in `section` to `value`, creating both as needed. An existing
  /// key (its first occurrence in the section's first occurrence) keeps its
  /// spelling and only its value changes; a new key goes after the section's
  /// last entry, before the blank and comment lines that end it; a new
  /// section goes at the end of the file after a blank line. Line breaks in
  /// the value become blanks so a value can never add lines, and a value
  /// that reading would change (outer blanks, a surrounding pair of quotes)
  /// is written inside double quotes, so Get returns exactly `value`.
  /// Returns false, changing nothing, for a name that could not be read
  /// back: an empty section or key, "]" in the section, "=" in the key, a
  /// key starting with "[", "]", ";" or "#", or a line break in either.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  /// Removes every `key` line from every occurrence of `section`; false when
  /// there was none.
  bool Remove(std::string_view section, std::string_view key);

  /// Removes every occurrence of the section with all its lines; false when
  /// there was none.
  bool RemoveSection(std::string_view section);

  /// The lines of `section` (its first occurrence) in file order, each as
  /// written with its outer blanks removed: "key=value" lines and lines
  /// without "=", comments and blank lines left out. Only whole leading lines
  /// are returned whose lengths plus one each add up to less than
  /// `maxBytes`, as a fixed buffer of that size would hold them with a
  /// terminating zero after each line and one more at the end.
  std::vector<std::string> ReadSection(std::string_view section, std::size_t maxBytes) const;

  /// Replaces the lines of `section` (first occurrence; later duplicates are
  /// removed) with `lines`, written as given, creating the section at the
  /// end when missing. Blank and comment lines that end the old section stay.
  /// Lines holding a line break are cut at it. Returns false, changing
  /// nothing, for a section name Set would refuse or a line that would read
  /// back as a section header.
  bool WriteSection(std::string_view section, const std::vector<std::string>& lines);

  /// The file's text as Save would write it.
  std::string Serialize() const;

  /// Writes the profile to `path` atomically (temporary file and rename),
  /// creating the file when missing. Fails with a reason, leaving the file
  /// as it was, when the profile came from a file that could not be read,
  /// when the text is larger than kMaxProfileFileBytes (it could not be read
  /// back), or when the write fails.
  bool Save(const std::filesystem::path& path, std::string& error) const;

 private:
  enum class LineKind : std::uint8_t {
    kBlank,    // nothing but blanks
    kComment,  // first non-blank is ';' or '#'
    kSection,  // "[name]"; anything after the first ']' is ignored
    kEntry,    // "key=value" with a non-empty key
    kOther,    // anything else: kept, and listed by ReadSection
  };

  // One line of the file without its line end, and what reading found in it.
  struct Line {
    explicit Line(std::string lineText);
    std::string_view name() const { return std::string_view(text).substr(nameBegin, nameSize); }
    std::string_view value() const { return std::string_view(text).substr(valueBegin, valueSize); }

    std::string text;
    LineKind kind = LineKind::kOther;
    std::size_t nameBegin = 0;  // section name or key within `text`, blanks trimmed
    std::size_t nameSize = 0;
    std::size_t valueBegin = 0;  // entry value within `text`, blanks trimmed, quotes kept
    std::size_t valueSize = 0;
  };

  // Index of the first section header named `name`, or npos.
  std::size_t FindSection(std::string_view name) const;
  // Index of the next header after `header`, or the line count.
  std::size_t SectionEnd(std::size_t header) const;
  // Index just after the last entry or other line of the section at `header`.
  std::size_t ContentEnd(std::size_t header) const;
  // Index of the first entry `key` in the section at `header`, or npos.
  std::size_t FindKey(std::size_t header, std::string_view key) const;
  // Adds "[name]" at the end, after a blank line when the file has lines.
  void AppendSection(std::string_view name);

  std::vector<Line> m_lines;
  std::string m_loadError;
};

}  // namespace tx
