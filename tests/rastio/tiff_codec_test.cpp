#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "image/image_block.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"
#include "tests/rastio/codec_testing.h"
#include "tests/support/test_images.h"

namespace tx::rastio {
namespace {

// ---- a hand-made little-endian TIFF, so every tag is under the test's control

constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;

struct Field {
  std::uint16_t tag;
  std::uint16_t type;
  std::vector<std::uint32_t> values;
};

struct Page {
  std::vector<Field> fields;       // all but the data offsets and byte counts
  std::vector<ByteVector> chunks;  // strips or tiles in file order
  bool tiled = false;
};

void Put(ByteVector& file, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    file.push_back(std::uint8_t(value >> (8 * i)));
}

ByteVector BuildTiff(const std::vector<Page>& pages) {
  ByteVector file = {'I', 'I', 42, 0};
  std::size_t link = file.size();
  Put(file, 0, 4);
  for (const Page& page : pages) {
    std::vector<Field> fields = page.fields;
    Field offsets{std::uint16_t(page.tiled ? 324 : 273), kLong, {}};
    Field counts{std::uint16_t(page.tiled ? 325 : 279), kLong, {}};
    for (const ByteVector& chunk : page.chunks) {
      offsets.values.push_back(std::uint32_t(file.size()));
      counts.values.push_back(std::uint32_t(chunk.size()));
      file.insert(file.end(), chunk.begin(), chunk.end());
      if (file.size() % 2) file.push_back(0);
    }
    fields.push_back(offsets);
    fields.push_back(counts);
    std::sort(fields.begin(), fields.end(), [](auto& a, auto& b) { return a.tag < b.tag; });
    std::vector<std::uint32_t> where(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
      int size = fields[i].type == kShort ? 2 : 4;
      if (fields[i].values.size() * size <= 4) continue;
      where[i] = std::uint32_t(file.size());
      for (std::uint32_t v : fields[i].values)
        Put(file, v, size);
    }
    if (file.size() % 2) file.push_back(0);
    for (int i = 0; i < 4; ++i)
      file[link + i] = std::uint8_t(file.size() >> (8 * i));
    Put(file, std::uint32_t(fields.size()), 2);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const Field& f = fields[i];
      int size = f.type == kShort ? 2 : 4;
      Put(file, f.tag, 2);
      Put(file, f.type, 2);
      Put(file, std::uint32_t(f.values.size()), 4);
      if (f.values.size() * size > 4) {
        Put(file, where[i], 4);
      } else {
        for (std::uint32_t v : f.values)
          Put(file, v, size);
        for (std::size_t n = f.values.size() * size; n < 4; ++n)
          file.push_back(0);
      }
    }
    link = file.size();
    Put(file, 0, 4);
  }
  return file;
}

// One uncompressed page in strips of two rows; `data` holds the rows packed.
Page StripPage(std::uint32_t width, std::uint32_t height, std::uint16_t photometric,
               std::vector<std::uint32_t> bits, const ByteVector& data,
               std::vector<Field> extra = {}) {
  Page page;
  page.fields = {{256, kLong, {width}},
                 {257, kLong, {height}},
                 {258, kShort, bits},
                 {259, kShort, {1}},
                 {262, kShort, {photometric}},
                 {277, kShort, {std::uint32_t(bits.size())}},
                 {278, kLong, {2}}};
  page.fields.insert(page.fields.end(), extra.begin(), extra.end());
  std::size_t rowBytes = (width * bits[0] * bits.size() + 7) / 8;
  for (std::size_t at = 0; at < data.size(); at += 2 * rowBytes) {
    auto end = data.begin() + std::min(data.size(), at + 2 * rowBytes);
    page.chunks.emplace_back(data.begin() + at, end);
  }
  return page;
}

// 8-bit RGB samples whose colour tells the pixel's place: red = 12x, green = 13y.
ByteVector PlaceRgb(int width, int height) {
  ByteVector data;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      data.insert(data.end(), {std::uint8_t(12 * x), std::uint8_t(13 * y), 200});
    }
  }
  return data;
}

void ExpectPlaceColours(GlobalHandle image, int width, int height) {
  ASSERT_EQ(GetImageBitCount(image), 24);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      ASSERT_EQ(RawPixelAt(image, x, y), std::uint32_t(12 * x) << 16 | (13 * y) << 8 | 200)
          << x << "," << y;
    }
  }
}

ByteVector Encode(GlobalHandle image, bool lzw) {
  ByteVector out;
  std::string error;
  EXPECT_TRUE(EncodeTiff(image, lzw, out, error)) << error;
  return out;
}

// ---- round trips --------------------------------------------------------------

PackedImage WithTable(PackedImage image, std::vector<RgbQuad> table) {
  ImageLock lock(image.get());
  std::copy(table.begin(), table.end(), lock.palette());
  return image;
}

TEST(TiffRoundTrip, EveryDepthKeepsItsPixelsAndTable) {
  const RgbQuad black{0, 0, 0, 0};
  const RgbQuad white{255, 255, 255, 0};
  const std::pair<int, int> sizes[] = {{1, 1}, {2, 3}, {3, 5}, {5, 2}, {17, 9}};
  for (auto [width, height] : sizes) {
    std::vector<std::pair<std::string, PackedImage>> images;
    images.emplace_back("24-bit", MakePatternImage(width, height, 24));
    images.emplace_back("gray", MakePatternImage(width, height, 8, true));
    images.emplace_back("8-bit table", MakePatternImage(width, height, 8));
    images.emplace_back("4-bit", MakePatternImage(width, height, 4));
    images.emplace_back("1-bit colours", MakePatternImage(width, height, 1));
    images.emplace_back("1-bit black on white",
                        WithTable(MakePatternImage(width, height, 1), {black, white}));
    images.emplace_back("1-bit white on black",
                        WithTable(MakePatternImage(width, height, 1), {white, black}));
    for (auto& [name, image] : images) {
      for (bool lzw : {false, true}) {
        SCOPED_TRACE(name + " " + std::to_string(width) + "x" + std::to_string(height) +
                     (lzw ? " lzw" : ""));
        Decoded decoded = DecodeTiff(Encode(image.get(), lzw));
        ASSERT_TRUE(decoded.image) << decoded.error;
        EXPECT_EQ(decoded.orientation, 1);
        EXPECT_EQ(GetImageBitCount(decoded.image.get()), GetImageBitCount(image.get()));
        EXPECT_EQ(GetImageKind(decoded.image.get()), GetImageKind(image.get()));
        EXPECT_EQ(MaxColourDifference(decoded.image.get(), image.get()), 0);
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            ASSERT_EQ(RawPixelAt(decoded.image.get(), x, y), RawPixelAt(image.get(), x, y));
          }
        }
      }
    }
  }
}

TEST(TiffEncode, CompressionIsRecordedAndReported) {
  PackedImage image = MakePatternImage(6, 4, 24);
  EXPECT_TRUE(TiffIsLzw(Encode(image.get(), true)));
  EXPECT_FALSE(TiffIsLzw(Encode(image.get(), false)));
  // Only the tag counts, not whether the data behind it decodes.
  Page junk = StripPage(2, 2, 1, {8}, {1, 2, 3, 4});
  junk.fields[3].values = {5};
  EXPECT_TRUE(TiffIsLzw(BuildTiff({junk})));
  EXPECT_FALSE(TiffIsLzw({}));
  EXPECT_FALSE(TiffIsLzw(ByteVector{'G', 'I', 'F', '8', '9', 'a', 0, 0}));
  EXPECT_FALSE(TiffIsLzw(ByteVector(64, 0xFF)));
}

TEST(TiffEncode, RefusesOtherDepthsAndAppendsAfterExistingBytes) {
  ByteVector out = {1, 2, 3};
  std::string error;
  PackedImage deep(NewImageBlock(3, 3, 16, 0, OnAllocFailure::Quiet));
  EXPECT_FALSE(EncodeTiff(deep.get(), false, out, error));
  EXPECT_NE(error.find("24-bit"), std::string::npos) << error;
  EXPECT_FALSE(EncodeTiff(nullptr, true, out, error));
  EXPECT_EQ(out, (ByteVector{1, 2, 3}));

  PackedImage image = MakePatternImage(4, 3, 8);
  ASSERT_TRUE(EncodeTiff(image.get(), true, out, error)) << error;
  ASSERT_EQ(ByteVector(out.begin(), out.begin() + 3), (ByteVector{1, 2, 3}));
  Decoded decoded = DecodeTiff(ByteSpan(out).subspan(3));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(MaxColourDifference(decoded.image.get(), image.get()), 0);
}

// ---- pages other writers make ---------------------------------------------------

TEST(TiffDecode, DeepAlphaPlanarAndTiledPagesComeInAs24Bit) {
  const int width = 5;
  const int height = 3;
  ByteVector rgb = PlaceRgb(width, height);

  ByteVector deep;  // 16 bits a sample, each the 8-bit value times 257
  for (std::uint8_t v : rgb)
    Put(deep, v * 257u, 2);
  Decoded decoded = DecodeTiff(BuildTiff({StripPage(width, height, 2, {16, 16, 16}, deep)}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  ExpectPlaceColours(decoded.image.get(), width, height);

  ByteVector planes;  // all red samples, then all green, then all blue
  for (int c = 0; c < 3; ++c) {
    for (std::size_t i = c; i < rgb.size(); i += 3)
      planes.push_back(rgb[i]);
  }
  Page planar = StripPage(width, height, 2, {8, 8, 8}, {}, {{284, kShort, {2}}});
  planar.fields[6].values = {std::uint32_t(height)};
  for (int c = 0; c < 3; ++c) {
    planar.chunks.emplace_back(planes.begin() + c * width * height,
                               planes.begin() + (c + 1) * width * height);
  }
  decoded = DecodeTiff(BuildTiff({planar}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  ExpectPlaceColours(decoded.image.get(), width, height);

  // 20 x 18 in 16 x 16 tiles: the edge tiles are padded.
  const int tiledWidth = 20;
  const int tiledHeight = 18;
  ByteVector big = PlaceRgb(tiledWidth, tiledHeight);
  Page tiled = StripPage(tiledWidth, tiledHeight, 2, {8, 8, 8}, {},
                         {{322, kShort, {16}}, {323, kShort, {16}}});
  tiled.fields.erase(tiled.fields.begin() + 6);  // no RowsPerStrip
  tiled.tiled = true;
  for (int ty = 0; ty < tiledHeight; ty += 16) {
    for (int tx = 0; tx < tiledWidth; tx += 16) {
      ByteVector tile(16 * 16 * 3, 0);
      for (int y = ty; y < std::min(ty + 16, tiledHeight); ++y) {
        for (int x = tx; x < std::min(tx + 16, tiledWidth); ++x) {
          std::copy_n(big.begin() + (y * tiledWidth + x) * 3, 3,
                      tile.begin() + ((y - ty) * 16 + x - tx) * 3);
        }
      }
      tiled.chunks.push_back(tile);
    }
  }
  decoded = DecodeTiff(BuildTiff({tiled}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  ExpectPlaceColours(decoded.image.get(), tiledWidth, tiledHeight);
}

TEST(TiffDecode, AlphaIsLaidOverWhite) {
  // Unassociated alpha: opaque red, fully transparent black, half-covered black.
  ByteVector rgba = {255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 128};
  Decoded decoded =
      DecodeTiff(BuildTiff({StripPage(3, 1, 2, {8, 8, 8, 8}, rgba, {{338, kShort, {2}}})}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  ASSERT_EQ(GetImageBitCount(decoded.image.get()), 24);
  EXPECT_EQ(RawPixelAt(decoded.image.get(), 0, 0), 0xFF0000u);
  EXPECT_EQ(RawPixelAt(decoded.image.get(), 1, 0), 0xFFFFFFu);
  EXPECT_NEAR(PixelAt(decoded.image.get(), 2, 0).red, 127, 1);
}

TEST(TiffDecode, GrayAndPalettePagesKeepTheirDepth) {
  struct Case {
    const char* name;
    Page page;
    int bits;
    std::vector<std::uint8_t> levels;  // expected gray level (or red) of pixels 0..3
  };
  std::vector<std::uint32_t> map4(48, 0);  // 16-bit map: entry i has red 17 i
  for (int i = 0; i < 16; ++i)
    map4[i] = 17 * i * 257;
  std::vector<std::uint32_t> map8(768, 0);  // 8-bit values in the 16-bit map
  for (int i = 0; i < 256; ++i)
    map8[i] = 255 - i;
  std::vector<Case> cases;
  cases.push_back(
      {"8-bit min-is-white", StripPage(4, 1, 0, {8}, {0, 1, 128, 255}), 8, {255, 254, 127, 0}});
  cases.push_back(
      {"1-bit min-is-white", StripPage(4, 1, 0, {1}, {0b0110'0000}), 1, {255, 0, 0, 255}});
  cases.push_back(
      {"1-bit min-is-black", StripPage(4, 1, 1, {1}, {0b0110'0000}), 1, {0, 255, 255, 0}});
  cases.push_back(
      {"4-bit min-is-black", StripPage(4, 1, 1, {4}, {0x0F, 0x51}), 4, {0, 255, 85, 17}});
  cases.push_back(
      {"4-bit min-is-white", StripPage(4, 1, 0, {4}, {0x0F, 0x51}), 4, {255, 0, 170, 238}});
  cases.push_back({"4-bit palette",
                   StripPage(4, 1, 3, {4}, {0x0F, 0x51}, {{320, kShort, map4}}),
                   4,
                   {0, 255, 85, 17}});
  cases.push_back({"8-bit map of 8-bit values",
                   StripPage(4, 1, 3, {8}, {0, 1, 128, 255}, {{320, kShort, map8}}),
                   8,
                   {255, 254, 127, 0}});
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded decoded = DecodeTiff(BuildTiff({c.page}));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(GetImageBitCount(decoded.image.get()), c.bits);
    ImageLock lock(decoded.image.get());
    EXPECT_EQ(lock.colourCount(), 1u << c.bits);
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(PixelAt(decoded.image.get(), x, 0).red, c.levels[x]);
  }
  // Min-is-white 8-bit pixels are turned round so the picture is a plain gray image.
  Decoded gray = DecodeTiff(BuildTiff({cases[0].page}));
  EXPECT_EQ(GetImageKind(gray.image.get()), kImageKindGray);
}

TEST(TiffDecode, OrientationIsHandedBackWithRowsInStoredOrder) {
  const int width = 3;
  const int height = 2;
  ByteVector rgb = PlaceRgb(width, height);
  ByteVector deep;
  for (std::uint8_t v : rgb)
    Put(deep, v * 257u, 2);
  for (std::uint32_t orientation : {3u, 6u, 8u, 9u}) {
    int expected = orientation <= 8 ? int(orientation) : 1;
    Field tag{274, kShort, {orientation}};
    for (const Page& page : {StripPage(width, height, 2, {8, 8, 8}, rgb, {tag}),
                             StripPage(width, height, 2, {16, 16, 16}, deep, {tag})}) {
      SCOPED_TRACE(std::to_string(orientation) + (page.fields[2].values[0] == 16 ? " deep" : ""));
      Decoded decoded = DecodeTiff(BuildTiff({page}));
      ASSERT_TRUE(decoded.image) << decoded.error;
      EXPECT_EQ(decoded.orientation, expected);
      ExpectPlaceColours(decoded.image.get(), width, height);
    }
  }
}

TEST(TiffDecode, OnlyTheFirstPageIsRead) {
  ByteVector file = BuildTiff({StripPage(3, 2, 1, {8}, {10, 20, 30, 40, 50, 60}),
                               StripPage(5, 5, 2, {8, 8, 8}, PlaceRgb(5, 5))});
  Decoded decoded = DecodeTiff(file);
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(GetImageKind(decoded.image.get()), kImageKindGray);
  EXPECT_EQ(RawPixelAt(decoded.image.get(), 2, 1), 60u);
}

TEST(TiffDecode, ClaimedSizesBeyondTheLimitsAreRefusedBeforeAllocating) {
  std::size_t blocks = GlobalLiveBlockCount();
  for (auto [width, height] : {std::pair{70000u, 10u}, {10u, 70000u}, {30000u, 30000u}}) {
    Decoded decoded = DecodeTiff(BuildTiff({StripPage(width, height, 1, {8}, {0})}));
    EXPECT_FALSE(decoded.image);
    EXPECT_NE(decoded.error.find("pixels"), std::string::npos) << decoded.error;
  }
  EXPECT_EQ(GlobalLiveBlockCount(), blocks);
}

// ---- damaged files -----------------------------------------------------------

struct SmallPictureLimits {
  SmallPictureLimits() { SetPictureSizeLimits(512, 1 << 16); }
  ~SmallPictureLimits() { SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels); }
};

TEST(TiffRobustness, TruncatedAndCorruptedFilesFailCleanly) {
  SmallPictureLimits limits;
  ByteVector deep;
  for (std::uint8_t v : PlaceRgb(4, 3))
    Put(deep, v * 257u, 2);
  std::vector<ByteVector> seeds = {Encode(MakePatternImage(7, 5, 24).get(), true),
                                   Encode(MakePatternImage(9, 4, 1).get(), false),
                                   Encode(MakePatternImage(5, 6, 4).get(), true),
                                   BuildTiff({StripPage(4, 3, 2, {16, 16, 16}, deep)})};
  for (const ByteVector& seed : seeds) {
    ExpectSoundOnDamage(DecodeTiff, seed);
    for (std::size_t length = 0; length < seed.size(); ++length) {
      TiffIsLzw(ByteSpan(seed).first(length));
    }
  }
}

}  // namespace
}  // namespace tx::rastio
