#include "rastio/codec.h"

namespace tx::rastio {

Decoded DecodeJpeg(ByteSpan) {
  return {PackedImage(), 1, "jpeg reading is not built yet"};
}

}  // namespace tx::rastio
namespace tx::rastio {
bool EncodeJpeg(GlobalHandle, int, ByteVector&, std::string& error) {
  error = "not built yet";
  return false;
}
}  // namespace tx::rastio
