#include <gtest/gtest.h>

#include <functional>
#include <random>

#include <libheif/heif.h>
#include <webp/encode.h>

#include "rastio/codec.h"
#include "rastio/heif_sizes.h"
#include "rastio/rastio.h"
#include "tests/rastio/codec_testing.h"
#include "tests/support/heif_encoding.h"
#include "tests/support/test_images.h"

// x265, which only these tests use (to make HEIC files), leaks a few small
// blocks for every encoder; they are not ours to find.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libx265.so\n";
}

namespace tx::rastio {
namespace {

using PixelFn = std::function<RgbQuad(int x, int y)>;  // reserved byte = alpha

void ExpectColour(GlobalHandle image, int x, int y, RgbQuad want, int tolerance) {
  RgbQuad got = PixelAt(image, x, y);
  EXPECT_NEAR(got.red, want.red, tolerance) << x << "," << y;
  EXPECT_NEAR(got.green, want.green, tolerance) << x << "," << y;
  EXPECT_NEAR(got.blue, want.blue, tolerance) << x << "," << y;
}

// --- WebP --------------------------------------------------------------------

ByteVector EncodeWebp(int width, int height, const PixelFn& pixel, bool alpha, bool lossless) {
  int channels = alpha ? 4 : 3;
  ByteVector samples;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      RgbQuad p = pixel(x, y);
      samples.insert(samples.end(), {p.blue, p.green, p.red});
      if (alpha) samples.push_back(p.reserved);
    }
  }
  std::uint8_t* output = nullptr;
  int stride = width * channels;
  std::size_t size = alpha ? WebPEncodeLosslessBGRA(samples.data(), width, height, stride, &output)
                     : lossless
                         ? WebPEncodeLosslessBGR(samples.data(), width, height, stride, &output)
                         : WebPEncodeBGR(samples.data(), width, height, stride, 90, &output);
  ByteVector file(output, output + size);
  WebPFree(output);
  return file;
}

void Put24(ByteVector& out, std::uint32_t v) {
  out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16)});
}

ByteVector Chunk(const char* fourCc, const ByteVector& payload) {
  ByteVector out(fourCc, fourCc + 4);
  Put24(out, std::uint32_t(payload.size()));
  out.push_back(0);
  out.insert(out.end(), payload.begin(), payload.end());
  if (payload.size() % 2) out.push_back(0);
  return out;
}

// An extended (VP8X) file around the given chunks.
ByteVector ExtendedWebp(std::uint8_t flags, int width, int height,
                        const std::vector<ByteVector>& chunks) {
  ByteVector vp8x{flags, 0, 0, 0};
  Put24(vp8x, std::uint32_t(width - 1));
  Put24(vp8x, std::uint32_t(height - 1));
  ByteVector body{'W', 'E', 'B', 'P'};
  ByteVector head = Chunk("VP8X", vp8x);
  body.insert(body.end(), head.begin(), head.end());
  for (const ByteVector& c : chunks) {
    body.insert(body.end(), c.begin(), c.end());
  }
  ByteVector file{'R', 'I', 'F', 'F'};
  Put24(file, std::uint32_t(body.size()));
  file.push_back(0);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

// The image chunk of a simple file (what follows "RIFF" size "WEBP").
ByteVector ImageChunk(const ByteVector& simpleFile) {
  return ByteVector(simpleFile.begin() + 12, simpleFile.end());
}

ByteVector AnimationFrame(int x, int y, int width, int height, const ByteVector& imageChunk) {
  ByteVector anmf;
  for (int v : {x / 2, y / 2, width - 1, height - 1, 100}) {
    Put24(anmf, std::uint32_t(v));
  }
  anmf.push_back(0);
  anmf.insert(anmf.end(), imageChunk.begin(), imageChunk.end());
  return Chunk("ANMF", anmf);
}

TEST(WebpCodec, LosslessFilesRoundTripExactly) {
  for (int width : {1, 2, 3, 5, 17}) {
    PackedImage image = MakePatternImage(width, 6, 24);
    ByteVector file = EncodeWebp(
        width, 6, [&](int x, int y) { return PixelAt(image.get(), x, y); }, false, true);
    Decoded decoded = DecodeWebp(file);
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(GetImageBitCount(decoded.image.get()), 24);
    EXPECT_EQ(MaxColourDifference(image.get(), decoded.image.get()), 0) << width;
    EXPECT_EQ(decoded.orientation, 1);
  }
}

TEST(WebpCodec, LossyFilesComeBackUprightAndAlphaOverWhite) {
  auto halves = [](int, int y) {
    return y < 16 ? RgbQuad{200, 120, 40, 255} : RgbQuad{20, 60, 220, 255};
  };
  Decoded lossy = DecodeWebp(EncodeWebp(16, 32, halves, false, false));
  ASSERT_TRUE(lossy.image) << lossy.error;
  ExpectColour(lossy.image.get(), 8, 4, halves(0, 0), 6);
  ExpectColour(lossy.image.get(), 8, 28, halves(0, 31), 6);

  auto alphas = [](int x, int) {
    const std::uint8_t alpha[] = {0, 255, 128, 51};
    return RgbQuad{0, 100, 200, alpha[x]};
  };
  Decoded alpha = DecodeWebp(EncodeWebp(4, 1, alphas, true, true));
  ASSERT_TRUE(alpha.image) << alpha.error;
  EXPECT_EQ(GetImageBitCount(alpha.image.get()), 24);
  ExpectColour(alpha.image.get(), 0, 0, {255, 255, 255, 0}, 0);
  ExpectColour(alpha.image.get(), 1, 0, {0, 100, 200, 0}, 0);
  ExpectColour(alpha.image.get(), 2, 0, {127, 177, 227, 0}, 1);
  ExpectColour(alpha.image.get(), 3, 0, {204, 224, 244, 0}, 1);
}

TEST(WebpCodec, AnimationGivesItsFirstFrameOnTheCanvas) {
  auto red = [](int, int) { return RgbQuad{0, 0, 255, 255}; };
  auto blue = [](int, int) { return RgbQuad{255, 0, 0, 255}; };
  ByteVector file =
      ExtendedWebp(0x12, 8, 6,
                   {Chunk("ANIM", {0, 0, 0, 0, 0, 0}),
                    AnimationFrame(2, 2, 4, 2, ImageChunk(EncodeWebp(4, 2, red, true, true))),
                    AnimationFrame(0, 0, 8, 6, ImageChunk(EncodeWebp(8, 6, blue, true, true)))});
  Decoded decoded = DecodeWebp(file);
  ASSERT_TRUE(decoded.image) << decoded.error;
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      bool inFrame = x >= 2 && x < 6 && y >= 2 && y < 4;
      ExpectColour(decoded.image.get(), x, y,
                   inFrame ? RgbQuad{0, 0, 255, 0} : RgbQuad{255, 255, 255, 0}, 0);
    }
  }
}

TEST(WebpCodec, OrientationComesFromTheExifChunk) {
  auto gray = [](int x, int y) {
    return RgbQuad{std::uint8_t(x * 20), 90, std::uint8_t(y * 20), 255};
  };
  const ByteVector exif = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3, 0,
                           1,   0,   0,  0, 3, 0, 0, 0, 0, 0, 0,    0, 0, 0};
  ByteVector file = ExtendedWebp(
      0x08, 5, 3, {ImageChunk(EncodeWebp(5, 3, gray, false, true)), Chunk("EXIF", exif)});
  Decoded decoded = DecodeWebp(file);
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(decoded.orientation, 3);
}

TEST(WebpCodec, DamagedAndOversizedFilesFailCleanly) {
  auto pattern = [](int x, int y) {
    return RgbQuad{std::uint8_t(x * 40), std::uint8_t(y * 50), 7, 255};
  };
  ExpectSoundOnDamage(DecodeWebp, EncodeWebp(6, 5, pattern, false, true), 1, 300);
  ExpectSoundOnDamage(DecodeWebp, EncodeWebp(6, 5, pattern, false, false), 1, 300);

  // An animation canvas claiming 70000 x 10 pixels around a tiny frame.
  ByteVector huge = ExtendedWebp(
      0x02, 70000, 10,
      {Chunk("ANIM", {0, 0, 0, 0, 0, 0}),
       AnimationFrame(0, 0, 6, 5, ImageChunk(EncodeWebp(6, 5, pattern, false, true)))});
  std::size_t blocksBefore = GlobalLiveBlockCount();
  Decoded decoded = DecodeWebp(huge);
  EXPECT_FALSE(decoded.image);
  EXPECT_NE(decoded.error.find("70000"), std::string::npos) << decoded.error;
  EXPECT_EQ(GlobalLiveBlockCount(), blocksBefore);
}

// --- HEIF --------------------------------------------------------------------

/// A HEIF file of the picture `pixel` draws; empty when this machine has no
/// HEIF encoder.
ByteVector EncodeHeif(int width, int height, const PixelFn& pixel, bool alpha,
                      heif_orientation orientation = heif_orientation_normal) {
  return testing::EncodeHeifFile(width, height, alpha, 92, orientation,
                                 [&](std::uint8_t* plane, int stride) {
                                   for (int y = 0; y < height; ++y) {
                                     std::uint8_t* p = plane + y * stride;
                                     for (int x = 0; x < width; ++x) {
                                       RgbQuad c = pixel(x, y);
                                       *p++ = c.red;
                                       *p++ = c.green;
                                       *p++ = c.blue;
                                       if (alpha) *p++ = c.reserved;
                                     }
                                   }
                                 });
}

constexpr RgbQuad kRed{0, 0, 255, 255}, kBlue{255, 0, 0, 255};

class HeifCodec : public ::testing::Test {
 protected:
  void SetUp() override {
    // Left half red, right half blue.
    m_halves = [](int x, int) { return x < 32 ? kRed : kBlue; };
    m_file = EncodeHeif(64, 48, m_halves, false);
    if (m_file.empty()) GTEST_SKIP() << "libheif has no HEVC or AV1 encoder on this machine";
  }
  PixelFn m_halves;
  ByteVector m_file;
};

TEST_F(HeifCodec, DecodesThePrimaryPictureTo24Bits) {
  Decoded decoded = DecodeHeif(m_file);
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(GetImageBitCount(decoded.image.get()), 24);
  EXPECT_EQ(decoded.orientation, 1);
  ExpectColour(decoded.image.get(), 10, 24, kRed, 12);
  ExpectColour(decoded.image.get(), 54, 24, kBlue, 12);
}

TEST_F(HeifCodec, AppliesTheFilesRotationItself) {
  Decoded decoded = DecodeHeif(EncodeHeif(64, 48, m_halves, false, heif_orientation_rotate_90_cw));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(decoded.orientation, 1);
  ImageLock lock(decoded.image.get());
  ASSERT_EQ(lock.width(), 48);
  ASSERT_EQ(lock.height(), 64);
  ExpectColour(decoded.image.get(), 24, 10, kRed, 12);  // the left half is now on top
  ExpectColour(decoded.image.get(), 24, 54, kBlue, 12);
}

TEST_F(HeifCodec, AlphaIsCompositedOverWhite) {
  auto transparentLeft = [](int x, int) { return x < 32 ? RgbQuad{0, 0, 0, 0} : kBlue; };
  Decoded decoded = DecodeHeif(EncodeHeif(64, 48, transparentLeft, true));
  ASSERT_TRUE(decoded.image) << decoded.error;
  EXPECT_EQ(GetImageBitCount(decoded.image.get()), 24);
  ExpectColour(decoded.image.get(), 10, 24, {255, 255, 255, 0}, 12);
  ExpectColour(decoded.image.get(), 54, 24, kBlue, 12);
}

TEST_F(HeifCodec, DamagedAndOversizedFilesFailCleanly) {
  ExpectSoundOnDamage(DecodeHeif, m_file, 7, 300);

  std::size_t blocksBefore = GlobalLiveBlockCount();
  SetPictureSizeLimits(100, 1000);
  Decoded decoded = DecodeHeif(m_file);
  SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels);
  EXPECT_FALSE(decoded.image);
  EXPECT_NE(decoded.error.find("pixels"), std::string::npos) << decoded.error;
  EXPECT_EQ(GlobalLiveBlockCount(), blocksBefore);
}

// --- HEIF sizes checked before decoding ---------------------------------------

void PutBigEndian(ByteVector& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i)
    out.push_back(std::uint8_t(value >> (8 * i)));
}

ByteVector MakeBox(const char* type, const ByteVector& body, int version = -1) {
  ByteVector box;
  PutBigEndian(box, body.size() + (version < 0 ? 8 : 12), 4);
  box.insert(box.end(), type, type + 4);
  if (version >= 0) PutBigEndian(box, std::uint64_t(version) << 24, 4);
  box.insert(box.end(), body.begin(), body.end());
  return box;
}

ByteVector Join(std::initializer_list<ByteVector> parts) {
  ByteVector all;
  for (const ByteVector& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct DerivedItem {
  const char* type;   // "grid" or "iovl"
  ByteVector header;  // its data, kept in idat
  std::vector<std::uint16_t> inputs;
  std::size_t claimedLength = 0;  // the length its location gives, when not the header's
};

/// A HEIF file whose items 1, 2, ... are the derived items given; the last
/// is the primary picture. No coded picture is needed to reach the checks.
/// `indexCode` is the extent index size the locations claim; none is
/// written, as libheif 1.15 reads them.
ByteVector DerivedItemsFile(const std::vector<DerivedItem>& derived, int indexCode = 0) {
  ByteVector infos, locations, data, references;
  PutBigEndian(infos, derived.size(), 2);
  PutBigEndian(locations, 0x4400 | indexCode, 2);  // 4-byte offsets and lengths
  PutBigEndian(locations, derived.size(), 2);
  for (std::uint16_t id = 1; id <= derived.size(); ++id) {
    const DerivedItem& item = derived[id - 1];
    ByteVector info;
    PutBigEndian(info, id, 2);
    PutBigEndian(info, 0, 2);
    info.insert(info.end(), item.type, item.type + 4);
    infos = Join({infos, MakeBox("infe", info, 2)});
    for (std::uint64_t field : {std::uint64_t(id), std::uint64_t(1), std::uint64_t(0),
                                std::uint64_t(1)})  // id, in idat, no reference, one extent
      PutBigEndian(locations, field, 2);
    PutBigEndian(locations, data.size(), 4);
    PutBigEndian(locations, item.claimedLength ? item.claimedLength : item.header.size(), 4);
    data = Join({data, item.header});
    if (item.inputs.empty()) continue;
    ByteVector reference;
    PutBigEndian(reference, id, 2);
    PutBigEndian(reference, item.inputs.size(), 2);
    for (std::uint16_t input : item.inputs)
      PutBigEndian(reference, input, 2);
    references = Join({references, MakeBox("dimg", reference)});
  }
  ByteVector primary;
  PutBigEndian(primary, derived.size(), 2);
  ByteVector meta =
      Join({MakeBox("pitm", primary, 0), MakeBox("iinf", infos, 0), MakeBox("iloc", locations, 1),
            MakeBox("idat", data), MakeBox("iref", references, 0)});
  ByteVector brands = {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1'};
  return Join({MakeBox("ftyp", brands), MakeBox("meta", meta, 0)});
}

ByteVector GridHeader(std::uint32_t width, std::uint32_t height, bool wide = false) {
  ByteVector header = {0, std::uint8_t(wide), 0, 0};
  PutBigEndian(header, width, wide ? 4 : 2);
  PutBigEndian(header, height, wide ? 4 : 2);
  return header;
}

ByteVector OverlayHeader(std::uint32_t width, std::uint32_t height) {
  ByteVector header(10, 0);  // version, flags, fill colour
  PutBigEndian(header, width, 2);
  PutBigEndian(header, height, 2);
  return header;
}

TEST(HeifSizes, CanvasesBeyondTheLimitsAreRefusedBeforeDecoding) {
  std::string error;
  // The fuzzer's find: a 632-byte file whose 1 x 1 grid asks for a
  // 43248 x 65520 canvas, which libheif would allocate and fill.
  EXPECT_FALSE(
      CheckHeifDecodeSizes(DerivedItemsFile({{"grid", GridHeader(43248, 65520), {}}}), error));
  EXPECT_NE(error.find("pixels"), std::string::npos) << error;
  EXPECT_FALSE(
      CheckHeifDecodeSizes(DerivedItemsFile({{"grid", GridHeader(70000, 10, true), {}}}), error));
  EXPECT_FALSE(CheckHeifDecodeSizes(
      DerivedItemsFile({{"grid", GridHeader(0xFFFFFFFF, 0xFFFFFFFF, true), {}}}), error));
  EXPECT_FALSE(
      CheckHeifDecodeSizes(DerivedItemsFile({{"iovl", OverlayHeader(30000, 30000), {}}}), error));
  EXPECT_TRUE(
      CheckHeifDecodeSizes(DerivedItemsFile({{"grid", GridHeader(4000, 3000), {}}}), error));
  // Read as the format says, these locations find no grid; read as libheif
  // 1.15 reads them, they find the huge one (the fuzzer's second find).
  EXPECT_FALSE(
      CheckHeifDecodeSizes(DerivedItemsFile({{"grid", GridHeader(43248, 65520), {}}}, 4), error));
  EXPECT_TRUE(
      CheckHeifDecodeSizes(DerivedItemsFile({{"grid", GridHeader(640, 480), {}}}, 4), error));
  // A grid header cut short by the end of the idat box: libheif reads on
  // into the next box (the fuzzer's third find), here making 65535 x 65280.
  ByteVector cut = GridHeader(65535, 65535);
  cut.pop_back();
  EXPECT_FALSE(CheckHeifDecodeSizes(DerivedItemsFile({{"grid", cut, {}, 8}}), error));
  EXPECT_TRUE(CheckHeifDecodeSizes(DerivedItemsFile({{"iovl", OverlayHeader(640, 480), {}},
                                                     {"grid", GridHeader(640, 480), {1}}}),
                                   error));
  // A canvas of no pixels is refused too; libheif could do nothing with it.
  EXPECT_FALSE(CheckHeifDecodeSizes(DerivedItemsFile({{"grid", GridHeader(0, 10), {}}}), error));
}

TEST(HeifSizes, PicturesMadeOfPartsThatAreNoPicturesAreRefused) {
  // libheif 1.15 stops the process on an assertion for some such files; the
  // fuzzer's find itself is replayed from its corpus.
  std::string error;
  for (const ByteVector& file :
       {DerivedItemsFile({{"iden", {}, {7}}}), DerivedItemsFile({{"iden", {}, {1}}}),
        DerivedItemsFile({{"Exif", {}, {}}, {"iden", {}, {1}}}),
        DerivedItemsFile({{"grid", GridHeader(64, 64), {1}}})}) {
    EXPECT_FALSE(CheckHeifDecodeSizes(file, error));
    Decoded decoded = DecodeHeif(file);
    EXPECT_FALSE(decoded.image);
    EXPECT_FALSE(decoded.error.empty());
  }
}

TEST(HeifSizes, EveryMetaBoxOfTheFileIsChecked) {
  // The fuzzer's fifth find: libheif decoded a second meta box's huge grid.
  std::string error;
  ByteVector harmless = DerivedItemsFile({{"grid", GridHeader(64, 64), {}}});
  ByteVector bomb = DerivedItemsFile({{"grid", GridHeader(43248, 65520), {}}});
  ByteVector both = harmless;
  both.insert(both.end(), bomb.begin() + 20, bomb.end());  // its meta box, after its ftyp
  EXPECT_TRUE(CheckHeifDecodeSizes(harmless, error));
  EXPECT_FALSE(CheckHeifDecodeSizes(both, error));
  EXPECT_NE(error.find("pixels"), std::string::npos) << error;
}

TEST(HeifSizes, AnItemDescribedTwiceIsRefused) {
  std::string error;
  ByteVector file = DerivedItemsFile({{"grid", GridHeader(64, 64), {}}, {"Exif", {}, {}}});
  EXPECT_TRUE(CheckHeifDecodeSizes(file, error)) << error;
  // The second entry now names item 1 too.
  static constexpr std::uint8_t kInfe[] = {'i', 'n', 'f', 'e'};
  auto first = std::search(file.begin(), file.end(), std::begin(kInfe), std::end(kInfe));
  auto second = std::search(first + 4, file.end(), std::begin(kInfe), std::end(kInfe));
  ASSERT_NE(second, file.end());
  second[9] = 1;
  EXPECT_FALSE(CheckHeifDecodeSizes(file, error));
  EXPECT_NE(error.find("twice"), std::string::npos) << error;
}

TEST(HeifSizes, OneInputRepeatedBeyondTheLimitsIsRefused) {
  SetPictureSizeLimits(4096, 1'000'000);
  std::string error;
  DerivedItem tile{"grid", GridHeader(1000, 1000), {}};
  EXPECT_TRUE(CheckHeifDecodeSizes(
      DerivedItemsFile({tile, {"grid", GridHeader(1000, 1000), {1, 1}}}), error))
      << error;
  EXPECT_FALSE(CheckHeifDecodeSizes(
      DerivedItemsFile({tile, {"grid", GridHeader(1000, 1000), std::vector<std::uint16_t>(3, 1)}}),
      error));
  EXPECT_NE(error.find("3 parts"), std::string::npos) << error;
  SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels);
}

TEST_F(HeifCodec, StreamsCodingMoreThanTheirItemsDeclareAreRefused) {
  // The item says 16 x 16; the stream inside still codes 64 x 48 (or, with
  // the HEVC encoder, 64 x 64 with the last rows cropped).
  ByteVector lying = m_file;
  static constexpr std::uint8_t kIspe[] = {'i', 's', 'p', 'e'};
  auto at = std::search(lying.begin(), lying.end(), std::begin(kIspe), std::end(kIspe));
  ASSERT_NE(at, lying.end());
  std::fill(at + 8, at + 16, 0);
  at[11] = at[15] = 16;

  SetPictureSizeLimits(32, 1024);
  std::string error;
  EXPECT_FALSE(CheckHeifDecodeSizes(lying, error));
  EXPECT_NE(error.find("64 x"), std::string::npos) << error;
  Decoded decoded = DecodeHeif(lying);
  SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels);
  EXPECT_FALSE(decoded.image);
  EXPECT_TRUE(CheckHeifDecodeSizes(lying, error));
}

TEST_F(HeifCodec, SizeCheckReadsEveryCutShortFileSafely) {
  ByteVector grids =
      DerivedItemsFile({{"iovl", OverlayHeader(64, 48), {}}, {"grid", GridHeader(64, 48), {1}}});
  std::string error;
  for (const ByteVector& file : {m_file, grids}) {
    for (std::size_t size = 0; size <= file.size(); ++size) {
      ByteVector cut(file.begin(), file.begin() + std::ptrdiff_t(size));
      EXPECT_TRUE(CheckHeifDecodeSizes(cut, error) || !error.empty());
    }
  }
}

}  // namespace
}  // namespace tx::rastio
