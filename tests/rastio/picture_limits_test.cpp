#include <gtest/gtest.h>

#include "rastio/codec.h"
#include "rastio/rastio.h"

namespace tx::rastio {
namespace {

TEST(PictureLimits, SidesAndPixelCountAreChecked) {
  std::string error;
  EXPECT_TRUE(CheckPictureSize(65535, 6000, error));
  EXPECT_FALSE(CheckPictureSize(65536, 1, error));
  EXPECT_FALSE(CheckPictureSize(1, 65536, error));
  EXPECT_FALSE(CheckPictureSize(20001, 20000, error)) << "over 400 megapixels";
  EXPECT_FALSE(CheckPictureSize(0, 10, error));
  EXPECT_FALSE(error.empty());
  SetPictureSizeLimits(100, 1000);
  EXPECT_FALSE(CheckPictureSize(50, 50, error));
  EXPECT_EQ(NewDecodedImage(101, 1, 24, 0, error), nullptr);
  SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels);
}

}  // namespace
}  // namespace tx::rastio
