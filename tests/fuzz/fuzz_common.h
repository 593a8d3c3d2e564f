#pragma once
// Helpers every fuzzer shares: the input size cap, a per-process scratch
// folder for readers that only take paths, and a full read of a decoded
// picture so that a block shorter than its header claims is caught.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "image/image_lock.h"

namespace tx::fuzz {

/// Inputs above this are not tried: the parsers' own size limits are tested
/// by unit tests, and huge inputs only slow the search.
inline constexpr std::size_t kMaxInputBytes = 4u << 20;

/// Stops the process the way libFuzzer records as a finding.
[[noreturn]] inline void Fail() {
  __builtin_trap();
}

/// Reads every byte of the image's colour table and rows; a decoder that
/// hands back an image ImageLock does not accept is a finding in itself.
inline void TouchImage(GlobalHandle image) {
  ImageLock lock(image);
  if (!lock) Fail();
  std::uint32_t sum = 0;
  for (std::uint32_t i = 0; i < lock.colourCount(); ++i) {
    const RgbQuad& entry = lock.palette()[i];
    sum += entry.blue + entry.green + entry.red + entry.reserved;
  }
  for (int y = 0; y < lock.height(); ++y) {
    const std::uint8_t* row = lock.row(y);
    for (std::uint32_t x = 0; x < lock.stride(); ++x)
      sum += row[x];
  }
  [[maybe_unused]] volatile std::uint32_t sink = sum;
}

/// A folder of this process's own, in memory when /dev/shm exists; removed
/// at exit.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path(ec);
    m_path = base / ("tesserix-fuzz-" + std::to_string(::getpid()));
    std::filesystem::remove_all(m_path, ec);
    std::filesystem::create_directories(m_path, ec);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

/// Replaces the file at `path` with the bytes; false when it could not.
inline bool WriteFile(const std::filesystem::path& path, const std::uint8_t* data,
                      std::size_t size) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(file);
}

}  // namespace tx::fuzz
