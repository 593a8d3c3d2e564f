#include "effects/sample_image.h"

namespace tx::fx {

int SampleChannels(const ImageLock& image) {
  if (!image) return 0;
  if (image.bitCount() == 24) return 3;
  return image.isGray() ? 1 : 0;
}

BackgroundPixel MakeBackgroundPixel(std::uint32_t colour, int channels) {
  const unsigned red = colour & 0xff;
  const unsigned green = (colour >> 8) & 0xff;
  const unsigned blue = (colour >> 16) & 0xff;
  BackgroundPixel pixel;
  if (channels == 1) {
    // Weights in hundredths; + 50 rounds to nearest.
    pixel.bytes[0] = std::uint8_t((30 * red + 59 * green + 11 * blue + 50) / 100);
  } else {
    pixel.bytes[0] = std::uint8_t(blue);
    pixel.bytes[1] = std::uint8_t(green);
    pixel.bytes[2] = std::uint8_t(red);
  }
  return pixel;
}

}  // namespace tx::fx
