#pragma once
// One opened video file: its video stream, a decoder, presentation times in
// microseconds from the stream's start, seeking, and conversion of decoded
// frames to 24-bit packed images. Used by one thread at a time.

#include <atomic>
#include <cstdint>
#include <memory>

#include "image/image_lock.h"
#include "video/ffmpeg_handles.h"

namespace tx::video {

/// Frames wider or taller than this are refused before anything is allocated
/// for them.
inline constexpr int kMaxFrameSide = 16384;
/// Frames with more pixels than this (64 megapixels) are refused likewise.
inline constexpr std::int64_t kMaxFramePixels = std::int64_t(64) * 1024 * 1024;

/// True when a frame of this size may be decoded and converted.
bool FrameSizeAllowed(std::int64_t width, std::int64_t height);

enum class DecodeResult { Frame, End, Error, Stopped };

/// Where the demuxer's index puts the keyframes around a seek target.
struct KeyframeHint {
  /// A keyframe lies after the given position and at or before the target.
  bool keyframeAhead = false;
  /// The index reaches the target, so it is complete enough to trust.
  bool indexReachesTarget = false;
};

class VideoSource {
 public:
  /// Opens the file at `path` (UTF-8) and its video stream's decoder; null
  /// when it is not a readable video. `stop`, when given, interrupts reading
  /// once it turns true.
  static std::unique_ptr<VideoSource> Open(const char* path, const std::atomic<bool>* stop);
  ~VideoSource();
  VideoSource(const VideoSource&) = delete;
  VideoSource& operator=(const VideoSource&) = delete;

  int width() const;
  int height() const;
  /// Frames per second the container states or FFmpeg guesses; 0 if unknown.
  double frameRate() const;
  /// Length of the video stream (or of the file) in milliseconds; 0 if unknown.
  std::int64_t durationMs() const;
  /// Time one frame lasts at the stream's rate (40 ms when it is unknown).
  std::int64_t frameDurationUs() const { return m_frameDurationUs; }

  /// Decodes the next frame in presentation order. After a seek, frames up to
  /// the first keyframe are dropped, as they may be decoded from missing
  /// references.
  DecodeResult Next();
  /// Presentation time of the frame Next() returned, from the stream start.
  std::int64_t frameTimeUs() const { return m_frameTimeUs; }
  /// True once a frame came without any timestamp: times are then counted
  /// and seeking would lose the count.
  bool timesCounted() const { return m_timesCounted; }

  /// False for files that cannot seek, and for program and transport streams:
  /// there the frames after a seek may carry the time of their neighbour.
  bool seekable() const;
  /// What the index knows about keyframes after `afterUs` up to `targetUs`.
  KeyframeHint IndexedKeyframe(std::int64_t afterUs, std::int64_t targetUs) const;
  /// Seeks to the last keyframe at or before `targetUs` and resets the
  /// decoder; false (position unchanged as far as FFmpeg allows) on failure.
  bool SeekBefore(std::int64_t targetUs);

  /// The frame Next() returned as a 24-bit image of the coded size, upright;
  /// empty when memory is exhausted or the pixel format cannot be converted.
  PackedImage ToImage();

 private:
  VideoSource() = default;
  static int Interrupt(void* opaque);
  std::int64_t ToStreamTime(std::int64_t us) const;
  bool ReceiveInput();

  const std::atomic<bool>* m_stop = nullptr;
  ffmpeg::InputContext m_format;
  ffmpeg::CodecContext m_decoder;
  ffmpeg::Frame m_frame;
  ffmpeg::Packet m_packet;
  ffmpeg::Scaler m_scaler;
  ffmpeg::Buffer m_rows;
  std::size_t m_rowsSize = 0;
  AVStream* m_stream = nullptr;
  int m_streamIndex = -1;
  std::int64_t m_startTs = AV_NOPTS_VALUE;
  std::int64_t m_frameDurationUs = 40000;
  std::int64_t m_frameTimeUs = 0;
  bool m_haveFrame = false;
  bool m_draining = false;
  bool m_timesCounted = false;
  bool m_keyFlagsSeen = false;
  bool m_awaitKeyframe = false;
};

}  // namespace tx::video
