#include "rastio/codec.h"

namespace tx::rastio {

Decoded DecodeHeif(ByteSpan) {
  return {PackedImage(), 1, "heif reading is not built yet"};
}

}  // namespace tx::rastio
