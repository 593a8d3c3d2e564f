#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/image_block.h"
#include "image/image_utils.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

class ReadBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 100; ++i)
      m_bytes.push_back(std::uint8_t(i * 7 + 3));
    std::FILE* out = std::fopen(Path().c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(m_bytes.data(), 1, m_bytes.size(), out);
    std::fclose(out);
  }
  std::string Path() const { return (m_dir / "data.bin").string(); }

  testing::TempDir m_dir;
  std::vector<std::uint8_t> m_bytes;
};

TEST_F(ReadBlockTest, ReadsTheRangeIntoABlockWithSpareBytes) {
  std::FILE* file = std::fopen(Path().c_str(), "rb");
  ASSERT_NE(file, nullptr);
  struct Range {
    std::uint64_t offset;
    std::uint32_t size;
  };
  for (Range r : {Range{0, 100}, Range{10, 20}, Range{99, 1}}) {
    PackedImage block(ReadBlock(file, r.offset, r.size));
    ASSERT_TRUE(block) << r.offset;
    EXPECT_EQ(GlobalSize(block.get()), r.size + kImageBlockSpare);
    auto* data = static_cast<std::uint8_t*>(GlobalLock(block.get()));
    EXPECT_EQ(std::memcmp(data, m_bytes.data() + r.offset, r.size), 0) << r.offset;
    GlobalUnlock(block.get());
  }
  std::fclose(file);
}

TEST_F(ReadBlockTest, ShortOrUnreadableFilesGiveNullAndLeaveNoBlock) {
  std::size_t before = GlobalLiveBlockCount();
  std::FILE* file = std::fopen(Path().c_str(), "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadBlock(file, 0, 101), nullptr);
  EXPECT_EQ(ReadBlock(file, 90, 11), nullptr);
  EXPECT_EQ(ReadBlock(file, 200, 1), nullptr);
  EXPECT_EQ(ReadBlock(file, ~std::uint64_t(0), 1), nullptr);
  EXPECT_EQ(ReadBlock(file, 0, 0), nullptr);
  EXPECT_EQ(ReadBlock(file, 0, 0xFFFFFFFFu), nullptr) << "refused before allocating";
  std::fclose(file);
  EXPECT_EQ(ReadBlock(nullptr, 0, 1), nullptr);

  // Opened for appending only: long enough, but reading fails.
  std::FILE* writeOnly = std::fopen(Path().c_str(), "ab");
  ASSERT_NE(writeOnly, nullptr);
  EXPECT_EQ(ReadBlock(writeOnly, 0, 10), nullptr);
  std::fclose(writeOnly);
  EXPECT_EQ(GlobalLiveBlockCount(), before);
}

}  // namespace
}  // namespace tx
