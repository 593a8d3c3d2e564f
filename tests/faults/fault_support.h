#pragma once
// What the fault tests share: tesserix-cli run for one user folder, folders
// of generated photos, byte snapshots of folder trees, and a tmpfs mount
// that is always taken down again.

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "image/image_lock.h"
#include "image/packed_image.h"
#include "rastio/rastio.h"
#include "tests/cli/cli_run.h"

extern char** environ;

namespace tx::faults {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline bool WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  return bool(out);
}

/// Runs tesserix-cli with `userDir` as the user folder.
inline CliRun RunFor(const fs::path& userDir, const std::string& arguments) {
  return RunCli(arguments, "TESSERIX_USER_DIR=" + userDir.string());
}

/// `count` JPEG photos p000.jpg, p001.jpg, ... of one flat colour each, the
/// colours stepping from `firstColour`, so the tiles of two folders made
/// with different first colours never share a picture.
inline bool MakePhotos(const fs::path& folder, int count, int width, int height,
                       std::uint32_t firstColour) {
  fs::create_directories(folder);
  for (int i = 0; i < count; ++i) {
    std::uint32_t colour = (firstColour + 0x030507u * std::uint32_t(i)) & 0xFFFFFFu;
    PackedImage photo(CreatePackedImage(width, height, colour, 0));
    char name[16];
    std::snprintf(name, sizeof name, "p%03d.jpg", i);
    if (EzSaveFile(photo.get(), (folder / name).c_str(), kSaveJpeg, nullptr) != 0) return false;
  }
  return true;
}

/// Every regular file under `root` with its bytes, by relative path.
using TreeSnapshot = std::map<std::string, std::string>;

inline TreeSnapshot SnapshotTree(const fs::path& root) {
  TreeSnapshot files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec)) {
      files[fs::relative(it->path(), root).string()] = ReadBytes(it->path());
    }
  }
  return files;
}

/// Files under `root` left by an atomic write that did not finish (their
/// names end in ".tmp" and digits).
inline std::vector<std::string> LeftoverTempFiles(const fs::path& root) {
  std::vector<std::string> found;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().filename().string().find(".tmp") != std::string::npos) {
      found.push_back(it->path().string());
    }
  }
  return found;
}

/// Starts tesserix-cli with `arguments` for `userDir`, its output thrown
/// away; the child's id, or -1.
inline pid_t SpawnCli(const fs::path& userDir, const std::vector<std::string>& arguments) {
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "TESSERIX_USER_DIR=", 18) != 0) environment.emplace_back(*e);
  }
  environment.push_back("TESSERIX_USER_DIR=" + userDir.string());
  std::vector<char*> envp;
  for (std::string& entry : environment)
    envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> words{TESSERIX_CLI_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int failed = posix_spawn(&pid, TESSERIX_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return failed ? -1 : pid;
}

/// A tmpfs mounted on a folder for the life of the object (detached at the
/// end even when something still uses it). Mounting needs privileges a test
/// may not have: check mounted() and skip with why() when it failed.
class TmpfsMount {
 public:
  TmpfsMount(fs::path dir, int sizeKiB) : m_dir(std::move(dir)) {
    std::error_code ec;
    fs::create_directories(m_dir, ec);
    std::string options = "size=" + std::to_string(sizeKiB) + "k";
    if (::mount("tmpfs", m_dir.c_str(), "tmpfs", 0, options.c_str()) == 0) {
      m_mounted = true;
    } else {
      m_why = "cannot mount a tmpfs on " + m_dir.string() + ": " + std::strerror(errno) +
              (errno == EPERM ? " (the test needs the right to mount)" : "");
    }
  }
  ~TmpfsMount() { Unmount(); }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  bool mounted() const { return m_mounted; }
  const std::string& why() const { return m_why; }
  const fs::path& dir() const { return m_dir; }

  /// Changes the size limit and whether the files can be written.
  bool Remount(int sizeKiB, bool readOnly) {
    std::string options = "size=" + std::to_string(sizeKiB) + "k";
    unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return ::mount("tmpfs", m_dir.c_str(), "tmpfs", flags, options.c_str()) == 0;
  }

  /// Kibibytes in use.
  int UsedKiB() const {
    struct statvfs info {};
    if (::statvfs(m_dir.c_str(), &info) != 0) return -1;
    return int((info.f_blocks - info.f_bfree) * info.f_frsize / 1024);
  }

  /// Writes `file` until the file system is full; its size.
  std::uintmax_t Fill(const fs::path& file) const {
    std::ofstream out(file, std::ios::binary);
    std::string block(4096, '\0');
    std::uintmax_t written = 0;
    while (out.write(block.data(), std::streamsize(block.size()))) {
      out.flush();
      if (!out) break;
      written += block.size();
    }
    return written;
  }

  void Unmount() {
    if (m_mounted) ::umount2(m_dir.c_str(), MNT_DETACH);
    m_mounted = false;
  }

 private:
  fs::path m_dir;
  bool m_mounted = false;
  std::string m_why;
};

}  // namespace tx::faults
