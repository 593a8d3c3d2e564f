#include "image/image_lock.h"

namespace tx {

ImageLock::ImageLock(GlobalHandle image) : m_handle(image) {
  if (!image) return;
  auto* block = static_cast<std::uint8_t*>(GlobalLock(image));
  if (!block) {
    m_handle = nullptr;
    return;
  }
  std::uint64_t blockSize = GlobalSize(image);
  if (blockSize < kBitmapHeaderSize) return;
  auto* header = reinterpret_cast<BitmapInfoHeader*>(block);
  int bits = header->biBitCount;
  if (header->biSize < kBitmapHeaderSize || header->biWidth <= 0 || header->biHeight <= 0) return;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return;
  std::uint64_t colours = header->biClrUsed;
  if (colours == 0 && bits <= 8) colours = 1u << bits;
  if (colours > 256) return;
  std::uint64_t stride = RowStride(bits, header->biWidth);
  std::uint64_t rowsAt = std::uint64_t(header->biSize) + 4 * colours;
  if (rowsAt > blockSize || stride * std::uint64_t(header->biHeight) > blockSize - rowsAt) return;
  m_header = header;
  m_palette = reinterpret_cast<RgbQuad*>(block + header->biSize);
  m_bits = block + rowsAt;
  m_stride = std::uint32_t(stride);
  m_colours = std::uint32_t(colours);
}

bool ImageLock::isGray() const {
  if (!valid() || bitCount() != 8 || m_header->biClrUsed != 256) return false;
  for (int i = 0; i < 256; ++i) {
    const RgbQuad& entry = m_palette[i];
    if (entry.blue != i || entry.green != i || entry.red != i) return false;
  }
  return true;
}

ImageLock::~ImageLock() {
  if (m_handle) GlobalUnlock(m_handle);
}

}  // namespace tx
