// The exports of the album library (albumkit_api.h). Only these functions
// leave the library: it is built with hidden visibility and each export is
// marked. No exception may cross into the program, so every export runs its
// body inside one catch-all that turns a failure into the result 0.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "albumkit/abm_file.h"
#include "albumkit/album_file_name.h"
#include "albumkit/albumkit_api.h"
#include "platform/file_io.h"
#include "platform/global_memory.h"
#include "platform/paths.h"

#if defined(_WIN32)
#define ABM_EXPORT __declspec(dllexport)
#else
#define ABM_EXPORT __attribute__((visibility("default")))
#endif

namespace fs = std::filesystem;

namespace tx::abm {
namespace {

constexpr char kShareFolderName[] = "Albums";

template <typename Body>
std::int32_t Guarded(Body&& body) {
  try {
    return body() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

// The share folder, created when missing; empty when it cannot be made.
fs::path ShareFolder() {
  fs::path folder = UserDir() / kShareFolderName;
  return EnsureDirectory(folder) ? folder : fs::path();
}

bool HasAlbumExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return ext == kAlbumExtension;
}

// Copies `text` into a field of `size` bytes, cut on a character boundary so
// that a NUL always fits; the rest of the field is zeroed.
void CopyToField(char* field, std::size_t size, const std::string& text) {
  std::size_t length = std::min(text.size(), size - 1);
  if (length < text.size()) {
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
      --length;
  }
  std::memcpy(field, text.data(), length);
  std::memset(field + length, 0, size - length);
}

// The name an album file is listed under: the display name it holds when
// that name leads back to this file, else the file's own stem (a file copied
// or renamed by hand). Nothing for files that are not plain album files or
// not albums of this format.
bool ListedName(const fs::path& file, std::string& name) {
  const std::string fileName = file.filename().string();
  if (!IsPlainAlbumFileName(fileName)) return false;
  AlbumFileHeader header;
  if (!ReadAlbumHeader(file, header)) return false;
  name = header.name;
  if (name.empty() || name.find_first_of("\r\n") != std::string::npos ||
      AlbumFileName(name) != fileName) {
    name = fileName.substr(0, fileName.size() - kAlbumExtension.size());
  }
  return true;
}

// Locks a set of blocks and unlocks them all when it goes.
class BlockLocks {
 public:
  BlockLocks() = default;
  ~BlockLocks() {
    for (GlobalHandle handle : m_handles)
      GlobalUnlock(handle);
  }
  BlockLocks(const BlockLocks&) = delete;
  BlockLocks& operator=(const BlockLocks&) = delete;
  void* Lock(GlobalHandle handle) {
    void* data = GlobalLock(handle);
    if (data) m_handles.push_back(handle);
    return data;
  }

 private:
  std::vector<GlobalHandle> m_handles;
};

// Owns blocks made for a caller until they are handed over.
class NewBlocks {
 public:
  NewBlocks() = default;
  ~NewBlocks() {
    for (GlobalHandle handle : m_handles)
      GlobalFree(handle);
  }
  NewBlocks(const NewBlocks&) = delete;
  NewBlocks& operator=(const NewBlocks&) = delete;
  GlobalHandle Alloc(std::size_t bytes) {
    GlobalHandle handle = GlobalAlloc(bytes);
    if (handle) m_handles.push_back(handle);
    return handle;
  }
  void Release() { m_handles.clear(); }

 private:
  std::vector<GlobalHandle> m_handles;
};

// A block with a copy of `bytes` and the spare zero bytes after them.
GlobalHandle CopyRecord(NewBlocks& blocks, std::span<const std::uint8_t> bytes) {
  GlobalHandle handle = blocks.Alloc(bytes.size() + ABM_ITEM_SPARE_BYTES);
  if (!handle) return nullptr;
  void* data = GlobalLock(handle);
  if (!data) return nullptr;
  std::memcpy(data, bytes.data(), bytes.size());
  GlobalUnlock(handle);
  return handle;
}

bool OpenFile(const char* albumFile, AbmHeader* header) {
  if (!albumFile || !header) return false;
  std::vector<std::uint8_t> bytes;
  AlbumFile album;
  if (!ReadAlbumFile(albumFile, bytes, album)) return false;

  NewBlocks blocks;
  const std::size_t count = album.records.size();
  GlobalHandle list = blocks.Alloc(count * sizeof(GlobalHandle));
  if (!list) return false;
  std::vector<GlobalHandle> items;
  items.reserve(count);
  for (const auto& record : album.records) {
    GlobalHandle item = CopyRecord(blocks, record);
    if (!item) return false;
    items.push_back(item);
  }
  void* listData = GlobalLock(list);
  if (!listData) return false;
  if (count > 0) std::memcpy(listData, items.data(), count * sizeof(GlobalHandle));
  GlobalUnlock(list);

  CopyToField(header->name, ABM_NAME_BYTES, album.header.name);
  header->pictureCount = static_cast<std::int32_t>(count);
  header->browserValues[0] = album.header.browserValues[0];
  header->browserValues[1] = album.header.browserValues[1];
  header->reserved = 0;
  header->items = list;
  blocks.Release();
  return true;
}

bool SaveFile(const char* albumFile, const AbmHeader* header) {
  if (!albumFile || !*albumFile || !header) return false;
  const fs::path path(albumFile);
  if (!HasAlbumExtension(path)) return false;
  const void* nameEnd = std::memchr(header->name, 0, ABM_NAME_BYTES);
  if (!nameEnd) return false;
  const std::int32_t count = header->pictureCount;
  if (count < 0 || count > ABM_MAX_PICTURES) return false;

  AlbumFileHeader fileHeader;
  fileHeader.name.assign(header->name, static_cast<const char*>(nameEnd));
  fileHeader.browserValues[0] = header->browserValues[0];
  fileHeader.browserValues[1] = header->browserValues[1];

  BlockLocks locks;
  std::vector<std::span<const std::uint8_t>> records;
  records.reserve(static_cast<std::size_t>(count));
  if (count > 0) {
    const std::size_t listBytes = std::size_t(count) * sizeof(GlobalHandle);
    if (GlobalSize(header->items) < listBytes) return false;
    const auto* items = static_cast<const GlobalHandle*>(locks.Lock(header->items));
    if (!items) return false;
    for (std::int32_t i = 0; i < count; ++i) {
      const auto* record = static_cast<const std::uint8_t*>(locks.Lock(items[i]));
      if (!record) return false;
      const std::size_t size = ItemRecordSize(record, GlobalSize(items[i]));
      if (size == 0) return false;
      records.emplace_back(record, size);
    }
  }
  std::vector<std::uint8_t> bytes = SerializeAlbumFile(fileHeader, records);
  std::string error;
  return WriteFileAtomically(path, bytes, error);
}

bool GetFileNameList(const char* albumFile, std::int32_t* count, char* buffer,
                     const std::int32_t* slotSize) {
  if (!albumFile || !count) return false;
  std::vector<std::uint8_t> bytes;
  AlbumFile album;
  if (!ReadAlbumFile(albumFile, bytes, album)) return false;
  const auto pictures = static_cast<std::int32_t>(album.records.size());
  if (!buffer) {
    *count = pictures;
    return true;
  }
  const std::int32_t slot = slotSize ? *slotSize : ABM_SLOT_BYTES;
  if (slot < 1 || *count < 0) return false;
  const std::int32_t filled = std::min(*count, pictures);
  fs::path programDir;
  for (std::int32_t k = 0; k < filled; ++k) {
    const std::uint8_t* record = album.records[std::size_t(k)].data();
    std::string path(reinterpret_cast<const char*>(record + ABM_ITEM_PATH));
    if (record[ABM_ITEM_PATH_FORM] == 1) {
      if (programDir.empty()) programDir = ProgramDir();
      path = (programDir / path).string();
    }
    CopyToField(buffer + std::size_t(k) * std::size_t(slot), std::size_t(slot), path);
  }
  std::memset(buffer + std::size_t(filled) * std::size_t(slot), 0, std::size_t(slot));
  *count = filled;
  return true;
}

bool GetAlbumList(char* buffer, std::int32_t size) {
  if (!buffer || size < 1) return false;
  buffer[0] = 0;
  const fs::path share = ShareFolder();
  if (share.empty()) return false;
  std::vector<std::pair<std::string, std::string>> albums;  // name, file name
  std::error_code ec;
  for (auto it = fs::directory_iterator(share, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name;
    if (ListedName(it->path(), name)) {
      albums.emplace_back(std::move(name), it->path().filename().string());
    }
  }
  std::sort(albums.begin(), albums.end());

  // Each name with its NUL, and room kept for the empty name that ends the list.
  std::size_t used = 0;
  const auto capacity = static_cast<std::size_t>(size);
  for (const auto& [name, file] : albums) {
    if (used + name.size() + 2 > capacity) break;
    std::memcpy(buffer + used, name.data(), name.size());
    used += name.size();
    buffer[used++] = 0;
  }
  buffer[used] = 0;
  return true;
}

bool ConvertAllAlbums(const char* oldFolder, const char* shareFolder) {
  if (!shareFolder || !*shareFolder) return false;
  if (!oldFolder || !*oldFolder) return true;
  const fs::path share(shareFolder);
  std::error_code ec;
  if (!fs::is_directory(oldFolder, ec) || !EnsureDirectory(share)) return true;
  for (auto it = fs::directory_iterator(oldFolder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError) || !HasAlbumExtension(it->path())) continue;
    // The copy keeps the file's name when it is a plain album file name.
    std::string target = it->path().stem().string() + std::string(kAlbumExtension);
    if (!IsPlainAlbumFileName(target)) target = AlbumFileName(it->path().stem().string());
    const fs::path destination = share / target;
    std::error_code existsError;
    if (fs::exists(destination, existsError) || existsError) continue;
    std::vector<std::uint8_t> bytes;
    AlbumFile album;
    if (!ReadAlbumFile(it->path(), bytes, album)) continue;
    std::string error;
    WriteFileAtomically(destination, bytes, error);
  }
  return true;
}

}  // namespace
}  // namespace tx::abm

using namespace tx::abm;

ABM_EXPORT std::int32_t ABM_GetShareFolder(char* folder) {
  return Guarded([&] {
    if (!folder) return false;
    const std::string text = ShareFolder().string();
    if (text.empty() || text.size() >= ABM_FOLDER_BYTES) return false;
    CopyToField(folder, ABM_FOLDER_BYTES, text);
    return true;
  });
}

ABM_EXPORT std::int32_t ABM_GetAlbumList(char* buffer, std::int32_t size) {
  return Guarded([&] { return GetAlbumList(buffer, size); });
}

ABM_EXPORT std::int32_t ABM_ConvertAllAlbumsM(std::int32_t, const char* oldFolder,
                                              const char* shareFolder) {
  return Guarded([&] { return ConvertAllAlbums(oldFolder, shareFolder); });
}

ABM_EXPORT std::int32_t ABM_GetFileNameList(std::int32_t, const char* albumFile,
                                            std::int32_t* count, char* buffer,
                                            std::int32_t* slotSize) {
  return Guarded([&] { return GetFileNameList(albumFile, count, buffer, slotSize); });
}

ABM_EXPORT std::int32_t ABM_OpenFile(std::int32_t, const char* albumFile, AbmHeader* header) {
  return Guarded([&] { return OpenFile(albumFile, header); });
}

ABM_EXPORT std::int32_t ABM_SaveFile(std::int32_t, const char* albumFile, const AbmHeader* header) {
  return Guarded([&] { return SaveFile(albumFile, header); });
}
