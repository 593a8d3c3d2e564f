#include "platform/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace fs = std::filesystem;

namespace tx {
namespace {

// Closes a descriptor on every path out of a function.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return m_fd; }
  int release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

std::string Reason(const fs::path& path, const char* what) {
  return path.string() + ": " + what + ": " + std::strerror(errno);
}

}  // namespace

bool ReadWholeFile(const fs::path& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
                   std::string& error) {
  bytes.clear();
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    error = Reason(path, "cannot open");
    return false;
  }
  off_t end = ::lseek(fd.get(), 0, SEEK_END);
  if (end < 0 || ::lseek(fd.get(), 0, SEEK_SET) < 0) {
    error = Reason(path, "cannot read");
    return false;
  }
  if (static_cast<std::uint64_t>(end) > maxBytes) {
    error = path.string() + ": file too large";
    return false;
  }
  try {
    bytes.resize(static_cast<std::size_t>(end));
  } catch (const std::bad_alloc&) {
    error = path.string() + ": not enough memory";
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = Reason(path, "cannot read");
      return false;
    }
    if (n == 0) break;  // the file shrank while we read it
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return true;
}

bool WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                         std::string& error, FlushToDisc flush) {
  std::random_device random;
  fs::path temp = path;
  temp += ".tmp" + std::to_string(random() % 1000000);
  FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (fd.get() < 0) {
    error = Reason(path, "cannot create");
    return false;
  }
  std::size_t done = 0;
  bool ok = true;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = Reason(path, "cannot write");
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (ok && flush == FlushToDisc::Yes && ::fsync(fd.get()) != 0) {
    error = Reason(path, "cannot write");
    ok = false;
  }
  if (::close(fd.release()) != 0 && ok) {
    error = Reason(path, "cannot write");
    ok = false;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    error = Reason(path, "cannot replace");
    ok = false;
  }
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace tx
