#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "rastio/byte_reader_p.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"
#include "tests/rastio/codec_testing.h"
#include "tests/support/test_images.h"

namespace tx::rastio {
namespace {

// A bitmap file: file header, info header of `headerSize` bytes (holding
// `masks` when given), then `body` (masks after a 40-byte header, palette)
// and `pixels`.
ByteVector MakeBmp(std::uint32_t headerSize, std::int32_t width, std::int32_t height, int bits,
                   std::uint32_t compression, const ByteVector& body, const ByteVector& pixels,
                   std::uint32_t coloursUsed = 0, const Values& masks = {}) {
  ByteVector out{'B', 'M'};
  std::uint32_t pixelsAt = 14 + headerSize + std::uint32_t(body.size());
  for (std::uint32_t v : {pixelsAt + std::uint32_t(pixels.size()), 0u, pixelsAt, headerSize}) {
    PutU32(out, v);
  }
  bool core = headerSize == 12;
  core ? PutU16(out, std::uint32_t(width)) : PutU32(out, std::uint32_t(width));
  core ? PutU16(out, std::uint32_t(height)) : PutU32(out, std::uint32_t(height));
  PutU16(out, 1);
  PutU16(out, std::uint32_t(bits));
  if (!core) {
    for (std::uint32_t v : {compression, 0u, 2835u, 2835u, coloursUsed, 0u}) {
      PutU32(out, v);
    }
    for (std::uint32_t mask : masks) {
      PutU32(out, mask);
    }
    out.resize(14 + headerSize, 0);
  }
  out.insert(out.end(), body.begin(), body.end());
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

// Little-endian words of `size` bytes.
ByteVector Words(const Values& values, int size = 4) {
  ByteVector out;
  for (std::uint32_t v : values) {
    size == 2 ? PutU16(out, v) : PutU32(out, v);
  }
  return out;
}

// Entry i is blue i*3+1, green i*3+2, red i*3+3 (then 0 for 4-byte entries).
ByteVector Palette(int entries, int entrySize = 4) {
  ByteVector out;
  for (int i = 0; i < entries * entrySize; ++i) {
    out.push_back(std::uint8_t(i % entrySize < 3 ? i / entrySize * 3 + i % entrySize + 1 : 0));
  }
  return out;
}

// True when every bit of every row past the last pixel is zero.
bool PaddingIsZero(GlobalHandle image) {
  ImageLock lock(image);
  std::uint64_t usedBits = std::uint64_t(lock.bitCount()) * std::uint64_t(lock.width());
  for (int y = 0; y < lock.height(); ++y) {
    const std::uint8_t* row = lock.row(y);
    if (usedBits % 8 && (row[usedBits / 8] & (0xFF >> usedBits % 8))) return false;
    for (std::size_t i = (usedBits + 7) / 8; i < lock.stride(); ++i) {
      if (row[i]) return false;
    }
  }
  return true;
}

TEST(BmpCodec, RoundTripsEveryWritableDepthByteForByte) {
  const std::pair<int, bool> depths[] = {
      {1, false}, {4, false}, {8, false}, {8, true}, {24, false}};
  for (auto [bits, gray] : depths) {
    for (int width : {1, 2, 3, 5, 8, 33}) {
      for (int height : {1, 5}) {
        SCOPED_TRACE(::testing::Message()
                     << bits << (gray ? " gray " : " ") << width << "x" << height);
        PackedImage image = MakePatternImage(width, height, bits, gray);
        ImageLock original(image.get());
        original.header().biXPelsPerMeter = 3780;  // resolution travels both ways
        ByteVector file;
        std::string error;
        ASSERT_TRUE(EncodeBmp(image.get(), file, error)) << error;
        EXPECT_EQ(ByteReader(file, 2).u32(), file.size()) << "file size field";
        Decoded decoded = DecodeBmp(file);
        ASSERT_TRUE(decoded.image) << decoded.error;
        EXPECT_EQ(decoded.orientation, 1);
        // Header, colour table and rows (padding included) come back unchanged.
        ImageLock copy(decoded.image.get());
        ASSERT_EQ(copy.imageBytes(), original.imageBytes());
        EXPECT_EQ(std::memcmp(&copy.header(), &original.header(), original.imageBytes()), 0);
      }
    }
  }
}

TEST(BmpCodec, RefusesToWriteOtherDepths) {
  for (int bits : {16, 32}) {
    std::string error;
    PackedImage image(NewDecodedImage(2, 2, bits, 0, error));
    ByteVector file;
    EXPECT_FALSE(EncodeBmp(image.get(), file, error)) << bits;
    EXPECT_FALSE(error.empty());
  }
}

TEST(BmpCodec, DecodesHandBuiltFiles) {
  const std::uint32_t kRle8 = 1, kRle4 = 2, kBitFields = 3;
  const ByteVector rgb565 = Words({0xF800, 0x07E0, 0x001F, 0x0020}, 2);
  const Values rgb565Colours = {0xFF0000, 0x00FF00, 0x0000FF, 0x000400};
  const ByteVector rle8 = {
      3, 7,              // three of index 7
      0, 3, 1, 2, 3, 0,  // absolute 1 2 3, padded to a word
      0, 0,              // end of line
      2, 9,              // two of index 9
      0, 2, 2, 1,        // delta: 2 right, 1 up
      5, 4,              // five of index 4, clipped to the row
      0, 1,              // end of bitmap
  };
  const ByteVector rle4 = {
      0, 5,    0x12, 0x34, 0x50, 0,  // absolute 1 2 3 4 5: three bytes and a pad byte
      4, 0x66,                       // past the end of the row: dropped
      0, 0,                          // end of line
      0, 2,    3,    0,              // delta: 3 right
      2, 0xAB,                       // A then B
  };                                 // no end of bitmap: the last row is complete
  struct Case {
    const char* name;
    ByteVector file;
    Values expected;  // top row first
  };
  const Case cases[] = {
      {"16 bits 5-5-5 by default",
       MakeBmp(40, 4, 1, 16, 0, {}, Words({0x7C00, 0x3E0, 0x1F, 0x4210}, 2)),
       {0xFF0000, 0x00FF00, 0x0000FF, 0x848484}},
      {"5-6-5 masks after a 40-byte header",
       MakeBmp(40, 4, 1, 16, kBitFields, Words({0xF800, 0x07E0, 0x001F}), rgb565), rgb565Colours},
      {"5-6-5 masks inside a 56-byte header",
       MakeBmp(56, 4, 1, 16, kBitFields, {}, rgb565, 0, {0xF800, 0x07E0, 0x001F}), rgb565Colours},
      {"32 bits, alpha ignored",
       MakeBmp(40, 3, 1, 32, 0, {}, Words({0xFF102030, 0x00010203, 0x80FFFFFF})),
       {0x102030, 0x010203, 0xFFFFFF}},
      {"32-bit masks in a 108-byte header",
       MakeBmp(108, 3, 1, 32, kBitFields, {}, Words({0x102030FF, 0x01020300, 0xFFFFFF00}), 0,
               {0xFF000000, 0x00FF0000, 0x0000FF00}),
       {0x102030, 0x010203, 0xFFFFFF}},
      {"top-down rows",
       MakeBmp(40, 1, -2, 24, 0, {}, {1, 2, 3, 0, 4, 5, 6, 0}),
       {0x030201, 0x060504}},
      {"core header, junk in the row padding",
       MakeBmp(12, 3, 2, 4, 0, Palette(16, 3), {0x01, 0x2F, 0xEE, 0xEE, 0xF3, 0x4F, 0, 0}),
       {15, 3, 4, 0, 1, 2}},
      {"RLE8",
       MakeBmp(40, 6, 3, 8, kRle8, Palette(10), rle8),
       {0, 0, 0, 0, 4, 4, 9, 9, 0, 0, 0, 0, 7, 7, 7, 1, 2, 3}},
      {"RLE4", MakeBmp(40, 5, 2, 4, kRle4, Palette(16), rle4), {0, 0, 0, 10, 11, 1, 2, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    Decoded decoded = DecodeBmp(c.file);
    ASSERT_TRUE(decoded.image) << c.name << ": " << decoded.error;
    EXPECT_EQ(Indices(decoded.image.get()), c.expected) << c.name;
    EXPECT_TRUE(PaddingIsZero(decoded.image.get())) << c.name;
  }
}

TEST(BmpCodec, PaletteTakesWhatTheHeaderClaimsTheDepthAllowsAndTheFileHolds) {
  struct Case {
    std::uint32_t headerSize, coloursUsed;
    int present, entrySize, expectedRead;
  };
  for (Case c : {Case{40, 0, 256, 4, 256}, Case{40, 0, 10, 4, 10}, Case{40, 5, 10, 4, 5},
                 Case{40, 1000, 256, 4, 256}, Case{40, 300, 300, 4, 256}, Case{12, 0, 10, 3, 10}}) {
    SCOPED_TRACE(::testing::Message() << c.coloursUsed << " used, " << c.present << " present");
    Decoded decoded = DecodeBmp(MakeBmp(c.headerSize, 1, 1, 8, 0, Palette(c.present, c.entrySize),
                                        {0, 0, 0, 0}, c.coloursUsed));
    ASSERT_TRUE(decoded.image) << decoded.error;
    ImageLock lock(decoded.image.get());
    ASSERT_EQ(lock.colourCount(), 256u) << "a full table, so every index is valid";
    ByteVector expected = Palette(c.expectedRead);
    expected.resize(1024, 0);
    EXPECT_EQ(std::memcmp(lock.palette(), expected.data(), 1024), 0);
    EXPECT_EQ(RawPixelAt(decoded.image.get(), 0, 0), 0u);
  }
}

TEST(BmpCodec, RefusesBrokenFiles) {
  const ByteVector pixels = {1, 2, 3, 0, 4, 5, 6, 0};
  auto withOffset = [&](std::uint8_t offset, std::uint8_t high) {
    ByteVector file = MakeBmp(40, 1, 2, 24, 0, {}, pixels);
    file[10] = offset;
    file[11] = high;
    return file;
  };
  EXPECT_TRUE(DecodeBmp(MakeBmp(40, 1, 2, 24, 0, {}, {1, 2, 3, 0, 4, 5, 6})).image)
      << "only the last row's padding is missing";
  struct Case {
    const char* name;
    ByteVector file;
  };
  const Case cases[] = {
      {"pixel offset past the end", withOffset(0, 8)},
      {"pixel offset inside the header", withOffset(20, 0)},
      {"file shorter than its rows", MakeBmp(40, 1, 2, 24, 0, {}, {1, 2, 3, 0, 4, 5})},
      {"unknown header size", MakeBmp(44, 1, 2, 24, 0, {}, pixels)},
      {"embedded JPEG", MakeBmp(40, 1, 2, 24, 4, {}, pixels)},
      {"run-length on 24 bits", MakeBmp(40, 1, 2, 24, 1, {}, pixels)},
      {"bitfields on 8 bits", MakeBmp(40, 1, 2, 8, 3, Words({1, 2, 4}), pixels)},
      {"depth 2", MakeBmp(40, 1, 2, 2, 0, {}, pixels)},
      {"zero width", MakeBmp(40, 0, 2, 24, 0, {}, pixels)},
      {"run-length data ending early", MakeBmp(40, 4, 4, 8, 1, {}, {4, 1, 0, 0})},
      {"70000 x 10 pixels", MakeBmp(40, 70000, 10, 24, 0, {}, {})},
      {"not a bitmap", ByteVector(60, 'x')},
  };
  const std::size_t blocks = GlobalLiveBlockCount();
  for (const Case& c : cases) {
    Decoded decoded = DecodeBmp(c.file);
    EXPECT_FALSE(decoded.image) << c.name;
    EXPECT_FALSE(decoded.error.empty()) << c.name;
  }
  EXPECT_NE(DecodeBmp(cases[10].file).error.find("70000"), std::string::npos)
      << "refused for its size, before anything is allocated";
  EXPECT_EQ(GlobalLiveBlockCount(), blocks);
}

TEST(BmpCodec, SurvivesTruncatedAndCorruptedFiles) {
  PackedImage image = MakePatternImage(5, 3, 8);
  ByteVector encoded;
  std::string error;
  ASSERT_TRUE(EncodeBmp(image.get(), encoded, error));
  for (const ByteVector& file : {
           encoded,
           MakeBmp(40, 6, 3, 8, 1, Palette(4), {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 0, 1}),
           MakeBmp(40, 5, 2, 4, 2, Palette(16), {0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 2, 0xAB, 0, 1}),
           MakeBmp(40, 2, 2, 16, 3, Words({0xF800, 0x07E0, 0x001F}), {1, 2, 3, 4, 5, 6, 7, 8}),
           MakeBmp(12, 3, 2, 4, 0, Palette(16, 3), {1, 2, 0, 0, 3, 4, 0, 0}),
       }) {
    ExpectSoundOnDamage(DecodeBmp, file);
  }
}

}  // namespace
}  // namespace tx::rastio
