// Fuzzes the skin file reader: the input is a skin file, read as a whole
// (group -1) and as groups 0 and 1. A group that is read must hold only
// pictures the image code accepts, no more buttons than the entries allow,
// and every block it made must be gone once it is dropped.

#include "app/skin/skin_file.h"
#include "app/skin/skin_format.h"
#include "tests/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > tx::fuzz::kMaxInputBytes) return 0;
  const std::span<const std::uint8_t> bytes(data, size);
  const std::size_t blocksBefore = tx::GlobalLiveBlockCount();
  for (int group : {-1, 0, 1}) {
    {
      tx::SkinGroup out;
      std::string why;
      const bool ok = tx::ParseSkinGroup(bytes, group, out, why);
      if (!ok && (!out.buttons.empty() || why.empty())) tx::fuzz::Fail();
      const std::size_t mostButtons =
          (tx::skin::kMaxEntries + tx::skin::kEntriesPerButton - 1) / tx::skin::kEntriesPerButton;
      if (out.buttons.size() > mostButtons) tx::fuzz::Fail();
      std::size_t pictureBytes = 0;
      for (const tx::SkinButton& button : out.buttons) {
        for (const tx::PackedImage& picture : button.pictures) {
          if (!picture) continue;
          tx::fuzz::TouchImage(picture.get());
          pictureBytes += tx::GlobalSize(picture.get());
        }
      }
      if (pictureBytes > size) tx::fuzz::Fail();
    }
    if (tx::GlobalLiveBlockCount() != blocksBefore) tx::fuzz::Fail();
  }
  return 0;
}
