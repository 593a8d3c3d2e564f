#include <gtest/gtest.h>

#include <array>
#include <random>

#include <png.h>

#include "image/image_block.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"
#include "tests/rastio/codec_testing.h"
#include "tests/support/test_images.h"

namespace tx::rastio {
namespace {

// A PNG file written directly with libpng, for the variants EncodePng never
// writes. Pixels are row-major samples (gray, gray+alpha, RGB, RGBA or an
// index), packed here to the file's depth.
struct PngSample {
  int width;
  int height;
  int colourType;
  int depth;
  std::vector<std::array<std::uint16_t, 4>> pixels = {};
  std::vector<png_color> palette = {};
  std::vector<png_byte> paletteAlpha = {};
  const png_color_16* transparentColour = nullptr;
  bool interlace = false;
  ByteVector exif = {};
  bool exifAfterPixels = false;
};

ByteVector WritePng(const PngSample& s) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  ByteVector out;
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep bytes, std::size_t count) {
        auto* target = static_cast<ByteVector*>(png_get_io_ptr(p));
        target->insert(target->end(), bytes, bytes + count);
      },
      nullptr);
  png_set_IHDR(png, info, png_uint_32(s.width), png_uint_32(s.height), s.depth, s.colourType,
               s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
  if (!s.paletteAlpha.empty() || s.transparentColour) {
    png_set_tRNS(png, info, s.paletteAlpha.data(), int(s.paletteAlpha.size()), s.transparentColour);
  }
  auto exif = const_cast<png_bytep>(s.exif.data());
  if (!s.exif.empty() && !s.exifAfterPixels)
    png_set_eXIf_1(png, info, png_uint_32(s.exif.size()), exif);
  png_write_info(png, info);
  int channels = png_get_channels(png, info);
  std::size_t rowBytes = png_get_rowbytes(png, info);
  std::vector<ByteVector> rows(std::size_t(s.height), ByteVector(rowBytes));
  std::vector<png_bytep> rowPointers;
  for (int y = 0; y < s.height; ++y) {
    ByteVector& row = rows[std::size_t(y)];
    for (int x = 0; x < s.width; ++x) {
      for (int c = 0; c < channels; ++c) {
        unsigned v = s.pixels[std::size_t(y * s.width + x)][std::size_t(c)];
        std::size_t bit = std::size_t((x * channels + c) * s.depth);
        if (s.depth == 16) {
          row[bit / 8] = png_byte(v >> 8);
          row[bit / 8 + 1] = png_byte(v);
        } else {
          row[bit / 8] |= png_byte(v << (8 - s.depth - bit % 8));
        }
      }
    }
    rowPointers.push_back(row.data());
  }
  png_write_image(png, rowPointers.data());
  if (!s.exif.empty() && s.exifAfterPixels)
    png_set_eXIf_1(png, info, png_uint_32(s.exif.size()), exif);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

ByteVector Encode(GlobalHandle image) {
  ByteVector out;
  std::string error;
  EXPECT_TRUE(EncodePng(image, out, error)) << error;
  return out;
}

TEST(PngCodec, RoundTripsEveryDepthExactly) {
  for (auto [bits, gray] : {std::pair{24, false}, {8, true}, {8, false}, {4, false}, {1, false}}) {
    for (int width : {1, 2, 3, 5, 17}) {
      PackedImage image = MakePatternImage(width, 7, bits, gray);
      Decoded decoded = DecodePng(Encode(image.get()));
      SCOPED_TRACE(::testing::Message() << bits << (gray ? " gray" : "") << " width " << width);
      ASSERT_TRUE(decoded.image) << decoded.error;
      EXPECT_EQ(GetImageBitCount(decoded.image.get()), bits);
      EXPECT_EQ(GetImageKind(decoded.image.get()), GetImageKind(image.get()));
      EXPECT_EQ(MaxColourDifference(image.get(), decoded.image.get()), 0);
      if (bits <= 8) {
        EXPECT_EQ(ImageLock(decoded.image.get()).colourCount(), 1u << bits);
      }
    }
  }
}

// A picture with what makes photos hard to pack: gradients, edges between
// cells and a little noise in every channel.
PackedImage PhotoLike(int width, int height, int bits, bool gray) {
  PackedImage image(
      NewImageBlock(width, height, bits, bits == 8 ? 256u : 0u, OnAllocFailure::Quiet));
  ImageLock lock(image.get());
  if (gray) FillGrayRamp(lock.palette());
  std::mt19937 random(7);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = lock.row(y);
    for (int i = 0; i < width * bits / 8; ++i) {
      int cell = (i / 3 / 16 + y / 12) % 5;
      row[i] = std::uint8_t(cell * 40 + (i % 3) * 20 + y / 4 + int(random() % 6));
    }
  }
  return image;
}

/// The same picture written with libpng's defaults (adaptive filters, level 6).
std::size_t DefaultPngBytes(GlobalHandle image, bool gray) {
  ImageLock lock(image);
  PngSample sample{lock.width(), lock.height(), gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, 8};
  for (int y = 0; y < lock.height(); ++y) {
    for (int x = 0; x < lock.width(); ++x) {
      const std::uint8_t* p = lock.topDownRow(y) + (gray ? x : 3 * x);
      sample.pixels.push_back(gray ? std::array<std::uint16_t, 4>{p[0]}
                                   : std::array<std::uint16_t, 4>{p[2], p[1], p[0]});
    }
  }
  return WritePng(sample).size();
}

TEST(PngCodec, FastWriterRoundTripsPhotosExactlyAndStaysSmall) {
  for (auto [bits, gray] : {std::pair{24, false}, {8, true}}) {
    for (auto [width, height] : {std::pair{1, 1}, {301, 97}, {640, 480}}) {
      PackedImage image = PhotoLike(width, height, bits, gray);
      ByteVector file = Encode(image.get());
      Decoded decoded = DecodePng(file);
      SCOPED_TRACE(::testing::Message() << bits << " bits, " << width << " x " << height);
      ASSERT_TRUE(decoded.image) << decoded.error;
      EXPECT_EQ(GetImageKind(decoded.image.get()), GetImageKind(image.get()));
      EXPECT_EQ(MaxColourDifference(image.get(), decoded.image.get()), 0);
      // Speed is bought with a little size, never with much.
      if (width > 1) {
        EXPECT_LE(double(file.size()), 1.15 * double(DefaultPngBytes(image.get(), gray)));
      }
    }
  }
}

TEST(PngCodec, IndexesPastAShortTableComeBackBlack) {
  PackedImage image(NewImageBlock(5, 2, 4, 3, OnAllocFailure::Quiet));
  {
    ImageLock lock(image.get());
    lock.palette()[0] = {10, 20, 30, 0};
    lock.palette()[1] = {40, 50, 60, 0};
    lock.palette()[2] = {70, 80, 90, 0};
    lock.topDownRow(0)[0] = 0x12;
    lock.topDownRow(1)[1] = 0x9F;
  }
  Decoded decoded = DecodePng(Encode(image.get()));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(MaxColourDifference(image.get(), decoded.image.get()), 0);
  EXPECT_EQ(RawPixelAt(decoded.image.get(), 3, 1), 15u);
}

TEST(PngCodec, EncoderRefusesOtherDepths) {
  for (int bits : {16, 32}) {
    PackedImage deep(NewImageBlock(4, 4, bits, 0, OnAllocFailure::Quiet));
    ByteVector out{7};
    std::string error;
    EXPECT_FALSE(EncodePng(deep.get(), out, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(out, ByteVector{7});
  }
}

TEST(PngCodec, VariantsComeBackWithTheRightDepthAndColours) {
  const png_color_16 grayKey{0, 0, 0, 0, 50}, rgbKey{0, 1, 2, 3, 0};
  const RgbQuad white{255, 255, 255, 0}, black{0, 0, 0, 0};
  using Pixels = std::vector<std::array<std::uint16_t, 4>>;
  struct Case {
    const char* name;
    int colourType;
    int depth;
    Pixels pixels;  // 2 x 2
    int bits;
    int kind;
    std::array<RgbQuad, 4> expected;  // B, G, R
    std::vector<png_color> palette = {};
    std::vector<png_byte> paletteAlpha = {};
    const png_color_16* key = nullptr;
  } cases[] = {
      // clang-format off
      {"RGB 16-bit", PNG_COLOR_TYPE_RGB, 16,
       Pixels{{2570, 5140, 7710}, {65535, 0, 257}, {}, {1, 2, 3}}, 24, kImageKindTrueColour,
       {{{30, 20, 10, 0}, {1, 0, 255, 0}, black, black}}},
      {"RGBA", PNG_COLOR_TYPE_RGBA, 8,
       Pixels{{200, 100, 0, 0}, {200, 100, 0, 255}, {0, 0, 0, 128}, {0, 0, 255, 51}}, 24,
       kImageKindTrueColour, {{white, {0, 100, 200, 0}, {127, 127, 127, 0}, {255, 204, 204, 0}}}},
      {"gray+alpha 16-bit", PNG_COLOR_TYPE_GRAY_ALPHA, 16,
       Pixels{{12850, 0}, {12850, 65535}, {0, 32896}, {65535, 65535}}, 24, kImageKindTrueColour,
       {{white, {50, 50, 50, 0}, {127, 127, 127, 0}, white}}},
      {"palette+tRNS", PNG_COLOR_TYPE_PALETTE, 8, Pixels{{0}, {1}, {2}, {1}}, 24,
       kImageKindTrueColour, {{white, {0, 255, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}}},
       {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {0, 255}},
      {"palette 2-bit", PNG_COLOR_TYPE_PALETTE, 2, Pixels{{3}, {2}, {1}, {0}}, 4, kImageKind4Bit,
       {{{12, 11, 10, 0}, {9, 8, 7, 0}, {6, 5, 4, 0}, {3, 2, 1, 0}}},
       {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}}},
      {"gray 16-bit", PNG_COLOR_TYPE_GRAY, 16, Pixels{{0}, {65535}, {257 * 77}, {257 * 200}}, 8,
       kImageKindGray, {{black, white, {77, 77, 77, 0}, {200, 200, 200, 0}}}},
      {"gray 2-bit", PNG_COLOR_TYPE_GRAY, 2, Pixels{{0}, {1}, {2}, {3}}, 8, kImageKindGray,
       {{black, {85, 85, 85, 0}, {170, 170, 170, 0}, white}}},
      {"gray 1-bit", PNG_COLOR_TYPE_GRAY, 1, Pixels{{1}, {0}, {0}, {1}}, 1, kImageKind1Bit,
       {{white, black, black, white}}},
      {"gray with a transparent value", PNG_COLOR_TYPE_GRAY, 8, Pixels{{50}, {100}, {0}, {50}}, 24,
       kImageKindTrueColour, {{white, {100, 100, 100, 0}, black, white}}, {}, {}, &grayKey},
      {"RGB with a transparent colour", PNG_COLOR_TYPE_RGB, 8, Pixels{{1, 2, 3}, {1, 2, 4}, {}, {}},
       24, kImageKindTrueColour, {{white, {4, 2, 1, 0}, black, black}}, {}, {}, &rgbKey},
      // clang-format on
  };
  for (const Case& c : cases) {
    for (bool interlace : {false, true}) {
      PngSample sample{2,     2,        c.colourType, c.depth, c.pixels, c.palette, c.paletteAlpha,
                       c.key, interlace};
      Decoded decoded = DecodePng(WritePng(sample));
      SCOPED_TRACE(::testing::Message() << c.name << (interlace ? " interlaced" : ""));
      ASSERT_TRUE(decoded.image) << decoded.error;
      EXPECT_EQ(GetImageBitCount(decoded.image.get()), c.bits);
      EXPECT_EQ(GetImageKind(decoded.image.get()), c.kind);
      for (int i = 0; i < 4; ++i) {
        RgbQuad got = PixelAt(decoded.image.get(), i % 2, i / 2), want = c.expected[std::size_t(i)];
        EXPECT_NEAR(got.red, want.red, 1) << i;
        EXPECT_NEAR(got.green, want.green, 1) << i;
        EXPECT_NEAR(got.blue, want.blue, 1) << i;
      }
    }
  }
}

TEST(PngCodec, OrientationComesFromTheExifChunkBeforeOrAfterThePixels) {
  const ByteVector exif = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3,
                           0,   0,   0, 1,  0, 8, 0, 0, 0, 0, 0,    0,    0, 0};
  for (bool after : {false, true}) {
    PngSample sample{2, 1, PNG_COLOR_TYPE_GRAY, 8, {{1}, {2}}};
    sample.exif = exif;
    sample.exifAfterPixels = after;
    Decoded decoded = DecodePng(WritePng(sample));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.orientation, 8) << after;
  }
}

TEST(PngCodec, DamagedFilesFailCleanlyButAMissingEndChunkIsAccepted) {
  ByteVector file = Encode(MakePatternImage(5, 3, 24).get());
  Decoded noEnd = DecodePng(ByteSpan(file.data(), file.size() - 12));
  ASSERT_TRUE(noEnd.image) << noEnd.error;
  EXPECT_EQ(MaxColourDifference(noEnd.image.get(), MakePatternImage(5, 3, 24).get()), 0);

  ExpectSoundOnDamage(DecodePng, file);
  ExpectSoundOnDamage(DecodePng, Encode(MakePatternImage(7, 3, 4).get()));
  PngSample sample{5, 4, PNG_COLOR_TYPE_GRAY_ALPHA, 8};
  sample.pixels.assign(20, {100, 50});
  sample.interlace = true;
  ExpectSoundOnDamage(DecodePng, WritePng(sample));
}

TEST(PngCodec, OversizedPicturesAreRefusedBeforeAllocating) {
  PngSample wide{70000, 1, PNG_COLOR_TYPE_GRAY, 1};
  wide.pixels.resize(70000);
  ByteVector file = WritePng(wide);
  std::size_t blocksBefore = GlobalLiveBlockCount();
  Decoded decoded = DecodePng(file);
  EXPECT_FALSE(decoded.image);
  EXPECT_EQ(decoded.error.find("memory"), std::string::npos) << decoded.error;
  EXPECT_FALSE(decoded.error.empty());
  EXPECT_EQ(GlobalLiveBlockCount(), blocksBefore);

  SetPictureSizeLimits(100, 1000);
  decoded = DecodePng(Encode(MakePatternImage(50, 50, 24).get()));
  SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels);
  EXPECT_FALSE(decoded.image);
  EXPECT_NE(decoded.error.find("pixels"), std::string::npos) << decoded.error;
}

}  // namespace
}  // namespace tx::rastio
