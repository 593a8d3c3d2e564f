#include "rastio/codec.h"

namespace tx::rastio {

Decoded DecodeTga(ByteSpan) {
  return {PackedImage(), 1, "tga reading is not built yet"};
}

}  // namespace tx::rastio
namespace tx::rastio {
bool EncodeTga(GlobalHandle, bool, ByteVector&, std::string& error) {
  error = "not built yet";
  return false;
}
}  // namespace tx::rastio
