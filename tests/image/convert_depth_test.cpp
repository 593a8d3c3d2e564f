#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::PixelAt;
using testing::RawPixelAt;

// A 16-bit image of one row holding the given little-endian 5-5-5 words.
PackedImage SixteenBitRow(std::initializer_list<std::uint16_t> words) {
  PackedImage image(NewImageBlock(int(words.size()), 1, 16, 0));
  ImageLock lock(image.get());
  int x = 0;
  for (std::uint16_t word : words) {
    lock.row(0)[2 * x] = std::uint8_t(word);
    lock.row(0)[2 * x + 1] = std::uint8_t(word >> 8);
    ++x;
  }
  return image;
}

TEST(ConvertToTrueColour, IndexedPixelsTakeTheirTableColour) {
  for (int bits : {1, 4, 8}) {
    for (int width : {1, 2, 3, 5}) {
      PackedImage source = MakePatternImage(width, 3, bits);
      PackedImage converted(ConvertToTrueColour(source.get()));
      ASSERT_TRUE(converted) << bits;
      EXPECT_EQ(GetImageKind(converted.get()), kImageKindTrueColour);
      EXPECT_EQ(testing::MaxColourDifference(converted.get(), source.get()), 0)
          << bits << "-bit width " << width;
    }
  }
}

TEST(ConvertToTrueColour, SixteenBitsReadAsFiveFiveFive) {
  // 0x4EA5: low byte 1010 0101, high byte 0100 1110 -> blue 5, green 21, red 19.
  PackedImage source = SixteenBitRow({0x4EA5, 0x7FFF, 0x0000, 0x001F, 0x03E0, 0x7C00});
  PackedImage converted(ConvertToTrueColour(source.get()));
  ASSERT_TRUE(converted);
  const std::uint32_t expected[] = {
      152u << 16 | 168u << 8 | 40u, 0xF8F8F8, 0, 0xF8, 0xF800, 0xF80000};
  for (int x = 0; x < 6; ++x)
    EXPECT_EQ(RawPixelAt(converted.get(), x, 0), expected[x]) << x;
}

TEST(ConvertToTrueColour, AnEmptyColourCountIsFilledInOnTheSource) {
  for (int bits : {1, 4, 8}) {
    PackedImage source = MakePatternImage(3, 2, bits);
    ImageLock(source.get()).header().biClrUsed = 0;
    PackedImage converted(ConvertToTrueColour(source.get()));
    EXPECT_EQ(testing::MaxColourDifference(converted.get(), source.get()), 0);
    EXPECT_EQ(ImageLock(source.get()).header().biClrUsed, 1u << bits);
  }
  // Not for 16 bits: 65536 entries would make the source unreadable.
  PackedImage deep = SixteenBitRow({0x1234, 0x4321});
  PackedImage converted(ConvertToTrueColour(deep.get()));
  EXPECT_TRUE(converted);
  ImageLock lock(deep.get());
  ASSERT_TRUE(lock);
  EXPECT_EQ(lock.header().biClrUsed, 0u);
}

TEST(ConvertToTrueColour, IndicesPastTheTableReadAsBlack) {
  PackedImage source(NewImageBlock(2, 1, 8, 2));
  {
    ImageLock lock(source.get());
    lock.palette()[1] = RgbQuad{1, 2, 3, 0};
    lock.row(0)[0] = 1;
    lock.row(0)[1] = 200;  // the table has 2 entries
  }
  PackedImage converted(ConvertToTrueColour(source.get()));
  EXPECT_EQ(RawPixelAt(converted.get(), 0, 0), 0x030201u);
  EXPECT_EQ(RawPixelAt(converted.get(), 1, 0), 0u);
}

TEST(ConvertToTrueColour, RefusesOtherDepths) {
  PackedImage colour = MakePatternImage(3, 3, 24);
  PackedImage deep(NewImageBlock(3, 3, 32, 0));
  EXPECT_EQ(ConvertToTrueColour(nullptr), nullptr);
  EXPECT_EQ(ConvertToTrueColour(colour.get()), nullptr);
  EXPECT_EQ(ConvertToTrueColour(deep.get()), nullptr);
}

TEST(ConvertToGray, TrueColourUsesIntegerLuma) {
  PackedImage source(CreatePackedImage(5, 1, 0, 0));
  const ColourWord colours[] = {MakeColourWord(255, 0, 0), MakeColourWord(0, 255, 0),
                                MakeColourWord(0, 0, 255), MakeColourWord(255, 255, 255),
                                MakeColourWord(10, 100, 200)};
  {
    ImageLock lock(source.get());
    for (int x = 0; x < 5; ++x)
      PutColourWord(lock.row(0) + 3 * x, colours[x]);
  }
  PackedImage gray(ConvertToGray(source.get()));
  ASSERT_TRUE(gray);
  EXPECT_EQ(GetImageKind(gray.get()), kImageKindGray);
  // (r * 77 + g * 150 + b * 29 + 128) >> 8
  const std::uint32_t expected[] = {77, 149, 29, 255, (770 + 15000 + 5800 + 128) >> 8};
  for (int x = 0; x < 5; ++x)
    EXPECT_EQ(RawPixelAt(gray.get(), x, 0), expected[x]) << x;
}

TEST(ConvertToGray, EveryDepthAndOddWidth) {
  struct Case {
    int bits;
    bool gray;
  };
  for (Case c : {Case{1, false}, Case{4, false}, Case{8, false}, Case{8, true}, Case{24, false}}) {
    for (int width : {1, 2, 3, 5}) {
      PackedImage source = MakePatternImage(width, 2, c.bits, c.gray);
      PackedImage gray(ConvertToGray(source.get()));
      ASSERT_TRUE(gray);
      EXPECT_EQ(GetImageKind(gray.get()), kImageKindGray);
      for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < width; ++x) {
          RgbQuad p = PixelAt(source.get(), x, y);
          std::uint32_t luma = (p.red * 77u + p.green * 150u + p.blue * 29u + 128u) >> 8;
          EXPECT_EQ(RawPixelAt(gray.get(), x, y), luma) << c.bits << "-bit at " << x;
          if (c.gray) {
            EXPECT_EQ(RawPixelAt(gray.get(), x, y), RawPixelAt(source.get(), x, y));
          }
        }
      }
    }
  }
}

TEST(ConvertToGray, RefusesOtherDepths) {
  EXPECT_EQ(ConvertToGray(nullptr), nullptr);
  PackedImage deep = SixteenBitRow({1, 2});
  EXPECT_EQ(ConvertToGray(deep.get()), nullptr);
}

}  // namespace
}  // namespace tx
