#include "rastio/codec.h"

namespace tx::rastio {

Decoded DecodeWebp(ByteSpan) {
  return {PackedImage(), 1, "webp reading is not built yet"};
}

}  // namespace tx::rastio
