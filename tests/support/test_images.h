#pragma once
// Making, inspecting and comparing packed images in tests.

#include <cstdint>
#include <filesystem>
#include <string>

#include "image/image_lock.h"

namespace tx::testing {

/// A width x height image of `bitCount` bits (1, 4, 8 or 24) whose pixels
/// follow a deterministic pattern that differs between neighbours. 8-bit
/// images get a gray ramp when `gray`, else a colourful 256-entry table; 1-
/// and 4-bit images a table of 2 or 16 distinct colours.
PackedImage MakePatternImage(int width, int height, int bitCount, bool gray = false);

/// The colour of pixel (x, y), y counted from the top, through the colour
/// table for indexed images.
RgbQuad PixelAt(GlobalHandle image, int x, int y);

/// The stored value of pixel (x, y) (y from the top): the index for indexed
/// images, 0x00RRGGBB for 24-bit ones.
std::uint32_t RawPixelAt(GlobalHandle image, int x, int y);

/// Largest difference of any channel between the colours of two images of
/// the same size; -1 when the sizes differ or an image cannot be read.
int MaxColourDifference(GlobalHandle a, GlobalHandle b);

/// A fresh empty folder under the system's temporary folder, removed with
/// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
};

}  // namespace tx::testing
