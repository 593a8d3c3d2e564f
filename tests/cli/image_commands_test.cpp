// tesserix-cli image ...: run as a user runs it, checking output and exit codes.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "image/image_lock.h"
#include "rastio/rastio.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::TempDir;

class CliImage : public ::testing::Test {
 protected:
  void SetUp() override {
    PackedImage colour = MakePatternImage(7, 5, 24);
    PackedImage indexed = MakePatternImage(6, 4, 8);
    ASSERT_EQ(EzSaveFile(colour.get(), Path("colour.bmp").c_str(), kSaveByExtension, nullptr), 0);
    ASSERT_EQ(EzSaveFile(indexed.get(), Path("indexed.bmp").c_str(), kSaveByExtension, nullptr), 0);
  }
  std::string Path(const std::string& name) const { return (m_dir / name).string(); }
  std::string Info(const std::string& name) { return RunCli("image info " + Path(name)).out; }

  TempDir m_dir;
};

TEST_F(CliImage, InfoPrintsSizeDepthAndKind) {
  CliRun run = RunCli("image info " + Path("colour.bmp"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "7 5 24 2\n");
  EXPECT_EQ(Info("indexed.bmp"), "6 4 8 3\n");
}

TEST_F(CliImage, EveryCommandProducesTheExpectedPicture) {
  struct Case {
    std::string arguments;
    std::string output;
    std::string info;
  };
  const Case cases[] = {
      {"convert colour.bmp", "copy.png", "7 5 24 2\n"},
      {"convert indexed.bmp", "copy.gif", "6 4 8 3\n"},
      {"convert colour.bmp", "copy.jpg", "7 5 24 2\n"},
      {"scale colour.bmp", "scaled.tif", "3 2 24 2\n"},
      {"resample colour.bmp", "resampled.tga", "3 2 24 2\n"},
      {"crop colour.bmp", "cropped.pcx", "4 3 24 2\n"},
      {"truecolour indexed.bmp", "true.bmp", "6 4 24 2\n"},
      {"gray colour.bmp", "gray.png", "7 5 8 1\n"},
  };
  for (const Case& c : cases) {
    std::string command = c.arguments;
    std::size_t space = command.find(' ');
    std::string name = command.substr(0, space);
    std::string input = command.substr(space + 1);
    std::string extra;
    if (name == "scale" || name == "resample") extra = " 3 2";
    if (name == "crop") extra = " 1 1 5 4";
    CliRun run = RunCli("image " + name + " " + Path(input) + " " + Path(c.output) + extra);
    EXPECT_EQ(run.exitCode, 0) << c.arguments << ": " << run.out;
    EXPECT_EQ(Info(c.output), c.info) << c.arguments;
  }
}

TEST_F(CliImage, FailuresExitOneWithAReason) {
  const std::string cases[] = {
      "image info " + Path("missing.png"),
      "image info " + Path("colour.xyz"),
      "image crop " + Path("colour.bmp") + " " + Path("c.bmp") + " 0 0 8 5",
      "image scale " + Path("colour.bmp") + " " + Path("s.bmp") + " 0 5",
      "image scale " + Path("colour.bmp") + " " + Path("s.bmp") + " ten 5",
      "image truecolour " + Path("colour.bmp") + " " + Path("t.bmp"),
      "image convert " + Path("colour.bmp") + " " + Path("c.fpx"),
      "image convert " + Path("colour.bmp") + " " + Path("colour.bmp") + "/c.gif",
      "image convert " + Path("colour.bmp") + " " + Path("c.unknown"),
      "image scale " + Path("colour.bmp"),
      "image frobnicate",
      "image",
      "paint",
  };
  for (const std::string& arguments : cases) {
    CliRun run = RunCli(arguments);
    EXPECT_EQ(run.exitCode, 1) << arguments;
    EXPECT_NE(run.out.find("tesserix-cli"), std::string::npos) << arguments << ": " << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << arguments << ": " << run.out;
  }
}

// Writes a 24-bit BMP whose every pixel is (value(x, y), value(x, y), value(x, y)).
template <typename Value>
void WriteGrayish(const std::string& path, int width, int height, Value value) {
  PackedImage image(CreatePackedImage(width, height, 0, 0));
  {
    ImageLock lock(image.get());
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x)
        std::fill_n(lock.topDownRow(y) + 3 * x, 3, std::uint8_t(value(x, y)));
    }
  }
  ASSERT_EQ(EzSaveFile(image.get(), path.c_str(), kSaveByExtension, nullptr), 0);
}

TEST_F(CliImage, DeepPicturesBecomeWebPaletteGifs) {
  // Web colours carry no error: they come back exactly.
  WriteGrayish(Path("web.bmp"), 6, 4, [](int x, int y) { return ((x + y) % 6) * 51; });
  ASSERT_EQ(RunCli("image convert " + Path("web.bmp") + " " + Path("web.gif")).exitCode, 0);
  PackedImage web(EzLoadGifFile(Path("web.gif").c_str(), 1));
  ASSERT_TRUE(web);
  EXPECT_EQ(GetImageBitCount(web.get()), 8);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(testing::PixelAt(web.get(), x, y).red, ((x + y) % 6) * 51) << x << "," << y;
  }

  // An even 40 lies between the levels 0 and 51: diffusion mixes both so
  // that the mean stays near 40, where the nearest colour would be 51 everywhere.
  WriteGrayish(Path("even.bmp"), 16, 16, [](int, int) { return 40; });
  CliRun run = RunCli("image convert " + Path("even.bmp") + " " + Path("even.gif"));
  ASSERT_EQ(run.exitCode, 0) << run.out;
  PackedImage even(EzLoadGifFile(Path("even.gif").c_str(), 1));
  ASSERT_TRUE(even);
  int sum = 0, zeros = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      RgbQuad c = testing::PixelAt(even.get(), x, y);
      EXPECT_TRUE(c.red == c.green && c.green == c.blue && c.red % 51 == 0);
      EXPECT_LE(c.red, 51);
      sum += c.red;
      zeros += c.red == 0;
    }
  }
  EXPECT_GT(zeros, 0);
  EXPECT_NEAR(sum / 256.0, 40.0, 2.0);
}

TEST_F(CliImage, HelpForEveryCommand) {
  for (const char* command :
       {"info", "convert", "scale", "resample", "crop", "truecolour", "gray"}) {
    CliRun run = RunCli(std::string("image ") + command + " --help");
    EXPECT_EQ(run.exitCode, 0) << command;
    EXPECT_NE(run.out.find(std::string("usage: tesserix-cli image ") + command), std::string::npos);
  }
  EXPECT_EQ(RunCli("--help").exitCode, 0);
  EXPECT_EQ(RunCli("image --help").exitCode, 0);
}

}  // namespace
}  // namespace tx
