#pragma once
// The program's side of albums: the album list, the album that is open, and
// the calls into the album library (albumkit/albumkit_api.h).
//
// The album library is loaded at run time by name from the program folder;
// every call looks its function up by name first, and an operation whose
// function is missing does nothing and reports failure. Without the library
// every operation fails quietly and the list stays empty.
//
// The album list holds at most kMaxAlbums lines "key:=:display name". The
// key is the album's file name in the library's share folder, made from the
// display name (albumkit/album_file_name.h), so whatever a user types as a
// name, the file it names lies in the share folder. Whenever the list
// changes, its lines are written as the whole section "albums" of the user
// profile. Single-threaded: every operation runs on the interface thread.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "albumkit/albumkit_api.h"
#include "config/settings_access.h"
#include "platform/global_memory.h"
#include "platform/notices.h"
#include "platform/shared_library.h"

namespace tx {

/// The most albums the list holds.
inline constexpr int kMaxAlbums = 500;
/// The most pictures one album holds (message 2547 names this number).
inline constexpr int kAlbumPictureLimit = ABM_MAX_PICTURES;
/// Bytes of the buffer the album names are read into.
inline constexpr std::size_t kAlbumListBytes = 30000;
/// A display name is cut to 63 characters when it is longer than 64.
inline constexpr std::size_t kAlbumNameCutAbove = 64;
inline constexpr std::size_t kAlbumNameKeep = 63;
/// The first 16-bit value that marks a still frame being saved; stored as 1.
inline constexpr std::int16_t kStillSaveMarker = -99;
/// The album browser's grid, for the row that shows a new last picture.
inline constexpr int kAlbumBrowserPicturesPerRow = 5;
inline constexpr int kAlbumBrowserVisibleRows = 3;

/// Which per-album value: the browser's selected picture or its first row.
enum AlbumValue : int { kAlbumHead = 0, kAlbumPos = 1 };

class AlbumList {
 public:
  /// `programDir` holds Albumkit and the old album folder "albums";
  /// `userDir` holds the first-run mark. Nothing is loaded yet.
  AlbumList(Configuration& configuration, std::filesystem::path programDir,
            std::filesystem::path userDir);
  /// Frees the open album's item list and releases the library.
  ~AlbumList();
  AlbumList(const AlbumList&) = delete;
  AlbumList& operator=(const AlbumList&) = delete;

  /// Loads the album library (once; later calls report whether it is
  /// loaded). False when it cannot be loaded.
  bool LoadAlbumLibrary();
  /// Releases the library; the list and the open album stay.
  void FreeAlbumLibrary();
  bool libraryLoaded() const { return m_library.isOpen(); }

  /// Reads the album list from the library on first use (after converting
  /// the albums of an earlier release on the first run of this version).
  /// Does nothing once loaded, or without the library's conversion call.
  /// Every operation below calls it first.
  void EnsureAlbumList();
  bool listLoaded() const { return m_loaded; }

  int GetAlbumCount();
  /// The text before and after the separator of line `index`; "" when the
  /// index is out of range.
  std::string GetAlbumKey(int index);
  std::string GetAlbumName(int index);
  /// The index of the first album named `name`, or 0 when there is none
  /// (also for an empty name): callers take the first album then.
  int FindAlbumByName(std::string_view name);
  /// The share folder joined with the key; empty when the index is out of
  /// range, the share folder cannot be had, or the key is not a plain album
  /// file name (so no path ever leaves the share folder).
  std::filesystem::path AlbumFilePath(int index);
  /// The library's share folder, created when missing; empty on failure.
  std::filesystem::path ShareFolder() const;

  /// A display name for a new album: the catalogue's base name followed by
  /// 1, 2, ... whose album file does not exist in the share folder and
  /// whose key is not in the list. "" when the share folder cannot be had.
  std::string NewAlbumName();
  /// Appends an album named `name` (line breaks become two spaces; cut to
  /// the 255 bytes the album file holds) and writes the list copy; its
  /// index is then GetAlbumCount() - 1. The album file is first written
  /// when the album is saved. Returns 0, or -1 when the list is full, the
  /// list is not loaded, the name is empty, or an album with the same key
  /// is listed (its file would be shared).
  int AddAlbum(std::string_view name);
  /// Gives album `index` a new display name (line breaks become two
  /// spaces; cut to 63 characters when longer than 64) and writes the list
  /// copy. The key, and so the file, keeps its name until the next save.
  /// False for an index out of range or an empty name.
  bool RenameAlbum(int index, std::string_view name);
  /// Deletes the album's file (only ever in the share folder), removes its
  /// line and writes the list copy. Closes the album when it is open.
  bool DeleteAlbum(int index);
  /// Saves the open album, which must have been opened from
  /// `albumFilePath`, under the list entry whose key is that path's file
  /// name: writes the share folder's file for the entry's display name,
  /// re-keys the entry, and deletes the old file when it was another file
  /// in the share folder (a file opened from elsewhere stays). Refuses
  /// (false), writing nothing, when there is no such entry, the open album
  /// came from another file, or the new file name belongs to another album
  /// (an existing file other than the old one, or another entry's key).
  bool SaveAlbum(const std::filesystem::path& albumFilePath);

  /// Opens album `index`, or the album file `albumFile`, as the open album,
  /// replacing (and freeing) the one open before. An album file in the
  /// share folder that does not exist yet opens as an empty album. False,
  /// keeping the open album, when the file cannot be read.
  bool OpenAlbum(int index);
  bool OpenAlbum(const std::filesystem::path& albumFile);
  /// Frees the open album without saving it.
  void CloseAlbum();
  bool hasOpenAlbum() const { return m_open; }
  const std::filesystem::path& openAlbumPath() const { return m_openPath; }
  /// The open album's header: picture count, browser values and the item
  /// list (owned by this object; valid until the album is replaced).
  const AbmHeader& openHeader() const { return m_openHeader; }
  /// True once a picture was added to the open album and not yet saved.
  bool openAlbumChanged() const { return m_openChanged; }

  /// The record of picture `index` of the open album (owned by this object;
  /// valid until the album changes); null when out of range.
  GlobalHandle OpenItem(int index) const;
  /// The file of picture `index` of the open album: a path stored relative
  /// to the program folder comes back joined to it. Empty when out of range.
  std::filesystem::path OpenItemPath(int index) const;
  /// Takes the pictures at `indices` (any order; repeated or out-of-range
  /// indices are ignored) out of the open album, frees their records and
  /// marks the album changed when any went. The files are not touched.
  /// Returns how many pictures went.
  int RemovePictures(const std::vector<int>& indices);

  /// Starts an add command (one pick, one drop, one command line): the
  /// "album is full" message is shown at most once until the next call.
  void BeginAddCommand() { m_limitShown = false; }
  /// Adds the picture file `path` to an album; the one way pictures enter
  /// albums. `picture` (not freed) is used when given, else the file is
  /// loaded (LoadAlbumPicture, whose messages tell why it fails). The path
  /// is made absolute first; a path longer than the record holds is refused
  /// with its message. `albumChoice` < 0 adds to the open album and marks it
  /// changed; otherwise album `albumChoice` is opened, the picture added, the
  /// album saved at once and its browser values pointed at the new picture.
  /// An album at the picture limit takes nothing ("album is full", once per
  /// add command). A picture already in the album under the same path
  /// (compared without regard to case) is replaced. `value1` of
  /// kStillSaveMarker is stored as 1. Returns 1 when the picture was added
  /// (and, for a chosen album, saved), else 0.
  int AddPictureToAlbum(NoticeOwner owner, GlobalHandle picture, const std::string& path,
                        int albumChoice, std::string_view caption, std::int16_t value1,
                        std::int16_t value2, std::int16_t value3);

  /// The album shown last (section "ALBUMCUR", key "albums"): the index of
  /// that name, 0 when it is unknown or missing.
  int GetCurrentAlbum();
  bool SetCurrentAlbum(int index);
  /// The per-album integers of the browser (sections "ALBUMHEAD" and
  /// "ALBUMPOS", key "albums_<key>" with every '=' made '\'); 0 when missing.
  int GetAlbumValue(int index, int which);
  bool SetAlbumValue(int index, int which, int value);

  /// The picture paths of album file `albumFile`: asks the library for the
  /// count, then for the paths in a zero-filled (count + 1) x 256-byte
  /// buffer. False when either call fails; true with no paths for an empty
  /// album.
  bool GetAlbumPictures(const std::filesystem::path& albumFile, std::vector<std::string>& paths);

 private:
  template <typename F>
  F Function(const char* name) const {
    return m_library.Function<F>(name);
  }
  bool ValidIndex(int index);
  int FindKey(std::string_view key, int except = -1) const;
  void WriteListCopy();
  std::string ValueKey(int index);
  void RemoveItemsWithPath(const std::string& path);
  bool AppendItem(GlobalHandle item);

  Configuration& m_configuration;
  std::filesystem::path m_programDir;
  std::filesystem::path m_userDir;
  SharedLibrary m_library;
  std::vector<std::string> m_lines;
  bool m_loaded = false;
  // The open album; m_openHeader.items is owned here.
  bool m_open = false;
  std::filesystem::path m_openPath;
  AbmHeader m_openHeader{};
  bool m_openChanged = false;
  bool m_limitShown = false;
};

/// The process's album list, made on first use (and its library loaded)
/// from the current configuration, the program folder and the user folder.
AlbumList& Albums();
/// Replaces the process's album list (tests); null makes a fresh one at the
/// next Albums().
void SetAlbums(std::unique_ptr<AlbumList> albums);

}  // namespace tx
