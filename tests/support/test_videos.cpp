#include "tests/support/test_videos.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "video/ffmpeg_handles.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
}

namespace tx::testing {
namespace {

constexpr int kGopSize = 12;

std::string Describe(const char* what, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return std::string(what) + ": " + text;
}

std::string LowerExtension(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return extension;
}

// A gradient that drifts with the frame index and a bright square whose
// position moves with it.
void PaintDefault(int frame, int width, int height, std::uint8_t* bgr) {
  int side = std::max(2, std::min(width, height) / 6);
  int squareX = (frame * 3) % std::max(1, width - side);
  int squareY = (frame * 2) % std::max(1, height - side);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = bgr + (std::size_t(y) * width + x) * 3;
      bool inSquare = x >= squareX && x < squareX + side && y >= squareY && y < squareY + side;
      pixel[0] = inSquare ? 255 : std::uint8_t(frame * 5);
      pixel[1] = inSquare ? 255 : std::uint8_t(x * 255 / std::max(1, width - 1));
      pixel[2] = inSquare ? 255 : std::uint8_t(y * 255 / std::max(1, height - 1));
    }
  }
}

// Sends `frame` (null to flush) and writes every packet the encoder returns.
bool Encode(AVFormatContext* output, AVCodecContext* encoder, AVStream* stream,
            const AVFrame* frame, AVPacket* packet, std::string& error) {
  int sent = avcodec_send_frame(encoder, frame);
  if (sent < 0) {
    error = Describe("encoding", sent);
    return false;
  }
  for (;;) {
    int received = avcodec_receive_packet(encoder, packet);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
    if (received < 0) {
      error = Describe("encoding", received);
      return false;
    }
    av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
    packet->stream_index = stream->index;
    int written = av_interleaved_write_frame(output, packet);
    if (written < 0) {
      error = Describe("writing", written);
      return false;
    }
  }
}

// An output file in `formatName` with its file opened; null with `error` set.
ffmpeg::OutputContext OpenOutput(const std::filesystem::path& path, const char* formatName,
                                 std::string& error) {
  av_log_set_level(AV_LOG_QUIET);
  AVFormatContext* raw = nullptr;
  int made = avformat_alloc_output_context2(&raw, nullptr, formatName, path.string().c_str());
  if (made < 0 || !raw) {
    error = Describe("making the container", made);
    return nullptr;
  }
  ffmpeg::OutputContext output(raw);
  if (!(raw->oformat->flags & AVFMT_NOFILE)) {
    int opened = avio_open(&raw->pb, path.string().c_str(), AVIO_FLAG_WRITE);
    if (opened < 0) {
      error = Describe("opening the file", opened);
      return nullptr;
    }
  }
  return output;
}

}  // namespace

namespace {

constexpr int kLevelBase = 24;
constexpr int kLevelStep = 30;

std::uint8_t Level(int k) {
  return std::uint8_t(kLevelBase + k * kLevelStep);
}

// The level nearest to v, or -1 when v is not within tolerance of any.
int LevelOf(int v, int tolerance) {
  int k = std::clamp((v - kLevelBase + kLevelStep / 2) / kLevelStep, 0, 7);
  return std::abs(v - Level(k)) <= tolerance ? k : -1;
}

}  // namespace

void IndexColour(int index, std::uint8_t& blue, std::uint8_t& green, std::uint8_t& red) {
  blue = Level(index % 8);
  green = Level(index / 8 % 8);
  red = Level(index / 64 % 8);
}

int NearestIndex(std::uint8_t blue, std::uint8_t green, std::uint8_t red, int tolerance) {
  int b = LevelOf(blue, tolerance);
  int g = LevelOf(green, tolerance);
  int r = LevelOf(red, tolerance);
  if (b < 0 || g < 0 || r < 0) return -1;
  return r * 64 + g * 8 + b;
}

std::function<void(int frame, std::uint8_t* bgr)> IndexPainter(int width, int height) {
  return [width, height](int frame, std::uint8_t* bgr) {
    std::uint8_t colour[3];
    IndexColour(frame, colour[0], colour[1], colour[2]);
    for (std::size_t i = 0; i < std::size_t(width) * height; ++i) {
      std::copy_n(colour, 3, bgr + i * 3);
    }
  };
}

bool WriteTestVideo(const std::filesystem::path& path, const TestVideo& video, std::string& error) {
  if (video.width <= 0 || video.height <= 0 || video.width % 2 || video.height % 2) {
    error = "the frame size must be positive and even";
    return false;
  }
  if (video.framesPerSecond <= 0 || video.frameCount < 0) {
    error = "the frame rate must be positive and the frame count not negative";
    return false;
  }
  std::string extension = LowerExtension(path);
  const char* formatName = nullptr;
  AVCodecID codecId = AV_CODEC_ID_MPEG4;
  if (extension == ".avi") {
    formatName = "avi";
  } else if (extension == ".mov") {
    formatName = "mov";
  } else if (extension == ".mp4") {
    formatName = "mp4";
  } else if (extension == ".mkv") {
    formatName = "matroska";
  } else if (extension == ".mpg" || extension == ".mpeg") {
    formatName = "mpeg";
    codecId = AV_CODEC_ID_MPEG1VIDEO;
    const int rate = video.framesPerSecond;
    if (rate != 24 && rate != 25 && rate != 30 && rate != 50 && rate != 60) {
      error = "MPEG-1 takes only 24, 25, 30, 50 or 60 frames per second";
      return false;
    }
  } else {
    error = "unknown container " + extension;
    return false;
  }

  const AVCodec* codec = avcodec_find_encoder(codecId);
  if (!codec) {
    error = "no encoder";
    return false;
  }
  ffmpeg::OutputContext output = OpenOutput(path, formatName, error);
  if (!output) return false;
  AVStream* stream = avformat_new_stream(output.get(), nullptr);
  ffmpeg::CodecContext encoder(avcodec_alloc_context3(codec));
  if (!stream || !encoder) {
    error = "out of memory";
    return false;
  }
  encoder->width = video.width;
  encoder->height = video.height;
  encoder->time_base = AVRational{1, video.framesPerSecond};
  encoder->framerate = AVRational{video.framesPerSecond, 1};
  encoder->pix_fmt = AV_PIX_FMT_YUV420P;
  encoder->gop_size = kGopSize;
  encoder->max_b_frames = 0;
  // A fixed fine quantiser keeps flat colours close to what was painted.
  encoder->flags |= AV_CODEC_FLAG_QSCALE;
  encoder->global_quality = FF_QP2LAMBDA * 2;
  if (output->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int status = avcodec_open2(encoder.get(), codec, nullptr);
  if (status < 0) {
    error = Describe("opening the encoder", status);
    return false;
  }
  status = avcodec_parameters_from_context(stream->codecpar, encoder.get());
  if (status < 0) {
    error = Describe("stream parameters", status);
    return false;
  }
  stream->time_base = encoder->time_base;
  stream->avg_frame_rate = encoder->framerate;
  status = avformat_write_header(output.get(), nullptr);
  if (status < 0) {
    error = Describe("writing the header", status);
    return false;
  }

  ffmpeg::Frame frame(av_frame_alloc());
  ffmpeg::Packet packet(av_packet_alloc());
  ffmpeg::Scaler scaler(sws_getContext(video.width, video.height, AV_PIX_FMT_BGR24, video.width,
                                       video.height, AV_PIX_FMT_YUV420P,
                                       SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
  if (!frame || !packet || !scaler) {
    error = "out of memory";
    return false;
  }
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = video.width;
  frame->height = video.height;
  status = av_frame_get_buffer(frame.get(), 0);
  if (status < 0) {
    error = Describe("frame buffer", status);
    return false;
  }
  std::vector<std::uint8_t> bgr(std::size_t(video.width) * video.height * 3);
  for (int i = 0; i < video.frameCount; ++i) {
    std::fill(bgr.begin(), bgr.end(), 0);
    if (video.paint) {
      video.paint(i, bgr.data());
    } else {
      PaintDefault(i, video.width, video.height, bgr.data());
    }
    status = av_frame_make_writable(frame.get());
    if (status < 0) {
      error = Describe("frame buffer", status);
      return false;
    }
    const std::uint8_t* planes[4] = {bgr.data(), nullptr, nullptr, nullptr};
    int pitches[4] = {video.width * 3, 0, 0, 0};
    sws_scale(scaler.get(), planes, pitches, 0, video.height, frame->data, frame->linesize);
    frame->pts = i;
    if (!Encode(output.get(), encoder.get(), stream, frame.get(), packet.get(), error)) {
      return false;
    }
  }
  if (!Encode(output.get(), encoder.get(), stream, nullptr, packet.get(), error)) return false;
  status = av_write_trailer(output.get());
  if (status < 0) {
    error = Describe("writing the trailer", status);
    return false;
  }
  return true;
}

bool WriteTestJpeg(const std::filesystem::path& path, int width, int height, std::string& error) {
  av_log_set_level(AV_LOG_QUIET);
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  ffmpeg::CodecContext encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
  ffmpeg::Frame frame(av_frame_alloc());
  ffmpeg::Packet packet(av_packet_alloc());
  if (!encoder || !frame || !packet) {
    error = "no JPEG encoder";
    return false;
  }
  encoder->width = width;
  encoder->height = height;
  encoder->time_base = AVRational{1, 25};
  encoder->pix_fmt = AV_PIX_FMT_YUVJ420P;
  int status = avcodec_open2(encoder.get(), codec, nullptr);
  if (status < 0) {
    error = Describe("opening the encoder", status);
    return false;
  }
  frame->format = AV_PIX_FMT_YUVJ420P;
  frame->width = width;
  frame->height = height;
  status = av_frame_get_buffer(frame.get(), 0);
  if (status < 0) {
    error = Describe("frame buffer", status);
    return false;
  }
  for (int plane = 0; plane < 3; ++plane) {
    int rows = plane == 0 ? height : (height + 1) / 2;
    for (int y = 0; y < rows; ++y) {
      std::fill_n(frame->data[plane] + std::size_t(y) * frame->linesize[plane],
                  frame->linesize[plane], std::uint8_t(plane == 0 ? 90 + y : 128));
    }
  }
  frame->pts = 0;
  status = avcodec_send_frame(encoder.get(), frame.get());
  if (status >= 0) status = avcodec_send_frame(encoder.get(), nullptr);
  if (status >= 0) status = avcodec_receive_packet(encoder.get(), packet.get());
  if (status < 0) {
    error = Describe("encoding", status);
    return false;
  }
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (!file) {
    error = "cannot create the file";
    return false;
  }
  bool written =
      std::fwrite(packet->data, 1, std::size_t(packet->size), file) == std::size_t(packet->size);
  written = std::fclose(file) == 0 && written;
  if (!written) error = "cannot write the file";
  return written;
}

bool WriteAudioOnlyFile(const std::filesystem::path& path, std::string& error) {
  constexpr int kSampleRate = 8000;
  ffmpeg::OutputContext output = OpenOutput(path, "wav", error);
  if (!output) return false;
  AVStream* stream = avformat_new_stream(output.get(), nullptr);
  ffmpeg::Packet packet(av_packet_alloc());
  if (!stream || !packet) {
    error = "out of memory";
    return false;
  }
  AVCodecParameters* parameters = stream->codecpar;
  parameters->codec_type = AVMEDIA_TYPE_AUDIO;
  parameters->codec_id = AV_CODEC_ID_PCM_S16LE;
  parameters->sample_rate = kSampleRate;
  parameters->format = AV_SAMPLE_FMT_S16;
  parameters->bits_per_coded_sample = 16;
  parameters->block_align = 2;
  av_channel_layout_default(&parameters->ch_layout, 1);
  stream->time_base = AVRational{1, kSampleRate};
  int status = avformat_write_header(output.get(), nullptr);
  if (status < 0) {
    error = Describe("writing the header", status);
    return false;
  }
  // Ten packets of a tenth of a second of silence.
  for (int i = 0; i < 10; ++i) {
    status = av_new_packet(packet.get(), kSampleRate / 10 * 2);
    if (status < 0) {
      error = Describe("packet", status);
      return false;
    }
    std::fill_n(packet->data, packet->size, std::uint8_t(0));
    packet->pts = packet->dts = std::int64_t(i) * kSampleRate / 10;
    packet->duration = kSampleRate / 10;
    packet->stream_index = stream->index;
    status = av_interleaved_write_frame(output.get(), packet.get());
    av_packet_unref(packet.get());
    if (status < 0) {
      error = Describe("writing", status);
      return false;
    }
  }
  status = av_write_trailer(output.get());
  if (status < 0) error = Describe("writing the trailer", status);
  return status >= 0;
}

bool WriteClaimedSizeVideo(const std::filesystem::path& path, int width, int height,
                           std::string& error) {
  ffmpeg::OutputContext output = OpenOutput(path, "avi", error);
  if (!output) return false;
  AVStream* stream = avformat_new_stream(output.get(), nullptr);
  ffmpeg::Packet packet(av_packet_alloc());
  if (!stream || !packet) {
    error = "out of memory";
    return false;
  }
  AVCodecParameters* parameters = stream->codecpar;
  parameters->codec_type = AVMEDIA_TYPE_VIDEO;
  parameters->codec_id = AV_CODEC_ID_RAWVIDEO;
  parameters->format = AV_PIX_FMT_BGR24;
  parameters->bits_per_coded_sample = 24;
  parameters->width = width;
  parameters->height = height;
  stream->time_base = AVRational{1, 25};
  stream->avg_frame_rate = AVRational{25, 1};
  int status = avformat_write_header(output.get(), nullptr);
  if (status < 0) {
    error = Describe("writing the header", status);
    return false;
  }
  for (int i = 0; i < 5; ++i) {
    status = av_new_packet(packet.get(), 64);
    if (status < 0) {
      error = Describe("packet", status);
      return false;
    }
    std::fill_n(packet->data, packet->size, std::uint8_t(0x55));
    packet->pts = packet->dts = i;
    packet->duration = 1;
    packet->flags |= AV_PKT_FLAG_KEY;
    packet->stream_index = stream->index;
    status = av_interleaved_write_frame(output.get(), packet.get());
    av_packet_unref(packet.get());
    if (status < 0) {
      error = Describe("writing", status);
      return false;
    }
  }
  status = av_write_trailer(output.get());
  if (status < 0) error = Describe("writing the trailer", status);
  return status >= 0;
}

}  // namespace tx::testing
