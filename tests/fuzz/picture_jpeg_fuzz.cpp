// Fuzzes the JPEG decoder on memory, full size and scaled in the DCT, and
// the EXIF orientation reader on the same bytes.

#include "tests/fuzz/picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tx::rastio;
  if (size > tx::fuzz::kMaxInputBytes) return 0;
  tx::fuzz::LowerPictureLimits();
  ByteSpan bytes(data, size);
  const int orientation = ExifOrientation(bytes);
  if (orientation < 1 || orientation > 8) tx::fuzz::Fail();
  tx::fuzz::CheckDecoded(DecodeJpeg(bytes));
  // The last byte picks the smallest acceptable size, so every scale gets
  // its turn without changing what the decoder sees as the file.
  const int least = size > 0 ? data[size - 1] % 64 : 1;
  tx::fuzz::CheckDecoded(DecodeJpegAtLeast(bytes, least, least / 2 + 1));
  return 0;
}
