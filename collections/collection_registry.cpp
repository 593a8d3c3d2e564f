#include "collections/collection_registry.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <optional>
#include <random>
#include <system_error>
#include <utility>

#include "collections/staged_tile_folder.h"
#include "config/profile_file.h"
#include "config/settings_access.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

// The most bytes each line of an entry keeps, as the fixed line buffers of
// the registry hold them with their terminating zero.
constexpr std::size_t kNameLineBytes = 259;
constexpr std::size_t kPathLineBytes = 519;
constexpr std::size_t kStatusLineBytes = 259;

constexpr std::string_view kSeparator = kRegistrySeparator;

// The three sections of each kind: names, paths, statuses.
struct KindSections {
  const char* name;
  const char* path;
  const char* status;
};
constexpr KindSections kSections[kCollectionKindCount] = {
    {"CDCOLLECTION", "CDCOLLECTION PATH", "CDCOLLECTION STATUS"},
    {"MYCOLLECTION", "MYCOLLECTION PATH", "MYCOLLECTION STATUS"},
    {"VIDEOCOLLECTION", "VIDEOCOLLECTION PATH", "VIDEOCOLLECTION STATUS"},
    {"MYVIDEO", "MYVIDEO PATH", "MYVIDEO STATUS"},
};

// Folder names under U.
constexpr char kMyDataFolder[] = "MyData";
constexpr char kIndexFolderName[] = "TXS";
constexpr const char* kTileFolderNames[kCollectionKindCount] = {nullptr, "mycollection",
                                                                "videocollection", nullptr};
constexpr const char* kIndexFolderNames[kCollectionKindCount] = {"CdCollection", "MyCollection",
                                                                 "VideoCollection", nullptr};
constexpr const char* kSpecialPictures[] = {"Treasure.txd", "Signatur.txd"};

// Temporary files older than this in the index folders are left over from a
// crash; younger ones may belong to a build of another instance.
constexpr auto kStaleTemporaryAge = std::chrono::hours(1);

bool ValidKind(int kind) {
  return kind >= 0 && kind < kCollectionKindCount;
}

bool IsCollectionKind(int kind) {
  return kind >= kDiscCollection && kind <= kVideoCollection;
}

bool IsBuiltKind(int kind) {
  return kind == kMyCollection || kind == kVideoCollection;
}

// The value after the separator, or nothing when the line has none.
std::optional<std::string_view> ValueOf(std::string_view line) {
  std::size_t at = line.find(kSeparator);
  if (at == std::string_view::npos) return std::nullopt;
  return line.substr(at + kSeparator.size());
}

// The key before the separator, or nothing when the line has none.
std::optional<std::string_view> KeyOf(std::string_view line) {
  std::size_t at = line.find(kSeparator);
  if (at == std::string_view::npos) return std::nullopt;
  return line.substr(0, at);
}

std::string MakeLine(std::string_view key, std::string_view value, std::size_t maxBytes) {
  std::string line(key);
  line += kSeparator;
  line += value;
  return CutUtf8(line, maxBytes);
}

// Brings a status line's value to one digit 0 to 3: a value starting with a
// digit above 3 becomes 3, anything else not a digit 0 to 3 (also an empty
// value) becomes 0. The rest of the value is dropped, so the line always
// reads back as the status it was given.
std::string RepairStatusLine(std::string_view key, std::string_view value) {
  char digit = value.empty() ? '0' : value.front();
  if (digit > '3') digit = '3';
  if (digit < '0') digit = '0';
  return MakeLine(key, std::string_view(&digit, 1), kStatusLineBytes);
}

// True when a line starting with `key` reads back from a profile file as the
// same line of the same section: no line break or NUL, no leading blank
// (reading trims it), no leading '[' (a section header), ';' or '#' (a
// comment), and no separator inside the key.
bool IsStorableKey(std::string_view key) {
  if (key.empty()) return false;
  if (key.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  const unsigned char first = static_cast<unsigned char>(key.front());
  if (std::isspace(first) || first == '[' || first == ';' || first == '#') return false;
  return key.find(kSeparator) == std::string_view::npos;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// `folder`/`name`, or the file in `folder` whose name matches `name`
// without regard to case when there is no exact match (shipped files may be
// spelled differently from the settings file's keys).
fs::path FindFileIgnoringCase(const fs::path& folder, std::string_view name) {
  std::error_code ec;
  fs::path exact = folder / name;
  if (fs::exists(exact, ec)) return exact;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualsIgnoringCase(it->path().filename().string(), name)) return it->path();
  }
  return exact;
}

// A name for a temporary file beside `path` that no other writer picks.
fs::path TemporaryPathBeside(const fs::path& path) {
  static std::random_device random;
  static unsigned counter = 0;
  fs::path temp = path;
  temp += ".tmp-" + std::to_string(random() % 1000000) + "-" + std::to_string(++counter);
  return temp;
}

// Copies `from` to `to` through a temporary file renamed into place, so a
// crash never leaves a half-copied file under the final name. Failures are
// ignored: the file is then simply missing.
void CopyFileIntoPlace(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!fs::is_regular_file(from, ec)) return;
  fs::path temp = TemporaryPathBeside(to);
  if (!fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec)) {
    fs::remove(temp, ec);
    return;
  }
  fs::rename(temp, to, ec);
  if (ec) fs::remove(temp, ec);
}

// True for the names of the temporary files our writers leave when the
// program stops between writing and renaming: "<name>.tmp<digits>" (atomic
// file replacement) and "<name>.tmp-<digits>-<digits>" (copies above).
bool IsTemporaryName(std::string_view name) {
  std::size_t at = name.rfind(".tmp");
  if (at == std::string_view::npos || at == 0) return false;
  std::string_view rest = name.substr(at + 4);
  if (rest.empty()) return false;
  if (rest.front() == '-') rest.remove_prefix(1);
  return !rest.empty() && std::all_of(rest.begin(), rest.end(),
                                      [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
}

void RemoveStaleTemporaryFiles(const fs::path& folder) {
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code entryError;
    if (!it->is_regular_file(entryError) || !IsTemporaryName(it->path().filename().string()))
      continue;
    auto written = it->last_write_time(entryError);
    if (!entryError && now - written > kStaleTemporaryAge) stale.push_back(it->path());
  }
  for (const fs::path& path : stale)
    fs::remove(path, ec);
}

// `path` normalised and without a trailing separator.
fs::path Normalised(const fs::path& path) {
  fs::path normal = path.lexically_normal();
  return normal.has_filename() ? normal : normal.parent_path();
}

// True when `path` lies lexically below `base` (not equal to it).
bool IsLexicallyInside(const fs::path& path, const fs::path& base) {
  fs::path relative = Normalised(path).lexically_relative(Normalised(base));
  if (relative.empty() || relative == ".") return false;
  return *relative.begin() != "..";
}

}  // namespace

bool IsSafeTitle(std::string_view title) {
  if (title.empty() || title.size() > 255 || title == "." || title == "..") return false;
  return std::none_of(title.begin(), title.end(), [](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return c == '/' || c == '\\' || c == ':' || u < 0x20 || u == 0x7F;
  });
}

namespace {

// A path value that names a folder inside the program folder: relative, and
// not a drive-letter path ("D:\\Sea\\") written for another system.
bool IsProgramRelative(const std::string& path) {
  const bool driveLetter =
      path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
  return !path.empty() && !driveLetter && fs::path(path).is_relative();
}

}  // namespace

std::string TitleOfKey(std::string_view key) {
  constexpr std::string_view extension = kIndexExtension;
  if (key.size() >= extension.size() &&
      EqualsIgnoringCase(key.substr(key.size() - extension.size()), extension)) {
    key.remove_suffix(extension.size());
  }
  return std::string(key);
}

CollectionRegistry::CollectionRegistry(Configuration& configuration, fs::path userDir,
                                       fs::path programDir)
    : m_configuration(configuration),
      m_userDir(std::move(userDir)),
      m_programDir(std::move(programDir)) {}

void CollectionRegistry::LoadCollections() {
  // One read of the user profile serves every kind.
  ProfileFile user = m_configuration.userProfile();
  for (int kind = 0; kind < kCollectionKindCount; ++kind)
    LoadKindFrom(kind, user);
}

void CollectionRegistry::LoadCollectionKind(int kind) {
  if (!ValidKind(kind)) return;
  LoadKindFrom(kind, m_configuration.userProfile());
}

void CollectionRegistry::LoadKindFrom(int kind, const ProfileFile& user) {
  std::vector<Entry>& entries = m_kinds[kind];
  entries.clear();
  m_profileUnread[kind] = !user.loadError().empty();
  const KindSections& sections = kSections[kind];
  const ProfileFile& source = kind == kDiscCollection ? m_configuration.settingsFile() : user;
  std::vector<std::string> names = source.ReadSection(sections.name, kRegistrySectionBytes);
  std::vector<std::string> paths = source.ReadSection(sections.path, kRegistrySectionBytes);
  std::vector<std::string> statuses = source.ReadSection(sections.status, kRegistrySectionBytes);
  if (kind == kDiscCollection) {
    // The user's choices win; disc collections shipped after the user last
    // saved keep the settings file's status instead of disappearing.
    std::vector<std::string> chosen = user.ReadSection(sections.status, kRegistrySectionBytes);
    std::copy_n(chosen.begin(), std::min(chosen.size(), statuses.size()), statuses.begin());
    if (chosen.size() > statuses.size()) statuses = std::move(chosen);
  }

  // Lines pair by position; the shortest section decides how many entries.
  const std::size_t count = std::min(
      {names.size(), paths.size(), statuses.size(), static_cast<std::size_t>(kMaxLoadedEntries)});
  for (std::size_t i = 0; i < count; ++i) {
    if (names[i].empty() || paths[i].empty() || statuses[i].empty()) break;
    Entry entry;
    entry.nameLine = CutUtf8(names[i], kNameLineBytes);
    entry.pathLine = CutUtf8(paths[i], kPathLineBytes);
    entry.statusLine = CutUtf8(statuses[i], kStatusLineBytes);
    std::optional<std::string_view> status = ValueOf(entry.statusLine);
    if (!status) {
      // A status line without value selects the collection with weight 1.
      entry.statusLine = MakeLine(KeyOf(entry.nameLine).value_or(""), "1", kStatusLineBytes);
    } else {
      std::string key(*KeyOf(entry.statusLine));
      entry.statusLine = RepairStatusLine(key, *status);
    }
    entries.push_back(std::move(entry));
  }
  if (!IsBuiltKind(kind)) return;
  // A build killed while it replaced a collection is finished or undone
  // before anyone reads the collection.
  for (int i = 0; i < GetCollectionCount(kind); ++i) {
    const fs::path folder = TileFolder(kind, TitleOfKey(GetCollectionKey(kind, i)));
    const fs::path indexFile = IndexFilePath(kind, i);
    if (!folder.empty() && !indexFile.empty()) StagedTileFolder::Recover(folder, indexFile);
  }
}

bool CollectionRegistry::SaveCollections() {
  bool written = true;
  bool saved = m_configuration.EditUserProfile([&](ProfileFile& profile) {
    for (int kind = 0; kind < kCollectionKindCount; ++kind) {
      written = WriteKindTo(kind, profile) && written;
    }
  });
  return saved && written;
}

bool CollectionRegistry::SaveCollectionKind(int kind) {
  if (!ValidKind(kind)) return false;
  bool written = false;
  bool saved = m_configuration.EditUserProfile(
      [&](ProfileFile& profile) { written = WriteKindTo(kind, profile); });
  return saved && written;
}

bool CollectionRegistry::WriteKindTo(int kind, ProfileFile& profile) const {
  // What the registry holds of this kind may be less than the profile has.
  if (m_profileUnread[kind]) return false;
  std::vector<std::string> names;
  std::vector<std::string> paths;
  std::vector<std::string> statuses;
  for (const Entry& entry : m_kinds[kind]) {
    if (names.size() == static_cast<std::size_t>(kMaxRegistryEntries)) break;
    if (entry.nameLine.empty() || entry.pathLine.empty() || entry.statusLine.empty()) break;
    names.push_back(entry.nameLine);
    paths.push_back(entry.pathLine);
    statuses.push_back(entry.statusLine);
  }
  const KindSections& sections = kSections[kind];
  if (kind == kDiscCollection) {
    // Names and paths belong to the settings file. Without disc collections
    // (an unreadable settings file) the user's statuses are kept for later.
    return statuses.empty() || profile.WriteSection(sections.status, statuses);
  }
  bool ok = profile.WriteSection(sections.name, names);
  ok = profile.WriteSection(sections.path, paths) && ok;
  return profile.WriteSection(sections.status, statuses) && ok;
}

const CollectionRegistry::Entry* CollectionRegistry::EntryAt(int kind, int index) const {
  if (!ValidKind(kind) || index < 0) return nullptr;
  const std::vector<Entry>& entries = m_kinds[kind];
  return static_cast<std::size_t>(index) < entries.size() ? &entries[index] : nullptr;
}

CollectionRegistry::Entry* CollectionRegistry::EntryAt(int kind, int index) {
  return const_cast<Entry*>(std::as_const(*this).EntryAt(kind, index));
}

int CollectionRegistry::GetCollectionCount(int kind) const {
  return ValidKind(kind) ? static_cast<int>(m_kinds[kind].size()) : 0;
}

std::string CollectionRegistry::GetCollectionKey(int kind, int index) const {
  const Entry* entry = EntryAt(kind, index);
  return entry ? std::string(KeyOf(entry->nameLine).value_or("")) : std::string();
}

std::string CollectionRegistry::GetCollectionName(int kind, int index) const {
  const Entry* entry = EntryAt(kind, index);
  return entry ? std::string(ValueOf(entry->nameLine).value_or("")) : std::string();
}

std::string CollectionRegistry::GetCollectionPath(int kind, int index) {
  Entry* entry = EntryAt(kind, index);
  if (!entry) return {};
  if (!IsBuiltKind(kind)) return std::string(ValueOf(entry->pathLine).value_or(""));
  // Built collections always live under U, wherever U is now.
  fs::path folder = TileFolder(kind, TitleOfKey(GetCollectionKey(kind, index)));
  if (folder.empty()) return {};
  std::string path = folder.string();
  if (ValueOf(entry->pathLine) != std::string_view(path)) {
    std::string key(KeyOf(entry->pathLine).value_or(GetCollectionKey(kind, index)));
    entry->pathLine = MakeLine(key, path, kPathLineBytes);
  }
  return path;
}

int CollectionRegistry::GetCollectionStatus(int kind, int index) const {
  const Entry* entry = EntryAt(kind, index);
  if (!entry) return -1;
  std::optional<std::string_view> value = ValueOf(entry->statusLine);
  if (!value || value->empty() || value->front() < '0' || value->front() > '9') return -1;
  return value->front() - '0';
}

int CollectionRegistry::SetCollectionName(int kind, int index, std::string_view name) {
  Entry* entry = EntryAt(kind, index);
  if (!entry) return 0;
  std::optional<std::string_view> key = KeyOf(entry->nameLine);
  if (!key) return 0;
  entry->nameLine = MakeLine(*key, name, kNameLineBytes);
  return 1;
}

int CollectionRegistry::SetCollectionPath(int kind, int index, std::string_view path) {
  Entry* entry = EntryAt(kind, index);
  if (!entry) return 0;
  std::optional<std::string_view> key = KeyOf(entry->pathLine);
  if (!key) return 0;
  entry->pathLine = MakeLine(*key, path, kPathLineBytes);
  return 1;
}

int CollectionRegistry::SetCollectionStatus(int kind, int index, int status) {
  Entry* entry = EntryAt(kind, index);
  if (!entry || status < 0 || status > 3) return 0;
  std::optional<std::string_view> key = KeyOf(entry->statusLine);
  if (!key) return 0;
  entry->statusLine = MakeLine(*key, std::to_string(status), kStatusLineBytes);
  return 1;
}

int CollectionRegistry::AddCollection(int kind, std::string_view key, std::string_view name,
                                      std::string_view path, int status) {
  if (!ValidKind(kind) || name.empty() || path.empty() || status < 0 || status > 3) return 0;
  // A key that would not read back from the profile could make the whole
  // section unwritable, so it is refused here.
  if (!IsStorableKey(key)) return 0;
  std::vector<Entry>& entries = m_kinds[kind];
  if (entries.size() >= static_cast<std::size_t>(kMaxRegistryEntries)) return 0;
  std::string pathValue(path);
  if (IsCollectionKind(kind) && pathValue.back() != fs::path::preferred_separator) {
    pathValue += fs::path::preferred_separator;
  }
  Entry entry;
  entry.nameLine = MakeLine(key, name, kNameLineBytes);
  entry.pathLine = MakeLine(key, pathValue, kPathLineBytes);
  entry.statusLine = MakeLine(key, std::to_string(status), kStatusLineBytes);
  entries.push_back(std::move(entry));
  return 1;
}

int CollectionRegistry::DeleteCollection(int kind, int index) {
  if (!EntryAt(kind, index)) return 0;
  if (IsBuiltKind(kind)) {
    std::error_code ec;
    const std::string key = GetCollectionKey(kind, index);
    const fs::path folder = TileFolder(kind, TitleOfKey(key));
    const fs::path base = m_userDir / kMyDataFolder / kTileFolderNames[kind];
    // An unsafe title yields no folder, so nothing outside U is ever named.
    // remove_all removes symbolic links themselves, not what they point to.
    if (!folder.empty() && IsLexicallyInside(folder, base)) {
      fs::remove_all(folder, ec);
      StagedTileFolder::RemoveLeftovers(folder);
    }
    const fs::path indexFile = IndexFilePath(kind, index);
    if (!indexFile.empty() && IsLexicallyInside(indexFile, IndexFolder(kind))) {
      fs::remove(indexFile, ec);
    }
  }
  std::vector<Entry>& entries = m_kinds[kind];
  entries.erase(entries.begin() + index);
  return 1;
}

int CollectionRegistry::FindCollectionByTitle(int kind, std::string_view title) const {
  for (int i = 0; i < GetCollectionCount(kind); ++i) {
    if (TitleOfKey(GetCollectionKey(kind, i)) == title) return i;
  }
  return -1;
}

fs::path CollectionRegistry::IndexFilePath(int kind, int index) const {
  if (!IsCollectionKind(kind) || !EntryAt(kind, index)) return {};
  std::string key = GetCollectionKey(kind, index);
  if (!IsSafeTitle(TitleOfKey(key))) return {};
  return IndexFolder(kind) / key;
}

fs::path CollectionRegistry::TilePicturePath(int kind, int index, std::uint32_t tileNumber,
                                             int resolution) {
  if (!EntryAt(kind, index)) return {};
  if (!IsSafeTitle(TitleOfKey(GetCollectionKey(kind, index)))) return {};
  std::string path = GetCollectionPath(kind, index);
  if (path.empty() && IsBuiltKind(kind)) return {};
  // A disc collection that ships inside the program folder names its folder
  // relative to P, so one settings file serves a build tree and an install.
  if (kind == kDiscCollection && IsProgramRelative(path)) path = (m_programDir / path).string();
  char parts[48];
  std::snprintf(parts, sizeof parts, "Res%d%c%03u%c%03u", resolution,
                static_cast<char>(fs::path::preferred_separator), tileNumber / 1000,
                static_cast<char>(fs::path::preferred_separator), tileNumber % 1000);
  return fs::path(path + parts);
}

void CollectionRegistry::PruneCollections(
    const std::function<void(int kind, int index)>& onRemoved) {
  for (int kind : {kMyCollection, kVideoCollection}) {
    // From the last entry down, so the indexes reported stay those of the
    // lists the caller keeps in step.
    for (int i = GetCollectionCount(kind) - 1; i >= 0; --i) {
      fs::path indexFile = IndexFilePath(kind, i);
      std::error_code ec;
      bool usable = !indexFile.empty() && fs::is_regular_file(indexFile, ec) &&
                    fs::file_size(indexFile, ec) > 0 && !ec;
      if (usable) continue;
      DeleteCollection(kind, i);
      if (onRemoved) onRemoved(kind, i);
    }
  }
}

void CollectionRegistry::PrepareCollectionFolders() {
  for (int kind : {kMyCollection, kVideoCollection}) {
    EnsureDirectory(m_userDir / kMyDataFolder / kTileFolderNames[kind]);
  }
  for (int kind : {kDiscCollection, kMyCollection, kVideoCollection}) {
    EnsureDirectory(IndexFolder(kind));
    RemoveStaleTemporaryFiles(IndexFolder(kind));
  }

  LoadCollectionKind(kDiscCollection);
  const fs::path shipped = m_programDir / kIndexFolderName;
  for (int i = 0; i < GetCollectionCount(kDiscCollection); ++i) {
    fs::path indexFile = IndexFilePath(kDiscCollection, i);
    std::error_code ec;
    if (indexFile.empty() || fs::exists(indexFile, ec)) continue;
    CopyFileIntoPlace(FindFileIgnoringCase(shipped, GetCollectionKey(kDiscCollection, i)),
                      indexFile);
  }

  for (const char* picture : kSpecialPictures) {
    std::error_code ec;
    fs::path target = m_userDir / picture;
    if (fs::exists(target, ec)) continue;
    CopyFileIntoPlace(FindFileIgnoringCase(m_programDir, picture), target);
  }
}

fs::path CollectionRegistry::TileFolder(int kind, std::string_view title) const {
  if (!IsBuiltKind(kind) || !IsSafeTitle(title)) return {};
  return m_userDir / kMyDataFolder / kTileFolderNames[kind] / title / "";
}

fs::path CollectionRegistry::IndexFolder(int kind) const {
  if (!IsCollectionKind(kind)) return {};
  return m_userDir / kIndexFolderName / kIndexFolderNames[kind] / "";
}

namespace {

std::unique_ptr<CollectionRegistry>& RegistryStorage() {
  static std::unique_ptr<CollectionRegistry> registry;
  return registry;
}

}  // namespace

CollectionRegistry& Collections() {
  std::unique_ptr<CollectionRegistry>& registry = RegistryStorage();
  if (!registry) {
    registry =
        std::make_unique<CollectionRegistry>(Configuration::Current(), UserDir(), ProgramDir());
  }
  return *registry;
}

void SetCollections(std::unique_ptr<CollectionRegistry> registry) {
  RegistryStorage() = std::move(registry);
}

}  // namespace tx
