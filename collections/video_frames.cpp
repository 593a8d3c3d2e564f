#include "collections/video_frames.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <system_error>

#include "config/settings_access.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "resources/string_ids.h"

namespace tx {
namespace {

constexpr int kSmallestSide = 9;
constexpr int kBorder = 4;
constexpr int kReduction = 5;
constexpr int kNearMean = 16;

}  // namespace

int AllPixelsNearMean(GlobalHandle reduced) {
  ImageLock image(reduced);
  if (!image || image.bitCount() != 24) return 1;
  const int width = image.width();
  const int height = image.height();
  std::uint64_t sum[3] = {0, 0, 0};
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = image.row(y);
    for (int x = 0; x < width * 3; ++x)
      sum[x % 3] += row[x];
  }
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  int mean[3];
  for (int c = 0; c < 3; ++c)
    mean[c] = int(sum[c] / pixels);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = image.row(y);
    for (int x = 0; x < width * 3; ++x) {
      if (std::abs(row[x] - mean[x % 3]) >= kNearMean) return 0;
    }
  }
  return 1;
}

int IsFlatFrame(GlobalHandle frame) {
  if (!frame) return 1;
  int width = 0, height = 0;
  {
    ImageLock image(frame);
    if (!image) return 1;
    width = image.width();
    height = image.height();
  }
  if (width < kSmallestSide || height < kSmallestSide) return 1;
  // Borders often hold black bars or a camera's overlay; only the middle
  // decides.
  PackedImage middle(
      CropImage(frame, ImageRect{kBorder, kBorder, width - kBorder, height - kBorder}));
  if (!middle) return 1;
  const int w = width - 2 * kBorder;
  const int h = height - 2 * kBorder;
  PackedImage reduced(
      ResampleMitchell(middle.get(), std::max(1, w / kReduction), std::max(1, h / kReduction)));
  if (!reduced) return 1;
  if (GetImageBitCount(reduced.get()) != 24) {
    PackedImage colour(ConvertToTrueColour(reduced.get()));
    if (!colour) return 1;
    reduced = std::move(colour);
  }
  return AllPixelsNearMean(reduced.get());
}

int ReadFrameInterval() {
  return std::max(kMinFrameInterval, ReadUserIntById(kKeyTimeInterval, kDefaultFrameInterval));
}

bool WriteFrameInterval(int intervalMs) {
  return WriteUserIntById(kKeyTimeInterval, std::max(kMinFrameInterval, intervalMs));
}

int IntervalFromChoice(std::string_view seconds) {
  // from_chars reads a dot whatever the locale, as the settings file writes it.
  while (!seconds.empty() && seconds.front() == ' ')
    seconds.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(seconds.data(), seconds.data() + seconds.size(), value);
  if (error != std::errc() || end == seconds.data() || !std::isfinite(value) || value <= 0) {
    return 0;
  }
  const double ms = std::trunc(value * 1000.0);
  return ms >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(ms);
}

std::string FormatIntervalSeconds(int intervalMs) {
  char text[32];
  if (intervalMs % 1000 == 0) {
    std::snprintf(text, sizeof text, "%d", intervalMs / 1000);
  } else {
    std::snprintf(text, sizeof text, "%.2f", intervalMs / 1000.0);
  }
  return text;
}

}  // namespace tx
