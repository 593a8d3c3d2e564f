// Fuzzes the TIFF decoder on memory, and the two other readers of TIFF
// structure: the LZW probe and the EXIF orientation reader (EXIF blocks are
// TIFF-structured).

#include "tests/fuzz/picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > tx::fuzz::kMaxInputBytes) return 0;
  tx::rastio::ByteSpan bytes(data, size);
  [[maybe_unused]] volatile bool lzw = tx::rastio::TiffIsLzw(bytes);
  const int orientation = tx::rastio::ExifOrientation(bytes);
  if (orientation < 1 || orientation > 8) tx::fuzz::Fail();
  return tx::fuzz::FuzzPicture(data, size, tx::rastio::DecodeTiff);
}
