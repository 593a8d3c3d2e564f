#include "rastio/codec.h"

namespace tx::rastio {

Decoded DecodeTiff(ByteSpan) {
  return {PackedImage(), 1, "tiff reading is not built yet"};
}

}  // namespace tx::rastio
namespace tx::rastio {
bool EncodeTiff(GlobalHandle, bool, ByteVector&, std::string& error) {
  error = "not built yet";
  return false;
}
bool TiffIsLzw(ByteSpan) {
  return false;
}
}  // namespace tx::rastio
