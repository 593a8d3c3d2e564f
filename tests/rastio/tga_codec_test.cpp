#include <gtest/gtest.h>

#include <functional>
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
    PutU32(out, 0);
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
    Decoded decoded = DecodeTga(bytes);
    if (decoded.image) {
      EXPECT_TRUE(ImageLock(decoded.image.get()).valid());
    } else {
      EXPECT_FALSE(decoded.error.empty());
    }
  };
  for (std::size_t n = 0; n < file.size(); ++n)
    check(ByteVector(file.begin(), file.begin() + n));
  std::mt19937 random(20240613);
  for (int i = 0; i < 300; ++i) {
    ByteVector copy = file;
    for (int flips = 1 + int(random() % 3); flips > 0; --flips) {
      copy[random() % copy.size()] ^= std::uint8_t(1u << (random() % 8));
    }
    check(copy);
  }
  EXPECT_EQ(GlobalLiveBlockCount(), blocks);
}

TEST(TgaCodec, RoundTripsEveryWritableDepthPlainAndRunLength) {
  struct Depth {
    int bits;
    bool gray;
  };
  for (Depth depth :
       {Depth{1, false}, Depth{4, false}, Depth{8, false}, Depth{8, true}, Depth{24, false}}) {
    for (bool rle : {false, true}) {
      for (int width : {1, 2, 3, 5, 8, 33}) {
        for (int height : {1, 5}) {
          SCOPED_TRACE(::testing::Message()
                       << depth.bits << " bits" << (depth.gray ? " gray" : "")
                       << (rle ? " rle " : " plain ") << width << " x " << height);
          PackedImage image = MakePatternImage(width, height, depth.bits, depth.gray);
          ByteVector file;
          std::string error;
          ASSERT_TRUE(EncodeTga(image.get(), rle, file, error)) << error;
          Decoded decoded = DecodeTga(file);
          ASSERT_TRUE(decoded.image) << decoded.error;
          EXPECT_EQ(GetImageBitCount(decoded.image.get()), depth.bits == 24 ? 24 : 8);
          EXPECT_EQ(MaxColourDifference(decoded.image.get(), image.get()), 0);
          EXPECT_EQ(Indices(decoded.image.get(), width, height),
                    Indices(image.get(), width, height));
          if (depth.gray) {
            EXPECT_EQ(GetImageKind(decoded.image.get()), kImageKindGray);
          }
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
        for (int x = 0; x < c.width; ++x)
          lock.row(y)[x] = c.value(x);
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
    std::vector<std::uint32_t> topDown;  // file pixels 1 2 3 4 in image order
  };
  for (Case c : {Case{0x00, {3, 4, 1, 2}}, Case{0x10, {4, 3, 2, 1}}, Case{0x20, {1, 2, 3, 4}},
                 Case{0x30, {2, 1, 4, 3}}}) {
    SCOPED_TRACE(int(c.descriptor));
    for (std::uint8_t type : {3, 11}) {
      TgaFile file{.type = type,
                   .pixelBits = 8,
                   .width = 2,
                   .height = 2,
                   .descriptor = c.descriptor,
                   .pixels = type == 3 ? ByteVector{1, 2, 3, 4} : ByteVector{3, 1, 2, 3, 4}};
      Decoded decoded = DecodeTga(file.bytes());
      ASSERT_TRUE(decoded.image) << decoded.error;
      EXPECT_EQ(Indices(decoded.image.get(), 2, 2), c.topDown);
    }
  }
}

TEST(TgaCodec, ReadsDirectColourDepths) {
  struct Case {
    std::uint8_t bits;
    ByteVector pixels;
    std::vector<RgbQuad> expected;
  };
  const std::vector<RgbQuad> fiveBitColours = {
      {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {132, 132, 132, 0}};
  const Case cases[] = {
      {16, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x80, 0x10, 0x42}, fiveBitColours},
      {15, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42}, fiveBitColours},
      {32,
       {1, 2, 3, 0, 4, 5, 6, 255, 7, 8, 9, 128, 0, 0, 0, 0},
       {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}, {0, 0, 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.bits));
    TgaFile file{.pixelBits = c.bits, .width = 4, .pixels = c.pixels};
    Decoded decoded = DecodeTga(file.bytes());
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(GetImageBitCount(decoded.image.get()), 24);
    for (int x = 0; x < 4; ++x) {
      EXPECT_TRUE(SameColour(PixelAt(decoded.image.get(), x, 0), c.expected[std::size_t(x)]))
          << "pixel " << x;
    }
  }
}

TEST(TgaCodec, RunLengthPacketsMayCrossLines) {
  // 3 x 3, bottom row first: a run of four crosses into the middle row, a raw
  // packet of two ends it, and a run reaching past the last pixel is cut.
  TgaFile file{.type = 10,
               .width = 3,
               .height = 3,
               .pixels = {0x83, 1, 1, 1, 0x01, 2, 2, 2, 3, 3, 3, 0x85, 4, 4, 4}};
  Decoded decoded = DecodeTga(file.bytes());
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(Indices(decoded.image.get(), 3, 3), (std::vector<std::uint32_t>{
                                                    0x040404, 0x040404, 0x040404,  // top
                                                    0x010101, 0x020202, 0x030303,  //
                                                    0x010101, 0x010101, 0x010101,  // bottom
                                                }));
}

TEST(TgaCodec, ColourMapStartsAtItsFirstEntry) {
  struct Case {
    std::uint8_t mapBits;
    ByteVector map;
  };
  // Two entries for indices 3 and 4: red (10, 20, 30 as B, G, R) and white.
  for (Case c : {Case{24, {10, 20, 30, 255, 255, 255}}, Case{32, {10, 20, 30, 0, 255, 255, 255, 0}},
                 Case{16, {0x00, 0x7C, 0xFF, 0x7F}}}) {
    SCOPED_TRACE(int(c.mapBits));
    TgaFile file{.type = 1,
                 .pixelBits = 8,
                 .width = 4,
                 .pixels = {3, 4, 0, 200},
                 .mapType = 1,
                 .mapFirst = 3,
                 .mapLength = 2,
                 .mapBits = c.mapBits,
                 .map = c.map,
                 .id = {'h', 'e', 'l', 'l', 'o'}};
    Decoded decoded = DecodeTga(file.bytes());
    ASSERT_TRUE(decoded.image) << decoded.error;
    ImageLock lock(decoded.image.get());
    EXPECT_EQ(lock.colourCount(), 256u);
    EXPECT_EQ(Indices(decoded.image.get(), 4, 1), (std::vector<std::uint32_t>{3, 4, 0, 200}));
    RgbQuad first = c.mapBits == 16 ? RgbQuad{0, 0, 255, 0} : RgbQuad{10, 20, 30, 0};
    EXPECT_TRUE(SameColour(PixelAt(decoded.image.get(), 0, 0), first));
    EXPECT_TRUE(SameColour(PixelAt(decoded.image.get(), 1, 0), RgbQuad{255, 255, 255, 0}));
    EXPECT_TRUE(SameColour(PixelAt(decoded.image.get(), 3, 0), RgbQuad{}))
        << "indices outside the map are black";
  }
}

TEST(TgaCodec, IgnoresTrailingBytesSuchAsAFooter) {
  PackedImage image = MakePatternImage(3, 3, 24);
  ByteVector file;
  std::string error;
  ASSERT_TRUE(EncodeTga(image.get(), false, file, error));
  ByteVector footer(26, 0);
  std::copy_n("any signature text", 18, footer.begin() + 8);
  file.insert(file.end(), footer.begin(), footer.end());
  Decoded decoded = DecodeTga(file);
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(MaxColourDifference(decoded.image.get(), image.get()), 0);
}

TEST(TgaCodec, RefusesHeadersNoTgaFileHas) {
  const TgaFile good{.width = 2, .pixels = {1, 2, 3, 4, 5, 6}};
  ASSERT_TRUE(DecodeTga(good.bytes()).image);
  auto with = [&](auto change) {
    TgaFile file = good;
    change(file);
    return file.bytes();
  };
  struct Case {
    const char* name;
    ByteVector file;
  };
  const Case cases[] = {
      {"no image", with([](TgaFile& f) { f.type = 0; })},
      {"unknown type", with([](TgaFile& f) { f.type = 32; })},
      {"colour map type 2", with([](TgaFile& f) { f.mapType = 2; })},
      {"colour-mapped without a map", with([](TgaFile& f) {
         f.type = 1;
         f.pixelBits = 8;
       })},
      {"map entries without a map", with([](TgaFile& f) { f.mapLength = 4; })},
      {"map entries of 17 bits", with([](TgaFile& f) {
         f.mapType = 1;
         f.mapLength = 1;
         f.mapBits = 17;
         f.map = {0, 0, 0};
       })},
      {"8-bit true colour", with([](TgaFile& f) { f.pixelBits = 8; })},
      {"16-bit gray", with([](TgaFile& f) {
         f.type = 3;
         f.pixelBits = 16;
       })},
      {"16-bit colour-mapped", with([](TgaFile& f) {
         f.type = 1;
         f.pixelBits = 16;
         f.mapType = 1;
         f.mapLength = 1;
         f.mapBits = 24;
         f.map = {0, 0, 0};
       })},
      {"map beyond 8-bit indices", with([](TgaFile& f) {
         f.type = 1;
         f.pixelBits = 8;
         f.mapType = 1;
         f.mapFirst = 256;
         f.mapLength = 1;
         f.mapBits = 24;
         f.map = {0, 0, 0};
       })},
      {"interleaved", with([](TgaFile& f) { f.descriptor = 0x40; })},
      {"zero width", with([](TgaFile& f) { f.width = 0; })},
      {"map cut short", with([](TgaFile& f) {
         f.type = 1;
         f.pixelBits = 8;
         f.mapType = 1;
         f.mapLength = 300;
         f.mapBits = 24;
         f.map = {};
         f.pixels = {0, 0};
       })},
      {"pixels cut short", with([](TgaFile& f) { f.pixels.pop_back(); })},
      {"packets cut short", with([](TgaFile& f) {
         f.type = 10;
         f.pixels = {0x81, 1, 2};
       })},
      {"header cut short", ByteVector(10, 0)},
  };
  for (const Case& c : cases) {
    Decoded decoded = DecodeTga(c.file);
    EXPECT_FALSE(decoded.image) << c.name;
    EXPECT_FALSE(decoded.error.empty()) << c.name;
  }
}

TEST(TgaCodec, RefusesHugeOrImpossibleSizesBeforeAllocating) {
  struct Case {
    const char* name;
    ByteVector file;
    const char* reason;
  };
  const Case cases[] = {
      {"65535 x 65535", TgaFile{.width = 65535, .height = 65535}.bytes(), "pixels"},
      {"4000 x 4000 from a few packets",
       TgaFile{.type = 11,
               .pixelBits = 8,
               .width = 4000,
               .height = 4000,
               .pixels = ByteVector(40, 0xFF)}
           .bytes(),
       "ends before"},
  };
  SetGlobalAllocLimit(1 << 20);  // an attempt to allocate would fail for want of memory
  const std::size_t blocks = GlobalLiveBlockCount();
  for (const Case& c : cases) {
    Decoded decoded = DecodeTga(c.file);
    EXPECT_FALSE(decoded.image) << c.name;
    EXPECT_NE(decoded.error.find(c.reason), std::string::npos) << decoded.error;
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
  for (int bits : {4, 8, 24}) {
    for (bool rle : {false, true}) {
      PackedImage image = MakePatternImage(5, 3, bits, bits == 4);
      ByteVector file;
      std::string error;
      ASSERT_TRUE(EncodeTga(image.get(), rle, file, error));
      ExpectSurvivesDamage(file);
    }
  }
  PackedImage gray = MakePatternImage(4, 3, 8, true);
  ByteVector file;
  std::string error;
  ASSERT_TRUE(EncodeTga(gray.get(), true, file, error));
  ExpectSurvivesDamage(file);
  ExpectSurvivesDamage(TgaFile{
      .type = 10,
      .pixelBits = 16,
      .width = 3,
      .height = 2,
      .pixels = {0x83, 1, 2, 0x01, 3, 4, 5,
                 6}}.bytes());
}

}  // namespace
}  // namespace tx::rastio
