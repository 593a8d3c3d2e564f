// tesserix-cli effect: an effect of the effects library on a picture file.

#include <gtest/gtest.h>

#include "image/image_lock.h"
#include "rastio/rastio.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::TempDir;

TEST(CliEffect, RunsAnEffectAndRefusesWhatGivesNothing) {
  TempDir dir;
  std::string in = (dir / "in.png").string();
  std::string out = (dir / "out.png").string();
  PackedImage picture(CreatePackedImage(5, 3, 0x00102030, 0));
  ASSERT_EQ(EzSaveFile(picture.get(), in.c_str(), kSaveByExtension, nullptr), 0);

  CliRun list = RunCli("effect --list");
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_NE(list.out.find("7"), std::string::npos);

  // Effect 7, the negative: every channel becomes 255 minus itself.
  CliRun negative = RunCli("effect 7 " + in + " " + out);
  ASSERT_EQ(negative.exitCode, 0) << negative.out;
  PackedImage result(EzOpenFile(out.c_str(), 0, 0));
  ASSERT_TRUE(result);
  EXPECT_EQ(testing::PixelAt(result.get(), 0, 0).red, 255 - 0x30);
  EXPECT_EQ(testing::PixelAt(result.get(), 4, 2).blue, 255 - 0x10);

  EXPECT_EQ(RunCli("effect 7 " + in + " " + out + " --record 1 2 3 4 5").exitCode, 0);
  EXPECT_EQ(RunCli("effect 300 " + in + " " + out).exitCode, 1);
  EXPECT_EQ(RunCli("effect 7 " + (dir / "missing.png").string() + " " + out).exitCode, 1);
  EXPECT_EQ(RunCli("effect 7 " + in + " " + out + " --record 1 2").exitCode, 1);
}

}  // namespace
}  // namespace tx
