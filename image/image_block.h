#pragma once
// Allocation of image blocks.

#include <cstdint>

#include "image/packed_image.h"

namespace tx {

/// Bytes every block of the image utilities carries beyond what the image needs.
inline constexpr std::uint32_t kImageBlockSpare = 10;

/// Shows "There is not enough memory." titled "System message".
void ShowNoMemory();

/// A zero-filled block of `bytes` + 10 bytes. When memory is exhausted it
/// shows "There is not enough memory." titled "System message" and returns null.
GlobalHandle AllocImageBlock(std::uint64_t bytes);

enum class OnAllocFailure { Notify, Quiet };

/// A new zero-filled image with its header filled in (7874 pixels per metre
/// both ways, biClrUsed = `colours`, a zeroed colour table of that many
/// entries) and 10 spare bytes. Null when a size is not positive, the depth
/// is not 1, 4, 8, 16, 24 or 32, more than 256 colours are asked for, the
/// block would not fit 32 bits, or memory is exhausted; with Notify the
/// memory message is shown in the last two cases.
GlobalHandle NewImageBlock(int width, int height, int bitCount, std::uint32_t colours,
                           OnAllocFailure onFailure = OnAllocFailure::Notify);

/// Fills entries 0..255 of a colour table with the gray ramp (i, i, i, 0).
void FillGrayRamp(RgbQuad* palette);

}  // namespace tx
