#include "config/profile_file.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <span>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "platform/file_io.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

constexpr std::size_t kNotFound = std::string_view::npos;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin]))
    ++begin;
  std::size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Section and key names match without regard to ASCII case; other bytes
// (UTF-8 included) must be equal.
bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// Takes off one pair of matching quotes around a value.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == '"' || value.front() == '\'')) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool IsValidSectionName(std::string_view name) {
  return !name.empty() && name.find_first_of("]\r\n") == kNotFound;
}

// A key must read back as the same key: no '=' (it would end the key), no
// line break, and no first character that makes the line a header or a
// comment.
bool IsValidKey(std::string_view key) {
  return !key.empty() && key.find_first_of("=\r\n") == kNotFound &&
         std::string_view("[];#").find(key.front()) == kNotFound;
}

// The text to write after "key=" so that reading gives `value` back.
std::string EncodeValue(std::string_view value) {
  std::string text(value);
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  // Reading trims blanks and takes off a pair of quotes; outer quotes shield both.
  if (!text.empty() &&
      (IsBlank(text.front()) || IsBlank(text.back()) || Unquote(text).size() != text.size())) {
    text = '"' + text + '"';
  }
  return text;
}

// Removes the items whose flag is set, keeping the order, in one pass.
template <typename T>
void EraseMarked(std::vector<T>& items, const std::vector<bool>& marked) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (marked[i]) continue;
    if (kept != i) items[kept] = std::move(items[i]);
    ++kept;
  }
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(kept), items.end());
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}
bool IsLeadByte(char c) {
  return static_cast<unsigned char>(c) >= 0xC0;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int ParseProfileInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i]))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  // Unsigned arithmetic wraps in 32 bits without undefined behaviour.
  std::uint32_t value = 0;
  for (; i < text.size(); ++i) {
    int digit = DigitValue(text[i]);
    if (digit < 0 || digit >= base) break;
    value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
  }
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

std::string CutUtf8(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  // text[maxBytes] is the first byte left out. When it continues a run that
  // started with a lead byte, the whole run goes, even in invalid UTF-8.
  std::size_t cut = maxBytes;
  std::size_t start = cut;
  while (start > 0 && IsContinuationByte(text[start]))
    --start;
  if (start < cut && IsLeadByte(text[start])) cut = start;
  return std::string(text.substr(0, cut));
}

ProfileFile::Line::Line(std::string lineText) : text(std::move(lineText)) {
  const std::string_view all(text);
  const std::string_view line = Trim(all);
  const std::size_t lineBegin = static_cast<std::size_t>(line.data() - all.data());
  if (line.empty()) {
    kind = LineKind::kBlank;
    return;
  }
  if (line.front() == ';' || line.front() == '#') {
    kind = LineKind::kComment;
    return;
  }
  if (line.front() == '[') {
    // A '[' without a closing ']' starts no section; such a line is kept as other.
    std::size_t close = line.find(']');
    if (close == kNotFound) return;
    std::string_view name = Trim(line.substr(1, close - 1));
    kind = LineKind::kSection;
    nameBegin = static_cast<std::size_t>(name.data() - all.data());
    nameSize = name.size();
    return;
  }
  std::size_t equals = line.find('=');
  if (equals == kNotFound) return;
  std::string_view key = Trim(line.substr(0, equals));
  if (key.empty()) return;
  std::string_view value = Trim(line.substr(equals + 1));
  kind = LineKind::kEntry;
  nameBegin = static_cast<std::size_t>(key.data() - all.data());
  nameSize = key.size();
  // An empty value sits right after '=', where Set puts a new one.
  valueBegin =
      value.empty() ? lineBegin + equals + 1 : static_cast<std::size_t>(value.data() - all.data());
  valueSize = value.size();
}

std::size_t ProfileFile::FindSection(std::string_view name) const {
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (m_lines[i].kind == LineKind::kSection && SameName(m_lines[i].name(), name)) return i;
  }
  return kNotFound;
}

std::size_t ProfileFile::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < m_lines.size() && m_lines[i].kind != LineKind::kSection)
    ++i;
  return i;
}

std::size_t ProfileFile::ContentEnd(std::size_t header) const {
  std::size_t end = header + 1;
  for (std::size_t i = header + 1; i < m_lines.size(); ++i) {
    LineKind kind = m_lines[i].kind;
    if (kind == LineKind::kSection) break;
    if (kind == LineKind::kEntry || kind == LineKind::kOther) end = i + 1;
  }
  return end;
}

std::size_t ProfileFile::FindKey(std::size_t header, std::string_view key) const {
  for (std::size_t i = header + 1; i < m_lines.size(); ++i) {
    const Line& line = m_lines[i];
    if (line.kind == LineKind::kSection) break;
    if (line.kind == LineKind::kEntry && SameName(line.name(), key)) return i;
  }
  return kNotFound;
}

void ProfileFile::AppendSection(std::string_view name) {
  if (!m_lines.empty() && m_lines.back().kind != LineKind::kBlank) m_lines.emplace_back("");
  m_lines.emplace_back("[" + std::string(name) + "]");
}

ProfileFile ProfileFile::Load(const fs::path& path) {
  ProfileFile profile;
  std::error_code ec;
  fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return profile;
  if (ec) {
    profile.m_loadError = path.string() + ": cannot read: " + ec.message();
    return profile;
  }
  // A folder, a pipe or a device is not a profile; reading a pipe could block forever.
  if (!fs::is_regular_file(status)) {
    profile.m_loadError = path.string() + ": not a regular file";
    return profile;
  }
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, kMaxProfileFileBytes, bytes, error)) {
    profile.m_loadError = error.empty() ? path.string() + ": cannot read" : error;
    return profile;
  }
  try {
    profile = Parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  } catch (const std::bad_alloc&) {
    profile = ProfileFile();
    profile.m_loadError = path.string() + ": not enough memory";
  }
  return profile;
}

ProfileFile ProfileFile::Parse(std::string_view text) {
  ProfileFile profile;
  // Every leading byte-order mark goes: one left in the first line would be
  // written back as a mark, and the next read would drop it and see a
  // different first line than this one.
  while (text.starts_with(kUtf8Bom))
    text.remove_prefix(kUtf8Bom.size());
  profile.m_lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t newline = text.find('\n', pos);
    std::size_t end = newline == kNotFound ? text.size() : newline;
    std::string_view line = text.substr(pos, end - pos);
    // Carriage returns before the line feed belong to the line end.
    while (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    profile.m_lines.emplace_back(std::string(line));
    pos = end + 1;
  }
  return profile;
}

bool ProfileFile::HasSection(std::string_view section) const {
  return FindSection(Trim(section)) != kNotFound;
}

std::vector<std::string> ProfileFile::SectionNames() const {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;  // lower-cased, so duplicates cost no scan
  for (const Line& line : m_lines) {
    if (line.kind != LineKind::kSection) continue;
    std::string folded(line.name());
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower);
    if (seen.insert(std::move(folded)).second) names.emplace_back(line.name());
  }
  return names;
}

std::optional<std::string> ProfileFile::Get(std::string_view section, std::string_view key) const {
  std::size_t header = FindSection(Trim(section));
  if (header == kNotFound) return std::nullopt;
  std::size_t at = FindKey(header, Trim(key));
  if (at == kNotFound) return std::nullopt;
  return std::string(Unquote(m_lines[at].value()));
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view fallback, std::size_t maxBytes) const {
  std::optional<std::string> value = Get(section, key);
  if (!value || value->empty()) return CutUtf8(fallback, maxBytes);
  return CutUtf8(*value, maxBytes);
}

int ProfileFile::GetInt(std::string_view section, std::string_view key, int fallback) const {
  std::optional<std::string> value = Get(section, key);
  if (!value || value->empty()) return fallback;
  return ParseProfileInt(*value);
}

bool ProfileFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (!IsValidSectionName(section) || !IsValidKey(key)) return false;
  std::string encoded = EncodeValue(value);

  std::size_t header = FindSection(section);
  if (header == kNotFound) {
    AppendSection(section);
    m_lines.emplace_back(std::string(key) + "=" + encoded);
    return true;
  }
  std::size_t at = FindKey(header, key);
  if (at != kNotFound) {
    // Keep everything up to the old value: the key's spelling and the blanks around '='.
    Line& line = m_lines[at];
    line = Line(line.text.substr(0, line.valueBegin) + encoded);
    return true;
  }
  auto where = m_lines.begin() + static_cast<std::ptrdiff_t>(ContentEnd(header));
  m_lines.emplace(where, std::string(key) + "=" + encoded);
  return true;
}

bool ProfileFile::Remove(std::string_view section, std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  std::vector<bool> drop(m_lines.size(), false);
  bool inSection = false;
  bool found = false;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    const Line& line = m_lines[i];
    if (line.kind == LineKind::kSection) {
      inSection = SameName(line.name(), section);
    } else if (inSection && line.kind == LineKind::kEntry && SameName(line.name(), key)) {
      drop[i] = true;
      found = true;
    }
  }
  if (found) EraseMarked(m_lines, drop);
  return found;
}

bool ProfileFile::RemoveSection(std::string_view section) {
  section = Trim(section);
  std::vector<bool> drop(m_lines.size(), false);
  bool inSection = false;
  bool found = false;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (m_lines[i].kind == LineKind::kSection) inSection = SameName(m_lines[i].name(), section);
    drop[i] = inSection;
    found = found || inSection;
  }
  if (found) EraseMarked(m_lines, drop);
  return found;
}

std::vector<std::string> ProfileFile::ReadSection(std::string_view section,
                                                  std::size_t maxBytes) const {
  std::vector<std::string> lines;
  std::size_t header = FindSection(Trim(section));
  if (header == kNotFound || maxBytes == 0) return lines;
  // Each line takes its length plus a terminating zero; one more zero ends the list.
  const std::size_t budget = maxBytes - 1;
  std::size_t used = 0;
  for (std::size_t i = header + 1; i < m_lines.size(); ++i) {
    const Line& line = m_lines[i];
    if (line.kind == LineKind::kSection) break;
    if (line.kind != LineKind::kEntry && line.kind != LineKind::kOther) continue;
    std::string_view text = Trim(line.text);
    if (text.size() >= budget - used) break;
    used += text.size() + 1;
    lines.emplace_back(text);
  }
  return lines;
}

bool ProfileFile::WriteSection(std::string_view section, const std::vector<std::string>& lines) {
  section = Trim(section);
  if (!IsValidSectionName(section)) return false;
  std::vector<Line> body;
  body.reserve(lines.size());
  for (const std::string& text : lines) {
    Line line(text.substr(0, text.find_first_of("\r\n")));
    // Such a line would end this section and write into another one.
    if (line.kind == LineKind::kSection) return false;
    body.push_back(std::move(line));
  }

  std::size_t first = FindSection(section);
  if (first == kNotFound) {
    AppendSection(section);
    std::move(body.begin(), body.end(), std::back_inserter(m_lines));
    return true;
  }
  // Rebuild in one pass: lines before the section, its header, the new body,
  // its closing blank and comment lines, then the rest without duplicates.
  const std::size_t contentEnd = ContentEnd(first);
  const std::size_t end = SectionEnd(first);
  std::vector<Line> result;
  result.reserve(m_lines.size() + body.size());
  std::move(m_lines.begin(), m_lines.begin() + static_cast<std::ptrdiff_t>(first + 1),
            std::back_inserter(result));
  std::move(body.begin(), body.end(), std::back_inserter(result));
  std::move(m_lines.begin() + static_cast<std::ptrdiff_t>(contentEnd),
            m_lines.begin() + static_cast<std::ptrdiff_t>(end), std::back_inserter(result));
  bool duplicate = false;
  for (std::size_t i = end; i < m_lines.size(); ++i) {
    if (m_lines[i].kind == LineKind::kSection) duplicate = SameName(m_lines[i].name(), section);
    if (!duplicate) result.push_back(std::move(m_lines[i]));
  }
  m_lines = std::move(result);
  return true;
}

std::string ProfileFile::Serialize() const {
  std::size_t size = 0;
  for (const Line& line : m_lines)
    size += line.text.size() + 1;
  std::string text;
  text.reserve(size);
  for (const Line& line : m_lines) {
    text += line.text;
    text += '\n';
  }
  return text;
}

bool ProfileFile::Save(const fs::path& path, std::string& error) const {
  if (!m_loadError.empty()) {
    error = "not saved, the file could not be read: " + m_loadError;
    return false;
  }
  std::string text = Serialize();
  if (text.size() > kMaxProfileFileBytes) {
    error = path.string() + ": not saved, the settings would be too large to read back";
    return false;
  }
  return WriteFileAtomically(
      path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), error);
}

}  // namespace tx
