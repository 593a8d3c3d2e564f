#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "platform/cancel_flag.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::PixelAt;
using testing::RawPixelAt;

bool SameColour(RgbQuad a, RgbQuad b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

TEST(FitImageForDisplay, ResultSizes) {
  struct Case {
    int width, height, boxWidth, boxHeight;
    bool keepAspect, rounding;
    int expectedWidth, expectedHeight;
  };
  const Case cases[] = {
      {400, 300, 200, 200, true, true, 200, 150},
      {300, 400, 200, 200, true, true, 150, 200},
      {300, 200, 100, 100, true, false, 100, 66},
      {300, 200, 100, 100, true, true, 100, 67},
      {200, 300, 100, 100, true, true, 67, 100},
      {200, 300, 100, 100, false, false, 100, 100},
      {40, 40, 100, 50, true, true, 50, 50},
      // Too thin to keep a whole row: it still fits as a one-pixel line.
      {1000, 1, 10, 10, true, false, 10, 1},
      {1, 1000, 10, 10, true, true, 1, 10},
  };
  for (const Case& c : cases) {
    PackedImage source(CreatePackedImage(c.width, c.height, 0x00102030, 0));
    PackedImage fitted(
        FitImageForDisplay(source.get(), c.boxWidth, c.boxHeight, c.keepAspect, c.rounding));
    ImageLock lock(fitted.get());
    ASSERT_TRUE(lock) << c.width << "x" << c.height;
    EXPECT_EQ(lock.width(), c.expectedWidth) << c.width << "x" << c.height;
    EXPECT_EQ(lock.height(), c.expectedHeight) << c.width << "x" << c.height;
  }
}

TEST(FitImageForDisplay, ExpandsColourDepthsByNearestNeighbour) {
  for (int bits : {1, 4, 8, 24}) {
    for (int width : {1, 2, 3, 5}) {
      PackedImage source = MakePatternImage(width, 4, bits);
      PackedImage fitted(FitImageForDisplay(source.get(), 7, 3, false, false));
      ASSERT_TRUE(fitted);
      EXPECT_EQ(GetImageKind(fitted.get()), kImageKindTrueColour);
      for (int y = 0; y < 3; ++y) {
        int storedSrc = (2 - y) * 4 / 3;  // rows are picked on the stored order
        for (int x = 0; x < 7; ++x) {
          EXPECT_TRUE(SameColour(PixelAt(fitted.get(), x, y),
                                 PixelAt(source.get(), x * width / 7, 3 - storedSrc)))
              << bits << "-bit width " << width << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(FitImageForDisplay, GrayStaysGrayAndSixteenBitsReadAsFiveFiveFive) {
  PackedImage gray = MakePatternImage(6, 6, 8, true);
  PackedImage fittedGray(FitImageForDisplay(gray.get(), 3, 3, true, true));
  EXPECT_EQ(GetImageKind(fittedGray.get()), kImageKindGray);
  EXPECT_EQ(RawPixelAt(fittedGray.get(), 1, 0), RawPixelAt(gray.get(), 2, 1));

  PackedImage deep(NewImageBlock(1, 1, 16, 0));
  {
    ImageLock lock(deep.get());
    lock.row(0)[0] = 0xA5;  // blue 5, green 21, red 19
    lock.row(0)[1] = 0x4E;
  }
  PackedImage fitted(FitImageForDisplay(deep.get(), 2, 2, false, false));
  EXPECT_TRUE(SameColour(PixelAt(fitted.get(), 1, 1), RgbQuad{40, 168, 152, 0}));
}

TEST(FitImageForDisplay, RefusesWhatItCannotFit) {
  PackedImage image = MakePatternImage(4, 4, 24);
  PackedImage deep(NewImageBlock(4, 4, 32, 0));
  EXPECT_EQ(FitImageForDisplay(nullptr, 4, 4, true, true), nullptr);
  EXPECT_EQ(FitImageForDisplay(image.get(), 0, 4, true, true), nullptr);
  EXPECT_EQ(FitImageForDisplay(image.get(), 4, -2, false, true), nullptr);
  EXPECT_EQ(FitImageForDisplay(deep.get(), 4, 4, true, true), nullptr);
}

TEST(PlaceFittedImage, CentresUnlessOnePixelOff) {
  const ImageRect box{10, 20, 210, 220};
  EXPECT_EQ(PlaceFittedImage(box, 200, 150), (ImageRect{10, 45, 210, 195}));
  EXPECT_EQ(PlaceFittedImage(box, 150, 200), (ImageRect{35, 20, 185, 220}));
  EXPECT_EQ(PlaceFittedImage(box, 199, 198), (ImageRect{10, 21, 209, 219}))
      << "1 off: no offset; 2 off: offset 1";
  EXPECT_EQ(PlaceFittedImage(box, 197, 1), (ImageRect{11, 119, 208, 120}));
  EXPECT_EQ(PlaceFittedImage(box, 204, 200), (ImageRect{10, 20, 214, 220}))
      << "larger than the box: at its corner";
}

TEST(CropImage, OnePixelPastTheRightEdgeFailsUnlessClipped) {
  PackedImage image = MakePatternImage(8, 6, 24);
  const ImageRect rect{5, 1, 9, 4};
  EXPECT_EQ(CropImage(image.get(), rect), nullptr);

  PackedImage clipped(CropImageTopDown(image.get(), rect));
  ImageLock lock(clipped.get());
  ASSERT_TRUE(lock);
  EXPECT_EQ(lock.width(), 3);
  EXPECT_EQ(lock.height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(RawPixelAt(clipped.get(), x, y), RawPixelAt(image.get(), 5 + x, 1 + y));
}

TEST(CropImage, RowsCountFromTheBottom) {
  PackedImage image = MakePatternImage(5, 6, 8);
  // Stored rows 1 and 2 are picture rows 4 and 3 from the top.
  PackedImage crop(CropImage(image.get(), ImageRect{1, 1, 4, 3}));
  ASSERT_TRUE(crop);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(RawPixelAt(crop.get(), x, y), RawPixelAt(image.get(), 1 + x, 3 + y));
  ImageLock src(image.get()), dst(crop.get());
  EXPECT_EQ(dst.colourCount(), 256u);
  EXPECT_EQ(dst.palette()[123].red, src.palette()[123].red);
}

TEST(CropImage, PackedDepthsAtUnalignedLeftEdges) {
  for (int bits : {1, 4}) {
    for (int left : {0, 1, 3, 5, 7, 9}) {
      for (int width : {1, 2, 3, 8, 13}) {
        PackedImage image = MakePatternImage(24, 3, bits);
        PackedImage crop(CropImage(image.get(), ImageRect{left, 0, left + width, 3}));
        ImageLock lock(crop.get());
        ASSERT_TRUE(lock) << bits << " " << left << " " << width;
        for (int y = 0; y < 3; ++y) {
          for (int x = 0; x < width; ++x) {
            ASSERT_EQ(RawPixelAt(crop.get(), x, y), RawPixelAt(image.get(), left + x, y))
                << bits << "-bit left " << left << " width " << width << " at " << x;
          }
          // Bits past the last pixel are row padding and must stay zero.
          std::uint64_t usedBits = std::uint64_t(width) * bits;
          const std::uint8_t* row = lock.row(y);
          for (std::uint64_t bit = usedBits; bit < lock.stride() * 8u; ++bit)
            ASSERT_EQ((row[bit / 8] >> (7 - bit % 8)) & 1, 0)
                << bits << " " << left << " " << width;
        }
      }
    }
  }
}

TEST(CropImage, RejectsRectanglesOutsideOrEmpty) {
  PackedImage image = MakePatternImage(8, 6, 24);
  const ImageRect bad[] = {
      {-1, 0, 3, 3}, {0, -1, 3, 3}, {0, 0, 3, 7}, {3, 0, 3, 3}, {4, 0, 3, 3}, {0, 2, 3, 2},
  };
  for (const ImageRect& rect : bad)
    EXPECT_EQ(CropImage(image.get(), rect), nullptr) << rect.left << "," << rect.top;
  EXPECT_EQ(CropImage(nullptr, ImageRect{0, 0, 1, 1}), nullptr);
  EXPECT_EQ(CropImageTopDown(nullptr, ImageRect{0, 0, 1, 1}), nullptr);
  EXPECT_EQ(CropImageTopDown(image.get(), ImageRect{8, 0, 12, 3}), nullptr) << "clipped to empty";
  PackedImage whole(CropImageTopDown(image.get(), ImageRect{-5, -5, 100, 100}));
  EXPECT_EQ(testing::MaxColourDifference(whole.get(), image.get()), 0);
}

TEST(CropImage, AbortSwitchCancelsAndFreesThePartialResult) {
  PackedImage image = MakePatternImage(8, 6, 24);
  std::size_t before = GlobalLiveBlockCount();
  SetImageAbortSwitch(true);
  RequestCancel();
  EXPECT_EQ(CropImageTopDown(image.get(), ImageRect{0, 0, 4, 4}), nullptr);
  EXPECT_EQ(GlobalLiveBlockCount(), before);
  PackedImage crop(CropImage(image.get(), ImageRect{0, 0, 4, 4}));
  EXPECT_TRUE(crop) << "the cancel was consumed";
  SetImageAbortSwitch(false);
}

TEST(PasteImage, CopiesIntoPlaceCountedFromTheTop) {
  for (int gray : {0, 1}) {
    PackedImage destination(CreatePackedImage(5, 4, 0x00010203, gray));
    PackedImage source(CreatePackedImage(3, 2, 0x00A0B0C0, gray));
    ASSERT_EQ(PasteImage(destination.get(), source.get(), 2, 1), 1);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 5; ++x) {
        bool inside = x >= 2 && y >= 1 && y < 3;
        EXPECT_EQ(RawPixelAt(destination.get(), x, y),
                  RawPixelAt(inside ? source.get() : destination.get(), inside ? x - 2 : 0,
                             inside ? y - 1 : 3))
            << x << "," << y;
      }
    }
  }
}

TEST(PasteImage, RefusesWhatDoesNotFit) {
  PackedImage destination(CreatePackedImage(5, 4, 0, 0));
  PackedImage source(CreatePackedImage(3, 2, 0x00FFFFFF, 0));
  PackedImage gray(CreatePackedImage(3, 2, 0, 1));
  PackedImage packed = MakePatternImage(3, 2, 4);
  EXPECT_EQ(PasteImage(destination.get(), source.get(), 3, 0), 0);
  EXPECT_EQ(PasteImage(destination.get(), source.get(), 0, 3), 0);
  EXPECT_EQ(PasteImage(destination.get(), source.get(), -1, 0), 0);
  EXPECT_EQ(PasteImage(destination.get(), gray.get(), 0, 0), 0);
  EXPECT_EQ(PasteImage(packed.get(), packed.get(), 0, 0), 0);
  EXPECT_EQ(PasteImage(nullptr, source.get(), 0, 0), 0);
  EXPECT_EQ(PasteImage(destination.get(), nullptr, 0, 0), 0);
  PackedImage untouched(CreatePackedImage(5, 4, 0, 0));
  EXPECT_EQ(testing::MaxColourDifference(destination.get(), untouched.get()), 0);
}

}  // namespace
}  // namespace tx
