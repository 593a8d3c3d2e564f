// Fuzzes the video reader: the input becomes a file that is sampled, asked
// for its facts and played for a few frames. Every frame handed out is read
// whole and freed.

#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_common.h"
#include "video/video_api.h"

namespace {

constexpr std::size_t kMaxVideoBytes = 1u << 20;

void TakeFrame(void* frame, void* context) {
  tx::PackedImage owned(frame);
  tx::fuzz::TouchImage(owned.get());
  ++*static_cast<std::uint32_t*>(context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxVideoBytes) return 0;
  static tx::fuzz::ScratchFolder scratch;
  static const std::string path = (scratch.path() / "input").string();
  if (!tx::fuzz::WriteFile(path, data, size)) return 0;

  std::uint32_t received = 0;
  InitProc(TakeFrame, &received);
  std::uint32_t delivered = 0;
  const int read = ReadVideoImage(path.c_str(), 2, 200, &delivered);
  if (delivered != received || (!read && delivered != 0)) tx::fuzz::Fail();
  InitProc(nullptr, nullptr);

  std::uint32_t framesPerSecond = 0, durationMs = 0, frameSize = 0;
  const int known = GetVideoInfo(path.c_str(), &framesPerSecond, &durationMs, &frameSize);
  if (known && framesPerSecond < 1) tx::fuzz::Fail();

  if (StartPlay(path.c_str())) {
    for (int i = 0; i < 4; ++i) {
      tx::PackedImage frame(GetVideoFrame());
      if (!frame) break;
      tx::fuzz::TouchImage(frame.get());
    }
  }
  EndPlay();
  return 0;
}
