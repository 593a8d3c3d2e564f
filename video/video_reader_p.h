#pragma once
// Counters the tests read to see how the reader got its frames: whether it
// seeks, and how much it decodes. Process-wide, never reset.

#include <cstdint>

namespace tx::video {

/// Frames the decoders have produced, including frames skipped over.
std::uint64_t DecodedFrameCount();
/// Seeks that succeeded.
std::uint64_t SeekCount();

}  // namespace tx::video
