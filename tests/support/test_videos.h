#pragma once
// Short test videos written with FFmpeg's own encoders, so that tests need no
// video files in the repository.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace tx::testing {

/// What a test video holds. Frame i is painted by `paint(i, bgr)`, which
/// fills width x height pixels of blue, green, red bytes, top row first; by
/// default a moving pattern that no two frames share.
struct TestVideo {
  int width = 64;
  int height = 48;
  int framesPerSecond = 25;
  int frameCount = 50;
  std::function<void(int frame, std::uint8_t* bgr)> paint;
};

/// Writes `video` to `path` in the container its extension names: ".avi"
/// (MPEG-4 part 2), ".mpg"/".mpeg" (MPEG-1), ".mov", ".mp4", ".mkv" (MPEG-4
/// part 2). False with `error` set when FFmpeg refuses.
bool WriteTestVideo(const std::filesystem::path& path, const TestVideo& video, std::string& error);

}  // namespace tx::testing
