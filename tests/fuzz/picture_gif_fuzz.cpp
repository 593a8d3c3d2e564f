// Fuzzes the GIF decoder on memory.

#include "tests/fuzz/picture_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tx::fuzz::FuzzPicture(data, size, tx::rastio::DecodeGif);
}
