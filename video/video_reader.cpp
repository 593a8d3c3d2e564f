// The seven calls of the video reader. Every call catches everything, as
// callers on the other side of the C interface cannot take exceptions.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "video/video_api.h"
#include "video/video_source.h"

namespace tx::video {
namespace {

constexpr int kReadMode = 2;
// Times are compared to the half millisecond: some containers store them
// rounded to whole milliseconds.
constexpr std::int64_t kToleranceUs = 500;
// Without an index that tells where the keyframes are, a target this far
// ahead is reached by seeking, to this much before it so that the keyframe
// the decoder starts from is likely not past the target.
constexpr std::int64_t kBlindSeekGapUs = 2'000'000;
constexpr std::int64_t kBlindSeekLeadUs = 1'000'000;
// Seeks that bring the reader no further than it was stop being tried.
constexpr int kMaxWastedSeeks = 2;

struct Receiver {
  VideoFrameCallback callback = nullptr;
  void* context = nullptr;
};

std::mutex g_receiverMutex;
Receiver g_receiver;
std::atomic<bool> g_break{false};
std::atomic<bool> g_reading{false};

std::mutex g_previewMutex;
std::unique_ptr<VideoSource> g_preview;
// StartPlay decodes the first frame to prove the file plays; it is handed
// out by the first GetVideoFrame.
bool g_previewFrameReady = false;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Where to seek from the frame at `currentUs` to reach `targetUs`, or -1 to
// decode on. When the index shows a keyframe in between, decoding from it
// skips everything before it. Index times may be decoding times, which run up
// to the decoder's delay ahead of presentation, so the keyframe is looked for
// a frame early. Without a usable index, a target far ahead is sought blind.
std::int64_t ChooseSeek(const VideoSource& source, std::int64_t currentUs, std::int64_t targetUs) {
  if (targetUs - currentUs <= 2 * source.frameDurationUs()) return -1;
  std::int64_t aimUs = targetUs - source.frameDurationUs();
  KeyframeHint hint = source.IndexedKeyframe(currentUs, aimUs);
  if (hint.keyframeAhead) return aimUs;
  if (hint.indexReachesTarget) return -1;
  return targetUs - currentUs > kBlindSeekGapUs ? targetUs - kBlindSeekLeadUs : -1;
}

struct ReadResult {
  bool read = false;
  std::uint32_t delivered = 0;
};

// Hands the receiver the first frame at or after each multiple of the
// interval, in presentation order, never the same frame twice.
ReadResult SampleFrames(VideoSource& source, const Receiver& receiver, std::int64_t intervalUs) {
  ReadResult result;
  std::int64_t targetUs = 0;
  std::int64_t lastDeliveredUs = 0;
  std::int64_t currentUs = 0;
  bool decodedAny = false;
  bool seekAllowed = source.seekable();
  bool seekedForTarget = false;
  int wastedSeeks = 0;

  for (;;) {
    if (g_break.load()) break;
    // Seek at most once per target; a seek that does not move the reader on
    // counts against seeking at all.
    bool justSeeked = false;
    std::int64_t beforeSeekUs = currentUs;
    if (decodedAny && seekAllowed && !seekedForTarget && !source.timesCounted()) {
      std::int64_t aimUs = ChooseSeek(source, currentUs, targetUs);
      if (aimUs >= 0) {
        seekedForTarget = true;
        if (source.SeekBefore(aimUs)) {
          justSeeked = true;
        } else {
          seekAllowed = false;
        }
      }
    }

    DecodeResult decoded = source.Next();
    if (decoded == DecodeResult::Stopped) break;
    if (decoded == DecodeResult::End) {
      // Nothing decoded at all: not a readable video.
      if (!decodedAny) return result;
      break;
    }
    if (decoded == DecodeResult::Error) {
      if (result.delivered == 0) return result;
      break;
    }
    std::int64_t timeUs = source.frameTimeUs();
    if (justSeeked) {
      if (timeUs <= beforeSeekUs && ++wastedSeeks >= kMaxWastedSeeks) seekAllowed = false;
      // Landing past the target means this file's seeks are not precise.
      if (timeUs > targetUs + kToleranceUs) seekAllowed = false;
    }
    decodedAny = true;
    currentUs = std::max(currentUs, timeUs);
    if (timeUs + kToleranceUs < targetUs) continue;
    if (result.delivered > 0 && timeUs <= lastDeliveredUs) continue;

    PackedImage image = source.ToImage();
    if (!image) {
      if (result.delivered == 0) return result;
      break;
    }
    receiver.callback(image.release(), receiver.context);
    ++result.delivered;
    lastDeliveredUs = timeUs;
    targetUs = (FloorDiv(timeUs + kToleranceUs, intervalUs) + 1) * intervalUs;
    seekedForTarget = false;
  }
  result.read = decodedAny || g_break.load();
  return result;
}

int ReadVideo(const char* path, int mode, int intervalMs, std::uint32_t* output) {
  if (output) *output = 0;
  Receiver receiver;
  {
    std::lock_guard lock(g_receiverMutex);
    receiver = g_receiver;
  }
  if (mode != kReadMode || !receiver.callback || !path) return 0;
  // One read at a time; a callback that starts another read gets 0.
  if (g_reading.exchange(true)) return 0;
  struct ReadingGuard {
    ~ReadingGuard() { g_reading.store(false); }
  } readingGuard;
  g_break.store(false);

  std::unique_ptr<VideoSource> source = VideoSource::Open(path, &g_break);
  if (!source) return 0;
  std::int64_t intervalUs = std::int64_t(std::max(intervalMs, 1)) * 1000;
  ReadResult result = SampleFrames(*source, receiver, intervalUs);
  if (output) *output = result.delivered;
  return result.read ? 1 : 0;
}

}  // namespace
}  // namespace tx::video

using tx::video::g_preview;
using tx::video::g_previewFrameReady;
using tx::video::g_previewMutex;

extern "C" {

void InitProc(VideoFrameCallback callback, void* context) {
  std::lock_guard lock(tx::video::g_receiverMutex);
  tx::video::g_receiver = {callback, context};
}

int ReadVideoImage(const char* path, int mode, int intervalMs, std::uint32_t* output) {
  try {
    return tx::video::ReadVideo(path, mode, intervalMs, output);
  } catch (...) {
    return 0;
  }
}

void BreakTran(void) {
  tx::video::g_break.store(true);
}

int GetVideoInfo(const char* path, std::uint32_t* framesPerSecond, std::uint32_t* durationMs,
                 std::uint32_t* size) {
  try {
    std::unique_ptr<tx::video::VideoSource> source = tx::video::VideoSource::Open(path, nullptr);
    if (!source) return 0;
    double rate = source->frameRate();
    auto clamp16 = [](std::int64_t v) {
      return std::uint32_t(std::clamp<std::int64_t>(v, 0, 0xFFFF));
    };
    if (framesPerSecond) {
      *framesPerSecond = std::uint32_t(std::clamp<double>(rate + 0.5, 1.0, 1.0e6));
    }
    if (durationMs) {
      *durationMs = std::uint32_t(std::clamp<std::int64_t>(source->durationMs(), 0, 0xFFFFFFFF));
    }
    if (size) *size = clamp16(source->width()) << 16 | clamp16(source->height());
    return 1;
  } catch (...) {
    return 0;
  }
}

int StartPlay(const char* path) {
  try {
    std::lock_guard lock(g_previewMutex);
    g_preview.reset();
    g_previewFrameReady = false;
    std::unique_ptr<tx::video::VideoSource> source = tx::video::VideoSource::Open(path, nullptr);
    if (!source || source->Next() != tx::video::DecodeResult::Frame) return 0;
    g_preview = std::move(source);
    g_previewFrameReady = true;
    return 1;
  } catch (...) {
    return 0;
  }
}

void* GetVideoFrame(void) {
  try {
    std::lock_guard lock(g_previewMutex);
    if (!g_preview) return nullptr;
    if (!g_previewFrameReady && g_preview->Next() != tx::video::DecodeResult::Frame) {
      // The end or an error: the preview stays at its end.
      g_preview.reset();
      return nullptr;
    }
    g_previewFrameReady = false;
    tx::PackedImage image = g_preview->ToImage();
    return image.release();
  } catch (...) {
    return nullptr;
  }
}

void EndPlay(void) {
  try {
    std::lock_guard lock(g_previewMutex);
    g_preview.reset();
    g_previewFrameReady = false;
  } catch (...) {
  }
}
}
