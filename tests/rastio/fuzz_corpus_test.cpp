// Every picture the fuzzers keep, among them the inputs that once crashed or
// hung a decoder, goes through its decoder again in the normal test run
// (and under the sanitizers), with the limits the fuzzers use.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "rastio/codec.h"
#include "rastio/rastio.h"

namespace tx::rastio {
namespace {

namespace fs = std::filesystem;

ByteVector ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return ByteVector(std::istreambuf_iterator<char>(in), {});
}

TEST(FuzzCorpus, EveryKeptPictureDecodesOrFailsWithAReason) {
  const std::pair<const char*, Decoded (*)(ByteSpan)> readers[] = {
      {"picture_jpeg", DecodeJpeg}, {"picture_png", DecodePng},   {"picture_tiff", DecodeTiff},
      {"picture_gif", DecodeGif},   {"picture_bmp", DecodeBmp},   {"picture_pcx", DecodePcx},
      {"picture_tga", DecodeTga},   {"picture_webp", DecodeWebp}, {"picture_heif", DecodeHeif}};
  SetPictureSizeLimits(4096, 4'000'000);
  int files = 0;
  for (const auto& [folder, decode] : readers) {
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(TESSERIX_FUZZ_CORPUS) / folder)) {
      Decoded decoded = decode(ReadAll(entry.path()));
      EXPECT_TRUE(decoded.image || !decoded.error.empty()) << entry.path();
      ++files;
    }
  }
  SetPictureSizeLimits(kMaxPictureSide, kMaxPicturePixels);
  EXPECT_GT(files, 9);
}

}  // namespace
}  // namespace tx::rastio
