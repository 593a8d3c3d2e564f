// Writes the seed corpora of the binary fuzzers with the program's own
// writers: pictures through the codecs' encoders (WebP and HEIF through
// their libraries' encoders), album files, tile-set indexes, short videos,
// effect inputs and skin files. Text corpora (profiles, command lines) are
// kept by hand.
//
//   tx_make_seeds <corpus folder>

#include <libheif/heif.h>
#include <webp/encode.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "albumkit/abm_file.h"
#include "app/skin/skin_format.h"
#include "collections/tile_set_index.h"
#include "image/image_block.h"
#include "rastio/codec.h"
#include "tests/support/heif_encoding.h"
#include "tests/support/test_images.h"
#include "tests/support/test_videos.h"
#include "tools/skincomp/skin_writer.h"

// x265 keeps a few small blocks per encoder; they are not ours to find.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libx265.so\n";
}

namespace {

namespace fs = std::filesystem;
using tx::rastio::ByteVector;

fs::path g_root;
int g_failures = 0;

void Save(const std::string& corpus, const std::string& name, const ByteVector& bytes) {
  if (bytes.empty()) {
    std::fprintf(stderr, "make_seeds: %s/%s: nothing to write\n", corpus.c_str(), name.c_str());
    ++g_failures;
    return;
  }
  fs::create_directories(g_root / corpus);
  std::ofstream(g_root / corpus / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void Check(bool ok, const std::string& what, const std::string& error) {
  if (ok) return;
  std::fprintf(stderr, "make_seeds: %s: %s\n", what.c_str(), error.c_str());
  ++g_failures;
}

struct Shape {
  int bits;
  bool gray;
  const char* name;
};
constexpr std::array<Shape, 5> kShapes = {{
    {1, false, "1bit"},
    {4, false, "4bit"},
    {8, false, "8bit"},
    {8, true, "gray"},
    {24, false, "24bit"},
}};

template <typename Encode>
void Pictures(const std::string& corpus, const std::string& suffix, Encode encode,
              int leastBits = 1, int mostBits = 24) {
  for (const Shape& shape : kShapes) {
    if (shape.bits < leastBits || shape.bits > mostBits) continue;
    tx::PackedImage image = tx::testing::MakePatternImage(7, 5, shape.bits, shape.gray);
    ByteVector out;
    std::string error;
    Check(encode(image.get(), out, error), corpus + " " + shape.name, error);
    Save(corpus, std::string(shape.name) + suffix, out);
  }
}

// An APP1 block recording orientation 6 after the JPEG's start marker.
ByteVector WithExif(const ByteVector& jpeg) {
  const ByteVector exif = {'E',  'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                           0x12, 1,   3,   0,   1, 0, 0,   0,   6,  0, 0, 0, 0, 0, 0, 0};
  const std::size_t length = exif.size() + 2;
  ByteVector out(jpeg.begin(), jpeg.begin() + 2);
  out.insert(out.end(), {0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length)});
  out.insert(out.end(), exif.begin(), exif.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// A 4 x 2 bitmap with a 16-entry table, its rows run-length encoded (RLE8
// or RLE4 by `bits`), one run and one literal stretch per row.
ByteVector RleBitmap(int bits) {
  ByteVector rle;
  if (bits == 8) {
    rle = {2, 1, 0, 2, 3, 4, 0, 0, 4, 5, 0, 0, 0, 1};
  } else {
    rle = {2, 0x12, 0, 2, 0x34, 0, 0, 0, 4, 0x56, 0, 0, 0, 1};
  }
  const std::uint32_t colours = 16;
  const std::uint32_t offset = 14 + 40 + 4 * colours;
  const std::uint32_t total = offset + std::uint32_t(rle.size());
  ByteVector out = {'B', 'M'};
  auto put32 = [&](std::uint32_t v) {
    for (int k = 0; k < 4; ++k)
      out.push_back(std::uint8_t(v >> (8 * k)));
  };
  auto put16 = [&](std::uint16_t v) {
    out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
  };
  put32(total);
  put32(0);
  put32(offset);
  put32(40);
  put32(4);
  put32(2);
  put16(1);
  put16(std::uint16_t(bits));
  put32(bits == 8 ? 1 : 2);
  put32(std::uint32_t(rle.size()));
  put32(2835);
  put32(2835);
  put32(colours);
  put32(0);
  for (std::uint32_t i = 0; i < colours; ++i)
    put32(i * 0x0F0F0F);
  out.insert(out.end(), rle.begin(), rle.end());
  return out;
}

void Webp() {
  std::vector<std::uint8_t> bgra(8 * 8 * 4);
  for (std::size_t i = 0; i < bgra.size(); ++i)
    bgra[i] = std::uint8_t(i * 37 + (i % 4 == 3 ? 200 : 0));
  auto keep = [](std::size_t size, std::uint8_t* out) {
    ByteVector file(out, out + size);
    WebPFree(out);
    return file;
  };
  std::uint8_t* out = nullptr;
  std::size_t size = WebPEncodeBGR(bgra.data(), 8, 8, 8 * 3, 80, &out);
  Save("picture_webp", "lossy.webp", keep(size, out));
  size = WebPEncodeLosslessBGR(bgra.data(), 8, 8, 8 * 3, &out);
  Save("picture_webp", "lossless.webp", keep(size, out));
  size = WebPEncodeLosslessBGRA(bgra.data(), 8, 8, 8 * 4, &out);
  Save("picture_webp", "alpha.webp", keep(size, out));
}

void Heif() {
  ByteVector file = tx::testing::EncodeHeifFile(
      16, 16, false, 50, heif_orientation_rotate_90_cw, [](std::uint8_t* plane, int stride) {
        for (int y = 0; y < 16; ++y) {
          for (int x = 0; x < 48; ++x)
            plane[y * stride + x] = std::uint8_t(x * 5 + y * 13);
        }
      });
  if (file.empty()) {
    std::fprintf(stderr, "make_seeds: no HEIF encoder here; picture_heif left empty\n");
    return;
  }
  Save("picture_heif", "rotated.heic", file);
}

// An album item record for picture `n` with a w x h thumbnail.
ByteVector AlbumRecord(int n, int w, int h) {
  const std::uint32_t pixelBytes = std::uint32_t((3 * w + 3) / 4 * 4 * h);
  ByteVector record(ABM_ITEM_PIXELS + pixelBytes, 0);
  auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k)
      record[at + std::size_t(k)] = std::uint8_t(v >> (8 * k));
  };
  put(ABM_ITEM_FILE_SIZE, 1000u + std::uint32_t(n), 4);
  const std::string path = "/home/u/Pictures/photo" + std::to_string(n) + ".jpg";
  std::memcpy(&record[ABM_ITEM_PATH], path.data(), path.size());
  std::memcpy(&record[ABM_ITEM_CAPTION], "Photo", 5);
  put(ABM_ITEM_PATH_FORM, n % 2, 2);
  put(ABM_ITEM_SOURCE_BITS, 24, 2);
  put(ABM_ITEM_SOURCE_WIDTH, 640, 2);
  put(ABM_ITEM_SOURCE_HEIGHT, 480, 2);
  put(ABM_ITEM_THUMB_WIDTH, std::uint32_t(w), 2);
  put(ABM_ITEM_THUMB_HEIGHT, std::uint32_t(h), 2);
  put(ABM_ITEM_BITMAP_SIZE, 40 + pixelBytes, 4);
  const std::size_t info = ABM_ITEM_THUMBNAIL_INFO;
  put(info, 40, 4);
  put(info + 4, std::uint32_t(w), 4);
  put(info + 8, std::uint32_t(h), 4);
  put(info + 12, 1, 2);
  put(info + 14, 24, 2);
  put(info + 20, pixelBytes, 4);
  for (std::uint32_t i = 0; i < pixelBytes; ++i)
    record[ABM_ITEM_PIXELS + i] = std::uint8_t(i * 7 + std::uint32_t(n));
  return record;
}

void Albums() {
  const std::vector<ByteVector> records = {AlbumRecord(0, 3, 2), AlbumRecord(1, 5, 4),
                                           AlbumRecord(2, 1, 1)};
  for (std::size_t count : {0, 1, 3}) {
    tx::abm::AlbumFileHeader header;
    header.name = "Holiday " + std::to_string(count);
    header.pictureCount = std::int32_t(count);
    header.browserValues[0] = 3;
    header.browserValues[1] = -1;
    std::vector<std::span<const std::uint8_t>> spans(records.begin(),
                                                     records.begin() + std::ptrdiff_t(count));
    Save("album", std::to_string(count) + "-items.abm", tx::abm::SerializeAlbumFile(header, spans));
  }
}

void Indexes() {
  const fs::path work = g_root / ".index-work";
  for (std::uint32_t count : {1u, 3u}) {
    tx::TileSetIndexWriter writer;
    const fs::path file = work / ("x" + std::to_string(count) + ".TXS");
    Check(writer.BeginTileSetIndex(file, count == 1 ? 0 : 1), "index", "cannot begin");
    for (std::uint32_t i = 0; i < count; ++i) {
      tx::TileStatistics statistics;
      for (std::size_t k = 0; k < statistics.cells.size(); ++k)
        statistics.cells[k] = std::uint8_t(k * 5 + i * 40);
      statistics.meanColour = 0x00306090u + i;
      Check(writer.AppendTileRecord(i, statistics), "index", "cannot append");
      writer.AdvanceTileCounter();
    }
    Check(writer.EndTileSetIndex(false), "index", "cannot end");
    std::ifstream in(file, std::ios::binary);
    ByteVector bytes{std::istreambuf_iterator<char>(in), {}};
    Save("tile_index", std::to_string(count) + "-tiles.txs", bytes);
    if (count == 3) {
      bytes.resize(bytes.size() - tx::kTileRecordBytes - 10);  // shorter than it claims
      Save("tile_index", "short.txs", bytes);
    }
  }
  fs::remove_all(work);
}

void Videos() {
  const fs::path work = g_root / ".video-work";
  fs::create_directories(work);
  for (const char* extension : {".avi", ".mpg", ".mov", ".mkv", ".mp4"}) {
    tx::testing::TestVideo video;
    video.width = 16;
    video.height = 16;
    video.frameCount = 4;
    const fs::path file = work / (std::string("clip") + extension);
    std::string error;
    Check(tx::testing::WriteTestVideo(file, video, error), file.string(), error);
    std::ifstream in(file, std::ios::binary);
    Save("video", std::string("clip") + extension,
         ByteVector{std::istreambuf_iterator<char>(in), {}});
  }
  fs::remove_all(work);
}

// Effect inputs: catalogue slot, record, width, height, depth slot, then
// the table and pixels (here a ramp) for a 6 x 5 picture.
void Effects() {
  struct Case {
    std::uint8_t slot;
    std::array<std::int32_t, 5> record;
    std::uint8_t depth;
  };
  const Case cases[] = {
      {1, {20, 30, 0, 0, 0}, 5}, {6, {3, 0, 0, 0, 0}, 3},    {7, {50, 2, 0, 0, 0}, 2},
      {13, {4, 1, 0, 0, 0}, 6},  {16, {8, 3, 0, 0, 0}, 5},   {20, {4, 4, 0, 0, 0}, 1},
      {22, {60, 1, 0, 0, 0}, 0}, {25, {50, 30, 1, 0, 0}, 4}, {29, {10, 20, 0, 0, 0}, 5},
  };
  int n = 0;
  for (const Case& c : cases) {
    ByteVector bytes = {c.slot};
    for (std::int32_t v : c.record) {
      for (int k = 0; k < 4; ++k)
        bytes.push_back(std::uint8_t(std::uint32_t(v) >> (8 * k)));
    }
    bytes.insert(bytes.end(), {5, 4, c.depth});
    for (int i = 0; i < 6 * 5 * 4 + 64; ++i)
      bytes.push_back(std::uint8_t(i * 11));
    Save("effects", "case" + std::to_string(n++), bytes);
  }
}

// Skin files: three groups of small buttons of several depths, a slider
// (track, thumb and the arrows around them), and a file of one group.
void Skins() {
  using tx::skin::WriterEntry;
  auto button = [](std::vector<WriterEntry>& group, std::uint16_t x, int bits,
                   std::uint16_t kind = 0, std::uint16_t link = 0) {
    tx::PackedImage normal = tx::testing::MakePatternImage(6, 4, bits);
    tx::PackedImage hot = tx::testing::MakePatternImage(6, 4, bits, bits == 8);
    tx::PackedImage pressed = tx::testing::MakePatternImage(5, 3, bits);
    tx::skin::AppendButton(group, x, 20, 6, 4, normal.get(), hot.get(), pressed.get(), kind, link);
  };
  std::vector<std::vector<WriterEntry>> groups(3);
  button(groups[0], 10, 24);
  button(groups[0], 30, 8);
  button(groups[1], 50, 4);
  button(groups[2], 70, 1);
  button(groups[2], 90, 24);
  Save("skin", "groups.800", tx::skin::WriteSkinFile(groups));

  std::vector<WriterEntry> slider;
  button(slider, 0, 24);                                  // range holder
  button(slider, 10, 24, tx::skin::kKindSliderTrack, 0);  // track, range in button 0
  button(slider, 12, 24, tx::skin::kKindSliderThumb);
  button(slider, 40, 24);  // arrow
  Save("skin", "slider.800", tx::skin::WriteSkinFile({slider}));

  std::vector<WriterEntry> single;
  button(single, 5, 24);
  single.push_back(single.front());  // a fourth entry: a button with only its normal picture
  Save("skin", "single.dta", tx::skin::WriteSkinFile({single}));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  g_root = argv[1];
  using namespace tx::rastio;

  Pictures("picture_bmp", ".bmp", EncodeBmp);
  Save("picture_bmp", "rle8.bmp", RleBitmap(8));
  Save("picture_bmp", "rle4.bmp", RleBitmap(4));
  Pictures("picture_pcx", ".pcx", EncodePcx);
  for (bool rle : {false, true}) {
    Pictures("picture_tga", rle ? "-rle.tga" : ".tga",
             [&](tx::GlobalHandle image, ByteVector& out, std::string& error) {
               return EncodeTga(image, rle, out, error);
             });
    Pictures("picture_tiff", rle ? "-lzw.tif" : ".tif",
             [&](tx::GlobalHandle image, ByteVector& out, std::string& error) {
               return EncodeTiff(image, rle, out, error);
             });
    Pictures(
        "picture_gif", rle ? "-interlaced.gif" : ".gif",
        [&](tx::GlobalHandle image, ByteVector& out, std::string& error) {
          return EncodeGif(image, rle, out, error);
        },
        1, 8);
  }
  Pictures("picture_png", ".png", EncodePng);
  Pictures(
      "picture_jpeg", ".jpg",
      [](tx::GlobalHandle image, ByteVector& out, std::string& error) {
        return EncodeJpeg(image, 75, out, error);
      },
      8, 24);
  {
    tx::PackedImage image = tx::testing::MakePatternImage(17, 9, 24);
    ByteVector out;
    std::string error;
    Check(EncodeJpeg(image.get(), 60, out, error), "exif jpeg", error);
    Save("picture_jpeg", "exif-rotated.jpg", WithExif(out));
  }
  Webp();
  Heif();
  Albums();
  Indexes();
  Videos();
  Effects();
  Skins();
  return g_failures == 0 ? 0 : 1;
}
