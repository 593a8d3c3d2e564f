// GIF reading and writing through giflib, entirely in memory.
//
// Reading gives the first picture of the file as an 8-bit image the size of
// the logical screen: the screen is filled with the background colour and
// the first frame drawn at its offset, clipped to the screen. The colour
// table is the frame's own map, else the global map, else a gray ramp,
// padded with black to 256 entries; a transparent index keeps its pixels
// but its table entry becomes white, the colour the program lays pictures on.

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "image/image_block.h"
#include "rastio/codec.h"

namespace tx::rastio {
namespace {

constexpr char kNoMemory[] = "not enough memory to read or write the GIF picture";
// Sides are 16-bit fields in the file.
constexpr int kMaxGifSide = 65535;
constexpr int kTableSize = 256;

std::string GifReason(int code, bool writing = false) {
  const char* text = GifErrorString(code);
  return std::string(writing ? "the GIF file cannot be written: "
                             : "the GIF file cannot be read: ") +
         (text ? text : "unknown error");
}

// Row of the frame that the index-th stored row belongs to: interlaced
// frames store every 8th row from 0, every 8th from 4, every 4th from 2,
// then every 2nd from 1.
int InterlacedRow(int index, int height) {
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    int rows = height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
    if (index < rows) return kStart[pass] + index * kStep[pass];
    index -= rows;
  }
  return height - 1;  // not reached for index < height
}

// ---- reading ---------------------------------------------------------------

struct GifSource {
  ByteSpan data;
  std::size_t position = 0;
};

int ReadSource(GifFileType* gif, GifByteType* buffer, int count) {
  auto* source = static_cast<GifSource*>(gif->UserData);
  if (count <= 0 || source->position >= source->data.size()) return 0;
  std::size_t n = std::min(std::size_t(count), source->data.size() - source->position);
  std::memcpy(buffer, source->data.data() + source->position, n);
  source->position += n;
  return int(n);
}

struct GifReaderClose {
  void operator()(GifFileType* gif) const {
    int code = 0;
    DGifCloseFile(gif, &code);
  }
};
using GifReader = std::unique_ptr<GifFileType, GifReaderClose>;

// Index of the screen's background colour in the frame's table. The file
// gives it as an index into the global map; when the frame brings its own
// map the same colour is looked up there, put in an entry the map leaves
// free, or, failing both, approximated by the nearest entry.
std::uint8_t BackgroundIndex(const GifFileType& gif, const ColorMapObject* local, int transparent,
                             RgbQuad* table) {
  const ColorMapObject* global = gif.SColorMap;
  int index = gif.SBackGroundColor;
  if (!local || !global || index < 0 || index >= global->ColorCount) {
    return std::uint8_t(index);
  }
  GifColorType want = global->Colors[index];
  int used = std::min(local->ColorCount, kTableSize);
  int nearest = 0;
  int nearestDistance = -1;
  for (int i = 0; i < used; ++i) {
    if (i == transparent) continue;
    int dr = table[i].red - want.Red;
    int dg = table[i].green - want.Green;
    int db = table[i].blue - want.Blue;
    int distance = dr * dr + dg * dg + db * db;
    if (distance == 0) return std::uint8_t(i);
    if (nearestDistance < 0 || distance < nearestDistance) {
      nearest = i;
      nearestDistance = distance;
    }
  }
  int spare = used == transparent ? used + 1 : used;
  if (spare < kTableSize) {
    table[spare] = RgbQuad{want.Blue, want.Green, want.Red, 0};
    return std::uint8_t(spare);
  }
  return std::uint8_t(nearest);
}

PackedImage ReadFirstPicture(ByteSpan data, std::string& error) {
  GifSource source{data};
  int code = D_GIF_SUCCEEDED;
  GifReader gif(DGifOpen(&source, ReadSource, &code));
  if (!gif) {
    error = GifReason(code);
    return {};
  }
  int screenWidth = gif->SWidth;
  int screenHeight = gif->SHeight;
  bool hasScreen = screenWidth > 0 && screenHeight > 0;
  if (hasScreen && !CheckPictureSize(screenWidth, screenHeight, error)) return {};

  // Walk to the first picture, keeping the transparent index of the last
  // graphics control block before it.
  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
      error = GifReason(gif->Error);
      return {};
    }
    if (type == IMAGE_DESC_RECORD_TYPE) break;
    if (type == TERMINATE_RECORD_TYPE) {
      error = "the GIF file holds no picture";
      return {};
    }
    if (type != EXTENSION_RECORD_TYPE) continue;
    int function = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif.get(), &function, &block) == GIF_ERROR) {
      error = GifReason(gif->Error);
      return {};
    }
    GraphicsControlBlock control;
    if (function == GRAPHICS_EXT_FUNC_CODE && block &&
        DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
      transparent = control.TransparentColor;
    }
    while (block) {
      if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
        error = GifReason(gif->Error);
        return {};
      }
    }
  }
  if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
    error = GifReason(gif->Error);
    return {};
  }
  const GifImageDesc& frame = gif->Image;
  if (!CheckPictureSize(frame.Width, frame.Height, error)) return {};
  int left = frame.Left;
  int top = frame.Top;
  if (!hasScreen) {
    // A screen of no size: the frame alone is the picture.
    screenWidth = frame.Width;
    screenHeight = frame.Height;
    left = top = 0;
  }

  PackedImage image(NewDecodedImage(screenWidth, screenHeight, 8, kTableSize, error));
  if (!image) return {};
  ImageLock lock(image.get());
  if (!lock) {
    error = kNoMemory;
    return {};
  }
  RgbQuad* table = lock.palette();
  const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (map && map->Colors) {
    for (int i = 0; i < std::min(map->ColorCount, kTableSize); ++i) {
      table[i] = RgbQuad{map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 0};
    }
  } else {
    FillGrayRamp(table);
  }
  if (transparent >= 0 && transparent < kTableSize) table[transparent] = RgbQuad{255, 255, 255, 0};

  bool coversScreen =
      left == 0 && top == 0 && frame.Width >= screenWidth && frame.Height >= screenHeight;
  if (!coversScreen) {
    std::uint8_t background = BackgroundIndex(*gif, frame.ColorMap, transparent, table);
    for (int y = 0; y < screenHeight; ++y)
      std::memset(lock.row(y), background, screenWidth);
  }

  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  int visibleWidth = std::max(0, std::min(frame.Width, screenWidth - left));
  for (int i = 0; i < frame.Height; ++i) {
    if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) {
      error = GifReason(gif->Error);
      return {};
    }
    int y = top + (frame.Interlace ? InterlacedRow(i, frame.Height) : i);
    if (y < screenHeight && visibleWidth > 0) {
      std::memcpy(lock.topDownRow(y) + left, line.data(), std::size_t(visibleWidth));
    }
  }
  return image;
}

// ---- writing ---------------------------------------------------------------

int AppendToVector(GifFileType* gif, const GifByteType* bytes, int count) {
  auto* out = static_cast<ByteVector*>(gif->UserData);
  try {
    out->insert(out->end(), bytes, bytes + count);
  } catch (...) {
    return 0;  // a short write makes giflib fail the call
  }
  return count;
}

struct GifWriterClose {
  void operator()(GifFileType* gif) const {
    int code = 0;
    EGifCloseFile(gif, &code);
  }
};
using GifWriter = std::unique_ptr<GifFileType, GifWriterClose>;

// Pixel values of top-down row y, one byte each.
void UnpackRow(const ImageLock& lock, int y, GifPixelType* line) {
  const std::uint8_t* row = lock.topDownRow(y);
  int width = lock.width();
  switch (lock.bitCount()) {
    case 8:
      std::memcpy(line, row, std::size_t(width));
      break;
    case 4:
      for (int x = 0; x < width; ++x)
        line[x] = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
      break;
    default:
      for (int x = 0; x < width; ++x)
        line[x] = (row[x / 8] >> (7 - x % 8)) & 1;
      break;
  }
}

bool WriteGif(GlobalHandle image, bool interlace, ByteVector& out, std::string& error) {
  ImageLock lock(image);
  if (!lock) {
    error = "there is no picture to write";
    return false;
  }
  int bits = lock.bitCount();
  if (bits != 1 && bits != 4 && bits != 8) {
    error = "GIF holds at most 256 colours: reduce the picture to 8 bits first";
    return false;
  }
  int width = lock.width();
  int height = lock.height();
  if (width > kMaxGifSide || height > kMaxGifSide) {
    error = "GIF pictures are at most 65535 pixels a side";
    return false;
  }

  // The map must reach every index the pixels use, even past the image's
  // own table, or giflib would mask those pixels to other colours.
  std::vector<GifPixelType> line(static_cast<std::size_t>(width));
  int highest = 0;
  for (int y = 0; y < height; ++y) {
    UnpackRow(lock, y, line.data());
    highest = std::max<int>(highest, *std::max_element(line.begin(), line.end()));
  }
  int own = int(std::min<std::uint32_t>(lock.colourCount(), 1u << bits));
  int needed = std::max(own, highest + 1);
  int mapSize = 2;
  while (mapSize < needed)
    mapSize *= 2;
  GifColorType colours[kTableSize] = {};
  for (int i = 0; i < std::min(own, mapSize); ++i) {
    const RgbQuad& entry = lock.palette()[i];
    colours[i] = GifColorType{entry.red, entry.green, entry.blue};
  }
  ColorMapObject map{mapSize, GifBitSize(mapSize), false, colours};

  int code = E_GIF_SUCCEEDED;
  GifWriter gif(EGifOpen(&out, AppendToVector, &code));
  if (!gif) {
    error = GifReason(code, true);
    return false;
  }
  if (EGifPutScreenDesc(gif.get(), width, height, 8, 0, &map) == GIF_ERROR ||
      EGifPutImageDesc(gif.get(), 0, 0, width, height, interlace, nullptr) == GIF_ERROR) {
    error = GifReason(gif->Error, true);
    return false;
  }
  for (int i = 0; i < height; ++i) {
    UnpackRow(lock, interlace ? InterlacedRow(i, height) : i, line.data());
    if (EGifPutLine(gif.get(), line.data(), width) == GIF_ERROR) {
      error = GifReason(gif->Error, true);
      return false;
    }
  }
  // Closing writes the trailer, so its result counts.
  if (EGifCloseFile(gif.release(), &code) == GIF_ERROR) {
    error = GifReason(code, true);
    return false;
  }
  return true;
}

}  // namespace

Decoded DecodeGif(ByteSpan data) {
  Decoded result;
  try {
    result.image = ReadFirstPicture(data, result.error);
  } catch (...) {
    result.image.reset();
    result.error = kNoMemory;
  }
  if (result.image) result.error.clear();
  return result;
}

bool EncodeGif(GlobalHandle image, bool interlace, ByteVector& out, std::string& error) {
  std::size_t start = out.size();
  bool ok = false;
  try {
    ok = WriteGif(image, interlace, out, error);
  } catch (...) {
    error = kNoMemory;
  }
  // Nothing of a failed file stays behind.
  if (!ok) out.resize(start);
  return ok;
}

}  // namespace tx::rastio
