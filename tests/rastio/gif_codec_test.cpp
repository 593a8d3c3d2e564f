#include <gtest/gtest.h>

#include <random>

#include "image/image_block.h"
#include "rastio/codec.h"
#include "rastio/rastio.h"
#include "tests/rastio/codec_testing.h"
#include "tests/support/test_images.h"

namespace tx::rastio {
namespace {

// ---- a hand-made GIF, independent of the codec under test

struct Rgb {
  std::uint8_t red, green, blue;
};

struct Frame {
  int left = 0;
  int top = 0;
  int width = 1;
  int height = 1;
  std::vector<std::uint8_t> pixels{};  // top-down, row after row
  std::vector<Rgb> localMap{};         // empty: none; else a power of two entries
  bool interlaced = false;
  int transparent = -1;
};

void Put16(ByteVector& file, int value) {
  file.push_back(std::uint8_t(value));
  file.push_back(std::uint8_t(value >> 8));
}

void PutMap(ByteVector& file, const std::vector<Rgb>& map) {
  for (Rgb c : map)
    file.insert(file.end(), {c.red, c.green, c.blue});
}

int MapBits(std::size_t entries) {
  int bits = 1;
  while ((1u << bits) < entries)
    ++bits;
  return bits;
}

// Image data made of literal codes only, with a clear code before the code
// width would grow: valid LZW that any decoder reads without a dictionary.
void PutPixels(ByteVector& file, const std::vector<std::uint8_t>& indices, int bits) {
  int minCodeSize = std::max(2, bits);
  int clear = 1 << minCodeSize;
  file.push_back(std::uint8_t(minCodeSize));
  ByteVector packed;
  std::uint32_t pending = 0;
  int pendingBits = 0;
  auto put = [&](int code) {
    pending |= std::uint32_t(code) << pendingBits;
    for (pendingBits += minCodeSize + 1; pendingBits >= 8; pendingBits -= 8, pending >>= 8) {
      packed.push_back(std::uint8_t(pending));
    }
  };
  put(clear);
  int sinceClear = 0;
  for (std::uint8_t index : indices) {
    if (sinceClear == clear - 2) {
      put(clear);
      sinceClear = 0;
    }
    put(index);
    ++sinceClear;
  }
  put(clear + 1);
  if (pendingBits > 0) packed.push_back(std::uint8_t(pending));
  for (std::size_t at = 0; at < packed.size(); at += 255) {
    std::size_t n = std::min<std::size_t>(255, packed.size() - at);
    file.push_back(std::uint8_t(n));
    file.insert(file.end(), packed.begin() + at, packed.begin() + at + n);
  }
  file.push_back(0);
}

ByteVector BuildGif(int width, int height, const std::vector<Rgb>& globalMap, int background,
                    const std::vector<Frame>& frames) {
  ByteVector file = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(file, width);
  Put16(file, height);
  file.push_back(globalMap.empty() ? 0 : std::uint8_t(0xF0 | (MapBits(globalMap.size()) - 1)));
  file.push_back(std::uint8_t(background));
  file.push_back(0);
  PutMap(file, globalMap);
  for (const Frame& f : frames) {
    if (f.transparent >= 0) {
      file.insert(file.end(), {0x21, 0xF9, 4, 1, 0, 0, std::uint8_t(f.transparent), 0});
    }
    file.push_back(0x2C);
    for (int v : {f.left, f.top, f.width, f.height})
      Put16(file, v);
    const std::vector<Rgb>& map = f.localMap.empty() ? globalMap : f.localMap;
    int bits = MapBits(map.empty() ? 256 : map.size());
    file.push_back(
        std::uint8_t((f.localMap.empty() ? 0 : 0x80 | (bits - 1)) | (f.interlaced ? 0x40 : 0)));
    PutMap(file, f.localMap);
    std::vector<std::uint8_t> stored;
    if (f.interlaced) {
      for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
        for (int y = start; y < f.height; y += step) {
          stored.insert(stored.end(), f.pixels.begin() + y * f.width,
                        f.pixels.begin() + (y + 1) * f.width);
        }
      }
    } else {
      stored = f.pixels;
    }
    PutPixels(file, stored, bits);
  }
  file.push_back(0x3B);
  return file;
}

const std::vector<Rgb> kFour = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};

std::vector<std::uint8_t> Ramp(int count, int modulo) {
  std::vector<std::uint8_t> pixels;
  for (int i = 0; i < count; ++i)
    pixels.push_back(std::uint8_t(i % modulo));
  return pixels;
}

ByteVector Encode(GlobalHandle image, bool interlace) {
  ByteVector out;
  std::string error;
  EXPECT_TRUE(EncodeGif(image, interlace, out, error)) << error;
  return out;
}

// ---- round trips --------------------------------------------------------------

TEST(GifRoundTrip, IndexedImagesKeepIndicesAndColours) {
  const std::pair<int, int> sizes[] = {{1, 1}, {2, 3}, {3, 5}, {5, 2}, {13, 17}};
  for (auto [width, height] : sizes) {
    for (auto [bits, gray] : {std::pair{1, false}, {4, false}, {8, false}, {8, true}}) {
      PackedImage image = MakePatternImage(width, height, bits, gray);
      for (bool interlace : {false, true}) {
        SCOPED_TRACE(std::to_string(bits) + "-bit " + std::to_string(width) + "x" +
                     std::to_string(height) + (interlace ? " interlaced" : ""));
        Decoded decoded = DecodeGif(Encode(image.get(), interlace));
        ASSERT_TRUE(decoded.image) << decoded.error;
        EXPECT_EQ(GetImageBitCount(decoded.image.get()), 8);
        EXPECT_EQ(ImageLock(decoded.image.get()).colourCount(), 256u);
        EXPECT_EQ(MaxColourDifference(decoded.image.get(), image.get()), 0);
        EXPECT_EQ(Indices(decoded.image.get()), Indices(image.get()));
        if (gray) {
          EXPECT_EQ(GetImageKind(decoded.image.get()), kImageKindGray);
        }
      }
    }
  }
}

TEST(GifEncode, IndicesBeyondTheImagesTableSurvive) {
  // A 4-entry table whose pixels still use index 200: the written map must reach it.
  PackedImage image(NewImageBlock(3, 1, 8, 4, OnAllocFailure::Quiet));
  {
    ImageLock lock(image.get());
    lock.row(0)[0] = 1;
    lock.row(0)[1] = 200;
    lock.row(0)[2] = 3;
  }
  Decoded decoded = DecodeGif(Encode(image.get(), false));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(Indices(decoded.image.get()), (std::vector<std::uint32_t>{1, 200, 3}));
}

TEST(GifEncode, RefusesWhatGifCannotHoldAndLeavesTheOutputAlone) {
  ByteVector out = {7, 8};
  std::string error;
  PackedImage colour = MakePatternImage(4, 4, 24);
  EXPECT_FALSE(EncodeGif(colour.get(), false, out, error));
  EXPECT_NE(error.find("256 colours"), std::string::npos) << error;
  PackedImage wide(NewImageBlock(70000, 1, 1, 2, OnAllocFailure::Quiet));
  error.clear();
  EXPECT_FALSE(EncodeGif(wide.get(), false, out, error));
  EXPECT_NE(error.find("65535"), std::string::npos) << error;
  EXPECT_FALSE(EncodeGif(nullptr, false, out, error));
  EXPECT_EQ(out, (ByteVector{7, 8}));
}

// ---- files other writers make -------------------------------------------------

TEST(GifDecode, FrameIsPlacedOnTheBackgroundAndClipped) {
  Frame frame{.left = 2, .top = 1, .width = 3, .height = 2, .pixels = {0, 1, 3, 3, 1, 0}};
  Decoded decoded = DecodeGif(BuildGif(6, 4, kFour, 2, {frame}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(decoded.orientation, 1);
  EXPECT_EQ(Indices(decoded.image.get()), (std::vector<std::uint32_t>{2, 2, 2, 2, 2, 2,  //
                                                                      2, 2, 0, 1, 3, 2,  //
                                                                      2, 2, 3, 1, 0, 2,  //
                                                                      2, 2, 2, 2, 2, 2}));
  EXPECT_EQ(PixelAt(decoded.image.get(), 0, 0).blue, 255);

  // Reaching past the screen's right and bottom edges.
  frame.left = 4;
  frame.top = 2;
  decoded = DecodeGif(BuildGif(5, 3, kFour, 2, {frame}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(Indices(decoded.image.get()), (std::vector<std::uint32_t>{2, 2, 2, 2, 2,  //
                                                                      2, 2, 2, 2, 2,  //
                                                                      2, 2, 2, 2, 0}));

  // A screen of no size takes the frame's.
  decoded = DecodeGif(BuildGif(0, 0, kFour, 2, {frame}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(Indices(decoded.image.get()), (std::vector<std::uint32_t>{0, 1, 3, 3, 1, 0}));
}

TEST(GifDecode, ColourTableComesFromTheFrameTheFileOrAGrayRamp) {
  std::vector<Rgb> local = {{1, 2, 3}, {4, 5, 6}, {250, 250, 0}, {9, 9, 9}};
  Frame frame{.width = 4, .height = 1, .pixels = {0, 1, 2, 3}, .localMap = local};
  Decoded decoded = DecodeGif(BuildGif(4, 1, kFour, 0, {frame}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  for (int x = 0; x < 4; ++x) {
    RgbQuad c = PixelAt(decoded.image.get(), x, 0);
    EXPECT_EQ(c.red, local[x].red);
    EXPECT_EQ(c.green, local[x].green);
    EXPECT_EQ(c.blue, local[x].blue);
  }
  ImageLock lock(decoded.image.get());
  EXPECT_EQ(lock.palette()[4].red + lock.palette()[255].green, 0) << "padding is black";

  Frame bare{.width = 3, .height = 1, .pixels = {0, 77, 255}};
  decoded = DecodeGif(BuildGif(3, 1, {}, 0, {bare}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(GetImageKind(decoded.image.get()), kImageKindGray);
  EXPECT_EQ(PixelAt(decoded.image.get(), 1, 0).green, 77);
}

TEST(GifDecode, BackgroundKeepsItsGlobalColourUnderALocalMap) {
  // Background index 1 is green in the global map; the frame's map has no green.
  std::vector<Rgb> local = {{0, 0, 0}, {255, 255, 255}};
  Frame frame{.left = 1, .width = 1, .height = 1, .pixels = {0}, .localMap = local};
  Decoded decoded = DecodeGif(BuildGif(3, 1, kFour, 1, {frame}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  for (int x : {0, 2}) {
    RgbQuad c = PixelAt(decoded.image.get(), x, 0);
    EXPECT_EQ(c.green, 255);
    EXPECT_EQ(c.red + c.blue, 0);
  }
  EXPECT_EQ(PixelAt(decoded.image.get(), 1, 0).green, 0);
}

TEST(GifDecode, TransparentEntryTurnsWhiteAndKeepsItsPixels) {
  Frame frame{.width = 4, .height = 1, .pixels = {0, 1, 2, 1}, .transparent = 1};
  Decoded decoded = DecodeGif(BuildGif(4, 1, kFour, 0, {frame}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(Indices(decoded.image.get()), (std::vector<std::uint32_t>{0, 1, 2, 1}));
  RgbQuad white = PixelAt(decoded.image.get(), 1, 0);
  EXPECT_EQ(white.red & white.green & white.blue, 255);
  EXPECT_EQ(PixelAt(decoded.image.get(), 0, 0).red, 255);
  EXPECT_EQ(PixelAt(decoded.image.get(), 0, 0).green, 0);
}

TEST(GifDecode, InterlacedRowsAreReturnedToTheirPlaces) {
  for (int height : {1, 2, 5, 9, 11, 17}) {
    SCOPED_TRACE(height);
    Frame frame{.width = 2, .height = height, .pixels = {}, .interlaced = true};
    for (int y = 0; y < height; ++y)
      frame.pixels.insert(frame.pixels.end(), 2, std::uint8_t(y));
    Decoded decoded = DecodeGif(BuildGif(2, height, std::vector<Rgb>(32), 0, {frame}));
    ASSERT_TRUE(decoded.image) << decoded.error;
    for (int y = 0; y < height; ++y)
      ASSERT_EQ(RawPixelAt(decoded.image.get(), 1, y), std::uint32_t(y));
  }
}

TEST(GifDecode, OnlyTheFirstFrameIsRead) {
  Frame first{.width = 2, .height = 1, .pixels = {1, 2}};
  Frame second{.width = 2, .height = 1, .pixels = {3, 3}};
  Decoded decoded = DecodeGif(BuildGif(2, 1, kFour, 0, {first, second}));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(Indices(decoded.image.get()), (std::vector<std::uint32_t>{1, 2}));

  decoded = DecodeGif(BuildGif(2, 1, kFour, 0, {}));
  EXPECT_FALSE(decoded.image);
  EXPECT_NE(decoded.error.find("no picture"), std::string::npos) << decoded.error;
}

struct PictureLimits {
  PictureLimits(std::int64_t side, std::int64_t pixels) { SetPictureSizeLimits(side, pixels); }
  ~PictureLimits() { SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels); }
};

TEST(GifDecode, ClaimedSizesBeyondTheLimitsAreRefusedBeforeAllocating) {
  std::size_t blocks = GlobalLiveBlockCount();
  Frame small{.width = 1, .height = 1, .pixels = {0}};
  Decoded decoded = DecodeGif(BuildGif(65535, 65535, kFour, 0, {small}));
  EXPECT_FALSE(decoded.image);
  EXPECT_NE(decoded.error.find("pixels"), std::string::npos) << decoded.error;

  ByteVector file = BuildGif(10, 10, kFour, 0, {small});
  std::size_t descriptor = 13 + 12;  // header, screen and a 4-entry global map
  ASSERT_EQ(file[descriptor], 0x2C);
  file[descriptor + 5] = 0xB0;  // frame width 1200
  file[descriptor + 6] = 0x04;
  {
    PictureLimits limits(1000, 100000);
    decoded = DecodeGif(file);
  }
  EXPECT_FALSE(decoded.image);
  EXPECT_NE(decoded.error.find("1200"), std::string::npos) << decoded.error;
  EXPECT_EQ(GlobalLiveBlockCount(), blocks);
}

// ---- damaged files -----------------------------------------------------------

TEST(GifRobustness, TruncatedAndCorruptedFilesFailCleanly) {
  PictureLimits limits(512, 1 << 16);
  std::vector<Rgb> local(16, Rgb{40, 50, 60});
  Frame frame{.left = 1,
              .top = 2,
              .width = 5,
              .height = 9,
              .pixels = Ramp(45, 16),
              .localMap = local,
              .interlaced = true,
              .transparent = 3};
  std::vector<ByteVector> seeds = {Encode(MakePatternImage(9, 7, 8).get(), true),
                                   Encode(MakePatternImage(6, 3, 1).get(), false),
                                   BuildGif(8, 12, kFour, 1, {frame, frame})};
  for (const ByteVector& seed : seeds) {
    ASSERT_TRUE(DecodeGif(seed).image);
    ExpectSoundOnDamage(DecodeGif, seed);
  }
}

}  // namespace
}  // namespace tx::rastio
