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

/// A flat colour that stands for frame `index` (0 to 511) and survives lossy
/// compression: three channels of eight well-spaced levels.
void IndexColour(int index, std::uint8_t& blue, std::uint8_t& green, std::uint8_t& red);

/// The frame index whose IndexColour lies nearest to the colour, or -1 when
/// a channel is further than `tolerance` from every level.
int NearestIndex(std::uint8_t blue, std::uint8_t green, std::uint8_t red, int tolerance = 12);

/// A painter for TestVideo::paint that fills frame i with IndexColour(i).
std::function<void(int frame, std::uint8_t* bgr)> IndexPainter(int width, int height);

/// Writes `video` to `path` in the container its extension names: ".avi"
/// (MPEG-4 part 2), ".mpg"/".mpeg" (MPEG-1), ".mov", ".mp4", ".mkv" (MPEG-4
/// part 2). False with `error` set when FFmpeg refuses.
/// Frame sizes must be even (the encoders store colour at half resolution);
/// ".mpg" takes only 24, 25, 30, 50 or 60 frames per second. Keyframes come
/// every 12 frames.
bool WriteTestVideo(const std::filesystem::path& path, const TestVideo& video, std::string& error);

/// Writes a single JPEG picture, which FFmpeg can open as a one-frame stream.
bool WriteTestJpeg(const std::filesystem::path& path, int width, int height, std::string& error);

/// Writes a WAV file of one second of 16-bit silence: a file FFmpeg opens that
/// holds no video.
bool WriteAudioOnlyFile(const std::filesystem::path& path, std::string& error);

/// Writes an AVI file whose uncompressed video stream claims `width` x
/// `height` pixels while its frames hold only a few bytes.
bool WriteClaimedSizeVideo(const std::filesystem::path& path, int width, int height,
                           std::string& error);

}  // namespace tx::testing
