#pragma once
// HEIF files made with libheif's own encoder, for the codec tests and the
// fuzzers' seed corpus.

#include <libheif/heif.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace tx::testing {

/// Fills the interleaved R,G,B(,A) plane of a picture being encoded.
using HeifPlaneFill = std::function<void(std::uint8_t* plane, int stride)>;

/// A width x height HEIF file (HEVC, else AV1) of the given lossy quality
/// and orientation; empty when this machine has neither encoder.
inline std::vector<std::uint8_t> EncodeHeifFile(int width, int height, bool alpha, int quality,
                                                heif_orientation orientation,
                                                const HeifPlaneFill& fill) {
  heif_compression_format format =
      heif_have_encoder_for_format(heif_compression_HEVC)  ? heif_compression_HEVC
      : heif_have_encoder_for_format(heif_compression_AV1) ? heif_compression_AV1
                                                           : heif_compression_undefined;
  if (format == heif_compression_undefined) return {};
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_context_get_encoder_for_format(context, format, &encoder);
  heif_encoder_set_lossy_quality(encoder, quality);
  heif_image* image = nullptr;
  heif_image_create(width, height, heif_colorspace_RGB,
                    alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &image);
  heif_image_add_plane(image, heif_channel_interleaved, width, height, 8);
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  fill(plane, stride);
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->image_orientation = orientation;
  heif_context_encode_image(context, image, encoder, options, nullptr);
  std::vector<std::uint8_t> file;
  heif_writer writer{1, [](heif_context*, const void* data, std::size_t size, void* out) {
                       auto* bytes = static_cast<const std::uint8_t*>(data);
                       static_cast<std::vector<std::uint8_t>*>(out)->assign(bytes, bytes + size);
                       return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                     }};
  heif_context_write(context, &writer, &file);
  heif_encoding_options_free(options);
  heif_image_release(image);
  heif_encoder_release(encoder);
  heif_context_free(context);
  return file;
}

}  // namespace tx::testing
