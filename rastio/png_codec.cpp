#include "rastio/codec.h"

namespace tx::rastio {

Decoded DecodePng(ByteSpan) {
  return {PackedImage(), 1, "png reading is not built yet"};
}

}  // namespace tx::rastio
namespace tx::rastio {
bool EncodePng(GlobalHandle, ByteVector&, std::string& error) {
  error = "not built yet";
  return false;
}
}  // namespace tx::rastio
