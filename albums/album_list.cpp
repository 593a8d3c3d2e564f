#include "albums/album_list.h"

#include <algorithm>
#include <cstring>

#include "albumkit/album_file_name.h"
#include "albums/album_item.h"
#include "albums/album_picture_loading.h"
#include "albums/album_string_ids.h"
#include "config/first_run.h"
#include "config/profile_file.h"
#include "image/image_lock.h"
#include "platform/paths.h"
#include "resources/messages.h"
#include "resources/string_ids.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

constexpr char kLibraryName[] = "Albumkit";
constexpr std::string_view kSeparator = ":=:";
constexpr char kListSection[] = "albums";
constexpr char kCurrentSection[] = "ALBUMCUR";
constexpr char kCurrentKey[] = "albums";
constexpr char kValueKeyPrefix[] = "albums_";
constexpr const char* kValueSections[] = {"ALBUMHEAD", "ALBUMPOS"};
constexpr char kOldAlbumFolder[] = "albums";
// NewAlbumName gives up after this many taken names.
constexpr int kMaxNewNameTries = 100000;

using GetShareFolderFn = decltype(&ABM_GetShareFolder);
using GetAlbumListFn = decltype(&ABM_GetAlbumList);
using ConvertAllAlbumsFn = decltype(&ABM_ConvertAllAlbumsM);
using GetFileNameListFn = decltype(&ABM_GetFileNameList);
using OpenFileFn = decltype(&ABM_OpenFile);
using SaveFileFn = decltype(&ABM_SaveFile);

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// A display name as the list keeps it: up to the first NUL, every line break
// (CR LF, CR or LF) two spaces, at most the bytes an album file holds.
std::string NormaliseName(std::string_view name) {
  name = name.substr(0, name.find('\0'));
  std::string result;
  result.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\r' || name[i] == '\n') {
      if (name[i] == '\r' && i + 1 < name.size() && name[i + 1] == '\n') ++i;
      result += "  ";
    } else {
      result += name[i];
    }
  }
  return CutUtf8(result, ABM_NAME_BYTES - 1);
}

// `name` cut to its first `keep` characters when it has more than `above`.
std::string CutCharacters(const std::string& name, std::size_t above, std::size_t keep) {
  std::size_t characters = 0;
  std::size_t keepBytes = name.size();
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (IsContinuation(name[i])) continue;
    if (characters == keep) keepBytes = i;
    ++characters;
  }
  return characters > above ? name.substr(0, keepBytes) : name;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

bool SamePath(const fs::path& a, const fs::path& b) {
  return a.lexically_normal() == b.lexically_normal();
}

// Frees an item list and every record in it.
void FreeItemList(GlobalHandle list, std::int32_t count) {
  if (!list) return;
  const std::size_t held = GlobalSize(list) / sizeof(GlobalHandle);
  auto* items = static_cast<GlobalHandle*>(GlobalLock(list));
  if (items) {
    for (std::size_t i = 0; i < std::min<std::size_t>(held, std::size_t(std::max(count, 0))); ++i) {
      GlobalFree(items[i]);
    }
    GlobalUnlock(list);
  }
  GlobalFree(list);
}

std::unique_ptr<AlbumList>& AlbumsStorage() {
  static std::unique_ptr<AlbumList> albums;
  return albums;
}

}  // namespace

AlbumList::AlbumList(Configuration& configuration, fs::path programDir, fs::path userDir)
    : m_configuration(configuration),
      m_programDir(std::move(programDir)),
      m_userDir(std::move(userDir)) {}

AlbumList::~AlbumList() {
  CloseAlbum();
}

bool AlbumList::LoadAlbumLibrary() {
  if (m_library.isOpen()) return true;
  std::string error;
  m_library = SharedLibrary::Open(m_programDir, kLibraryName, error);
  return m_library.isOpen();
}

void AlbumList::FreeAlbumLibrary() {
  m_library.Close();
}

void AlbumList::EnsureAlbumList() {
  if (m_loaded) return;
  auto convert = Function<ConvertAllAlbumsFn>("ABM_ConvertAllAlbumsM");
  if (!convert) return;
  // The first run of this version for the user brings over the albums of
  // the release whose album folder lay in the program folder.
  if (IsFirstRunDue(m_userDir / FirstRunMarkPath().filename())) {
    const fs::path share = ShareFolder();
    if (!share.empty()) {
      convert(0, (m_programDir / kOldAlbumFolder).c_str(), share.c_str());
    }
  }
  std::vector<char> names(kAlbumListBytes, 0);
  if (auto list = Function<GetAlbumListFn>("ABM_GetAlbumList")) {
    list(names.data(), static_cast<std::int32_t>(names.size()));
  }
  names.back() = 0;
  m_lines.clear();
  for (std::size_t at = 0; at < names.size() && m_lines.size() < std::size_t(kMaxAlbums);) {
    const std::string name(names.data() + at);
    if (name.empty()) break;
    at += name.size() + 1;
    m_lines.push_back(abm::AlbumFileName(name) + std::string(kSeparator) + NormaliseName(name));
  }
  m_loaded = true;
}

int AlbumList::GetAlbumCount() {
  EnsureAlbumList();
  return static_cast<int>(m_lines.size());
}

bool AlbumList::ValidIndex(int index) {
  EnsureAlbumList();
  return index >= 0 && std::size_t(index) < m_lines.size();
}

std::string AlbumList::GetAlbumKey(int index) {
  if (!ValidIndex(index)) return {};
  const std::string& line = m_lines[std::size_t(index)];
  return line.substr(0, line.find(kSeparator));
}

std::string AlbumList::GetAlbumName(int index) {
  if (!ValidIndex(index)) return {};
  const std::string& line = m_lines[std::size_t(index)];
  const std::size_t separator = line.find(kSeparator);
  return separator == std::string::npos ? std::string()
                                        : line.substr(separator + kSeparator.size());
}

int AlbumList::FindAlbumByName(std::string_view name) {
  EnsureAlbumList();
  if (name.empty()) return 0;
  for (int i = 0; i < int(m_lines.size()); ++i) {
    if (GetAlbumName(i) == name) return i;
  }
  return 0;
}

int AlbumList::FindKey(std::string_view key, int except) const {
  for (int i = 0; i < int(m_lines.size()); ++i) {
    const std::string& line = m_lines[std::size_t(i)];
    if (i != except && std::string_view(line).substr(0, line.find(kSeparator)) == key) return i;
  }
  return -1;
}

fs::path AlbumList::ShareFolder() const {
  auto getShareFolder = Function<GetShareFolderFn>("ABM_GetShareFolder");
  if (!getShareFolder) return {};
  char folder[ABM_FOLDER_BYTES] = {};
  if (!getShareFolder(folder)) return {};
  folder[ABM_FOLDER_BYTES - 1] = 0;
  return fs::path(folder);
}

fs::path AlbumList::AlbumFilePath(int index) {
  if (!ValidIndex(index)) return {};
  const std::string key = GetAlbumKey(index);
  // A key that is not a plain album file name could name a file outside the
  // share folder; it names none.
  if (!abm::IsPlainAlbumFileName(key)) return {};
  const fs::path share = ShareFolder();
  return share.empty() ? fs::path() : share / key;
}

void AlbumList::WriteListCopy() {
  m_configuration.EditUserProfile(
      [&](ProfileFile& profile) { profile.WriteSection(kListSection, m_lines); });
}

std::string AlbumList::NewAlbumName() {
  EnsureAlbumList();
  const fs::path share = ShareFolder();
  if (share.empty()) return {};
  const std::string base = LoadText(kStrNewAlbum);
  for (int n = 1; n <= kMaxNewNameTries; ++n) {
    const std::string name = base + std::to_string(n);
    const std::string key = abm::AlbumFileName(name);
    std::error_code ec;
    if (!fs::exists(share / key, ec) && !ec && FindKey(key) < 0) return name;
  }
  return {};
}

int AlbumList::AddAlbum(std::string_view name) {
  EnsureAlbumList();
  if (!m_loaded || m_lines.size() >= std::size_t(kMaxAlbums)) return -1;
  const std::string displayName = NormaliseName(name);
  if (displayName.empty()) return -1;
  const std::string key = abm::AlbumFileName(displayName);
  if (FindKey(key) >= 0) return -1;
  m_lines.push_back(key + std::string(kSeparator) + displayName);
  WriteListCopy();
  return 0;
}

bool AlbumList::RenameAlbum(int index, std::string_view name) {
  if (!ValidIndex(index)) return false;
  const std::string displayName =
      CutCharacters(NormaliseName(name), kAlbumNameCutAbove, kAlbumNameKeep);
  if (displayName.empty()) return false;
  m_lines[std::size_t(index)] = GetAlbumKey(index) + std::string(kSeparator) + displayName;
  WriteListCopy();
  return true;
}

bool AlbumList::DeleteAlbum(int index) {
  if (!ValidIndex(index)) return false;
  const fs::path path = AlbumFilePath(index);
  if (!path.empty()) {
    std::error_code ec;
    fs::remove(path, ec);
    if (m_open && SamePath(path, m_openPath)) CloseAlbum();
  }
  m_lines.erase(m_lines.begin() + index);
  WriteListCopy();
  return true;
}

bool AlbumList::SaveAlbum(const fs::path& albumFile) {
  // A copy: the caller may pass openAlbumPath(), which the save moves on.
  const fs::path albumFilePath = albumFile;
  EnsureAlbumList();
  auto saveFile = Function<SaveFileFn>("ABM_SaveFile");
  if (!saveFile) return false;
  const std::string oldKey = albumFilePath.filename().string();
  const int index = FindKey(oldKey);
  if (index < 0) return false;
  // The list entry names the album; the open album holds its pictures.
  if (!m_open || !SamePath(albumFilePath, m_openPath)) return false;
  const fs::path share = ShareFolder();
  if (share.empty()) return false;

  const std::string name = GetAlbumName(index);
  const std::string newKey = abm::AlbumFileName(name);
  const fs::path newPath = share / newKey;
  const bool moves = !SamePath(newPath, albumFilePath);
  // Saving must never replace another album: not a file of another name in
  // the share folder, nor the file another entry will save to.
  if (FindKey(newKey, index) >= 0) return false;
  std::error_code ec;
  if (moves && (fs::exists(newPath, ec) || ec)) return false;

  AbmHeader header = m_openHeader;
  const std::string storedName = CutUtf8(name, ABM_NAME_BYTES - 1);
  std::memset(header.name, 0, sizeof header.name);
  std::memcpy(header.name, storedName.data(), storedName.size());
  if (!saveFile(0, newPath.c_str(), &header)) return false;

  m_lines[std::size_t(index)] = newKey + std::string(kSeparator) + name;
  WriteListCopy();
  m_openPath = newPath;
  m_openChanged = false;
  // The old file goes only when it was another album file in the share
  // folder; a file opened from elsewhere is the user's and stays.
  if (moves && SamePath(albumFilePath.parent_path(), share) && abm::IsPlainAlbumFileName(oldKey)) {
    fs::remove(albumFilePath, ec);
  }
  return true;
}

bool AlbumList::OpenAlbum(int index) {
  const fs::path path = AlbumFilePath(index);
  return !path.empty() && OpenAlbum(path);
}

bool AlbumList::OpenAlbum(const fs::path& albumFile) {
  auto openFile = Function<OpenFileFn>("ABM_OpenFile");
  if (!openFile || albumFile.empty()) return false;
  AbmHeader header{};
  if (!openFile(0, albumFile.c_str(), &header)) {
    // An album listed but never saved has no file yet: it starts empty.
    std::error_code ec;
    const bool inShare = SamePath(albumFile.parent_path(), ShareFolder());
    if (!inShare || fs::exists(albumFile, ec) || ec) return false;
    header = AbmHeader{};
    header.items = GlobalAlloc(0);
    if (!header.items) return false;
  }
  if (!header.items && header.pictureCount == 0) header.items = GlobalAlloc(0);
  // The library's answer is checked before the list is trusted.
  if (!header.items || header.pictureCount < 0 || header.pictureCount > kAlbumPictureLimit ||
      GlobalSize(header.items) < std::size_t(header.pictureCount) * sizeof(GlobalHandle)) {
    FreeItemList(header.items, 0);
    return false;
  }
  CloseAlbum();
  m_openHeader = header;
  m_openPath = albumFile;
  m_open = true;
  m_openChanged = false;
  return true;
}

void AlbumList::CloseAlbum() {
  if (m_open) FreeItemList(m_openHeader.items, m_openHeader.pictureCount);
  m_open = false;
  m_openHeader = AbmHeader{};
  m_openPath.clear();
  m_openChanged = false;
}

void AlbumList::RemoveItemsWithPath(const std::string& path) {
  auto* items = static_cast<GlobalHandle*>(GlobalLock(m_openHeader.items));
  if (!items) return;
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < m_openHeader.pictureCount; ++i) {
    if (SameTextIgnoringCase(AlbumItemPath(items[i]), path)) {
      GlobalFree(items[i]);
    } else {
      items[kept++] = items[i];
    }
  }
  std::fill(items + kept, items + m_openHeader.pictureCount, nullptr);
  m_openHeader.pictureCount = kept;
  GlobalUnlock(m_openHeader.items);
}

bool AlbumList::AppendItem(GlobalHandle item) {
  const std::size_t count = std::size_t(m_openHeader.pictureCount);
  if (!GlobalReAlloc(m_openHeader.items, (count + 1) * sizeof(GlobalHandle))) return false;
  auto* items = static_cast<GlobalHandle*>(GlobalLock(m_openHeader.items));
  if (!items) return false;
  items[count] = item;
  GlobalUnlock(m_openHeader.items);
  ++m_openHeader.pictureCount;
  return true;
}

GlobalHandle AlbumList::OpenItem(int index) const {
  if (!m_open || index < 0 || index >= m_openHeader.pictureCount) return nullptr;
  const auto* items = static_cast<const GlobalHandle*>(GlobalLock(m_openHeader.items));
  if (!items) return nullptr;
  GlobalHandle item = items[index];
  GlobalUnlock(m_openHeader.items);
  return item;
}

fs::path AlbumList::OpenItemPath(int index) const {
  GlobalHandle item = OpenItem(index);
  const std::string stored = AlbumItemPath(item);
  if (stored.empty()) return {};
  bool relative = false;
  if (GlobalSize(item) >= ABM_ITEM_PATH_FORM + 2) {
    if (const auto* record = static_cast<const std::uint8_t*>(GlobalLock(item))) {
      relative = (record[ABM_ITEM_PATH_FORM] | record[ABM_ITEM_PATH_FORM + 1] << 8) == 1;
      GlobalUnlock(item);
    }
  }
  return relative ? m_programDir / stored : fs::path(stored);
}

int AlbumList::RemovePictures(const std::vector<int>& indices) {
  if (!m_open || m_openHeader.pictureCount <= 0) return 0;
  std::vector<bool> doomed(std::size_t(m_openHeader.pictureCount), false);
  for (int index : indices) {
    if (index >= 0 && index < m_openHeader.pictureCount) doomed[std::size_t(index)] = true;
  }
  auto* items = static_cast<GlobalHandle*>(GlobalLock(m_openHeader.items));
  if (!items) return 0;
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < m_openHeader.pictureCount; ++i) {
    if (doomed[std::size_t(i)]) {
      GlobalFree(items[i]);
    } else {
      items[kept++] = items[i];
    }
  }
  const int removed = m_openHeader.pictureCount - kept;
  std::fill(items + kept, items + m_openHeader.pictureCount, nullptr);
  m_openHeader.pictureCount = kept;
  GlobalUnlock(m_openHeader.items);
  if (removed > 0) m_openChanged = true;
  return removed;
}

int AlbumList::AddPictureToAlbum(NoticeOwner owner, GlobalHandle picture, const std::string& path,
                                 int albumChoice, std::string_view caption, std::int16_t value1,
                                 std::int16_t value2, std::int16_t value3) {
  if (path.empty()) return 0;
  // Records keep full paths; a longer one than the record holds would be cut
  // and name another file, so it is refused before anything is loaded.
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  const std::string fullPath = ec ? path : absolute.lexically_normal().string();
  if (fullPath.size() > kMaxAlbumItemPathBytes) {
    ShowFormatted(owner, kStrPathTooLongForAlbum, kStrProgramName, kMbOk | kMbIconExclamation,
                  fullPath);
    return 0;
  }
  PackedImage loaded;
  if (!picture) {
    loaded.reset(LoadAlbumPicture(owner, fullPath, value1 == kStillSaveMarker));
    if (!loaded) return 0;
    picture = loaded.get();
  }
  if (value1 == kStillSaveMarker) value1 = 1;

  if (albumChoice >= 0) {
    if (!OpenAlbum(albumChoice)) return 0;
  } else if (!m_open) {
    return 0;
  }
  if (m_openHeader.pictureCount >= kAlbumPictureLimit) {
    if (!m_limitShown) {
      m_limitShown = true;
      ShowMessageFor(owner, kStrAlbumFull);
    }
    return 0;
  }

  // The record is built before the old one goes, so a failure changes nothing.
  GlobalHandle item = MakeAlbumItem(picture, fullPath, {caption, {value1, value2, value3}});
  if (!item) return 0;
  RemoveItemsWithPath(fullPath);
  if (!AppendItem(item)) {
    GlobalFree(item);
    return 0;
  }
  m_openChanged = true;
  if (albumChoice < 0) return 1;

  if (!SaveAlbum(AlbumFilePath(albumChoice))) {
    ShowMessageFor(owner, kStrAlbumSaveError);
    return 0;
  }
  const int last = m_openHeader.pictureCount - 1;
  const int row =
      (last + kAlbumBrowserPicturesPerRow) / kAlbumBrowserPicturesPerRow - kAlbumBrowserVisibleRows;
  SetAlbumValue(albumChoice, kAlbumHead, last);
  SetAlbumValue(albumChoice, kAlbumPos, std::max(row, 0));
  return 1;
}

int AlbumList::GetCurrentAlbum() {
  EnsureAlbumList();
  const ProfileFile profile = m_configuration.userProfile();
  return FindAlbumByName(profile.GetString(kCurrentSection, kCurrentKey, ""));
}

bool AlbumList::SetCurrentAlbum(int index) {
  if (!ValidIndex(index)) return false;
  const std::string name = GetAlbumName(index);
  return m_configuration.EditUserProfile(
      [&](ProfileFile& profile) { profile.Set(kCurrentSection, kCurrentKey, name); });
}

std::string AlbumList::ValueKey(int index) {
  std::string key = kValueKeyPrefix + GetAlbumKey(index);
  std::replace(key.begin(), key.end(), '=', '\\');
  return key;
}

int AlbumList::GetAlbumValue(int index, int which) {
  if (!ValidIndex(index) || (which != kAlbumHead && which != kAlbumPos)) return 0;
  return m_configuration.userProfile().GetInt(kValueSections[which], ValueKey(index), 0);
}

bool AlbumList::SetAlbumValue(int index, int which, int value) {
  if (!ValidIndex(index) || (which != kAlbumHead && which != kAlbumPos)) return false;
  const std::string key = ValueKey(index);
  bool set = false;
  const bool saved = m_configuration.EditUserProfile([&](ProfileFile& profile) {
    set = profile.Set(kValueSections[which], key, std::to_string(value));
  });
  return set && saved;
}

bool AlbumList::GetAlbumPictures(const fs::path& albumFile, std::vector<std::string>& paths) {
  paths.clear();
  auto getFileNameList = Function<GetFileNameListFn>("ABM_GetFileNameList");
  if (!getFileNameList) return false;
  std::int32_t count = 0;
  if (!getFileNameList(0, albumFile.c_str(), &count, nullptr, nullptr)) return false;
  if (count < 0 || count > kAlbumPictureLimit) return false;
  if (count == 0) return true;
  std::int32_t slot = ABM_SLOT_BYTES;
  std::vector<char> buffer((std::size_t(count) + 1) * std::size_t(slot), 0);
  const std::int32_t room = count;
  if (!getFileNameList(0, albumFile.c_str(), &count, buffer.data(), &slot)) return false;
  count = std::clamp(count, 0, room);
  for (std::int32_t k = 0; k < count; ++k) {
    const char* text = buffer.data() + std::size_t(k) * ABM_SLOT_BYTES;
    std::string picture(text, strnlen(text, ABM_SLOT_BYTES));
    if (!picture.empty()) paths.push_back(std::move(picture));
  }
  return true;
}

AlbumList& Albums() {
  std::unique_ptr<AlbumList>& albums = AlbumsStorage();
  if (!albums) {
    albums = std::make_unique<AlbumList>(Configuration::Current(), ProgramDir(), UserDir());
    albums->LoadAlbumLibrary();
  }
  return *albums;
}

void SetAlbums(std::unique_ptr<AlbumList> albums) {
  AlbumsStorage() = std::move(albums);
}

}  // namespace tx
