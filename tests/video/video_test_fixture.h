#pragma once
// What the video reader's tests share: a frame collector for the callback
// and a fixture that installs it and checks no frame is left unfreed.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/global_memory.h"
#include "tests/support/test_images.h"
#include "video/video_api.h"

namespace tx::videotest {

/// Keeps every delivered frame; optionally breaks the read after a number
/// of frames, from inside the callback as the program may.
struct Collector {
  std::vector<PackedImage> frames;
  std::size_t breakAfter = 0;

  static void Receive(void* frame, void* context) {
    auto* self = static_cast<Collector*>(context);
    self->frames.emplace_back(frame);
    if (self->frames.size() == self->breakAfter) BreakTran();
  }
};

/// The frame number a test video painted into the middle of `image`, or -1.
inline int FrameIndex(GlobalHandle image) {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  if (!GetImageSize(image, width, height)) return -2;
  RgbQuad pixel = testing::PixelAt(image, width / 2, height / 2);
  return testing::NearestIndex(pixel.blue, pixel.green, pixel.red);
}

/// Installs the collector as the reader's callback for each test, and at
/// the end ends any preview and checks every frame was freed.
class VideoFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_liveBlocks = GlobalLiveBlockCount();
    InitProc(&Collector::Receive, &collector);
  }
  void TearDown() override {
    InitProc(nullptr, nullptr);
    EndPlay();
    collector.frames.clear();
    EXPECT_EQ(GlobalLiveBlockCount(), m_liveBlocks) << "a frame was leaked";
  }

  testing::TempDir dir;
  Collector collector;

 private:
  std::size_t m_liveBlocks = 0;
};

}  // namespace tx::videotest
