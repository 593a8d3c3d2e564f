#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "app/widgets/click_sound.h"
#include "tests/gui/gui_support.h"
#include "tests/support/test_images.h"

namespace tx {
namespace {

// A short silent 8-bit mono WAVE file.
void WriteSilentWave(const std::filesystem::path& path) {
  constexpr std::uint32_t kRate = 8000;
  constexpr std::uint32_t kSamples = 400;
  std::vector<std::uint8_t> bytes;
  auto put = [&bytes](std::uint32_t value, int size) {
    for (int k = 0; k < size; ++k)
      bytes.push_back(std::uint8_t(value >> (8 * k)));
  };
  auto tag = [&bytes](const char* four) { bytes.insert(bytes.end(), four, four + 4); };
  tag("RIFF");
  put(36 + kSamples, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);  // PCM
  put(1, 2);  // mono
  put(kRate, 4);
  put(kRate, 4);
  put(1, 2);
  put(8, 2);
  tag("data");
  put(kSamples, 4);
  bytes.insert(bytes.end(), kSamples, 128);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST(ClickSound, AMissingFileIsSilent) {
  guitest::App();
  testing::TempDir folder;
  ClickSound sound(folder.path());
  EXPECT_FALSE(sound.HasFile());
  EXPECT_FALSE(sound.Play());
  EXPECT_FALSE(sound.Play());
}

TEST(ClickSound, PlaysOrStaysSilentWithoutFailingWhereThereIsNoDevice) {
  guitest::App();
  testing::TempDir folder;
  WriteSilentWave(folder / "Click2.WAV");  // found without regard to case
  ClickSound sound(folder.path());
  EXPECT_TRUE(sound.HasFile());
  // Under the offscreen platform there may be no sound device; whichever,
  // a burst of clicks returns without blocking or showing anything.
  for (int i = 0; i < 5; ++i)
    sound.Play();
  QCoreApplication::processEvents();
}

}  // namespace
}  // namespace tx
