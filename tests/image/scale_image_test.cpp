#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "image/image_utils.h"
#include "platform/cancel_flag.h"
#include "platform/notices.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

using testing::MakePatternImage;
using testing::MaxColourDifference;
using testing::RawPixelAt;

// An 8-bit gray image from rows given top row first.
PackedImage GrayImage(std::initializer_list<std::vector<std::uint8_t>> rows) {
  int height = int(rows.size()), width = int(rows.begin()->size());
  PackedImage image(CreatePackedImage(width, height, 0, 1));
  ImageLock lock(image.get());
  int y = 0;
  for (const auto& values : rows) {
    for (int x = 0; x < width; ++x)
      lock.topDownRow(y)[x] = values[x];
    ++y;
  }
  return image;
}

std::vector<int> RowValues(GlobalHandle image, int y) {
  ImageLock lock(image);
  std::vector<int> values;
  for (int x = 0; x < lock.width(); ++x)
    values.push_back(int(RawPixelAt(image, x, y)));
  return values;
}

TEST(ScaleImage, TwoPixelsToFourFollowTheHalfStepPositions) {
  // Positions 0, 0.5, 1 and 1.5: the last two sit on (or past) the last pixel.
  PackedImage gray = GrayImage({{0, 255}});
  PackedImage scaled(ScaleImage(gray.get(), 4, 1));
  ASSERT_TRUE(scaled);
  EXPECT_EQ(RowValues(scaled.get(), 0), (std::vector<int>{0, 128, 255, 255}));
  EXPECT_EQ(GetImageKind(scaled.get()), kImageKindGray);

  PackedImage colour(CreatePackedImage(2, 1, 0, 0));
  {
    ImageLock lock(colour.get());
    lock.row(0)[3] = lock.row(0)[4] = lock.row(0)[5] = 255;
  }
  PackedImage scaledColour(ScaleImage(colour.get(), 4, 1));
  ASSERT_TRUE(scaledColour);
  for (int x = 0; x < 4; ++x) {
    int expected = std::vector<int>{0, 128, 255, 255}[x];
    EXPECT_EQ(RawPixelAt(scaledColour.get(), x, 0), std::uint32_t(expected * 0x010101)) << x;
  }
}

TEST(ScaleImage, HandComputedBilinearSamples) {
  // 3 -> 2: x = 1.5 gives a = trunc(0.5 * 8 + 0.5) = 4, (80 * 32 + 240 * 32 + 32) >> 6 = 160.
  PackedImage row = GrayImage({{0, 80, 240}});
  PackedImage narrow(ScaleImage(row.get(), 2, 1));
  EXPECT_EQ(RowValues(narrow.get(), 0), (std::vector<int>{0, 160}));

  // 2x2 -> 3x3 (step 2/3). Stored rows: bottom (10, 200), top (50, 90). The
  // middle sample has a = b = 3: (10*9 + 200*15 + 50*15 + 90*25 + 32) >> 6 = 95.
  PackedImage square = GrayImage({{50, 90}, {10, 200}});
  PackedImage big(ScaleImage(square.get(), 3, 3));
  ASSERT_TRUE(big);
  // The bottom output row reads only the bottom source row (b = 8), the top
  // one (y = 4/3, past the last row) only the top source row.
  EXPECT_EQ(RowValues(big.get(), 2), (std::vector<int>{10, (10 * 24 + 200 * 40 + 32) >> 6, 200}));
  EXPECT_EQ(RowValues(big.get(), 1)[1], 95);
  EXPECT_EQ(RowValues(big.get(), 0), (std::vector<int>{50, (50 * 24 + 90 * 40 + 32) >> 6, 90}));
}

TEST(ScaleImage, HeaderAndColourTableCarryOver) {
  PackedImage source = MakePatternImage(7, 5, 4);
  {
    ImageLock lock(source.get());
    lock.header().biXPelsPerMeter = 3000;
    lock.header().biYPelsPerMeter = 5000;
  }
  PackedImage scaled(ScaleImage(source.get(), 3, 9));
  ImageLock src(source.get()), dst(scaled.get());
  ASSERT_TRUE(dst);
  EXPECT_EQ(dst.width(), 3);
  EXPECT_EQ(dst.height(), 9);
  EXPECT_EQ(dst.bitCount(), 4);
  EXPECT_EQ(dst.header().biSizeImage, 4u * 9);
  EXPECT_EQ(dst.header().biXPelsPerMeter, 3000);
  EXPECT_EQ(dst.header().biYPelsPerMeter, 3000) << "both from the horizontal resolution";
  ASSERT_EQ(dst.colourCount(), 16u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(dst.palette()[i].red, src.palette()[i].red);
    EXPECT_EQ(dst.palette()[i].blue, src.palette()[i].blue);
  }
}

struct DepthCase {
  int bits;
  bool gray;
};
constexpr DepthCase kDepths[] = {{1, false}, {4, false}, {8, false}, {8, true}, {24, false}};

TEST(ScaleImage, IndexedImagesPickTheNearestPixelForOddWidths) {
  for (DepthCase depth : kDepths) {
    if (depth.bits == 24 || depth.gray) continue;
    for (int width : {1, 2, 3, 5}) {
      for (int newWidth : {1, 2, 3, 5, 9}) {
        PackedImage source = MakePatternImage(width, 3, depth.bits);
        PackedImage scaled(ScaleImage(source.get(), newWidth, 4));
        ASSERT_TRUE(scaled) << depth.bits << " " << width;
        for (int y = 0; y < 4; ++y) {
          // Stored rows count from the bottom; the rule applies to them.
          int storedY = 3 - y;
          int srcStored = std::min(int(std::trunc(storedY * 3.0 / 4 + 0.5)), 2);
          for (int x = 0; x < newWidth; ++x) {
            int srcX = std::min(int(std::trunc(double(x) * width / newWidth + 0.5)), width - 1);
            ASSERT_EQ(RawPixelAt(scaled.get(), x, y), RawPixelAt(source.get(), srcX, 2 - srcStored))
                << depth.bits << "-bit " << width << "->" << newWidth << " at " << x << "," << y;
          }
        }
      }
    }
  }
}

TEST(ScaleImage, SameSizeIsAnExactCopyAndPaddingStaysZero) {
  for (DepthCase depth : kDepths) {
    for (int width : {1, 2, 3, 5}) {
      PackedImage source = MakePatternImage(width, 3, depth.bits, depth.gray);
      PackedImage copy(ScaleImage(source.get(), width, 3));
      ASSERT_TRUE(copy);
      EXPECT_EQ(GetImageKind(copy.get()), GetImageKind(source.get()));
      ImageLock a(source.get()), b(copy.get());
      for (int y = 0; y < 3; ++y) {
        // Whole stored rows, padding included, are identical.
        EXPECT_EQ(std::vector<std::uint8_t>(a.row(y), a.row(y) + a.stride()),
                  std::vector<std::uint8_t>(b.row(y), b.row(y) + b.stride()))
            << depth.bits << "-bit width " << width;
      }
    }
  }
}

TEST(ScaleImage, BilinearKeepsAFlatImageFlatAtOddSizes) {
  for (int width : {1, 2, 3, 5}) {
    for (int newWidth : {1, 2, 3, 5, 11}) {
      PackedImage flat(CreatePackedImage(width, 3, 0x00336699, 0));
      PackedImage expected(CreatePackedImage(newWidth, 7, 0x00336699, 0));
      PackedImage scaled(ScaleImage(flat.get(), newWidth, 7));
      EXPECT_EQ(MaxColourDifference(scaled.get(), expected.get()), 0) << width << "->" << newWidth;
    }
  }
}

TEST(ScaleImage, RefusesWhatItCannotScale) {
  PackedImage image = MakePatternImage(4, 4, 24);
  PackedImage deep(NewImageBlock(4, 4, 16, 0));
  std::size_t before = GlobalLiveBlockCount();
  EXPECT_EQ(ScaleImage(nullptr, 2, 2), nullptr);
  EXPECT_EQ(ScaleImage(image.get(), 0, 2), nullptr);
  EXPECT_EQ(ScaleImage(image.get(), 2, -1), nullptr);
  EXPECT_EQ(ScaleImage(deep.get(), 2, 2), nullptr);
  EXPECT_EQ(GlobalLiveBlockCount(), before);
}

class CountingSink : public NoticeSink {
 public:
  void Show(const std::string&, const std::string&, NoticeIcon) override { ++count; }
  NoticeAnswer AskYesNo(const std::string&, const std::string&) override {
    return NoticeAnswer::Yes;
  }
  NoticeAnswer AskYesNoCancel(const std::string&, const std::string&) override {
    return NoticeAnswer::Yes;
  }
  void Beep() override {}
  int count = 0;
};

TEST(ScaleImage, OnlyAnImpossibleBlockShowsTheMemoryMessage) {
  auto sink = std::make_shared<CountingSink>();
  auto previous = SetNoticeSink(sink);
  PackedImage image = MakePatternImage(4, 4, 24);
  EXPECT_EQ(ScaleImage(nullptr, 2, 2), nullptr);
  EXPECT_EQ(ResampleMitchell(image.get(), 0, 2), nullptr);
  EXPECT_EQ(sink->count, 0);
  std::size_t before = GlobalLiveBlockCount();
  // 70000 x 70000 x 3 bytes does not fit a 32-bit block.
  EXPECT_EQ(ScaleImage(image.get(), 70000, 70000), nullptr);
  EXPECT_EQ(ResampleMitchell(image.get(), 70000, 70000), nullptr);
  EXPECT_EQ(FitImageForDisplay(image.get(), 70000, 70000, false, false), nullptr);
  EXPECT_EQ(sink->count, 3);
  EXPECT_EQ(GlobalLiveBlockCount(), before);
  SetNoticeSink(previous);
}

TEST(ScaleImage, AbortSwitchCancelsAndFreesThePartialResult) {
  PackedImage image = MakePatternImage(40, 30, 24);
  PackedImage indexed = MakePatternImage(40, 30, 4);
  std::size_t before = GlobalLiveBlockCount();
  SetImageAbortSwitch(true);
  for (GlobalHandle source : {image.get(), indexed.get()}) {
    RequestCancel();
    EXPECT_EQ(ScaleImage(source, 20, 15), nullptr);
    EXPECT_EQ(GlobalLiveBlockCount(), before);
  }
  SetImageAbortSwitch(false);

  // With the switch off a pending cancel is neither seen nor consumed.
  RequestCancel();
  PackedImage scaled(ScaleImage(image.get(), 20, 15));
  EXPECT_TRUE(scaled);
  EXPECT_TRUE(PollCancel());
}

}  // namespace
}  // namespace tx
