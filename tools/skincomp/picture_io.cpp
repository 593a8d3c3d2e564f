#include "tools/skincomp/picture_io.h"

#include "platform/file_io.h"
#include "rastio/codec.h"

namespace tx::skincomp {

PackedImage ToPackedImage(const QImage& image) {
  if (image.isNull()) return {};
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  PackedImage packed(CreatePackedImage(rgb.width(), rgb.height(), 0, 0));
  if (!packed) return {};
  ImageLock lock(packed.get());
  if (!lock) return {};
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* source = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    std::uint8_t* row = lock.topDownRow(y);
    for (int x = 0; x < rgb.width(); ++x) {
      row[3 * x + 0] = std::uint8_t(qBlue(source[x]));
      row[3 * x + 1] = std::uint8_t(qGreen(source[x]));
      row[3 * x + 2] = std::uint8_t(qRed(source[x]));
    }
  }
  return packed;
}

bool BitmapFileBytes(const QImage& image, std::vector<std::uint8_t>& out, std::string& error) {
  PackedImage packed = ToPackedImage(image);
  if (!packed) {
    error = "no memory for a picture";
    return false;
  }
  out.clear();
  return rastio::EncodeBmp(packed.get(), out, error);
}

bool WriteOutput(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                 std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  if (ec) {
    error = path.parent_path().string() + ": " + ec.message();
    return false;
  }
  if (!WriteFileAtomically(path, bytes, error, FlushToDisc::No)) {
    error = path.string() + ": " + error;
    return false;
  }
  return true;
}

}  // namespace tx::skincomp
