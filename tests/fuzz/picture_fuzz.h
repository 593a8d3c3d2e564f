#pragma once
// The body shared by the picture fuzzers: one memory decoder on the input,
// with the decode-bomb limits lowered once.

#include <cstddef>
#include <cstdint>

#include "rastio/codec.h"
#include "rastio/rastio.h"
#include "tests/fuzz/fuzz_common.h"

namespace tx::fuzz {

/// Small enough that a picture claiming its full size decodes in well under
/// the fuzzer's time limit, large enough for every real seed.
inline void LowerPictureLimits() {
  static const bool lowered = [] {
    SetPictureSizeLimits(4096, 4'000'000);
    return true;
  }();
  (void)lowered;
}

/// Checks what a decoder returned: an image it can fully read, or a reason.
inline void CheckDecoded(const rastio::Decoded& decoded) {
  if (decoded.image) {
    TouchImage(decoded.image.get());
    if (decoded.orientation < 1 || decoded.orientation > 8) Fail();
  } else if (decoded.error.empty()) {
    Fail();
  }
}

template <typename Decoder>
int FuzzPicture(const std::uint8_t* data, std::size_t size, Decoder decode) {
  if (size > kMaxInputBytes) return 0;
  LowerPictureLimits();
  CheckDecoded(decode(rastio::ByteSpan(data, size)));
  return 0;
}

}  // namespace tx::fuzz
