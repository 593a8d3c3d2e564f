#pragma once
// Shared pieces of the distortions. Each distortion builds its displacement
// tables once, then fills the result row by row, copying whole pixels from
// computed source positions. The pixel loops are instantiated for 3-byte and
// 1-byte pixels so that a copy is a fixed number of byte moves.

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "effects/effects_p.h"
#include "effects/sample_image.h"

namespace tx::fx {

/// The bytes of one pixel as a compile-time constant: 3 or 1.
template <int C>
using Channels = std::integral_constant<int, C>;

template <int C>
inline void CopyPixel(std::uint8_t* to, const std::uint8_t* from) {
  to[0] = from[0];
  if constexpr (C == 3) {
    to[1] = from[1];
    to[2] = from[2];
  }
}

/// `v` limited to 0..size-1; 64-bit so that a position plus a displacement
/// cannot overflow before it is limited.
inline int ClampToSize(std::int64_t v, int size) {
  return int(std::clamp<std::int64_t>(v, 0, std::int64_t(size) - 1));
}

/// Pixel `x` of stored row `y` of `image`.
template <int C>
inline const std::uint8_t* SourcePixel(const ImageLock& image, int x, int y) {
  return image.row(y) + std::size_t(x) * C;
}

/// Opens `image`, refuses depths other than 24-bit and gray, allocates the
/// result and runs `body(frame, Channels<C>{})` with the pixel size of the
/// image. The body fills every stored row, polling frame.BeginRow(y) before
/// each; the result (or null after a cancel) is returned.
template <typename Body>
GlobalHandle RunDistortion(GlobalHandle image, Body&& body) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  if (channels == 3) {
    body(frame, Channels<3>{});
  } else {
    body(frame, Channels<1>{});
  }
  return frame.Finish();
}

}  // namespace tx::fx
