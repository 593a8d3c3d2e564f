#include "rastio/codec.h"

namespace tx::rastio {

Decoded DecodeGif(ByteSpan) {
  return {PackedImage(), 1, "gif reading is not built yet"};
}

}  // namespace tx::rastio
namespace tx::rastio {
bool EncodeGif(GlobalHandle, bool, ByteVector&, std::string& error) {
  error = "not built yet";
  return false;
}
}  // namespace tx::rastio
