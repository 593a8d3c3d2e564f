#include "platform/global_memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tx {
namespace {

TEST(GlobalMemory, NewBlockIsZeroFilledAndSized) {
  GlobalHandle block = GlobalAlloc(1000);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 1000u);
  auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(bytes[i], 0) << i;
  GlobalUnlock(block);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(GlobalMemory, LockCountRisesAndFalls) {
  GlobalHandle block = GlobalAlloc(8);
  void* first = GlobalLock(block);
  void* second = GlobalLock(block);
  EXPECT_EQ(first, second);
  EXPECT_EQ(GlobalLockCount(block), 2u);
  EXPECT_TRUE(GlobalUnlock(block));
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_FALSE(GlobalUnlock(block)) << "unlocking an unlocked block stays at zero";
  EXPECT_EQ(GlobalLockCount(block), 0u);
  GlobalFree(block);
}

TEST(GlobalMemory, ReAllocKeepsContentsZeroesGrowthAndKeepsHandle) {
  GlobalHandle block = GlobalAlloc(4);
  std::memcpy(GlobalLock(block), "abcd", 4);
  GlobalUnlock(block);
  ASSERT_EQ(GlobalReAlloc(block, 4096), block);
  auto* bytes = static_cast<char*>(GlobalLock(block));
  EXPECT_EQ(std::memcmp(bytes, "abcd", 4), 0);
  for (int i = 4; i < 4096; ++i)
    ASSERT_EQ(bytes[i], 0) << i;
  GlobalUnlock(block);

  // Shrink, then grow again: the bytes cut off must come back as zeros.
  ASSERT_EQ(GlobalReAlloc(block, 2), block);
  ASSERT_EQ(GlobalReAlloc(block, 4), block);
  bytes = static_cast<char*>(GlobalLock(block));
  EXPECT_EQ(bytes[0], 'a');
  EXPECT_EQ(bytes[2], 0);
  GlobalUnlock(block);
  GlobalFree(block);
}

TEST(GlobalMemory, LockedBlockDoesNotMove) {
  GlobalHandle block = GlobalAlloc(16);
  GlobalLock(block);
  EXPECT_EQ(GlobalReAlloc(block, 1 << 20), nullptr);
  EXPECT_EQ(GlobalSize(block), 16u) << "a failed re-allocation leaves the block alone";
  EXPECT_EQ(GlobalReAlloc(block, 8), block) << "shrinking in place is allowed";
  GlobalUnlock(block);
  GlobalFree(block);
}

TEST(GlobalMemory, NullAndStaleHandlesFailQuietly) {
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
  EXPECT_EQ(GlobalSize(nullptr), 0u);
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
  EXPECT_EQ(GlobalReAlloc(nullptr, 10), nullptr);

  GlobalHandle block = GlobalAlloc(16);
  std::size_t live = GlobalLiveBlockCount();
  ASSERT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalLiveBlockCount(), live - 1);
  EXPECT_EQ(GlobalFree(block), block) << "a double free is refused";
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalSize(block), 0u);
}

TEST(GlobalMemory, AllocationLimitSimulatesExhaustion) {
  SetGlobalAllocLimit(100);
  EXPECT_EQ(GlobalAlloc(101), nullptr);
  GlobalHandle block = GlobalAlloc(100);
  EXPECT_NE(block, nullptr);
  EXPECT_EQ(GlobalReAlloc(block, 200), nullptr);
  SetGlobalAllocLimit(0);
  GlobalFree(block);
}

}  // namespace
}  // namespace tx
