#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "rastio/byte_reader_p.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"
#include "tests/rastio/codec_testing.h"
#include "tests/support/test_images.h"

namespace tx::rastio {
namespace {

struct TgaFile {
  std::uint8_t type = 2;
  std::uint8_t pixelBits = 24;
  std::uint16_t width = 1;
  std::uint16_t height = 1;
  std::uint8_t descriptor = 0;
  ByteVector pixels = {};
  std::uint8_t mapType = 0;
  std::uint16_t mapFirst = 0;
  std::uint16_t mapLength = 0;
  std::uint8_t mapBits = 0;
  ByteVector map = {};
  ByteVector id = {};

  ByteVector bytes() const {
    ByteVector out = {std::uint8_t(id.size()), mapType, type};
    PutU16(out, mapFirst);
    PutU16(out, mapLength);
    PutU8(out, mapBits);
    PutU32(out, 0);  // screen origin
    PutU16(out, width);
    PutU16(out, height);
    PutU8(out, pixelBits);
    PutU8(out, descriptor);
    for (const ByteVector* part : {&id, &map, &pixels}) {
      out.insert(out.end(), part->begin(), part->end());
    }
    return out;
  }
};

TEST(TgaCodec, RoundTripsEveryWritableDepthPlainAndRunLength) {
  const std::pair<int, bool> depths[] = {
      {1, false}, {4, false}, {8, false}, {8, true}, {24, false}};
  for (auto [bits, gray] : depths) {
    for (bool rle : {false, true}) {
      for (int width : {1, 2, 3, 5, 8, 33}) {
        for (int height : {1, 5}) {
          SCOPED_TRACE(::testing::Message()
                       << bits << (gray ? " gray" : "") << (rle ? " rle " : " plain ") << width
                       << "x" << height);
          PackedImage image = MakePatternImage(width, height, bits, gray);
          ByteVector file;
          std::string error;
          ASSERT_TRUE(EncodeTga(image.get(), rle, file, error)) << error;
          Decoded decoded = DecodeTga(file);
          ASSERT_TRUE(decoded.image) << decoded.error;
          // 1- and 4-bit pictures come back as 8-bit with the same indices.
          EXPECT_EQ(GetImageBitCount(decoded.image.get()), bits == 24 ? 24 : 8);
          EXPECT_EQ(MaxColourDifference(decoded.image.get(), image.get()), 0);
          EXPECT_EQ(Indices(decoded.image.get()), Indices(image.get()));
          EXPECT_EQ(GetImageKind(decoded.image.get()) == kImageKindGray, gray);
        }
      }
    }
  }
}

TEST(TgaCodec, PacketsHoldAtMost128PixelsAndStopAtLineEnds) {
  struct Case {
    const char* name;
    int width;
    std::function<std::uint8_t(int)> value;  // gray value of pixel x
    ByteVector packetHeaders;                // of the first line
  };
  const Case cases[] = {
      {"long run", 300, [](int) { return 9; }, {0xFF, 0xFF, 0x80 | 43}},
      {"long raw", 130, [](int x) { return std::uint8_t(x); }, {0x7F, 0x01}},
      {"raw then run", 5, [](int x) { return std::uint8_t(x < 2 ? x : 3); }, {0x01, 0x82}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PackedImage image(CreatePackedImage(c.width, 2, 0, 1));
    {
      ImageLock lock(image.get());
      for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < c.width; ++x) {
          lock.row(y)[x] = c.value(x);
        }
      }
    }
    ByteVector file;
    std::string error;
    ASSERT_TRUE(EncodeTga(image.get(), true, file, error));
    EXPECT_EQ(file[2], 11) << "run-length gray";
    // Walk the packets: each line must start on a packet boundary.
    ByteReader in(file, 18);
    for (int y = 0; y < 2; ++y) {
      int x = 0;
      for (std::size_t p = 0; x < c.width; ++p) {
        std::uint8_t header = in.u8();
        ASSERT_TRUE(in.ok());
        if (p < c.packetHeaders.size()) {
          EXPECT_EQ(header, c.packetHeaders[p]) << "packet " << p;
        }
        int count = (header & 0x7F) + 1;
        in.skip(header & 0x80 ? 1 : std::size_t(count));
        x += count;
      }
      EXPECT_EQ(x, c.width) << "a packet crossed the end of line " << y;
    }
    EXPECT_EQ(in.remaining(), 0u);
  }
}

TEST(TgaCodec, FollowsTheOriginAndDirectionBits) {
  struct Case {
    std::uint8_t descriptor;
    Values topDown;  // where file pixels 1 2 3 4 land, top row first
  };
  for (Case c : {Case{0x00, {3, 4, 1, 2}}, Case{0x10, {4, 3, 2, 1}}, Case{0x20, {1, 2, 3, 4}},
                 Case{0x30, {2, 1, 4, 3}}}) {
    for (std::uint8_t type : {3, 11}) {  // plain and run-length
      TgaFile file{.type = type,
                   .pixelBits = 8,
                   .width = 2,
                   .height = 2,
                   .descriptor = c.descriptor,
                   .pixels = type == 3 ? ByteVector{1, 2, 3, 4} : ByteVector{3, 1, 2, 3, 4}};
      Decoded decoded = DecodeTga(file.bytes());
      ASSERT_TRUE(decoded.image) << decoded.error;
      EXPECT_EQ(Indices(decoded.image.get()), c.topDown) << int(c.descriptor) << " " << int(type);
    }
  }
}

TEST(TgaCodec, DecodesHandBuiltFiles) {
  const Values fiveBitColours = {0xFF0000, 0x00FF00, 0x0000FF, 0x848484};
  auto mapped = [](std::uint8_t bits, ByteVector map) {
    // Two entries for indices 3 and 4 behind a five-byte id field.
    return TgaFile{.type = 1,
                   .pixelBits = 8,
                   .width = 4,
                   .pixels = {3, 4, 0, 200},
                   .mapType = 1,
                   .mapFirst = 3,
                   .mapLength = 2,
                   .mapBits = bits,
                   .map = std::move(map),
                   .id = {'h', 'e', 'l', 'l', 'o'}}
        .bytes();
  };
  const Values mappedColours = {0x1E140A, 0xFFFFFF, 0, 0};  // indices outside the map: black
  ByteVector withFooter = TgaFile{.width = 2, .pixels = {1, 2, 3, 4, 5, 6}}.bytes();
  withFooter.resize(withFooter.size() + 26, '*');  // a footer or any other trailing bytes
  struct Case {
    const char* name;
    ByteVector file;
    Values colours;  // 0xRRGGBB, top row first
  };
  const Case cases[] = {
      {"16 bits, attribute bit ignored",
       TgaFile{.pixelBits = 16, .width = 4, .pixels = {0, 0x7C, 0xE0, 0x03, 0x1F, 0x80, 0x10, 0x42}}
           .bytes(),
       fiveBitColours},
      {"15 bits",
       TgaFile{.pixelBits = 15, .width = 4, .pixels = {0, 0x7C, 0xE0, 0x03, 0x1F, 0, 0x10, 0x42}}
           .bytes(),
       fiveBitColours},
      {"32 bits, alpha ignored",
       TgaFile{.pixelBits = 32, .width = 2, .pixels = {1, 2, 3, 0, 4, 5, 6, 255}}.bytes(),
       {0x030201, 0x060504}},
      // Bottom row first: a run of four crosses into the middle row, a raw
      // packet of two ends it, and a run reaching past the last pixel is cut.
      {"packets crossing lines",
       TgaFile{.type = 10,
               .width = 3,
               .height = 3,
               .pixels = {0x83, 1, 1, 1, 0x01, 2, 2, 2, 3, 3, 3, 0x85, 4, 4, 4}}
           .bytes(),
       {0x040404, 0x040404, 0x040404, 0x010101, 0x020202, 0x030303, 0x010101, 0x010101, 0x010101}},
      {"24-bit map from entry 3", mapped(24, {10, 20, 30, 255, 255, 255}), mappedColours},
      {"32-bit map from entry 3", mapped(32, {10, 20, 30, 0, 255, 255, 255, 0}), mappedColours},
      {"16-bit map from entry 3", mapped(16, {0x00, 0x7C, 0xFF, 0x7F}), {0xFF0000, 0xFFFFFF, 0, 0}},
      {"trailing footer", withFooter, {0x030201, 0x060504}},
  };
  for (const Case& c : cases) {
    Decoded decoded = DecodeTga(c.file);
    ASSERT_TRUE(decoded.image) << c.name << ": " << decoded.error;
    EXPECT_EQ(Colours(decoded.image.get()), c.colours) << c.name;
  }
  Decoded mappedImage = DecodeTga(cases[4].file);
  EXPECT_EQ(Indices(mappedImage.image.get()), (Values{3, 4, 0, 200})) << "indices kept";
  EXPECT_EQ(ImageLock(mappedImage.image.get()).colourCount(), 256u);
}

TEST(TgaCodec, RefusesHeadersNoTgaFileHasAndImpossibleSizes) {
  const ByteVector trueColour = TgaFile{.width = 2, .pixels = {1, 2, 3, 4, 5, 6}}.bytes();
  const ByteVector mapped = TgaFile{
      .type = 1,
      .pixelBits = 8,
      .width = 2,
      .pixels = {0, 0},
      .mapType = 1,
      .mapLength = 1,
      .mapBits = 24,
      .map = {1, 2, 3}}.bytes();
  ASSERT_TRUE(DecodeTga(trueColour).image);
  ASSERT_TRUE(DecodeTga(mapped).image);
  // Header bytes: 1 map type, 2 image type, 3-4 first entry, 5-6 map length,
  // 7 entry bits, 12-13 width, 16 pixel bits, 17 descriptor.
  auto patched = [](ByteVector file, std::vector<std::pair<int, std::uint8_t>> changes) {
    for (auto [at, value] : changes) {
      file[std::size_t(at)] = value;
    }
    return file;
  };
  struct Case {
    const char* name;
    ByteVector file;
  };
  const Case cases[] = {
      {"no image", patched(trueColour, {{2, 0}})},
      {"unknown type", patched(trueColour, {{2, 32}})},
      {"colour map type 2", patched(trueColour, {{1, 2}})},
      {"colour-mapped without a map", patched(trueColour, {{2, 1}, {16, 8}})},
      {"map entries without a map", patched(trueColour, {{5, 4}})},
      {"8-bit true colour", patched(trueColour, {{16, 8}})},
      {"16-bit gray", patched(trueColour, {{2, 3}, {16, 16}})},
      {"interleaved", patched(trueColour, {{17, 0x40}})},
      {"zero width", patched(trueColour, {{12, 0}})},
      {"packets cut short", patched(trueColour, {{2, 10}})},
      {"pixels cut short", ByteVector(trueColour.begin(), trueColour.end() - 1)},
      {"map entries of 17 bits", patched(mapped, {{7, 17}})},
      {"16-bit colour-mapped", patched(mapped, {{16, 16}})},
      {"map beyond 8-bit indices", patched(mapped, {{4, 1}})},
      {"map cut short", patched(mapped, {{6, 1}})},
      {"header cut short", ByteVector(10, 0)},
      {"65535 x 65535", TgaFile{.width = 65535, .height = 65535}.bytes()},
      {"4000 x 4000 from a few packets",  // 16 MB from 40 bytes
       TgaFile{.type = 11,
               .pixelBits = 8,
               .width = 4000,
               .height = 4000,
               .pixels = ByteVector(40, 0xFF)}
           .bytes()},
  };
  SetGlobalAllocLimit(1 << 20);  // so an attempt to allocate would say "memory"
  const std::size_t blocks = GlobalLiveBlockCount();
  for (const Case& c : cases) {
    Decoded decoded = DecodeTga(c.file);
    EXPECT_FALSE(decoded.image) << c.name;
    EXPECT_FALSE(decoded.error.empty()) << c.name;
    EXPECT_EQ(decoded.error.find("memory"), std::string::npos) << c.name << ": " << decoded.error;
  }
  EXPECT_EQ(GlobalLiveBlockCount(), blocks);
  SetGlobalAllocLimit(0);
}

TEST(TgaCodec, RefusesToWriteOtherDepths) {
  for (int bits : {16, 32}) {
    std::string error;
    PackedImage image(NewDecodedImage(2, 2, bits, 0, error));
    ByteVector file;
    EXPECT_FALSE(EncodeTga(image.get(), true, file, error)) << bits;
    EXPECT_FALSE(error.empty());
  }
}

TEST(TgaCodec, SurvivesTruncatedAndCorruptedFiles) {
  for (auto [bits, gray] : {std::pair{4, false}, std::pair{8, true}, std::pair{24, false}}) {
    for (bool rle : {false, true}) {
      PackedImage image = MakePatternImage(5, 3, bits, gray);
      ByteVector file;
      std::string error;
      ASSERT_TRUE(EncodeTga(image.get(), rle, file, error));
      ExpectSoundOnDamage(DecodeTga, file);
    }
  }
  ExpectSoundOnDamage(DecodeTga, TgaFile{.type = 10,
                                         .pixelBits = 16,
                                         .width = 3,
                                         .height = 2,
                                         .pixels = {0x83, 1, 2, 0x01, 3, 4, 5, 6}}
                                     .bytes());
}

}  // namespace
}  // namespace tx::rastio
