// The library's public functions: file access, format recognition, the
// choice of encoder, orientation and failure reporting.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "rastio/rastio.h"
#include "tests/support/test_images.h"

namespace fs = std::filesystem;

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::MaxColourDifference;
using testing::TempDir;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The option block the Save As path hands over: quality, 0, compress, 24,
// interlace, second GIF flag.
struct SaveOptions {
  std::int32_t words[6] = {90, 0, 0, 24, 0, 0};
};

struct FormatCase {
  const char* extension;
  int bits;
  bool exact;
};

void PrintTo(const FormatCase& c, std::ostream* out) {
  *out << c.extension << "/" << c.bits;
}

class RastioRoundTrip : public ::testing::TestWithParam<FormatCase> {};

TEST_P(RastioRoundTrip, SaveByExtensionThenOpen) {
  FormatCase c = GetParam();
  TempDir dir;
  std::string path = (dir / (std::string("picture.") + c.extension)).string();
  PackedImage image = MakePatternImage(7, 5, c.bits);
  SaveOptions options;
  options.words[0] = 100;
  ASSERT_EQ(EzSaveFile(image.get(), path.c_str(), kSaveByExtension, options.words), 0)
      << EzLastError();
  PackedImage read(EzOpenFile(path.c_str(), 0, 0));
  ASSERT_TRUE(read) << EzLastError();
  if (c.exact) {
    EXPECT_EQ(GetImageBitCount(read.get()), c.bits);
    EXPECT_EQ(MaxColourDifference(image.get(), read.get()), 0);
  } else {
    EXPECT_GE(MaxColourDifference(image.get(), read.get()), 0) << "same size";
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, RastioRoundTrip,
                         ::testing::Values(FormatCase{"bmp", 24, true}, FormatCase{"BMP", 8, true},
                                           FormatCase{"tif", 24, true}, FormatCase{"TIFF", 4, true},
                                           FormatCase{"tga", 24, true}, FormatCase{"png", 1, true},
                                           FormatCase{"pcx", 24, true}, FormatCase{"gif", 8, true},
                                           FormatCase{"jpg", 24, false},
                                           FormatCase{"JPEG", 24, false}),
                         [](const auto& testInfo) {
                           return std::string(testInfo.param.extension) +
                                  std::to_string(testInfo.param.bits);
                         });

TEST(RastioFront, JpegCodeWritesJpegWhateverTheExtension) {
  TempDir dir;
  fs::path path = dir / "tile.bmp";
  PackedImage image = MakePatternImage(8, 6, 24);
  std::int32_t options[13] = {90};
  ASSERT_EQ(EzSaveFile(image.get(), path.c_str(), kSaveJpeg, options), 0) << EzLastError();
  EXPECT_EQ(ReadText(path).substr(0, 3), "\xFF\xD8\xFF");
  PackedImage read(EzLoadJpgFileThumbnail(path.c_str(), 0, 0));
  EXPECT_TRUE(read) << EzLastError();
  EXPECT_EQ(EzLoadBmpFileThumbnail(path.c_str(), 0, 0), nullptr) << "not a bitmap inside";
}

TEST(RastioFront, ContentDecidesTheFormatForOpen) {
  TempDir dir;
  fs::path png = dir / "really-a-png.jpg";
  PackedImage image = MakePatternImage(4, 4, 24);
  ASSERT_EQ(EzSaveFile(image.get(), (dir / "a.png").c_str(), kSaveByExtension, nullptr), 0);
  fs::rename(dir / "a.png", png);
  PackedImage read(EzOpenFile(png.c_str(), 0, 0));
  EXPECT_TRUE(read) << EzLastError();
  EXPECT_EQ(EzLoadGifFile(png.c_str(), 1), nullptr);
  EXPECT_NE(std::string(EzLastError()).find("not a GIF"), std::string::npos) << EzLastError();
  EXPECT_EQ(EzLoadTifFile(png.c_str()), nullptr);
}

TEST(RastioFront, BadFilesFailWithAReasonAndLeakNothing) {
  TempDir dir;
  std::size_t live = GlobalLiveBlockCount();
  EXPECT_EQ(EzOpenFile((dir / "missing.jpg").c_str(), 0, 0), nullptr);
  EXPECT_NE(std::string(EzLastError()).find("missing.jpg"), std::string::npos);

  WriteText(dir / "text.jpg", "this is not a picture");
  EXPECT_EQ(EzOpenFile((dir / "text.jpg").c_str(), 0, 0), nullptr);
  EXPECT_NE(std::string(EzLastError()).find("unrecognised"), std::string::npos);

  WriteText(dir / "empty.png", "");
  EXPECT_EQ(EzOpenFile((dir / "empty.png").c_str(), 0, 0), nullptr);

  WriteText(dir / "old.fpx", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "rest");
  EXPECT_EQ(EzOpenFile((dir / "old.fpx").c_str(), 0, 0), nullptr);
  EXPECT_NE(std::string(EzLastError()).find("FPX"), std::string::npos);

  EXPECT_EQ(EzOpenFile(nullptr, 0, 0), nullptr);
  EXPECT_EQ(EzOpenFile(dir.path().c_str(), 0, 0), nullptr) << "a folder is not a picture";
  EXPECT_EQ(GlobalLiveBlockCount(), live);
}

TEST(RastioFront, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  fs::path path = dir / "keep.gif";
  PackedImage indexed = MakePatternImage(4, 4, 8);
  ASSERT_EQ(EzDumpGifFile(path.c_str(), indexed.get(), 0, 0, 0), 0) << EzLastError();
  std::string before = ReadText(path);

  PackedImage trueColour = MakePatternImage(4, 4, 24);
  EXPECT_NE(EzSaveFile(trueColour.get(), path.c_str(), kSaveByExtension, nullptr), 0)
      << "GIF cannot hold 24 bits";
  EXPECT_FALSE(std::string(EzLastError()).empty());
  EXPECT_EQ(ReadText(path), before);

  EXPECT_NE(EzSaveFile(trueColour.get(), (dir / "x.fpx").c_str(), kSaveByExtension, nullptr), 0);
  EXPECT_NE(EzSaveFile(trueColour.get(), (dir / "x.xyz").c_str(), kSaveByExtension, nullptr), 0);
  EXPECT_NE(EzSaveFile(trueColour.get(), (dir / "x.bmp").c_str(), 7, nullptr), 0);
  EXPECT_NE(EzSaveFile(nullptr, (dir / "x.bmp").c_str(), kSaveByExtension, nullptr), 0);
  EXPECT_NE(EzSaveFile(trueColour.get(), (dir / "no/such/folder.bmp").c_str(), 0, nullptr), 0);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "nothing but the old file is left";
}

TEST(RastioFront, PcxAndGifDumps) {
  TempDir dir;
  PackedImage image = MakePatternImage(9, 3, 8);
  fs::path pcx = dir / "a.pcx";
  fs::path gif = dir / "a.gif";
  ASSERT_EQ(EzDumpPcxFile(pcx.c_str(), image.get()), 0) << EzLastError();
  ASSERT_EQ(EzDumpGifFile(gif.c_str(), image.get(), 1, 0, 0), 0) << EzLastError();
  PackedImage fromPcx(EzOpenFile(pcx.c_str(), 0, 0));
  PackedImage fromGif(EzLoadGifFile(gif.c_str(), 1));
  EXPECT_EQ(MaxColourDifference(image.get(), fromPcx.get()), 0);
  EXPECT_EQ(MaxColourDifference(image.get(), fromGif.get()), 0);
}

TEST(RastioFront, LzwQuery) {
  TempDir dir;
  PackedImage image = MakePatternImage(6, 6, 24);
  SaveOptions compressed;
  compressed.words[2] = 1;
  fs::path lzw = dir / "lzw.tif";
  fs::path plain = dir / "plain.tif";
  ASSERT_EQ(EzSaveFile(image.get(), lzw.c_str(), kSaveByExtension, compressed.words), 0);
  ASSERT_EQ(EzSaveFile(image.get(), plain.c_str(), kSaveByExtension, nullptr), 0);
  EXPECT_EQ(EzIsLzwTiff(lzw.c_str()), 1);
  EXPECT_EQ(EzIsLzwTiff(plain.c_str()), 0);
  EXPECT_EQ(EzIsLzwTiff((dir / "missing.tif").c_str()), 0);
}

// A minimal little-endian EXIF block recording one orientation.
std::string ExifSegment(int orientation) {
  std::string tiff("II*\0\x08\0\0\0", 8);
  tiff += std::string("\x01\0", 2);                    // one entry
  tiff += std::string("\x12\x01\x03\0\x01\0\0\0", 8);  // orientation, SHORT, count 1
  tiff += std::string(1, char(orientation)) + std::string(3, '\0');
  tiff += std::string(4, '\0');  // no next directory
  std::string payload = std::string("Exif\0\0", 6) + tiff;
  std::size_t length = payload.size() + 2;
  return std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload;
}

TEST(RastioFront, PhotosComeInUpright) {
  TempDir dir;
  // A 4 x 2 picture stored sideways: orientation 6 means it needs a quarter
  // turn clockwise, so it opens 2 wide and 4 high.
  PackedImage image(CreatePackedImage(4, 2, 0x00FFFFFF, 0));
  fs::path path = dir / "sideways.jpg";
  std::int32_t options[13] = {100};
  ASSERT_EQ(EzSaveFile(image.get(), path.c_str(), kSaveJpeg, options), 0);
  std::string jpeg = ReadText(path);
  WriteText(path, jpeg.substr(0, 2) + ExifSegment(6) + jpeg.substr(2));
  PackedImage read(EzOpenFile(path.c_str(), 0, 0));
  ASSERT_TRUE(read) << EzLastError();
  std::uint16_t w = 0, h = 0;
  GetImageSize(read.get(), w, h);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 4);
}

}  // namespace
}  // namespace tx
