#include "video/video_source.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "image/image_block.h"
#include "video/video_reader_p.h"

namespace tx::video {
namespace {

// Probing reads at most this much of the file and this much of its time, so
// that opening a large or odd file stays quick.
constexpr std::int64_t kProbeBytes = 5'000'000;
constexpr std::int64_t kAnalyzeUs = 5'000'000;
// Give up on a stream that yields nothing but decoding errors.
constexpr int kMaxConsecutiveErrors = 256;
// Timestamps beyond this are treated as missing, which keeps the arithmetic
// on them from overflowing.
constexpr std::int64_t kTimestampLimit = std::int64_t(1) << 60;
// Microseconds as a time base (FFmpeg's own constant is a C compound literal).
constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

std::atomic<std::uint64_t> g_decodedFrames{0};
std::atomic<std::uint64_t> g_seeks{0};

void QuietLogging() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Demuxers that read single pictures: a still image is not a video, even
// though FFmpeg would give it one frame.
bool IsStillImageFormat(const char* name) {
  if (!name) return false;
  std::string_view formats(name);
  for (std::size_t start = 0; start <= formats.size();) {
    std::size_t comma = formats.find(',', start);
    if (comma == std::string_view::npos) comma = formats.size();
    std::string_view one = formats.substr(start, comma - start);
    if (one == "image2" || one == "image2pipe" ||
        (one.size() > 5 && one.substr(one.size() - 5) == "_pipe")) {
      return true;
    }
    start = comma + 1;
  }
  return false;
}

bool IsKeyFrame(const AVFrame* frame) {
#ifdef AV_FRAME_FLAG_KEY
  if (frame->flags & AV_FRAME_FLAG_KEY) return true;
#else
  if (frame->key_frame) return true;
#endif
  return frame->pict_type == AV_PICTURE_TYPE_I;
}

// FFmpeg's colour spaces share their numbers with the scaler's.
// A stream may put any number in a colour field; read as a plain integer, a
// value outside the enumeration is just an unknown one.
template <typename Enum>
int RawValue(const Enum& field) {
  static_assert(sizeof(Enum) == sizeof(int));
  int value = 0;
  std::memcpy(&value, &field, sizeof value);
  return value;
}

int ScalerColourSpace(int space) {
  switch (space) {
    case AVCOL_SPC_BT709:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
      return space;
    default:
      return SWS_CS_DEFAULT;
  }
}

bool IsFullRangeFormat(AVPixelFormat format) {
  return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
         format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P ||
         format == AV_PIX_FMT_YUVJ411P;
}

}  // namespace

std::uint64_t DecodedFrameCount() {
  return g_decodedFrames.load();
}
std::uint64_t SeekCount() {
  return g_seeks.load();
}

bool FrameSizeAllowed(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxFrameSide && height <= kMaxFrameSide &&
         width * height <= kMaxFramePixels;
}

int VideoSource::Interrupt(void* opaque) {
  const auto* source = static_cast<const VideoSource*>(opaque);
  return source->m_stop && source->m_stop->load() ? 1 : 0;
}

std::unique_ptr<VideoSource> VideoSource::Open(const char* path, const std::atomic<bool>* stop) {
  QuietLogging();
  if (!path || !*path) return nullptr;
  // Only regular files: a fifo or device could block the open for ever.
  std::error_code error;
  if (!std::filesystem::is_regular_file(std::filesystem::path(path), error)) return nullptr;

  std::unique_ptr<VideoSource> source(new VideoSource);
  source->m_stop = stop;
  AVFormatContext* format = avformat_alloc_context();
  if (!format) return nullptr;
  format->interrupt_callback.callback = &VideoSource::Interrupt;
  format->interrupt_callback.opaque = source.get();
  ffmpeg::Dictionary options;
  av_dict_set_int(&options.entries, "probesize", kProbeBytes, 0);
  av_dict_set_int(&options.entries, "analyzeduration", kAnalyzeUs, 0);
  // The path names a local file: no network, and a name that looks like a
  // protocol ("http:", "concat:") is still read as a file name.
  av_dict_set(&options.entries, "protocol_whitelist", "file", 0);
  std::string url = std::string("file:") + path;
  if (avformat_open_input(&format, url.c_str(), nullptr, &options.entries) < 0) return nullptr;
  source->m_format.reset(format);
  if (IsStillImageFormat(format->iformat->name)) return nullptr;

  // Probing decodes a few frames: bound the size it may allocate for them.
  struct StreamOptions {
    std::vector<AVDictionary*> entries;
    ~StreamOptions() {
      for (AVDictionary*& one : entries)
        av_dict_free(&one);
    }
  } probeOptions;
  probeOptions.entries.assign(format->nb_streams, nullptr);
  for (AVDictionary*& one : probeOptions.entries) {
    av_dict_set_int(&one, "max_pixels", kMaxFramePixels, 0);
  }
  if (avformat_find_stream_info(format,
                                format->nb_streams ? probeOptions.entries.data() : nullptr) < 0) {
    return nullptr;
  }

  // The first video stream with a decoder, skipping cover pictures; a stream
  // marked as the default wins.
  const AVCodec* codec = nullptr;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    AVStream* stream = format->streams[i];
    if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
    const AVCodec* candidate = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!candidate) continue;
    if (!source->m_stream || (stream->disposition & AV_DISPOSITION_DEFAULT &&
                              !(source->m_stream->disposition & AV_DISPOSITION_DEFAULT))) {
      source->m_stream = stream;
      source->m_streamIndex = int(i);
      codec = candidate;
    }
  }
  if (!source->m_stream) return nullptr;
  AVStream* stream = source->m_stream;
  const AVCodecParameters* parameters = stream->codecpar;
  // Probing leaves the size unknown when it could not decode a frame, which
  // includes frames too large to decode. Sizes may change later, so decoded
  // frames are checked again.
  if (!FrameSizeAllowed(parameters->width, parameters->height)) return nullptr;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    if (int(i) != source->m_streamIndex) format->streams[i]->discard = AVDISCARD_ALL;
  }

  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  if (!decoder) return nullptr;
  source->m_decoder.reset(decoder);
  if (avcodec_parameters_to_context(decoder, parameters) < 0) return nullptr;
  decoder->pkt_timebase = stream->time_base;
  decoder->thread_count = 0;
  decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  ffmpeg::Dictionary decoderOptions;
  av_dict_set_int(&decoderOptions.entries, "max_pixels", kMaxFramePixels, 0);
  if (avcodec_open2(decoder, codec, &decoderOptions.entries) < 0) return nullptr;

  source->m_frame.reset(av_frame_alloc());
  source->m_packet.reset(av_packet_alloc());
  if (!source->m_frame || !source->m_packet) return nullptr;

  if (stream->start_time != AV_NOPTS_VALUE && stream->start_time > -kTimestampLimit &&
      stream->start_time < kTimestampLimit) {
    source->m_startTs = stream->start_time;
  }
  AVRational rate = av_guess_frame_rate(format, stream, nullptr);
  if (rate.num > 0 && rate.den > 0) {
    std::int64_t duration = av_rescale(AV_TIME_BASE, rate.den, rate.num);
    if (duration > 0) source->m_frameDurationUs = duration;
  }
  return source;
}

VideoSource::~VideoSource() = default;

int VideoSource::width() const {
  return m_stream->codecpar->width;
}
int VideoSource::height() const {
  return m_stream->codecpar->height;
}

double VideoSource::frameRate() const {
  AVRational rate = m_stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = m_stream->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) {
    rate = av_guess_frame_rate(m_format.get(), m_stream, nullptr);
  }
  return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
}

std::int64_t VideoSource::durationMs() const {
  if (m_stream->duration != AV_NOPTS_VALUE && m_stream->duration > 0) {
    return av_rescale_q(m_stream->duration, m_stream->time_base, AVRational{1, 1000});
  }
  if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0) {
    return av_rescale(m_format->duration, 1000, AV_TIME_BASE);
  }
  return 0;
}

std::int64_t VideoSource::ToStreamTime(std::int64_t us) const {
  std::int64_t start = m_startTs == AV_NOPTS_VALUE ? 0 : m_startTs;
  return start + av_rescale_q(us, kMicroseconds, m_stream->time_base);
}

// Feeds the decoder one packet of the video stream, or the end of input.
// False when reading was interrupted.
bool VideoSource::ReceiveInput() {
  for (;;) {
    if (m_stop && m_stop->load()) return false;
    int read = av_read_frame(m_format.get(), m_packet.get());
    if (read == AVERROR(EAGAIN)) continue;
    if (read < 0) {
      if (m_stop && m_stop->load()) return false;
      // End of file, or a damaged one: decode what the decoder still holds.
      avcodec_send_packet(m_decoder.get(), nullptr);
      m_draining = true;
      return true;
    }
    bool ours = m_packet->stream_index == m_streamIndex;
    if (ours) avcodec_send_packet(m_decoder.get(), m_packet.get());
    av_packet_unref(m_packet.get());
    if (ours) return true;
  }
}

DecodeResult VideoSource::Next() {
  int errors = 0;
  for (;;) {
    int received = avcodec_receive_frame(m_decoder.get(), m_frame.get());
    if (received == AVERROR_EOF) return DecodeResult::End;
    if (received == AVERROR(EAGAIN)) {
      if (m_draining) return DecodeResult::End;
      if (!ReceiveInput()) return DecodeResult::Stopped;
      continue;
    }
    if (received == AVERROR(ENOMEM)) return DecodeResult::Error;
    if (received < 0) {
      // A damaged frame: the decoder has dropped it, so carry on.
      if (++errors > kMaxConsecutiveErrors) return DecodeResult::Error;
      continue;
    }
    errors = 0;
    ++g_decodedFrames;
    const AVFrame* frame = m_frame.get();
    if (!FrameSizeAllowed(frame->width, frame->height)) return DecodeResult::Error;

    bool key = IsKeyFrame(frame);
    if (key) m_keyFlagsSeen = true;
    // Only wait for a keyframe when this stream marks them at all.
    if (m_awaitKeyframe && !key && m_keyFlagsSeen) continue;
    m_awaitKeyframe = false;

    std::int64_t ts = frame->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE) ts = frame->pts;
    if (ts != AV_NOPTS_VALUE && ts > -kTimestampLimit && ts < kTimestampLimit) {
      if (m_startTs == AV_NOPTS_VALUE) m_startTs = ts;
      m_frameTimeUs = av_rescale_q(ts - m_startTs, m_stream->time_base, kMicroseconds);
    } else {
      m_timesCounted = true;
      m_frameTimeUs = m_haveFrame ? m_frameTimeUs + m_frameDurationUs : 0;
    }
    // Keeps the reader's arithmetic on times and intervals from overflowing.
    m_frameTimeUs = std::clamp(m_frameTimeUs, -kTimestampLimit, kTimestampLimit);
    m_haveFrame = true;
    return DecodeResult::Frame;
  }
}

bool VideoSource::seekable() const {
  if (m_format->iformat->flags & AVFMT_TS_DISCONT) return false;
  return m_format->pb && (m_format->pb->seekable & AVIO_SEEKABLE_NORMAL);
}

KeyframeHint VideoSource::IndexedKeyframe(std::int64_t afterUs, std::int64_t targetUs) const {
  KeyframeHint hint;
  int count = avformat_index_get_entries_count(m_stream);
  if (count <= 0) return hint;
  std::int64_t after = ToStreamTime(afterUs);
  std::int64_t target = ToStreamTime(targetUs);
  const AVIndexEntry* last = avformat_index_get_entry(m_stream, count - 1);
  hint.indexReachesTarget = last && last->timestamp >= target;
  int found = av_index_search_timestamp(m_stream, target, AVSEEK_FLAG_BACKWARD);
  if (found >= 0) {
    const AVIndexEntry* entry = avformat_index_get_entry(m_stream, found);
    hint.keyframeAhead = entry && (entry->flags & AVINDEX_KEYFRAME) && entry->timestamp > after;
  }
  return hint;
}

bool VideoSource::SeekBefore(std::int64_t targetUs) {
  std::int64_t target = ToStreamTime(targetUs < 0 ? 0 : targetUs);
  if (avformat_seek_file(m_format.get(), m_streamIndex, std::numeric_limits<std::int64_t>::min(),
                         target, target, 0) < 0) {
    return false;
  }
  avcodec_flush_buffers(m_decoder.get());
  m_draining = false;
  m_awaitKeyframe = true;
  ++g_seeks;
  return true;
}

PackedImage VideoSource::ToImage() {
  const AVFrame* frame = m_frame.get();
  int width = frame->width;
  int height = frame->height;
  if (!FrameSizeAllowed(width, height)) return {};
  auto format = AVPixelFormat(frame->format);
  m_scaler.reset(sws_getCachedContext(m_scaler.release(), width, height, format, width, height,
                                      AV_PIX_FMT_BGR24, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr,
                                      nullptr, nullptr));
  if (!m_scaler) return {};
  // Convert with the matrix and range the frame says it uses.
  int* inverse = nullptr;
  int* table = nullptr;
  int sourceRange = 0;
  int destinationRange = 0;
  int brightness = 0;
  int contrast = 0;
  int saturation = 0;
  if (sws_getColorspaceDetails(m_scaler.get(), &inverse, &sourceRange, &table, &destinationRange,
                               &brightness, &contrast, &saturation) >= 0) {
    int full =
        RawValue(frame->color_range) == AVCOL_RANGE_JPEG || IsFullRangeFormat(format) ? 1 : 0;
    const int* coefficients = sws_getCoefficients(ScalerColourSpace(RawValue(frame->colorspace)));
    sws_setColorspaceDetails(m_scaler.get(), coefficients, full, table, destinationRange,
                             brightness, contrast, saturation);
  }

  // Rows come out top first into a scratch buffer and go into the image
  // bottom first.
  std::size_t rowBytes = std::size_t(width) * 3;
  std::size_t pitch = (rowBytes + 63) & ~std::size_t(63);
  std::size_t needed = pitch * std::size_t(height);
  if (needed > m_rowsSize) {
    m_rows.reset(static_cast<std::uint8_t*>(av_malloc(needed)));
    m_rowsSize = m_rows ? needed : 0;
    if (!m_rows) return {};
  }
  std::uint8_t* planes[4] = {m_rows.get(), nullptr, nullptr, nullptr};
  int pitches[4] = {int(pitch), 0, 0, 0};
  if (sws_scale(m_scaler.get(), frame->data, frame->linesize, 0, height, planes, pitches) !=
      height) {
    return {};
  }

  PackedImage image(NewImageBlock(width, height, 24, 0, OnAllocFailure::Quiet));
  ImageLock lock(image.get());
  if (!lock) return {};
  for (int y = 0; y < height; ++y) {
    std::memcpy(lock.topDownRow(y), m_rows.get() + std::size_t(y) * pitch, rowBytes);
  }
  return image;
}

}  // namespace tx::video
