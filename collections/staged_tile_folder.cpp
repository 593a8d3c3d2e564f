#include "collections/staged_tile_folder.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

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

// Swaps two existing folders in one step; false where the file system
// cannot.
bool Exchange(const fs::path& a, const fs::path& b) {
  return ::syscall(SYS_renameat2, AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}

}  // namespace

StagedTileFolder::StagedTileFolder(fs::path folder)
    : m_folder(WithoutSeparator(folder)), m_staging(Sibling(m_folder, kStagingSuffix)) {}

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

bool StagedTileFolder::Begin() {
  std::error_code ec;
  fs::remove_all(m_staging, ec);
  // A build killed between the two renames of a commit left the old
  // pictures under the retired name: they go back first.
  const fs::path retired = Sibling(m_folder, kRetiredSuffix);
  if (fs::exists(retired, ec) && !fs::exists(m_folder, ec)) {
    ::rename(retired.c_str(), m_folder.c_str());
  }
  fs::remove_all(retired, ec);
  return fs::create_directories(m_staging, ec) && !ec;
}

bool StagedTileFolder::Commit() {
  std::error_code ec;
  if (!fs::exists(m_folder, ec)) {
    if (::rename(m_staging.c_str(), m_folder.c_str()) != 0) return false;
    m_committed = true;
    return true;
  }
  if (Exchange(m_staging, m_folder)) {
    // The staging name now holds the old pictures.
    fs::remove_all(m_staging, ec);
    m_committed = true;
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
  m_committed = true;
  return true;
}

}  // namespace tx
