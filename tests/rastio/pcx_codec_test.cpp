#include <gtest/gtest.h>

#include <random>

#include "rastio/byte_reader_p.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"
#include "tests/rastio/codec_testing.h"
#include "tests/support/test_images.h"

namespace tx::rastio {
namespace {

// A PCX file: 128-byte header with the window 0,0 .. width-1,height-1, then
// `data` (scan lines and anything after them).
ByteVector MakePcx(int version, int bitsPerPlane, int planes, int width, int height,
                   int bytesPerLine, const ByteVector& data, ByteVector headerPalette = {}) {
  ByteVector out = {0x0A, std::uint8_t(version), 1, std::uint8_t(bitsPerPlane)};
  for (int v : {0, 0, width - 1, height - 1, 72, 72}) {
    PutU16(out, std::uint32_t(v));
  }
  headerPalette.resize(48, 0);
  out.insert(out.end(), headerPalette.begin(), headerPalette.end());
  PutU8(out, 0);
  PutU8(out, std::uint32_t(planes));
  PutU16(out, std::uint32_t(bytesPerLine));
  out.resize(128, 0);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

TEST(PcxCodec, RoundTripsEveryWritableDepth) {
  struct Case {
    int bits;
    bool gray;
    int firstEntry, secondEntry;  // gray levels of a 1-bit table; -1 keeps the pattern's
    int readBits;                 // depth the file comes back with
  };
  const Case cases[] = {
      {1, false, 0, 255, 1}, {1, false, 255, 0, 1},  // stored inverted, same colours
      {1, false, -1, -1, 4},                         // colours kept as 16-colour planes
      {4, false, -1, -1, 4}, {8, false, -1, -1, 8}, {8, true, -1, -1, 8}, {24, false, -1, -1, 24},
  };
  for (const Case& c : cases) {
    for (int width : {1, 2, 3, 5, 8, 33}) {
      for (int height : {1, 5}) {
        SCOPED_TRACE(::testing::Message() << c.bits << " bits " << c.firstEntry << " "
                                          << (c.gray ? "gray " : "") << width << "x" << height);
        PackedImage image = MakePatternImage(width, height, c.bits, c.gray);
        if (c.firstEntry >= 0) {
          ImageLock lock(image.get());
          lock.palette()[0] = RgbQuad{std::uint8_t(c.firstEntry), std::uint8_t(c.firstEntry),
                                      std::uint8_t(c.firstEntry), 0};
          lock.palette()[1] = RgbQuad{std::uint8_t(c.secondEntry), std::uint8_t(c.secondEntry),
                                      std::uint8_t(c.secondEntry), 0};
        }
        ByteVector file;
        std::string error;
        ASSERT_TRUE(EncodePcx(image.get(), file, error)) << error;
        Decoded decoded = DecodePcx(file);
        ASSERT_TRUE(decoded.image) << decoded.error;
        EXPECT_EQ(GetImageBitCount(decoded.image.get()), c.readBits);
        EXPECT_EQ(MaxColourDifference(decoded.image.get(), image.get()), 0);
        if (c.firstEntry != 255) {
          EXPECT_EQ(Indices(decoded.image.get()), Indices(image.get()));
        }
        EXPECT_EQ(GetImageKind(decoded.image.get()) == kImageKindGray, c.gray);
      }
    }
  }
}

TEST(PcxCodec, WritesShortRunsEvenLinesAndEscapesHighBytes) {
  struct Case {
    const char* name;
    ByteVector indices;
    int bytesPerLine;
    ByteVector expected;  // the scan line as written
  };
  const Case cases[] = {
      {"high byte alone becomes a run of one", {0xC5, 1, 2, 2}, 4, {0xC1, 0xC5, 1, 0xC2, 2}},
      {"odd width padded to an even line", {7, 7, 7}, 4, {0xC3, 7, 0}},
      {"runs stop at 63", ByteVector(100, 9), 100, {0xFF, 9, 0xE5, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PackedImage image = MakePatternImage(int(c.indices.size()), 1, 8);
    std::copy(c.indices.begin(), c.indices.end(), ImageLock(image.get()).row(0));
    ByteVector file;
    std::string error;
    ASSERT_TRUE(EncodePcx(image.get(), file, error));
    ASSERT_EQ(file.size(), 128 + c.expected.size() + 769);
    EXPECT_EQ(file[66] | file[67] << 8, c.bytesPerLine);
    EXPECT_EQ(ByteVector(file.begin() + 128, file.end() - 769), c.expected);
    EXPECT_EQ(file[file.size() - 769], 0x0C) << "palette marker";
  }
}

TEST(PcxCodec, DecodesHandBuiltFiles) {
  ByteVector headerPalette;  // entry i: red i*10, green i*10+1, blue i*10+2
  for (int i = 0; i < 48; ++i) {
    headerPalette.push_back(std::uint8_t(i / 3 * 10 + i % 3));
  }
  ByteVector withPalette = {0, 8, 0xC1, 200, 0, 0x0C};  // indices 0, 8, 200, a pad byte
  for (int i = 0; i < 256; ++i) {
    withPalette.insert(withPalette.end(), {std::uint8_t(i), 7, 9});
  }
  const ByteVector planar = {0xA0, 0, 0x60, 0, 0xA0, 0, 0x60, 0};  // indices 5 10 15, bit by bit
  const Values egaColours = {0x323334, 0x646566, 0x969798};
  const Values defaultColours = {0xAA00AA, 0x55FF55, 0xFFFFFF};
  struct Case {
    const char* name;
    ByteVector file;
    int bits;
    Values colours;  // 0xRRGGBB, top row first
  };
  const Case cases[] = {
      {"8 x 4 planes: the fourth is dropped",
       MakePcx(5, 8, 4, 2, 1, 2, {10, 20, 30, 40, 50, 60, 0xC2, 0xFF}),
       24,
       {0x0A1E32, 0x14283C}},
      {"one run across planes and lines", MakePcx(5, 8, 3, 2, 2, 2, {0xCC, 7}), 24,
       Values(4, 0x070707)},
      {"a run from one line into the next",
       MakePcx(5, 8, 3, 2, 2, 2, {0xC5, 1, 0xC7, 2}),
       24,
       {0x010101, 0x010102, 0x020202, 0x020202}},
      {"256 colours", MakePcx(5, 8, 1, 3, 1, 4, withPalette), 8, {0x000709, 0x080709, 0xC80709}},
      {"256 colours without the palette: gray",
       MakePcx(5, 8, 1, 3, 1, 4, ByteVector(withPalette.begin(), withPalette.begin() + 5)),
       8,
       {0, 0x080808, 0xC8C8C8}},
      {"EGA planes", MakePcx(5, 1, 4, 3, 1, 2, planar, headerPalette), 4, egaColours},
      {"nibbles (0xF0 as a run of one)",
       MakePcx(5, 4, 1, 3, 1, 2, {0x5A, 0xC1, 0xF0}, headerPalette), 4, egaColours},
      {"version 3: default colours", MakePcx(3, 1, 4, 3, 1, 2, planar, headerPalette), 4,
       defaultColours},
      {"empty header palette: default colours", MakePcx(5, 1, 4, 3, 1, 2, planar), 4,
       defaultColours},
      {"one bit: black and white whatever the header says",
       MakePcx(5, 1, 1, 3, 1, 2, {0xA0, 0}, headerPalette),
       1,
       {0xFFFFFF, 0, 0xFFFFFF}},
  };
  for (const Case& c : cases) {
    Decoded decoded = DecodePcx(c.file);
    ASSERT_TRUE(decoded.image) << c.name << ": " << decoded.error;
    EXPECT_EQ(GetImageBitCount(decoded.image.get()), c.bits) << c.name;
    EXPECT_EQ(Colours(decoded.image.get()), c.colours) << c.name;
  }
  EXPECT_EQ(GetImageKind(DecodePcx(cases[4].file).image.get()), kImageKindGray);
}

TEST(PcxCodec, RefusesBrokenFiles) {
  auto changed = [](std::size_t at, std::uint8_t value) {
    ByteVector file = MakePcx(5, 8, 1, 2, 1, 2, {1, 2});
    file[at] = value;
    return file;
  };
  struct Case {
    const char* name;
    ByteVector file;
  };
  const Case cases[] = {
      {"truncated scan lines", MakePcx(5, 8, 3, 2, 2, 2, {0xC5, 1})},
      {"run cut after its count", MakePcx(5, 8, 1, 2, 1, 2, {0xC2})},
      {"window Xmin beyond Xmax", changed(4, 5)},
      {"line too short for the width", MakePcx(5, 8, 1, 5, 1, 4, ByteVector(8, 1))},
      {"unknown maker", changed(0, 0x0B)},
      {"uncompressed", changed(2, 0)},
      {"2 bits x 1 plane", MakePcx(5, 2, 1, 2, 1, 2, {1, 2})},
      {"version 6", MakePcx(6, 8, 1, 2, 1, 2, {1, 2})},
      {"header cut short", ByteVector(100, 0x0A)},
  };
  for (const Case& c : cases) {
    Decoded decoded = DecodePcx(c.file);
    EXPECT_FALSE(decoded.image) << c.name;
    EXPECT_FALSE(decoded.error.empty()) << c.name;
  }
}

TEST(PcxCodec, RefusesHugeOrImpossibleSizesBeforeAllocating) {
  struct Case {
    ByteVector file;
    const char* reason;
  };
  const Case cases[] = {
      {MakePcx(5, 8, 1, 65536, 10, 65535, {}), "65536"},
      {MakePcx(5, 8, 1, 4000, 4000, 4000, ByteVector(40, 0xFF)),
       "too short"},  // 16 MB from 40 bytes
  };
  SetGlobalAllocLimit(1 << 20);  // an attempt to allocate would fail for want of memory
  const std::size_t blocks = GlobalLiveBlockCount();
  for (const Case& c : cases) {
    Decoded decoded = DecodePcx(c.file);
    EXPECT_FALSE(decoded.image);
    EXPECT_NE(decoded.error.find(c.reason), std::string::npos) << decoded.error;
  }
  EXPECT_EQ(GlobalLiveBlockCount(), blocks);
  SetGlobalAllocLimit(0);
}

TEST(PcxCodec, SurvivesTruncatedAndCorruptedFiles) {
  for (int bits : {1, 4, 8, 24}) {
    PackedImage image = MakePatternImage(5, 3, bits);
    ByteVector file;
    std::string error;
    ASSERT_TRUE(EncodePcx(image.get(), file, error));
    ExpectSoundOnDamage(DecodePcx, file);
  }
  ExpectSoundOnDamage(DecodePcx, MakePcx(5, 8, 4, 2, 1, 2, {10, 20, 30, 40, 50, 60, 0xC2, 0xFF}));
}

}  // namespace
}  // namespace tx::rastio
