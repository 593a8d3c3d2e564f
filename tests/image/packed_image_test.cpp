#include "image/packed_image.h"

#include <gtest/gtest.h>

#include "image/image_block.h"
#include "image/image_lock.h"
#include "platform/notices.h"

namespace tx {
namespace {

TEST(PackedImage, StrideFollowsTheFourByteRule) {
  EXPECT_EQ(RowStride(24, 1), 4u);
  EXPECT_EQ(RowStride(24, 4), 12u);
  EXPECT_EQ(RowStride(8, 5), 8u);
  EXPECT_EQ(RowStride(4, 9), 8u);
  EXPECT_EQ(RowStride(1, 33), 8u);
}

TEST(PackedImage, TrueColourImageLayout) {
  PackedImage image(CreatePackedImage(1, 2, 0x00112233, 0));
  ASSERT_TRUE(image);
  EXPECT_EQ(GlobalSize(image.get()), 4u * 2 + 40);
  ImageLock lock(image.get());
  ASSERT_TRUE(lock);
  const BitmapInfoHeader& h = lock.header();
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biSizeImage, 8u);
  EXPECT_EQ(h.biXPelsPerMeter, 7874);
  EXPECT_EQ(h.biYPelsPerMeter, 7874);
  EXPECT_EQ(h.biClrUsed, 0u);
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(lock.row(y)[0], 0x11);  // blue from bits 16-23
    EXPECT_EQ(lock.row(y)[1], 0x22);
    EXPECT_EQ(lock.row(y)[2], 0x33);  // red from the low byte
    EXPECT_EQ(lock.row(y)[3], 0) << "row padding stays zero";
  }
}

TEST(PackedImage, BlueFillIsByteZero) {
  PackedImage image(CreatePackedImage(3, 2, 0x00FF0000, 0));
  ImageLock lock(image.get());
  ASSERT_TRUE(lock);
  EXPECT_EQ(lock.stride(), 12u);
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(lock.row(1)[3 * x], 255);
    EXPECT_EQ(lock.row(1)[3 * x + 1], 0);
    EXPECT_EQ(lock.row(1)[3 * x + 2], 0);
  }
}

TEST(PackedImage, GrayImageLayoutAndKind) {
  PackedImage image(CreatePackedImage(5, 3, 0x00ABCD80, 1));
  ASSERT_TRUE(image);
  EXPECT_EQ(GlobalSize(image.get()), 8u * 3 + 1064);
  EXPECT_EQ(GetImageKind(image.get()), kImageKindGray);
  EXPECT_EQ(IsGrayImage(image.get()), 1);
  ImageLock lock(image.get());
  EXPECT_EQ(lock.header().biClrUsed, 256u);
  EXPECT_EQ(lock.row(2)[4], 0x80) << "the low byte of fill";
  EXPECT_EQ(lock.row(2)[5], 0) << "padding";
}

TEST(PackedImage, OneChangedEntryMakesAPaletteImage) {
  PackedImage image(CreatePackedImage(2, 2, 0, 1));
  {
    ImageLock lock(image.get());
    lock.palette()[200].green = 1;
  }
  EXPECT_EQ(GetImageKind(image.get()), kImageKindPalette8);
  EXPECT_EQ(IsGrayImage(image.get()), 0);
}

TEST(PackedImage, KindsOfOtherDepths) {
  struct Case {
    int bits;
    int kind;
  };
  for (Case c : {Case{1, kImageKind1Bit}, Case{4, kImageKind4Bit}, Case{16, kImageKindOther},
                 Case{32, kImageKindOther}}) {
    PackedImage image(NewImageBlock(3, 3, c.bits, c.bits <= 8 ? 1u << c.bits : 0));
    EXPECT_EQ(GetImageKind(image.get()), c.kind) << c.bits;
    EXPECT_EQ(GetImageBitCount(image.get()), c.bits);
  }
}

TEST(PackedImage, SizeReportsTheLowSixteenBits) {
  PackedImage image(CreatePackedImage(70000, 1, 0, 1));
  ASSERT_TRUE(image);
  std::uint16_t w = 0, h = 0;
  EXPECT_EQ(GetImageSize(image.get(), w, h), 1);
  EXPECT_EQ(w, 4464);
  EXPECT_EQ(h, 1);
}

TEST(PackedImage, NullAndHostileInputs) {
  std::uint16_t w = 7, h = 7;
  EXPECT_EQ(GetImageSize(nullptr, w, h), 0);
  EXPECT_EQ(w, 7);
  EXPECT_EQ(GetImageBitCount(nullptr), -1);
  EXPECT_EQ(GetImageKind(nullptr), kImageKindOther);
  EXPECT_EQ(IsGrayImage(nullptr), 0);
  EXPECT_EQ(CreatePackedImage(0, 5, 0, 0), nullptr);
  EXPECT_EQ(CreatePackedImage(5, -1, 0, 0), nullptr);
  EXPECT_EQ(CreatePackedImage(60000, 60000, 0, 0), nullptr) << "beyond a 32-bit block";

  // A header claiming more rows than the block holds is not an image.
  GlobalHandle block = GlobalAlloc(40 + 12);
  auto* header = static_cast<BitmapInfoHeader*>(GlobalLock(block));
  *header = BitmapInfoHeader{40, 4, 100, 1, 24, 0, 0, 0, 0, 0, 0};
  GlobalUnlock(block);
  EXPECT_FALSE(ImageLock(block).valid());
  EXPECT_EQ(IsGrayImage(block), 0);
  EXPECT_EQ(GlobalLockCount(block), 0u) << "a failed lock is released";
  GlobalFree(block);
}

class CountingSink : public NoticeSink {
 public:
  void Show(const std::string& text, const std::string& title, NoticeIcon) override {
    last = title + ": " + text;
    ++count;
  }
  NoticeAnswer AskYesNo(const std::string&, const std::string&) override {
    return NoticeAnswer::Yes;
  }
  NoticeAnswer AskYesNoCancel(const std::string&, const std::string&) override {
    return NoticeAnswer::Yes;
  }
  void Beep() override {}
  std::string last;
  int count = 0;
};

TEST(ImageBlock, SpareBytesAndTheMemoryMessage) {
  auto sink = std::make_shared<CountingSink>();
  auto previous = SetNoticeSink(sink);
  GlobalHandle block = AllocImageBlock(100);
  EXPECT_EQ(GlobalSize(block), 110u);
  GlobalFree(block);
  EXPECT_EQ(sink->count, 0);

  SetGlobalAllocLimit(1000);
  EXPECT_EQ(AllocImageBlock(5000), nullptr);
  EXPECT_EQ(sink->last, "System message: There is not enough memory.");
  EXPECT_EQ(NewImageBlock(100, 100, 24, 0, OnAllocFailure::Quiet), nullptr);
  EXPECT_EQ(sink->count, 1) << "quiet allocation shows nothing";
  SetGlobalAllocLimit(0);
  EXPECT_EQ(AllocImageBlock(std::uint64_t(1) << 33), nullptr) << "beyond 32 bits";
  EXPECT_EQ(sink->count, 2);
  SetNoticeSink(previous);
}

}  // namespace
}  // namespace tx
