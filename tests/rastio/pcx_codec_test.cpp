#include <gtest/gtest.h>

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

// A PCX file: 128-byte header with the window 0,0 .. width-1,height-1, then
// `data` (scan lines and anything after them).
ByteVector MakePcx(int version, int bitsPerPlane, int planes, int width, int height,
                   int bytesPerLine, const ByteVector& data, ByteVector headerPalette = {}) {
  ByteVector out = {0x0A, std::uint8_t(version), 1, std::uint8_t(bitsPerPlane)};
  PutU16(out, 0);
  PutU16(out, 0);
  PutU16(out, std::uint32_t(width - 1));
  PutU16(out, std::uint32_t(height - 1));
  PutU16(out, 72);
  PutU16(out, 72);
  headerPalette.resize(48, 0);
  out.insert(out.end(), headerPalette.begin(), headerPalette.end());
  PutU8(out, 0);
  PutU8(out, std::uint32_t(planes));
  PutU16(out, std::uint32_t(bytesPerLine));
  PutU16(out, 1);
  out.resize(128, 0);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

bool SameColour(RgbQuad a, RgbQuad b) {
  return a.blue == b.blue && a.green == b.green && a.red == b.red;
}

std::vector<std::uint32_t> Indices(GlobalHandle image, int width, int height) {
  std::vector<std::uint32_t> out;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      out.push_back(RawPixelAt(image, x, y));
  }
  return out;
}

void SetTwoColours(GlobalHandle image, std::uint8_t first, std::uint8_t second) {
  ImageLock lock(image);
  lock.palette()[0] = RgbQuad{first, first, first, 0};
  lock.palette()[1] = RgbQuad{second, second, second, 0};
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
    Decoded decoded = DecodePcx(bytes);
    if (decoded.image) {
      EXPECT_TRUE(ImageLock(decoded.image.get()).valid());
    } else {
      EXPECT_FALSE(decoded.error.empty());
    }
  };
  for (std::size_t n = 0; n < file.size(); ++n)
    check(ByteVector(file.begin(), file.begin() + n));
  std::mt19937 random(20240612);
  for (int i = 0; i < 300; ++i) {
    ByteVector copy = file;
    for (int flips = 1 + int(random() % 3); flips > 0; --flips) {
      copy[random() % copy.size()] ^= std::uint8_t(1u << (random() % 8));
    }
    check(copy);
  }
  EXPECT_EQ(GlobalLiveBlockCount(), blocks);
}

TEST(PcxCodec, RoundTripsEveryWritableDepth) {
  enum class Two { Pattern, BlackWhite, WhiteBlack };
  struct Case {
    int bits;
    bool gray;
    Two colours;   // the table of 1-bit pictures
    int readBits;  // depth the file comes back with
    bool sameIndices;
  };
  const Case cases[] = {
      {1, false, Two::BlackWhite, 1, true}, {1, false, Two::WhiteBlack, 1, false},
      {1, false, Two::Pattern, 4, true},    {4, false, Two::Pattern, 4, true},
      {8, false, Two::Pattern, 8, true},    {8, true, Two::Pattern, 8, true},
      {24, false, Two::Pattern, 24, true},
  };
  for (const Case& c : cases) {
    for (int width : {1, 2, 3, 5, 8, 33}) {
      for (int height : {1, 5}) {
        SCOPED_TRACE(::testing::Message() << c.bits << " bits, table " << int(c.colours)
                                          << (c.gray ? " gray " : " ") << width << " x " << height);
        PackedImage image = MakePatternImage(width, height, c.bits, c.gray);
        if (c.colours == Two::BlackWhite) SetTwoColours(image.get(), 0, 255);
        if (c.colours == Two::WhiteBlack) SetTwoColours(image.get(), 255, 0);
        ByteVector file;
        std::string error;
        ASSERT_TRUE(EncodePcx(image.get(), file, error)) << error;
        Decoded decoded = DecodePcx(file);
        ASSERT_TRUE(decoded.image) << decoded.error;
        EXPECT_EQ(GetImageBitCount(decoded.image.get()), c.readBits);
        EXPECT_EQ(MaxColourDifference(decoded.image.get(), image.get()), 0);
        if (c.sameIndices) {
          EXPECT_EQ(Indices(decoded.image.get(), width, height),
                    Indices(image.get(), width, height));
        }
        if (c.gray) {
          EXPECT_EQ(GetImageKind(decoded.image.get()), kImageKindGray);
        }
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
    const int width = int(c.indices.size());
    PackedImage image = MakePatternImage(width, 1, 8);
    {
      ImageLock lock(image.get());
      std::copy(c.indices.begin(), c.indices.end(), lock.row(0));
    }
    ByteVector file;
    std::string error;
    ASSERT_TRUE(EncodePcx(image.get(), file, error));
    ASSERT_EQ(file.size(), 128 + c.expected.size() + 769);
    EXPECT_EQ(file[66] | file[67] << 8, c.bytesPerLine);
    EXPECT_EQ(ByteVector(file.begin() + 128, file.end() - 769), c.expected);
    EXPECT_EQ(file[file.size() - 769], 0x0C);
  }
}

TEST(PcxCodec, ReadsFourPlanesDroppingTheFourth) {
  // Planes red, green, blue, alpha of a 2 x 1 picture, two bytes each.
  ByteVector file = MakePcx(5, 8, 4, 2, 1, 2, {10, 20, 30, 40, 50, 60, 0xC2, 0xFF});
  Decoded decoded = DecodePcx(file);
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(GetImageBitCount(decoded.image.get()), 24);
  EXPECT_EQ(RawPixelAt(decoded.image.get(), 0, 0), 0x0A1E32u);
  EXPECT_EQ(RawPixelAt(decoded.image.get(), 1, 0), 0x14283Cu);
}

TEST(PcxCodec, RunsMayCrossPlanesAndScanLines) {
  // A 2 x 2 true-colour picture: one run of 12 covers both lines, then the
  // last run starts in the first line's blue plane and ends in the second.
  Decoded whole = DecodePcx(MakePcx(5, 8, 3, 2, 2, 2, {0xCC, 7}));
  ASSERT_TRUE(whole.image) << whole.error;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x)
      EXPECT_EQ(RawPixelAt(whole.image.get(), x, y), 0x070707u);
  }
  Decoded split = DecodePcx(MakePcx(5, 8, 3, 2, 2, 2, {0xC5, 1, 0xC7, 2}));
  ASSERT_TRUE(split.image) << split.error;
  EXPECT_EQ(RawPixelAt(split.image.get(), 0, 0), 0x010101u);
  EXPECT_EQ(RawPixelAt(split.image.get(), 1, 0), 0x010102u);
  EXPECT_EQ(RawPixelAt(split.image.get(), 0, 1), 0x020202u);
}

TEST(PcxCodec, EightBitsUseTheTrailingPaletteOrAGrayRamp) {
  ByteVector scanLine = {0, 8, 0xC1, 200, 0};  // indices 0, 8, 200 and a pad byte
  Decoded gray = DecodePcx(MakePcx(5, 8, 1, 3, 1, 4, scanLine));
  ASSERT_TRUE(gray.image) << gray.error;
  EXPECT_EQ(GetImageKind(gray.image.get()), kImageKindGray);
  EXPECT_EQ(Indices(gray.image.get(), 3, 1), (std::vector<std::uint32_t>{0, 8, 200}));

  ByteVector withPalette = scanLine;
  withPalette.push_back(0x0C);
  for (int i = 0; i < 256; ++i) {
    withPalette.insert(withPalette.end(), {std::uint8_t(i), std::uint8_t(255 - i), 7});
  }
  Decoded colour = DecodePcx(MakePcx(5, 8, 1, 3, 1, 4, withPalette));
  ASSERT_TRUE(colour.image) << colour.error;
  EXPECT_EQ(GetImageKind(colour.image.get()), kImageKindPalette8);
  EXPECT_TRUE(SameColour(PixelAt(colour.image.get(), 2, 0), RgbQuad{7, 55, 200, 0}));
}

TEST(PcxCodec, SixteenColoursFromPlanesOrNibbles) {
  // Indices 5, 10, 15: one bit of each in four planes, or two per byte.
  ByteVector planar = {0xA0, 0, 0x60, 0, 0xA0, 0, 0x60, 0};
  ByteVector nibbles = {0x5A, 0xC1, 0xF0};  // 0xF0 has both top bits set: a run of one
  ByteVector headerPalette;
  for (int i = 0; i < 16; ++i) {
    headerPalette.insert(headerPalette.end(), {std::uint8_t(i * 10), std::uint8_t(i * 10 + 1),
                                               std::uint8_t(i * 10 + 2)});
  }
  struct Case {
    const char* name;
    ByteVector file;
    RgbQuad fifteen;  // colour of index 15
  };
  const Case cases[] = {
      {"EGA planes", MakePcx(5, 1, 4, 3, 1, 2, planar, headerPalette), {152, 151, 150, 0}},
      {"nibbles", MakePcx(5, 4, 1, 3, 1, 2, nibbles, headerPalette), {152, 151, 150, 0}},
      {"version 3: default colours",
       MakePcx(3, 1, 4, 3, 1, 2, planar, headerPalette),
       {255, 255, 255, 0}},
      {"empty header palette: default colours",
       MakePcx(5, 1, 4, 3, 1, 2, planar),
       {255, 255, 255, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded decoded = DecodePcx(c.file);
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(GetImageBitCount(decoded.image.get()), 4);
    EXPECT_EQ(Indices(decoded.image.get(), 3, 1), (std::vector<std::uint32_t>{5, 10, 15}));
    EXPECT_TRUE(SameColour(PixelAt(decoded.image.get(), 2, 0), c.fifteen));
  }
}

TEST(PcxCodec, RefusesBrokenFiles) {
  ByteVector badWindow = MakePcx(5, 8, 1, 2, 1, 2, {1, 2});
  badWindow[4] = 5;  // Xmin beyond Xmax
  ByteVector badMaker = MakePcx(5, 8, 1, 2, 1, 2, {1, 2});
  badMaker[0] = 0x0B;
  struct Case {
    const char* name;
    ByteVector file;
  };
  const Case cases[] = {
      {"truncated scan lines", MakePcx(5, 8, 3, 2, 2, 2, {0xC5, 1})},
      {"run cut after its count", MakePcx(5, 8, 1, 2, 1, 2, {0xC2})},
      {"window Xmax < Xmin", badWindow},
      {"line too short for the width", MakePcx(5, 8, 1, 5, 1, 4, ByteVector(8, 1))},
      {"unknown maker", badMaker},
      {"uncompressed",
       [] {
         ByteVector f = MakePcx(5, 8, 1, 2, 1, 2, {1, 2});
         f[2] = 0;
         return f;
       }()},
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
    const char* name;
    ByteVector file;
    const char* reason;
  };
  const Case cases[] = {
      {"65536 x 10", MakePcx(5, 8, 1, 65536, 10, 65535, {}), "65536"},
      {"4000 x 4000 from a few bytes", MakePcx(5, 8, 1, 4000, 4000, 4000, ByteVector(40, 0xFF)),
       "too short"},
  };
  SetGlobalAllocLimit(1 << 20);  // an attempt to allocate would fail for want of memory
  const std::size_t blocks = GlobalLiveBlockCount();
  for (const Case& c : cases) {
    Decoded decoded = DecodePcx(c.file);
    EXPECT_FALSE(decoded.image) << c.name;
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
    ExpectSurvivesDamage(file);
  }
  ExpectSurvivesDamage(MakePcx(5, 8, 4, 2, 1, 2, {10, 20, 30, 40, 50, 60, 0xC2, 0xFF}));
}

}  // namespace
}  // namespace tx::rastio
