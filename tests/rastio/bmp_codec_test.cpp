#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "rastio/byte_reader_p.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"
#include "tests/support/test_images.h"

namespace tx::rastio {
namespace {

using testing::MakePatternImage;
using testing::MaxColourDifference;
using testing::PixelAt;
using testing::RawPixelAt;

constexpr std::uint32_t kRle8 = 1, kRle4 = 2, kBitFields = 3;

// A bitmap file: file header, info header of `headerSize` bytes (masks inside
// it when it is long enough and `masks` is given), then `body` (masks after a
// 40-byte header, palette) and `pixels`.
ByteVector MakeBmp(std::uint32_t headerSize, std::int32_t width, std::int32_t height, int bits,
                   std::uint32_t compression, const ByteVector& body, const ByteVector& pixels,
                   std::uint32_t coloursUsed = 0, std::vector<std::uint32_t> masks = {}) {
  ByteVector out{'B', 'M'};
  std::uint32_t pixelsAt = 14 + headerSize + std::uint32_t(body.size());
  PutU32(out, pixelsAt + std::uint32_t(pixels.size()));
  PutU32(out, 0);
  PutU32(out, pixelsAt);
  PutU32(out, headerSize);
  if (headerSize == 12) {
    PutU16(out, std::uint32_t(width));
    PutU16(out, std::uint32_t(height));
    PutU16(out, 1);
    PutU16(out, std::uint32_t(bits));
  } else {
    PutU32(out, std::uint32_t(width));
    PutU32(out, std::uint32_t(height));
    PutU16(out, 1);
    PutU16(out, std::uint32_t(bits));
    PutU32(out, compression);
    PutU32(out, 0);
    PutU32(out, 2835);
    PutU32(out, 2835);
    PutU32(out, coloursUsed);
    PutU32(out, 0);
    for (std::uint32_t mask : masks)
      PutU32(out, mask);
    out.resize(14 + headerSize, 0);
  }
  out.insert(out.end(), body.begin(), body.end());
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

ByteVector Masks(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  ByteVector out;
  PutU32(out, red);
  PutU32(out, green);
  PutU32(out, blue);
  return out;
}

// A 4-byte palette whose entry i is (blue i*3+1, green i*3+2, red i*3+3).
ByteVector Palette(int entries, int entrySize = 4) {
  ByteVector out;
  for (int i = 0; i < entries; ++i) {
    for (int c = 0; c < entrySize; ++c)
      out.push_back(std::uint8_t(c < 3 ? i * 3 + c + 1 : 0));
  }
  return out;
}

RgbQuad PaletteColour(int i) {
  return RgbQuad{std::uint8_t(i * 3 + 1), std::uint8_t(i * 3 + 2), std::uint8_t(i * 3 + 3), 0};
}

bool SameColour(RgbQuad a, RgbQuad b) {
  return a.blue == b.blue && a.green == b.green && a.red == b.red;
}

// The indices of `image`, top row first.
std::vector<std::uint32_t> Indices(GlobalHandle image, int width, int height) {
  std::vector<std::uint32_t> out;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      out.push_back(RawPixelAt(image, x, y));
  }
  return out;
}

class PictureLimitsGuard {
 public:
  PictureLimitsGuard(std::int64_t side, std::int64_t pixels) { SetPictureSizeLimits(side, pixels); }
  ~PictureLimitsGuard() { SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels); }
};

// Every prefix and a few hundred bit-flipped copies of `file` decode to a
// readable picture or fail with a reason, and leak no block.
void ExpectSurvivesDamage(const ByteVector& file) {
  PictureLimitsGuard limits(4096, 1 << 20);  // flipped sizes stay quick
  const std::size_t blocks = GlobalLiveBlockCount();
  auto check = [](const ByteVector& bytes) {
    Decoded decoded = DecodeBmp(bytes);
    if (decoded.image) {
      EXPECT_TRUE(ImageLock(decoded.image.get()).valid());
    } else {
      EXPECT_FALSE(decoded.error.empty());
    }
  };
  for (std::size_t n = 0; n < file.size(); ++n)
    check(ByteVector(file.begin(), file.begin() + n));
  std::mt19937 random(20240611);
  for (int i = 0; i < 300; ++i) {
    ByteVector copy = file;
    for (int flips = 1 + int(random() % 3); flips > 0; --flips) {
      copy[random() % copy.size()] ^= std::uint8_t(1u << (random() % 8));
    }
    check(copy);
  }
  EXPECT_EQ(GlobalLiveBlockCount(), blocks);
}

TEST(BmpCodec, RoundTripsEveryWritableDepthExactly) {
  struct Depth {
    int bits;
    bool gray;
  };
  for (Depth depth :
       {Depth{1, false}, Depth{4, false}, Depth{8, false}, Depth{8, true}, Depth{24, false}}) {
    for (int width : {1, 2, 3, 5, 8, 33}) {
      for (int height : {1, 5}) {
        SCOPED_TRACE(::testing::Message() << depth.bits << " bits" << (depth.gray ? " gray " : " ")
                                          << width << " x " << height);
        PackedImage image = MakePatternImage(width, height, depth.bits, depth.gray);
        ByteVector file;
        std::string error;
        ASSERT_TRUE(EncodeBmp(image.get(), file, error)) << error;
        Decoded decoded = DecodeBmp(file);
        ASSERT_TRUE(decoded.image) << decoded.error;
        EXPECT_EQ(decoded.orientation, 1);
        // Header, colour table and rows (padding included) come back byte for byte.
        ImageLock original(image.get()), copy(decoded.image.get());
        ASSERT_EQ(copy.imageBytes(), original.imageBytes());
        EXPECT_EQ(std::memcmp(GlobalLock(decoded.image.get()), GlobalLock(image.get()),
                              original.imageBytes()),
                  0);
        GlobalUnlock(decoded.image.get());
        GlobalUnlock(image.get());
        EXPECT_EQ(GetImageKind(decoded.image.get()), GetImageKind(image.get()));
      }
    }
  }
}

TEST(BmpCodec, WritesTheFileLayoutAndKeepsTheResolution) {
  PackedImage image = MakePatternImage(3, 2, 4);
  {
    ImageLock lock(image.get());
    lock.header().biXPelsPerMeter = 3780;
    lock.header().biYPelsPerMeter = 2835;
  }
  ByteVector file;
  std::string error;
  ASSERT_TRUE(EncodeBmp(image.get(), file, error));
  ByteReader in(file);
  EXPECT_EQ(in.u16(), 0x4D42);                 // "BM"
  EXPECT_EQ(in.u32(), 14u + 40 + 64 + 4 * 2);  // file size: 16 entries, 2 rows of 4 bytes
  EXPECT_EQ(in.u32(), 0u);                     // reserved
  EXPECT_EQ(in.u32(), 14u + 40 + 64);          // pixel offset
  EXPECT_EQ(in.u32(), 40u);
  EXPECT_EQ(in.i32(), 3);
  EXPECT_EQ(in.i32(), 2) << "positive height: bottom-up rows";
  in.skip(4 + 4 + 4);
  EXPECT_EQ(in.i32(), 3780);
  EXPECT_EQ(in.i32(), 2835);
  EXPECT_EQ(in.u32(), 16u) << "colours used";
  Decoded decoded = DecodeBmp(file);
  ASSERT_TRUE(decoded.image);
  EXPECT_EQ(ImageLock(decoded.image.get()).header().biXPelsPerMeter, 3780);
}

TEST(BmpCodec, RefusesToWriteSixteenAndThirtyTwoBits) {
  for (int bits : {16, 32}) {
    std::string error;
    PackedImage image(NewDecodedImage(2, 2, bits, 0, error));
    ByteVector file;
    EXPECT_FALSE(EncodeBmp(image.get(), file, error)) << bits;
    EXPECT_FALSE(error.empty());
  }
  ByteVector file;
  std::string error;
  EXPECT_FALSE(EncodeBmp(nullptr, file, error));
}

TEST(BmpCodec, ReadsDirectColourPixels) {
  struct Case {
    const char* name;
    std::uint32_t headerSize;
    int bits;
    std::uint32_t compression;
    ByteVector body;
    std::vector<std::uint32_t> headerMasks;
    std::vector<std::uint32_t> pixels;
    std::vector<RgbQuad> expected;  // blue, green, red
  };
  const std::vector<std::uint32_t> rgb565 = {0xF800, 0x07E0, 0x001F, 0x0020};
  const std::vector<RgbQuad> rgb565Colours = {
      {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {0, 4, 0, 0}};
  const Case cases[] = {
      {"5-5-5 by default",
       40,
       16,
       0,
       {},
       {},
       {0x7C00, 0x03E0, 0x001F, 0x4210},
       {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {132, 132, 132, 0}}},
      {"5-6-5 masks after the header",
       40,
       16,
       kBitFields,
       Masks(0xF800, 0x07E0, 0x001F),
       {},
       rgb565,
       rgb565Colours},
      {"5-6-5 masks inside a 56-byte header",
       56,
       16,
       kBitFields,
       {},
       {0xF800, 0x07E0, 0x001F},
       rgb565,
       rgb565Colours},
      {"32 bits, alpha ignored",
       40,
       32,
       0,
       {},
       {},
       {0xFF102030, 0x00010203, 0x80FFFFFF, 0},
       {{0x30, 0x20, 0x10, 0}, {3, 2, 1, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}}},
      {"32-bit masks in a 108-byte header",
       108,
       32,
       kBitFields,
       {},
       {0xFF000000, 0x00FF0000, 0x0000FF00},
       {0x102030FF, 0x01020300, 0xFFFFFF00, 0x000000FF},
       {{0x30, 0x20, 0x10, 0}, {3, 2, 1, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteVector pixels;
    for (std::uint32_t p : c.pixels)
      c.bits == 16 ? PutU16(pixels, p) : PutU32(pixels, p);
    Decoded decoded = DecodeBmp(
        MakeBmp(c.headerSize, 4, 1, c.bits, c.compression, c.body, pixels, 0, c.headerMasks));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(GetImageBitCount(decoded.image.get()), 24);
    for (int x = 0; x < 4; ++x) {
      RgbQuad got = PixelAt(decoded.image.get(), x, 0);
      EXPECT_TRUE(SameColour(got, c.expected[x]))
          << "pixel " << x << ": " << int(got.red) << "," << int(got.green) << "," << int(got.blue);
    }
  }
}

TEST(BmpCodec, TopDownRowsAreTurnedBottomUp) {
  // Two rows of one 24-bit pixel, each padded to 4 bytes; the first is the top.
  ByteVector pixels = {1, 2, 3, 0, 4, 5, 6, 0};
  Decoded decoded = DecodeBmp(MakeBmp(40, 1, -2, 24, 0, {}, pixels));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(RawPixelAt(decoded.image.get(), 0, 0), 0x030201u);
  EXPECT_EQ(RawPixelAt(decoded.image.get(), 0, 1), 0x060504u);
  EXPECT_EQ(ImageLock(decoded.image.get()).height(), 2);
}

TEST(BmpCodec, ReadsTheCoreHeaderWithThreeBytePaletteEntries) {
  // 4 bits, 3 x 2: bottom row indices 0 1 2, top row 15 3 4.
  ByteVector pixels = {0x01, 0x20, 0, 0, 0xF3, 0x40, 0, 0};
  Decoded decoded = DecodeBmp(MakeBmp(12, 3, 2, 4, 0, Palette(16, 3), pixels));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(GetImageBitCount(decoded.image.get()), 4);
  EXPECT_EQ(Indices(decoded.image.get(), 3, 2), (std::vector<std::uint32_t>{15, 3, 4, 0, 1, 2}));
  EXPECT_TRUE(SameColour(PixelAt(decoded.image.get(), 0, 0), PaletteColour(15)));
  EXPECT_TRUE(SameColour(PixelAt(decoded.image.get(), 2, 1), PaletteColour(2)));
}

TEST(BmpCodec, DecodesRle8WithAbsoluteRunsDeltaAndEndOfLine) {
  const ByteVector data = {
      3, 7,              // three of index 7
      0, 3, 1, 2, 3, 0,  // absolute 1 2 3, padded to a word
      0, 0,              // end of line
      2, 9,              // two of index 9
      0, 2, 2, 1,        // delta: 2 right, 1 up
      5, 4,              // five of index 4, clipped to the row
      0, 1,              // end of bitmap
  };
  // Ten palette entries although the header asks for a full table.
  Decoded decoded = DecodeBmp(MakeBmp(40, 6, 3, 8, kRle8, Palette(10), data));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(Indices(decoded.image.get(), 6, 3), (std::vector<std::uint32_t>{
                                                    0, 0, 0, 0, 4, 4,  // top
                                                    9, 9, 0, 0, 0, 0,  //
                                                    7, 7, 7, 1, 2, 3,  // bottom
                                                }));
  ImageLock lock(decoded.image.get());
  EXPECT_EQ(lock.colourCount(), 256u);
  EXPECT_TRUE(SameColour(lock.palette()[9], PaletteColour(9)));
  EXPECT_TRUE(SameColour(lock.palette()[10], RgbQuad{})) << "entries the file lacks are black";
}

TEST(BmpCodec, DecodesRle4WithOddAbsoluteRunsAndClipping) {
  const ByteVector data = {
      0, 5,    0x12, 0x34, 0x50, 0,  // absolute 1 2 3 4 5: three bytes and a pad byte
      4, 0x66,                       // past the end of the row: dropped
      0, 0,                          // end of line
      0, 2,    3,    0,              // delta: 3 right
      2, 0xAB,                       // A then B
      0, 1,                          // end of bitmap
  };
  Decoded decoded = DecodeBmp(MakeBmp(40, 5, 2, 4, kRle4, Palette(16), data));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(GetImageBitCount(decoded.image.get()), 4);
  EXPECT_EQ(Indices(decoded.image.get(), 5, 2),
            (std::vector<std::uint32_t>{0, 0, 0, 10, 11, 1, 2, 3, 4, 5}));
}

TEST(BmpCodec, PaletteTakesWhatTheHeaderClaimsTheDepthAllowsAndTheFileHolds) {
  struct Case {
    std::uint32_t coloursUsed;
    int present;
    int expectedRead;
  };
  for (Case c : {Case{0, 256, 256}, Case{0, 10, 10}, Case{5, 10, 5}, Case{1000, 256, 256},
                 Case{300, 300, 256}}) {
    SCOPED_TRACE(::testing::Message() << c.coloursUsed << " used, " << c.present << " present");
    Decoded decoded =
        DecodeBmp(MakeBmp(40, 1, 1, 8, 0, Palette(c.present), {0, 0, 0, 0}, c.coloursUsed));
    ASSERT_TRUE(decoded.image) << decoded.error;
    ImageLock lock(decoded.image.get());
    ASSERT_EQ(lock.colourCount(), 256u);
    for (int i = 0; i < 256; ++i) {
      RgbQuad expected = i < c.expectedRead ? PaletteColour(i) : RgbQuad{};
      ASSERT_TRUE(SameColour(lock.palette()[i], expected)) << "entry " << i;
    }
    EXPECT_EQ(RawPixelAt(decoded.image.get(), 0, 0), 0u) << "the table overran the pixels";
  }
}

TEST(BmpCodec, RefusesBrokenFiles) {
  const ByteVector goodPixels = {1, 2, 3, 0, 4, 5, 6, 0};
  auto withOffset = [&](std::uint32_t offset) {
    ByteVector file = MakeBmp(40, 1, 2, 24, 0, {}, goodPixels);
    file[10] = std::uint8_t(offset);
    file[11] = std::uint8_t(offset >> 8);
    return file;
  };
  ByteVector shortRows = MakeBmp(40, 1, 2, 24, 0, {}, goodPixels);
  shortRows.resize(shortRows.size() - 2);
  ByteVector missingPad = MakeBmp(40, 1, 2, 24, 0, {}, goodPixels);
  missingPad.pop_back();
  EXPECT_TRUE(DecodeBmp(missingPad).image) << "only the last row's padding is missing";

  struct Case {
    const char* name;
    ByteVector file;
  };
  const Case cases[] = {
      {"pixel offset past the end", withOffset(2000)},
      {"pixel offset inside the header", withOffset(20)},
      {"file shorter than its rows", shortRows},
      {"unknown header size", MakeBmp(44, 1, 2, 24, 0, {}, goodPixels)},
      {"embedded JPEG", MakeBmp(40, 1, 2, 24, 4, {}, goodPixels)},
      {"run-length on 24 bits", MakeBmp(40, 1, 2, 24, kRle8, {}, goodPixels)},
      {"bitfields on 8 bits", MakeBmp(40, 1, 2, 8, kBitFields, Masks(1, 2, 4), goodPixels)},
      {"depth 2", MakeBmp(40, 1, 2, 2, 0, {}, goodPixels)},
      {"zero width", MakeBmp(40, 0, 2, 24, 0, {}, goodPixels)},
      {"RLE without end", MakeBmp(40, 4, 4, 8, kRle8, {}, {4, 1, 0, 0})},
      {"not a bitmap", ByteVector(60, 'x')},
  };
  for (const Case& c : cases) {
    Decoded decoded = DecodeBmp(c.file);
    EXPECT_FALSE(decoded.image) << c.name;
    EXPECT_FALSE(decoded.error.empty()) << c.name;
  }
}

TEST(BmpCodec, RefusesHugeSizesBeforeAllocating) {
  const std::size_t blocks = GlobalLiveBlockCount();
  Decoded decoded = DecodeBmp(MakeBmp(40, 70000, 10, 24, 0, {}, {}));
  EXPECT_FALSE(decoded.image);
  EXPECT_NE(decoded.error.find("70000"), std::string::npos) << decoded.error;
  EXPECT_EQ(GlobalLiveBlockCount(), blocks);
}

TEST(BmpCodec, SurvivesTruncatedAndCorruptedFiles) {
  PackedImage image = MakePatternImage(5, 3, 8);
  ByteVector encoded;
  std::string error;
  ASSERT_TRUE(EncodeBmp(image.get(), encoded, error));
  ExpectSurvivesDamage(encoded);
  ExpectSurvivesDamage(MakeBmp(40, 6, 3, 8, kRle8, Palette(4),
                               {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 2, 9, 0, 2, 2, 1, 5, 4, 0, 1}));
  ExpectSurvivesDamage(
      MakeBmp(40, 5, 2, 4, kRle4, Palette(16), {0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 2, 0xAB, 0, 1}));
  ExpectSurvivesDamage(
      MakeBmp(40, 2, 2, 16, kBitFields, Masks(0xF800, 0x07E0, 0x001F), {1, 2, 3, 4, 5, 6, 7, 8}));
  ExpectSurvivesDamage(MakeBmp(12, 3, 2, 4, 0, Palette(16, 3), {1, 2, 0, 0, 3, 4, 0, 0}));
}

}  // namespace
}  // namespace tx::rastio
