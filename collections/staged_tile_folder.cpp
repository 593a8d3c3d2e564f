#include "collections/staged_tile_folder.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>

namespace tx {
namespace fs = std::filesystem;
namespace {

// A collection title never holds ':' (it could not name a file everywhere),
// so these names never meet a collection's folder.
constexpr char kStagingSuffix[] = ":new";
constexpr char kRetiredSuffix[] = ":old";

// The collection folder as given may end in a separator; renames want none.
fs::path WithoutSeparator(const fs::path& folder) {
  return folder.filename().empty() ? folder.parent_path() : folder;
}

fs::path Sibling(const fs::path& folder, const char* suffix) {
  return folder.parent_path() / (folder.filename().string() + suffix);
}

// Names, inside the staged folder, the index its pictures belong to. Tile
// pictures live in the Res* subfolders, so the name never meets one.
constexpr char kFinishedMark[] = "finished-index";

// The size and a 64-bit FNV-1a hash of an index's bytes: enough to tell the
// index a build wrote from the one it replaced.
std::string IndexDigest(std::span<const std::uint8_t> bytes) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (std::uint8_t byte : bytes)
    hash = (hash ^ byte) * 0x100000001b3u;
  char text[48];
  std::snprintf(text, sizeof text, "%zu %016llx", bytes.size(),
                static_cast<unsigned long long>(hash));
  return text;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Swaps two existing folders in one step; false where the file system
// cannot.
bool Exchange(const fs::path& a, const fs::path& b) {
  return ::syscall(SYS_renameat2, AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}

}  // namespace

StagingLock::~StagingLock() {
  if (m_descriptor >= 0) ::close(m_descriptor);
}

bool StagingLock::Take(const fs::path& folder) {
  int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return false;
  if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    ::close(descriptor);
    return false;
  }
  if (m_descriptor >= 0) ::close(m_descriptor);
  m_descriptor = descriptor;
  return true;
}

StagedTileFolder::StagedTileFolder(fs::path folder, fs::path indexFile)
    : m_folder(WithoutSeparator(folder)),
      m_indexFile(std::move(indexFile)),
      m_staging(Sibling(m_folder, kStagingSuffix)) {}

StagedTileFolder::~StagedTileFolder() {
  if (m_committed) return;
  std::error_code ec;
  fs::remove_all(m_staging, ec);
}

void StagedTileFolder::RemoveLeftovers(const fs::path& folder) {
  std::error_code ec;
  const fs::path own = WithoutSeparator(folder);
  fs::remove_all(Sibling(own, kStagingSuffix), ec);
  fs::remove_all(Sibling(own, kRetiredSuffix), ec);
}

void StagedTileFolder::Recover(const fs::path& folder, const fs::path& indexFile) {
  std::error_code ec;
  const fs::path own = WithoutSeparator(folder);
  const fs::path staging = Sibling(own, kStagingSuffix), retired = Sibling(own, kRetiredSuffix);
  StagingLock lock;
  if (fs::exists(staging, ec)) {
    // A build at work holds its folder; nothing of it is touched.
    if (!lock.Take(staging)) return;
    const std::string mark = ReadText(staging / kFinishedMark);
    const std::string index = mark.empty() ? std::string() : ReadText(indexFile);
    std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(index.data()),
                                        index.size());
    if (!index.empty() && IndexDigest(bytes) == mark) {
      // The index in place is the one these pictures were made for: the
      // build was killed between replacing the index and the folder.
      StagedTileFolder(own, indexFile).Commit();
    } else {
      fs::remove_all(staging, ec);
    }
  }
  // Killed between the two renames of a commit that could not exchange the
  // folders, with nothing staged left to finish it: the old pictures go
  // back.
  if (fs::exists(retired, ec)) {
    if (!fs::exists(own, ec)) ::rename(retired.c_str(), own.c_str());
    fs::remove_all(retired, ec);
  }
}

bool StagedTileFolder::Begin() {
  std::error_code ec;
  Recover(m_folder, m_indexFile);
  // What is left is another build's, still at work.
  if (fs::exists(m_staging, ec)) return false;
  return fs::create_directories(m_staging, ec) && !ec && m_lock.Take(m_staging);
}

bool StagedTileFolder::MarkFinished(std::span<const std::uint8_t> index) {
  std::ofstream out(m_staging / kFinishedMark, std::ios::binary | std::ios::trunc);
  out << IndexDigest(index);
  out.close();
  return static_cast<bool>(out);
}

bool StagedTileFolder::Commit() {
  if (!MoveIntoPlace()) return false;
  // In place, the pictures need their mark no more.
  std::error_code ec;
  fs::remove(m_folder / kFinishedMark, ec);
  m_committed = true;
  return true;
}

bool StagedTileFolder::MoveIntoPlace() {
  std::error_code ec;
  if (!fs::exists(m_folder, ec)) return ::rename(m_staging.c_str(), m_folder.c_str()) == 0;
  if (Exchange(m_staging, m_folder)) {
    // The staging name now holds the old pictures.
    fs::remove_all(m_staging, ec);
    return true;
  }
  // Two renames: the collection is without pictures only between them.
  const fs::path retired = Sibling(m_folder, kRetiredSuffix);
  fs::remove_all(retired, ec);
  if (::rename(m_folder.c_str(), retired.c_str()) != 0) return false;
  if (::rename(m_staging.c_str(), m_folder.c_str()) != 0) {
    ::rename(retired.c_str(), m_folder.c_str());
    return false;
  }
  fs::remove_all(retired, ec);
  return true;
}

}  // namespace tx
