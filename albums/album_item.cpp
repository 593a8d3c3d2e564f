// Building album item records and their thumbnails.

#include "albums/album_item.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>

#include "config/profile_file.h"
#include "image/image_lock.h"
#include "image/pixel_index.h"

namespace tx {
namespace {

constexpr int kMaxSourceSide = std::numeric_limits<std::uint16_t>::max();

template <typename T>
void Put(std::uint8_t* record, std::size_t offset, T value) {
  std::memcpy(record + offset, &value, sizeof value);
}

// Size and modification time of the picture file, clamped to 32 bits; 0
// when the file cannot be read (a picture handed over without a file).
void FileFacts(const std::string& path, std::uint32_t& size, std::uint32_t& seconds) {
  namespace fs = std::filesystem;
  size = 0;
  seconds = 0;
  std::error_code ec;
  const std::uintmax_t bytes = fs::file_size(path, ec);
  if (!ec) size = std::uint32_t(std::min<std::uintmax_t>(bytes, UINT32_MAX));
  const fs::file_time_type time = fs::last_write_time(path, ec);
  if (ec) return;
  const auto since1970 = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::file_clock::to_sys(time).time_since_epoch())
                             .count();
  seconds = std::uint32_t(std::clamp<long long>(since1970, 0, UINT32_MAX));
}

// Fills the 24-bit thumbnail rows: thumbnail pixel (i, j) takes source pixel
// (i * width / tw, j * height / th), rows counted from the bottom in both.
// `colourAt(row, x)` reads one source pixel of the picture's depth.
template <typename ColourAt>
void SampleThumbnail(const ImageLock& source, std::uint8_t* rows, std::size_t stride,
                     ThumbnailSize size, ColourAt colourAt) {
  const std::int64_t width = source.width();
  const std::int64_t height = source.height();
  for (int j = 0; j < size.height; ++j) {
    const std::uint8_t* in = source.row(int(j * height / size.height));
    std::uint8_t* out = rows + std::size_t(j) * stride;
    for (int i = 0; i < size.width; ++i) {
      const RgbQuad c = colourAt(in, i * width / size.width);
      out[3 * i] = c.blue;
      out[3 * i + 1] = c.green;
      out[3 * i + 2] = c.red;
    }
  }
}

// One kernel for every depth: the depth only chooses how a pixel is read.
bool FillThumbnail(const ImageLock& source, std::uint8_t* rows, std::size_t stride,
                   ThumbnailSize size) {
  const int bits = source.bitCount();
  switch (bits) {
    case 24:
    case 32: {
      const int step = bits / 8;
      SampleThumbnail(source, rows, stride, size, [step](const std::uint8_t* row, std::int64_t x) {
        const std::uint8_t* p = row + x * step;
        return RgbQuad{p[0], p[1], p[2], 0};
      });
      return true;
    }
    case 16:
      // 5-5-5: each channel's five bits become the top of a byte.
      SampleThumbnail(source, rows, stride, size, [](const std::uint8_t* row, std::int64_t x) {
        const unsigned v = unsigned(row[2 * x]) | unsigned(row[2 * x + 1]) << 8;
        return RgbQuad{std::uint8_t((v & 31) << 3), std::uint8_t(((v >> 5) & 31) << 3),
                       std::uint8_t(((v >> 10) & 31) << 3), 0};
      });
      return true;
    case 8:
    case 4:
    case 1: {
      // An index beyond the colour table reads as black.
      const RgbQuad* palette = source.palette();
      const std::uint32_t colours = source.colourCount();
      SampleThumbnail(source, rows, stride, size, [&](const std::uint8_t* row, std::int64_t x) {
        const std::uint8_t index = IndexAt(row, x, bits);
        return index < colours ? palette[index] : RgbQuad{0, 0, 0, 0};
      });
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

ThumbnailSize AlbumThumbnailSize(int width, int height) {
  if (width < 1 || height < 1) return {};
  constexpr int kSide = ABM_THUMB_MAX_SIDE;
  if (width <= kSide && height <= kSide) return {width, height};
  const std::int64_t longer = std::max(width, height);
  const std::int64_t shorter = std::min(width, height);
  const int other = int(std::max<std::int64_t>(1, (shorter * kSide + longer / 2) / longer));
  return width >= height ? ThumbnailSize{kSide, other} : ThumbnailSize{other, kSide};
}

GlobalHandle MakeAlbumItem(GlobalHandle picture, const std::string& path,
                           const AlbumItemFields& fields) {
  if (path.size() > kMaxAlbumItemPathBytes || path.find('\0') != std::string::npos) {
    return nullptr;
  }
  ImageLock source(picture);
  if (!source) return nullptr;
  const int bits = source.bitCount();
  if (source.width() > kMaxSourceSide || source.height() > kMaxSourceSide) return nullptr;
  const ThumbnailSize thumb = AlbumThumbnailSize(source.width(), source.height());
  const std::size_t stride = std::size_t(RowStride(24, thumb.width));
  const std::size_t pixelBytes = stride * std::size_t(thumb.height);

  PackedImage item(GlobalAlloc(ABM_ITEM_PIXELS + pixelBytes + ABM_ITEM_SPARE_BYTES));
  auto* record = static_cast<std::uint8_t*>(GlobalLock(item.get()));
  if (!record) return nullptr;
  const bool filled = FillThumbnail(source, record + ABM_ITEM_PIXELS, stride, thumb);
  if (filled) {
    std::uint32_t fileSize = 0;
    std::uint32_t fileTime = 0;
    FileFacts(path, fileSize, fileTime);
    Put(record, ABM_ITEM_FILE_SIZE, fileSize);
    Put(record, ABM_ITEM_FILE_TIME, fileTime);
    std::memcpy(record + ABM_ITEM_PATH, path.data(), path.size());
    const std::string caption =
        CutUtf8(fields.caption.substr(0, fields.caption.find('\0')), ABM_ITEM_CAPTION_BYTES - 1);
    std::memcpy(record + ABM_ITEM_CAPTION, caption.data(), caption.size());
    for (int k = 0; k < 3; ++k)
      Put(record, ABM_ITEM_VALUES + 2 * k, fields.values[k]);
    Put(record, ABM_ITEM_PATH_FORM, std::uint16_t{0});
    Put(record, ABM_ITEM_SOURCE_BITS, std::uint16_t(bits));
    Put(record, ABM_ITEM_SOURCE_WIDTH, std::uint16_t(source.width()));
    Put(record, ABM_ITEM_SOURCE_HEIGHT, std::uint16_t(source.height()));
    Put(record, ABM_ITEM_THUMB_WIDTH, std::uint16_t(thumb.width));
    Put(record, ABM_ITEM_THUMB_HEIGHT, std::uint16_t(thumb.height));
    Put(record, ABM_ITEM_BITMAP_SIZE, std::uint32_t(kBitmapHeaderSize + pixelBytes));
    const BitmapInfoHeader info{kBitmapHeaderSize,
                                thumb.width,
                                thumb.height,
                                1,
                                24,
                                0,
                                std::uint32_t(pixelBytes),
                                source.header().biXPelsPerMeter,
                                source.header().biYPelsPerMeter,
                                0,
                                0};
    Put(record, ABM_ITEM_THUMBNAIL_INFO, info);
  }
  GlobalUnlock(item.get());
  return filled ? item.release() : nullptr;
}

std::string AlbumItemPath(GlobalHandle item) {
  if (GlobalSize(item) < ABM_ITEM_PATH + ABM_ITEM_PATH_BYTES) return {};
  const auto* record = static_cast<const char*>(GlobalLock(item));
  if (!record) return {};
  std::string path(record + ABM_ITEM_PATH, strnlen(record + ABM_ITEM_PATH, ABM_ITEM_PATH_BYTES));
  GlobalUnlock(item);
  return path;
}

}  // namespace tx
