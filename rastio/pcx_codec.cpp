#include "rastio/codec.h"

namespace tx::rastio {

Decoded DecodePcx(ByteSpan) {
  return {PackedImage(), 1, "pcx reading is not built yet"};
}

}  // namespace tx::rastio
namespace tx::rastio {
bool EncodePcx(GlobalHandle, ByteVector&, std::string& error) {
  error = "not built yet";
  return false;
}
}  // namespace tx::rastio
