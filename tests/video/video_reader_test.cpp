#include <gtest/gtest.h>

#include "video/video_api.h"

namespace tx {
namespace {

TEST(VideoReader, MissingFileIsNotRead) {
  EXPECT_EQ(ReadVideoImage("/nonexistent/clip.avi", 2, 1000, nullptr), 0);
}

}  // namespace
}  // namespace tx
