#include "rastio/codec.h"

namespace tx::rastio {

int ExifOrientation(ByteSpan) {
  return 1;
}

}  // namespace tx::rastio
