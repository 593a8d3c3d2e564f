// The sample disc collection as the build leaves it in the program folder:
// an index of about a thousand tiles marked as a disc collection's, and the
// tile pictures it names.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

// The build tools and the program share the runtime output folder.
const fs::path kProgramDir = fs::path(TESSERIX_RESCOMP_PATH).parent_path();
const fs::path kIndexFile = kProgramDir / "TXS" / "Sample.TXS";
const fs::path kTileFolder = kProgramDir / "Sample";

constexpr std::size_t kHeaderBytes = 16;
constexpr std::size_t kRecordBytes = 168;

std::string ReadFile(const fs::path& file) {
  std::ifstream stream(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(stream), {});
}

std::uint32_t Word(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = value << 8 | std::uint8_t(bytes[offset + i]);
  return value;
}

bool IsJpegFile(const fs::path& file) {
  return ReadFile(file).rfind("\xFF\xD8\xFF", 0) == 0;
}

fs::path TilePicture(std::uint32_t number, int resolution) {
  char name[32];
  std::snprintf(name, sizeof name, "Res%d/%03u/%03u.jpg", resolution, number / 1000, number % 1000);
  return kTileFolder / name;
}

std::uint32_t RecordCount() {
  const std::string index = ReadFile(kIndexFile);
  return index.size() < kHeaderBytes ? 0 : Word(index, 8);
}

TEST(SampleCollection, IndexHoldsAboutAThousandDiscTiles) {
  const std::string index = ReadFile(kIndexFile);
  ASSERT_GE(index.size(), kHeaderBytes) << kIndexFile;
  EXPECT_EQ(index.substr(0, 4), "TXSF");
  const std::uint32_t count = Word(index, 8);
  EXPECT_EQ(Word(index, 4), index.size());
  EXPECT_EQ(index.size(), kHeaderBytes + kRecordBytes * count);
  EXPECT_GE(count, 600u);
  EXPECT_LE(count, 1500u);
  // Disc collections' tile pictures carry ".jpg", which readers learn from
  // this flag.
  EXPECT_NE(Word(index, 12), 0u);
}

TEST(SampleCollection, FirstAndLastTilesHavePicturesAtBothResolutions) {
  const std::uint32_t count = RecordCount();
  ASSERT_GT(count, 0u);
  for (std::uint32_t number : {0u, count - 1}) {
    for (int resolution : {10, 15}) {
      EXPECT_TRUE(IsJpegFile(TilePicture(number, resolution))) << TilePicture(number, resolution);
    }
  }
  EXPECT_FALSE(fs::exists(TilePicture(count, 10)));
}

TEST(SampleCollection, TargetPhotoLiesBesideTheProgram) {
  EXPECT_TRUE(IsJpegFile(kProgramDir / "sample-target.jpg"));
}

}  // namespace
