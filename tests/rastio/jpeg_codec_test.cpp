#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <jpeglib.h>

#include "image/image_block.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"
#include "tests/rastio/codec_testing.h"
#include "tests/support/test_images.h"

namespace tx::rastio {
namespace {

// Pictures whose neighbouring pixels differ little, so that JPEG's loss
// stays small: gradients, and colour tables that change slowly by index.
PackedImage SmoothImage(int width, int height, int bits, bool gray = false) {
  std::uint32_t colours = bits <= 8 ? 1u << bits : 0;
  PackedImage image(NewImageBlock(width, height, bits, colours, OnAllocFailure::Quiet));
  ImageLock lock(image.get());
  for (std::uint32_t i = 0; i < colours; ++i) {
    auto v = std::uint8_t(bits == 1 ? 120 + 16 * i : bits == 4 ? 100 + 8 * i : i);
    lock.palette()[i] =
        gray ? RgbQuad{v, v, v, 0} : RgbQuad{std::uint8_t(255 - v), std::uint8_t(64 + v / 2), v, 0};
  }
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = lock.topDownRow(y);
    for (int x = 0; x < width; ++x) {
      int v = 40 + 3 * x + 2 * y;
      if (bits == 24) {
        row[3 * x] = std::uint8_t(200 - x - y);
        row[3 * x + 1] = std::uint8_t(v);
        row[3 * x + 2] = std::uint8_t(60 + 2 * y);
      } else if (bits == 8) {
        row[x] = std::uint8_t(v);
      } else if (bits == 4) {
        row[x / 2] |= std::uint8_t(std::min(15, (x + y) / 3) << (x % 2 ? 0 : 4));
      } else {
        row[x / 8] |= std::uint8_t(((x / 2 + y / 2) % 2) << (7 - x % 8));
      }
    }
  }
  return image;
}

ByteVector Encode(GlobalHandle image, int quality = 100) {
  ByteVector out;
  std::string error;
  EXPECT_TRUE(EncodeJpeg(image, quality, out, error)) << error;
  return out;
}

// A JPEG written directly with libjpeg, for what EncodeJpeg never writes:
// CMYK and YCCK files and progressive ones. `samples` are top-down rows.
ByteVector LibjpegFile(const ByteVector& samples, int width, int height, J_COLOR_SPACE input,
                       J_COLOR_SPACE file, bool adobe, bool progressive) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = input == JCS_CMYK ? 4 : 3;
  info.in_color_space = input;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, file);
  jpeg_set_quality(&info, 100, TRUE);
  info.write_Adobe_marker = adobe;
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::size_t rowBytes = std::size_t(width) * std::size_t(info.input_components);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + info.next_scanline * rowBytes);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  ByteVector out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

/// Offset of the last marker `code` (0xFF, code) in a JPEG file.
std::size_t LastMarker(const ByteVector& file, std::uint8_t code) {
  for (std::size_t i = file.size() - 2; i > 0; --i) {
    if (file[i] == 0xFF && file[i + 1] == code) return i;
  }
  return 0;
}

TEST(JpegCodec, RoundTripsEveryDepthItWrites) {
  struct Case {
    int bits;
    bool gray;
    int decodedBits;
    int tolerance;
  } cases[] = {{24, false, 24, 6},
               {8, true, 8, 2},
               {8, false, 24, 8},
               {4, false, 24, 10},
               {1, false, 24, 12}};
  for (const Case& c : cases) {
    for (int width : {1, 2, 3, 5, 37}) {
      PackedImage image = SmoothImage(width, 11, c.bits, c.gray);
      Decoded decoded = DecodeJpeg(Encode(image.get()));
      SCOPED_TRACE(::testing::Message() << c.bits << (c.gray ? " gray" : "") << " width " << width);
      ASSERT_TRUE(decoded.image) << decoded.error;
      EXPECT_EQ(GetImageBitCount(decoded.image.get()), c.decodedBits);
      EXPECT_EQ(GetImageKind(decoded.image.get()), c.gray ? kImageKindGray : kImageKindTrueColour);
      int difference = MaxColourDifference(image.get(), decoded.image.get());
      EXPECT_GE(difference, 0);
      EXPECT_LE(difference, c.tolerance);
      EXPECT_EQ(decoded.orientation, 1);
    }
  }
}

TEST(JpegCodec, QualityIsClampedAndEncoderRefusesOtherDepths) {
  PackedImage image = SmoothImage(32, 24, 24);
  EXPECT_EQ(Encode(image.get(), -5), Encode(image.get(), 1));
  EXPECT_EQ(Encode(image.get(), 500), Encode(image.get(), 100));
  EXPECT_LT(Encode(image.get(), 10).size(), Encode(image.get(), 100).size());

  for (int bits : {16, 32}) {
    PackedImage deep(NewImageBlock(4, 4, bits, 0, OnAllocFailure::Quiet));
    ByteVector out{1, 2, 3};
    std::string error;
    EXPECT_FALSE(EncodeJpeg(deep.get(), 90, out, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(out, (ByteVector{1, 2, 3}));
  }
  std::string error;
  ByteVector out;
  EXPECT_FALSE(EncodeJpeg(nullptr, 90, out, error));
}

TEST(JpegCodec, CmykAndYcckFilesBecomeRgb) {
  // Ink values (0 = none) and the colour each should show.
  struct Swatch {
    std::array<std::uint8_t, 4> ink;
    RgbQuad colour;
  } swatches[] = {{{0, 0, 0, 0}, {255, 255, 255, 0}},
                  {{255, 0, 0, 0}, {255, 255, 0, 0}},     // cyan
                  {{0, 255, 255, 0}, {0, 0, 255, 0}},     // red
                  {{0, 0, 0, 255}, {0, 0, 0, 0}},         // black
                  {{0, 0, 0, 128}, {127, 127, 127, 0}}};  // half black
  constexpr int kSide = 16;
  for (J_COLOR_SPACE space : {JCS_CMYK, JCS_YCCK}) {
    for (bool adobe : {true, false}) {
      if (space == JCS_YCCK && !adobe) continue;  // YCCK is only known from the Adobe marker
      // Adobe's files store ink inverted (255 = none); files without its
      // marker store it plainly. One swatch per 16-row band.
      ByteVector samples;
      for (const Swatch& s : swatches) {
        for (int i = 0; i < kSide * kSide; ++i) {
          for (std::uint8_t ink : s.ink) {
            samples.push_back(adobe ? 255 - ink : ink);
          }
        }
      }
      int height = kSide * int(std::size(swatches));
      Decoded decoded =
          DecodeJpeg(LibjpegFile(samples, kSide, height, JCS_CMYK, space, adobe, false));
      ASSERT_TRUE(decoded.image) << decoded.error;
      ASSERT_EQ(GetImageBitCount(decoded.image.get()), 24);
      for (std::size_t i = 0; i < std::size(swatches); ++i) {
        RgbQuad got = PixelAt(decoded.image.get(), kSide / 2, int(i) * kSide + kSide / 2);
        RgbQuad want = swatches[i].colour;
        EXPECT_NEAR(got.red, want.red, 3) << i << " space " << space << " adobe " << adobe;
        EXPECT_NEAR(got.green, want.green, 3) << i << " space " << space << " adobe " << adobe;
        EXPECT_NEAR(got.blue, want.blue, 3) << i << " space " << space << " adobe " << adobe;
      }
    }
  }
}

TEST(JpegCodec, ReportsTheExifOrientationOfAnApp1Segment) {
  ByteVector file = Encode(SmoothImage(8, 8, 24).get(), 90);
  const ByteVector app1 = {0xFF, 0xE1, 0, 36, 'E', 'x', 'i', 'f', 0,    0, 'I', 'I',
                           42,   0,    8, 0,  0,   0,   1,   0,   0x12, 1, 3,   0,
                           1,    0,    0, 0,  6,   0,   0,   0,   0,    0, 0,   0};
  file.insert(file.begin() + 2, app1.begin(), app1.end());
  Decoded decoded = DecodeJpeg(file);
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(decoded.orientation, 6);
}

TEST(JpegCodec, ScalesInTheDctToTheSmallestEighthAtLeastTheMinimum) {
  ByteVector file = Encode(SmoothImage(640, 480, 24).get(), 90);
  struct Case {
    int minWidth, minHeight, width, height;
  };
  const Case cases[] = {{0, 0, 640, 480},     {80, 60, 80, 60},     {160, 120, 160, 120},
                        {161, 120, 240, 180}, {100, 400, 560, 420}, {10, 61, 160, 120},
                        {9999, 1, 640, 480}};
  for (const Case& c : cases) {
    Decoded decoded = DecodeJpegAtLeast(file, c.minWidth, c.minHeight);
    ASSERT_TRUE(decoded.image) << decoded.error;
    std::uint16_t width = 0, height = 0;
    GetImageSize(decoded.image.get(), width, height);
    EXPECT_EQ(width, c.width) << c.minWidth << "x" << c.minHeight;
    EXPECT_EQ(height, c.height) << c.minWidth << "x" << c.minHeight;
  }
  // A photo taken on its side: the minimum applies once it is upright, so
  // the 130 wide minimum limits the stored height (160 x 120 would do
  // unturned).
  const ByteVector app1 = {0xFF, 0xE1, 0, 36, 'E', 'x', 'i', 'f', 0,    0, 'I', 'I',
                           42,   0,    8, 0,  0,   0,   1,   0,   0x12, 1, 3,   0,
                           1,    0,    0, 0,  6,   0,   0,   0,   0,    0, 0,   0};
  file.insert(file.begin() + 2, app1.begin(), app1.end());
  Decoded turned = DecodeJpegAtLeast(file, 130, 100);
  ASSERT_TRUE(turned.image) << turned.error;
  std::uint16_t width = 0, height = 0;
  GetImageSize(turned.image.get(), width, height);
  EXPECT_EQ(width, 240);
  EXPECT_EQ(height, 180);
}

TEST(JpegCodec, LostPixelsFailButAMissingEndMarkerDoesNot) {
  PackedImage image = SmoothImage(48, 32, 24);
  ByteVector baseline = Encode(image.get(), 90);
  Decoded whole = DecodeJpeg(baseline);
  ASSERT_TRUE(whole.image);

  ByteVector noEnd(baseline.begin(), baseline.end() - 2);
  Decoded withoutEnd = DecodeJpeg(noEnd);
  ASSERT_TRUE(withoutEnd.image) << withoutEnd.error;
  EXPECT_EQ(MaxColourDifference(whole.image.get(), withoutEnd.image.get()), 0);

  ::testing::internal::CaptureStderr();
  Decoded half = DecodeJpeg(ByteSpan(baseline.data(), baseline.size() / 2 + 40));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "warnings must stay quiet";
  EXPECT_FALSE(half.image);
  EXPECT_FALSE(half.error.empty());

  // Progressive: whole file fine; cut before the last scan, it is refused.
  ByteVector samples;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 48; ++x) {
      RgbQuad p = PixelAt(image.get(), x, y);
      samples.insert(samples.end(), {p.red, p.green, p.blue});
    }
  }
  ByteVector progressive = LibjpegFile(samples, 48, 32, JCS_RGB, JCS_YCbCr, false, true);
  Decoded decoded = DecodeJpeg(progressive);
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_LE(MaxColourDifference(image.get(), decoded.image.get()), 6);
  std::size_t lastScan = LastMarker(progressive, 0xDA);
  EXPECT_FALSE(DecodeJpeg(ByteSpan(progressive.data(), lastScan)).image);

  // Hundreds of repeats of the first scan are refused rather than decoded
  // again and again. The scan runs from its SOS to the next marker (FF 00
  // is a stuffed byte, FF D0..D7 a restart).
  std::size_t firstScan = 0;
  while (!(progressive[firstScan] == 0xFF && progressive[firstScan + 1] == 0xDA))
    ++firstScan;
  std::size_t scanEnd = firstScan + 2;
  while (!(progressive[scanEnd] == 0xFF && progressive[scanEnd + 1] != 0 &&
           (progressive[scanEnd + 1] & 0xF8) != 0xD0)) {
    ++scanEnd;
  }
  ByteVector manyScans = progressive;
  for (int i = 0; i < 300; ++i) {
    manyScans.insert(manyScans.begin() + std::ptrdiff_t(scanEnd),
                     progressive.begin() + std::ptrdiff_t(firstScan),
                     progressive.begin() + std::ptrdiff_t(scanEnd));
  }
  Decoded refused = DecodeJpeg(manyScans);
  EXPECT_FALSE(refused.image);
  EXPECT_NE(refused.error.find("scans"), std::string::npos) << refused.error;
}

TEST(JpegCodec, DamagedFilesFailCleanly) {
  ExpectSoundOnDamage(DecodeJpeg, Encode(SmoothImage(16, 8, 24).get(), 75));
  ExpectSoundOnDamage(DecodeJpeg, Encode(SmoothImage(9, 9, 8, true).get(), 75));
}

TEST(JpegCodec, OversizedPicturesAreRefusedBeforeAllocating) {
  ByteVector file = Encode(SmoothImage(48, 32, 24).get(), 90);
  std::size_t sof = LastMarker(file, 0xC0);
  ASSERT_GT(sof, 0u);
  for (int i = 5; i < 9; ++i)
    file[sof + std::size_t(i)] = 0xFF;  // 65535 x 65535
  std::size_t blocksBefore = GlobalLiveBlockCount();
  Decoded decoded = DecodeJpeg(file);
  EXPECT_FALSE(decoded.image);
  EXPECT_NE(decoded.error.find("pixels"), std::string::npos) << decoded.error;
  EXPECT_EQ(GlobalLiveBlockCount(), blocksBefore);

  SetPictureSizeLimits(100, 1000);
  decoded = DecodeJpeg(Encode(SmoothImage(48, 32, 24).get(), 90));
  SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels);
  EXPECT_FALSE(decoded.image);
  EXPECT_NE(decoded.error.find("pixels"), std::string::npos) << decoded.error;
}

}  // namespace
}  // namespace tx::rastio
