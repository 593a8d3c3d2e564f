#include "tests/support/test_videos.h"

namespace tx::testing {

bool WriteTestVideo(const std::filesystem::path&, const TestVideo&, std::string& error) {
  error = "not written yet";
  return false;
}

}  // namespace tx::testing
