#pragma once
// RAII access to packed images inside a module.
//
// PackedImage owns a handle and frees it; ImageLock locks a handle for the
// length of one operation, checks that the block really holds the image its
// header describes, and gives typed access to the header, the colour table
// and the rows. Handles cross module boundaries raw; these classes keep every
// path inside a module from leaking a block or a lock.

#include <cstddef>
#include <cstdint>
#include <utility>

#include "image/packed_image.h"

namespace tx {

class PackedImage {
 public:
  PackedImage() = default;
  explicit PackedImage(GlobalHandle handle) : m_handle(handle) {}
  ~PackedImage() { reset(); }
  PackedImage(PackedImage&& other) noexcept : m_handle(other.release()) {}
  PackedImage& operator=(PackedImage&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  PackedImage(const PackedImage&) = delete;
  PackedImage& operator=(const PackedImage&) = delete;

  GlobalHandle get() const { return m_handle; }
  explicit operator bool() const { return m_handle != nullptr; }
  /// Gives up ownership: the caller now frees the handle.
  GlobalHandle release() { return std::exchange(m_handle, nullptr); }
  void reset(GlobalHandle handle = nullptr) {
    if (m_handle) GlobalFree(m_handle);
    m_handle = handle;
  }

 private:
  GlobalHandle m_handle = nullptr;
};

class ImageLock {
 public:
  /// Locks `image`. valid() is false for a null handle, a block that cannot
  /// be locked, or a header that does not describe an image the block holds
  /// (sizes not positive, a depth other than 1, 4, 8, 16, 24 or 32, a colour
  /// table or rows reaching past the block).
  explicit ImageLock(GlobalHandle image);
  ~ImageLock();
  ImageLock(const ImageLock&) = delete;
  ImageLock& operator=(const ImageLock&) = delete;

  bool valid() const { return m_header != nullptr; }
  explicit operator bool() const { return valid(); }

  BitmapInfoHeader& header() const { return *m_header; }
  int width() const { return m_header->biWidth; }
  int height() const { return m_header->biHeight; }
  int bitCount() const { return m_header->biBitCount; }
  std::uint32_t stride() const { return m_stride; }
  /// Colour-table entries in use: biClrUsed, or 2^depth when it is 0 and the
  /// depth is 8 or less (the bitmap convention for a full table).
  std::uint32_t colourCount() const { return m_colours; }
  RgbQuad* palette() const { return m_palette; }
  /// True for a gray image: 8 bits, exactly 256 entries, entry i = (i, i, i).
  bool isGray() const;
  /// Start of the pixel rows (the bottom row).
  std::uint8_t* bits() const { return m_bits; }
  /// Stored row `y`, counted from the bottom.
  std::uint8_t* row(int y) const { return m_bits + std::size_t(y) * m_stride; }
  /// Row `y` of the picture counted from the top, for drawing.
  std::uint8_t* topDownRow(int y) const { return row(height() - 1 - y); }
  /// Header, colour table and rows: what a copy of the image must take.
  std::size_t imageBytes() const {
    return std::size_t(m_bits - reinterpret_cast<std::uint8_t*>(m_header)) +
           std::size_t(m_stride) * std::size_t(height());
  }

 private:
  GlobalHandle m_handle = nullptr;
  BitmapInfoHeader* m_header = nullptr;
  RgbQuad* m_palette = nullptr;
  std::uint8_t* m_bits = nullptr;
  std::uint32_t m_stride = 0;
  std::uint32_t m_colours = 0;
};

}  // namespace tx
