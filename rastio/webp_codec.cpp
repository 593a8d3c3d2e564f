// WebP reading with libwebp.
//
// Every WebP picture comes in as 24 bits: lossy and lossless alike, with any
// alpha composited over white. Of an animation only the first frame is read,
// as the whole canvas the player would show first. The orientation comes
// from the EXIF chunk; the front turns the picture upright.

#include <webp/decode.h>
#include <webp/demux.h>

#include <memory>
#include <new>

#include "rastio/codec.h"

namespace tx::rastio {
namespace {

struct DemuxDelete {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

struct AnimDecoderDelete {
  void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

int WebpOrientation(ByteSpan data) {
  WebPData webpData{data.data(), data.size()};
  std::unique_ptr<WebPDemuxer, DemuxDelete> demux(WebPDemux(&webpData));
  if (!demux) return 1;
  WebPChunkIterator chunk{};
  if (!WebPDemuxGetChunk(demux.get(), "EXIF", 1, &chunk)) return 1;
  int orientation = ExifOrientation(ByteSpan(chunk.chunk.bytes, chunk.chunk.size));
  WebPDemuxReleaseChunkIterator(&chunk);
  return orientation;
}

/// Copies top-down B,G,R,A rows into the packed image, over white.
void CompositeOverWhite(const std::uint8_t* bgra, int width, int height, const ImageLock& lock) {
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* from = bgra + std::size_t(y) * std::size_t(width) * 4;
    std::uint8_t* to = lock.topDownRow(y);
    for (int x = 0; x < width; ++x, from += 4, to += 3) {
      unsigned alpha = from[3], clear = 255 - alpha;
      for (int c = 0; c < 3; ++c) {
        to[c] = std::uint8_t((from[c] * alpha + 255 * clear + 127) / 255);
      }
    }
  }
}

std::string StatusText(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
      return "not enough memory to read the WebP file";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return "WebP: the file uses a feature that cannot be read";
    case VP8_STATUS_NOT_ENOUGH_DATA:
      return "WebP: the file ends early";
    default:
      return "WebP: the file is damaged";
  }
}

bool DecodeStill(ByteSpan data, const WebPBitstreamFeatures& features, const ImageLock& lock,
                 std::string& error) {
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) {
    error = "WebP: the decoder library does not match";
    return false;
  }
  std::vector<std::uint8_t> bgra;
  config.output.is_external_memory = 1;
  if (features.has_alpha) {
    try {
      bgra.resize(std::size_t(features.width) * std::size_t(features.height) * 4);
    } catch (const std::bad_alloc&) {
      error = "not enough memory to read the WebP file";
      return false;
    }
    config.output.colorspace = MODE_BGRA;
    config.output.u.RGBA.rgba = bgra.data();
    config.output.u.RGBA.stride = features.width * 4;
    config.output.u.RGBA.size = bgra.size();
  } else {
    // Straight into the packed rows: B,G,R order, bottom row first.
    config.output.colorspace = MODE_BGR;
    config.output.u.RGBA.rgba = lock.bits();
    config.output.u.RGBA.stride = int(lock.stride());
    config.output.u.RGBA.size = std::size_t(lock.stride()) * std::size_t(lock.height());
    config.options.flip = 1;
  }
  VP8StatusCode status = WebPDecode(data.data(), data.size(), &config);
  WebPFreeDecBuffer(&config.output);
  if (status != VP8_STATUS_OK) {
    error = StatusText(status);
    return false;
  }
  if (features.has_alpha) CompositeOverWhite(bgra.data(), features.width, features.height, lock);
  return true;
}

bool DecodeFirstFrame(ByteSpan data, const WebPBitstreamFeatures& features, const ImageLock& lock,
                      std::string& error) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) {
    error = "WebP: the decoder library does not match";
    return false;
  }
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  WebPData webpData{data.data(), data.size()};
  std::unique_ptr<WebPAnimDecoder, AnimDecoderDelete> decoder(
      WebPAnimDecoderNew(&webpData, &options));
  WebPAnimInfo info{};
  if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)) {
    error = "WebP: the animation cannot be read";
    return false;
  }
  if (int(info.canvas_width) != features.width || int(info.canvas_height) != features.height) {
    error = "WebP: the animation's canvas size is inconsistent";
    return false;
  }
  std::uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas) {
    error = "WebP: the first frame of the animation is damaged";
    return false;
  }
  CompositeOverWhite(canvas, features.width, features.height, lock);
  return true;
}

}  // namespace

Decoded DecodeWebp(ByteSpan data) {
  Decoded result;
  WebPBitstreamFeatures features{};
  VP8StatusCode status = WebPGetFeatures(data.data(), data.size(), &features);
  if (status != VP8_STATUS_OK) {
    result.error = StatusText(status);
    return result;
  }
  // The canvas of an extended file may claim up to 16 million pixels a
  // side; refuse before anything of that size is allocated.
  PackedImage image(NewDecodedImage(features.width, features.height, 24, 0, result.error));
  if (!image) return result;
  {
    ImageLock lock(image.get());
    if (!lock) {
      result.error = "not enough memory to read the WebP file";
      return result;
    }
    bool ok = features.has_animation ? DecodeFirstFrame(data, features, lock, result.error)
                                     : DecodeStill(data, features, lock, result.error);
    if (!ok) return result;
  }
  result.orientation = WebpOrientation(data);
  result.image = std::move(image);
  return result;
}

}  // namespace tx::rastio
