#pragma once
// The collection registry: the tile collections (and video sources) the user
// has, kept in the configuration files.
//
// Four kinds of entry, each with at most kMaxRegistryEntries entries. An
// entry is three lines "key:=:value": its display name, its path and its
// status digit (0 not selected, 1 to 3 selected with that weight). The
// lines are stored in three sections per kind, paired by position. Disc
// collections come from the settings file (their status may be overridden
// by the user profile); the other kinds live in the user profile.
//
// Safety: keys and titles come from files a user can edit. A title that is
// not a plain file name (empty, ".", "..", a separator, a control character)
// never becomes a path: every path operation returns an empty path for it,
// and deletions only ever touch the collections' own folders under U.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tx {

class Configuration;
class ProfileFile;

inline constexpr int kDiscCollection = 0;
inline constexpr int kMyCollection = 1;
inline constexpr int kVideoCollection = 2;
inline constexpr int kVideoSource = 3;
inline constexpr int kCollectionKindCount = 4;

inline constexpr int kMaxRegistryEntries = 100;
/// Only this many entries of a kind are loaded; more are saved.
inline constexpr int kMaxLoadedEntries = 50;
/// Bytes of a section read at once.
inline constexpr std::size_t kRegistrySectionBytes = 30000;
inline constexpr char kRegistrySeparator[] = ":=:";
/// The extension of index files, which is also the end of a key.
inline constexpr char kIndexExtension[] = ".TXS";

/// True when `title` can name a file and folder of its own under U: not
/// empty, not "." or "..", no '/', '\\', ':' or control character, at most
/// 255 bytes.
bool IsSafeTitle(std::string_view title);

/// The title of a key: the key without its extension (the last four
/// characters when the key ends in ".TXS", without regard to case).
std::string TitleOfKey(std::string_view key);

class CollectionRegistry {
 public:
  /// A registry over `configuration`'s files, with the user folder U and the
  /// program folder P. Empty until LoadCollections.
  CollectionRegistry(Configuration& configuration, std::filesystem::path userDir,
                     std::filesystem::path programDir);

  /// Loads kinds 0 to 3 / saves them. Loading takes at most
  /// kMaxLoadedEntries entries per kind, as many as the shortest of the
  /// kind's three sections has lines; a status line without separator reads
  /// as status 1, any other status value becomes one digit 0 to 3. Disc
  /// collections take their statuses from the user profile where it has
  /// them. Saving writes at most kMaxRegistryEntries entries per kind, all
  /// kinds in one replacement of the user profile; for disc collections only
  /// the status section. A kind whose user profile could not be read when
  /// it was loaded is not written, so a passing read error never wipes the
  /// user's collections. False when something was not written.
  void LoadCollections();
  bool SaveCollections();
  void LoadCollectionKind(int kind);
  bool SaveCollectionKind(int kind);

  int GetCollectionCount(int kind) const;
  /// Parts of the entry's lines; "" when the kind or index is out of range
  /// or the line has no separator.
  std::string GetCollectionKey(int kind, int index) const;
  std::string GetCollectionName(int kind, int index) const;
  /// For My Collections and video collections the tile folder computed from
  /// U and the title; the stored line is corrected when it differs. "" for
  /// an unsafe title (the line is left as it is).
  std::string GetCollectionPath(int kind, int index);
  /// The status digit, or -1.
  int GetCollectionStatus(int kind, int index) const;

  /// Replace the value after the separator; 0 on a bad kind, index or
  /// value, or a line without separator; else 1.
  int SetCollectionName(int kind, int index, std::string_view name);
  int SetCollectionPath(int kind, int index, std::string_view path);
  int SetCollectionStatus(int kind, int index, int status);

  /// Appends an entry; 0 for a missing key, name or path, a status outside
  /// 0 to 3, a full kind, or a key that would not read back from a profile
  /// file (a line break, ":=:", or a leading blank, '[', ';' or '#'); else 1.
  /// Paths of kinds 0 to 2 get a trailing separator unless they end in one.
  int AddCollection(int kind, std::string_view key, std::string_view name, std::string_view path,
                    int status);

  /// Removes the entry; for kinds 1 and 2 also deletes its tile folder and
  /// index file (only inside U's collection folders, never following a
  /// symbolic link; nothing for an unsafe title). Failed deletions are
  /// ignored. 0 when out of range.
  int DeleteCollection(int kind, int index);

  /// Index of the entry whose title equals `title` (case-sensitive), or -1.
  int FindCollectionByTitle(int kind, std::string_view title) const;

  /// U/TXS/<CdCollection|MyCollection|VideoCollection>/<key>; empty for a
  /// bad kind or index or an unsafe key.
  std::filesystem::path IndexFilePath(int kind, int index) const;

  /// The entry's path value (GetCollectionPath), then
  /// "Res<r>/<n/1000>/<n%1000>" (three digits each), without extension;
  /// empty when out of range or the title is unsafe.
  std::filesystem::path TilePicturePath(int kind, int index, std::uint32_t tileNumber,
                                        int resolution);

  /// Removes (DeleteCollection) every My Collection and video collection
  /// whose index file is missing or empty; `onRemoved` hears of each, from
  /// the last entry of a kind to the first.
  void PruneCollections(const std::function<void(int kind, int index)>& onRemoved = {});

  /// Start-up: makes the collection folders under U, loads the disc
  /// collections, copies their missing indexes from P/TXS and the missing
  /// special pictures from P (shipped names matched without regard to case;
  /// failures ignored), and removes temporary files that crashed writes left
  /// in the index folders more than an hour ago.
  void PrepareCollectionFolders();

  /// Folders: U/MyData/<mycollection|videocollection>/<title>/ and
  /// U/TXS/<CdCollection|MyCollection|VideoCollection>/; empty when unsafe.
  std::filesystem::path TileFolder(int kind, std::string_view title) const;
  std::filesystem::path IndexFolder(int kind) const;

  const std::filesystem::path& userDir() const { return m_userDir; }
  const std::filesystem::path& programDir() const { return m_programDir; }
  /// The configuration files the registry reads and writes.
  Configuration& configuration() const { return m_configuration; }

 private:
  struct Entry {
    std::string nameLine;
    std::string pathLine;
    std::string statusLine;
  };
  // Loads one kind with `user` as the user profile.
  void LoadKindFrom(int kind, const ProfileFile& user);
  // Writes one kind's sections into `profile`; false when a section was refused.
  bool WriteKindTo(int kind, ProfileFile& profile) const;
  // The entry, or null when the kind or index is out of range.
  const Entry* EntryAt(int kind, int index) const;
  Entry* EntryAt(int kind, int index);

  Configuration& m_configuration;
  std::filesystem::path m_userDir;
  std::filesystem::path m_programDir;
  std::vector<Entry> m_kinds[kCollectionKindCount];
  // True for a kind whose user profile could not be read at its last load.
  bool m_profileUnread[kCollectionKindCount] = {};
};

/// The program's registry (over Configuration::Current(), UserDir() and
/// ProgramDir()), made on first use; SetCollections replaces it (tests).
CollectionRegistry& Collections();
void SetCollections(std::unique_ptr<CollectionRegistry> registry);

}  // namespace tx
