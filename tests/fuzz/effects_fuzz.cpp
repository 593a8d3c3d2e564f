// Fuzzes the effects with hostile parameter records on small pictures of
// every depth. Input layout: one byte picks the effect from the catalogue,
// 20 bytes are the five-int record, three bytes give width (1 to 64),
// height (1 to 64) and depth, the rest fills the colour table and then the
// pixel rows. The source picture must come back unchanged.

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "effects/fxkit.h"
#include "image/image_block.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

struct Depth {
  int bitCount;
  std::uint32_t colours;
  bool gray;
};

constexpr std::array<Depth, 7> kDepths = {{
    {1, 2, false},
    {4, 16, false},
    {8, 256, false},
    {8, 256, true},
    {16, 0, false},
    {24, 0, false},
    {32, 0, false},
}};

constexpr std::size_t kHeadBytes = 1 + 20 + 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > tx::fuzz::kMaxInputBytes || size < kHeadBytes) return 0;
  const auto catalogue = tx::fx::EffectCatalogue();
  const int id = catalogue[data[0] % catalogue.size()].id;
  int record[5];
  std::memcpy(record, data + 1, sizeof record);
  const int width = data[21] % 64 + 1;
  const int height = data[22] % 64 + 1;
  const Depth depth = kDepths[data[23] % kDepths.size()];
  const std::uint8_t* fill = data + kHeadBytes;
  std::size_t left = size - kHeadBytes;

  tx::PackedImage image(
      tx::NewImageBlock(width, height, depth.bitCount, depth.colours, tx::OnAllocFailure::Quiet));
  if (!image) tx::fuzz::Fail();
  std::vector<std::uint8_t> before;
  {
    tx::ImageLock lock(image.get());
    if (!lock) tx::fuzz::Fail();
    if (depth.gray) {
      tx::FillGrayRamp(lock.palette());
    } else {
      const std::size_t bytes = std::min<std::size_t>(left, 4 * std::size_t{depth.colours});
      std::memcpy(lock.palette(), fill, bytes);
      fill += bytes;
      left -= bytes;
    }
    const std::size_t pixelBytes = std::size_t{lock.stride()} * std::size_t(height);
    std::memcpy(lock.bits(), fill, std::min(left, pixelBytes));
    const auto* start = reinterpret_cast<const std::uint8_t*>(&lock.header());
    before.assign(start, start + lock.imageBytes());
  }

  tx::PackedImage result(DoEE(image.get(), id, record));
  if (result) tx::fuzz::TouchImage(result.get());
  tx::ImageLock lock(image.get());
  if (!lock || lock.imageBytes() != before.size() ||
      std::memcmp(&lock.header(), before.data(), before.size()) != 0) {
    tx::fuzz::Fail();
  }
  return 0;
}
