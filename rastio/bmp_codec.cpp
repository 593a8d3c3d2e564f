#include "rastio/codec.h"

namespace tx::rastio {

Decoded DecodeBmp(ByteSpan) {
  return {PackedImage(), 1, "bmp reading is not built yet"};
}

}  // namespace tx::rastio
namespace tx::rastio {
bool EncodeBmp(GlobalHandle, ByteVector&, std::string& error) {
  error = "not built yet";
  return false;
}
}  // namespace tx::rastio
