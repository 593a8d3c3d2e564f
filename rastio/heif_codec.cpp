// HEIF, HEIC and AVIF reading with libheif.
//
// The primary picture comes in as 24 bits (deeper samples reduced to 8,
// alpha composited over white). libheif applies the file's own rotation,
// mirroring and cropping while it decodes, and those boxes take precedence
// over any EXIF orientation in the file, so the picture is already upright
// and the orientation returned is always 1.

#include <libheif/heif.h>

#include <algorithm>
#include <memory>

#include "rastio/codec.h"
#include "rastio/heif_sizes.h"
#include "rastio/rastio.h"

namespace tx::rastio {
namespace {

struct ContextFree {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
  void operator()(const heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
  void operator()(const heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
  void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};

/// libheif registers its codecs in heif_init; the registration is kept for
/// the life of the process (the library counts init and deinit calls, so
/// other users in the process are unaffected).
void InitHeifOnce() {
  static const bool ready = [] {
    heif_init(nullptr);
    return true;
  }();
  (void)ready;
}

std::string HeifFailure(const heif_error& error) {
  if (error.code == heif_error_Memory_allocation_error) {
    return "not enough memory to read the HEIF file";
  }
  return std::string("HEIF: ") + (error.message ? error.message : "the file cannot be read");
}

/// Copies interleaved R,G,B(,A) rows into the packed image as B,G,R,
/// compositing alpha over white.
void CopyPixels(const std::uint8_t* plane, int planeStride, bool alpha, bool premultiplied,
                const ImageLock& lock) {
  int step = alpha ? 4 : 3;
  for (int y = 0; y < lock.height(); ++y) {
    const std::uint8_t* from = plane + std::size_t(y) * std::size_t(planeStride);
    std::uint8_t* to = lock.topDownRow(y);
    for (int x = 0; x < lock.width(); ++x, from += step, to += 3) {
      for (int c = 0; c < 3; ++c) {
        unsigned value = from[2 - c];
        if (alpha) {
          unsigned a = from[3], clear = 255 - a;
          value =
              premultiplied ? std::min(255u, value + clear) : (value * a + 255 * clear + 127) / 255;
        }
        to[c] = std::uint8_t(value);
      }
    }
  }
}

}  // namespace

Decoded DecodeHeif(ByteSpan data) {
  Decoded result;
  InitHeifOnce();
  std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
  if (!context) {
    result.error = "not enough memory to read the HEIF file";
    return result;
  }
  // libheif refuses larger pictures while it parses the boxes, before it
  // allocates anything for them.
  heif_context_set_maximum_image_size_limit(context.get(), int(kMaxPictureSide));
  heif_error error =
      heif_context_read_from_memory_without_copy(context.get(), data.data(), data.size(), nullptr);
  if (error.code != heif_error_Ok) {
    result.error = HeifFailure(error);
    return result;
  }
  heif_image_handle* rawHandle = nullptr;
  error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
  std::unique_ptr<heif_image_handle, HandleRelease> handle(rawHandle);
  if (error.code != heif_error_Ok || !handle) {
    result.error = HeifFailure(error);
    return result;
  }
  // The size after rotation and cropping, and the sizes the streams and
  // canvases really decode to, checked before any pixel is decoded.
  if (!CheckPictureSize(heif_image_handle_get_width(handle.get()),
                        heif_image_handle_get_height(handle.get()), result.error) ||
      !CheckHeifDecodeSizes(data, result.error)) {
    return result;
  }

  bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
  if (!options) {
    result.error = "not enough memory to read the HEIF file";
    return result;
  }
  options->convert_hdr_to_8bit = 1;
  heif_image* rawImage = nullptr;
  error = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                            options.get());
  std::unique_ptr<heif_image, ImageRelease> decoded(rawImage);
  if (error.code != heif_error_Ok || !decoded) {
    result.error = HeifFailure(error);
    return result;
  }

  int planeStride = 0;
  const std::uint8_t* plane =
      heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &planeStride);
  int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
  int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
  int bitsPerPixel = heif_image_get_bits_per_pixel(decoded.get(), heif_channel_interleaved);
  if (!plane || bitsPerPixel != (alpha ? 32 : 24) || width < 1 || height < 1 ||
      planeStride < width * (alpha ? 4 : 3)) {
    result.error = "HEIF: the decoder returned an unexpected picture";
    return result;
  }
  PackedImage image(NewDecodedImage(width, height, 24, 0, result.error));
  if (!image) return result;
  {
    ImageLock lock(image.get());
    if (!lock) {
      result.error = "not enough memory to read the HEIF file";
      return result;
    }
    bool premultiplied = alpha && heif_image_is_premultiplied_alpha(decoded.get()) != 0;
    CopyPixels(plane, planeStride, alpha, premultiplied, lock);
  }
  result.image = std::move(image);
  return result;
}

}  // namespace tx::rastio
