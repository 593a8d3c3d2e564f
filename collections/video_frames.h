#pragma once
// Frames sampled from videos: which are too flat to be tiles, and the frame
// interval the user chose.

#include <string>
#include <string_view>

#include "image/packed_image.h"

namespace tx {

/// The shortest frame interval, in milliseconds.
inline constexpr int kMinFrameInterval = 100;
inline constexpr int kDefaultFrameInterval = 3000;

/// 1 when `frame` is to be skipped: it cannot be examined (null, narrower or
/// lower than 9 pixels, a step failing) or, once a 4-pixel border is cut off
/// and the rest reduced to a fifth each way, every pixel lies within 15
/// levels of the mean in every channel. 0 when it becomes a tile. The frame
/// stays the caller's.
int IsFlatFrame(GlobalHandle frame);

/// The test IsFlatFrame makes of its reduced picture: 1 when every pixel of
/// the 24-bit `reduced` lies within 15 levels of each channel's mean
/// (integer division of the sums), else 0.
int AllPixelsNearMean(GlobalHandle reduced);

/// The frame interval of the user profile (TimeInterval in USER), at least
/// 100; default 3000.
int ReadFrameInterval();
/// Writes the interval, raised to at least 100. False when not written.
bool WriteFrameInterval(int intervalMs);

/// An interval choice of the settings file ("0.5", "3") in milliseconds:
/// seconds times 1000, truncated; 0 when the text is not a number.
int IntervalFromChoice(std::string_view seconds);
/// An interval as the screen shows it in seconds: "%d" when whole, else
/// "%.2f".
std::string FormatIntervalSeconds(int intervalMs);

}  // namespace tx
