#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "effects/sample_image.h"

namespace tx::fx {
namespace {

constexpr int kLargestDepth = 100;
constexpr int kDirections = 8;
constexpr int kFlat = 128;

struct Offset {
  int dx;
  int dy;  // stored rows; +1 is one row up in the picture
};

// Where the light comes from, by type modulo 8: 0 left, 1 top left, 2 top,
// 3 top right, 4 right, 5 bottom right, 6 bottom, 7 bottom left.
constexpr std::array<Offset, kDirections> kLight = {
    {{-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}}};

// The three samples on the lit side at distance `depth`: for a side, its
// whole row or column of the window; for a corner, the corner and the two
// samples next to it on the window's edge. The shaded side is the mirror.
std::array<Offset, 3> LitSide(int type, int depth) {
  const Offset u = kLight[std::size_t(((type % kDirections) + kDirections) % kDirections)];
  if (u.dx == 0) return {{{-depth, u.dy * depth}, {0, u.dy * depth}, {depth, u.dy * depth}}};
  if (u.dy == 0) return {{{u.dx * depth, -depth}, {u.dx * depth, 0}, {u.dx * depth, depth}}};
  return {{{u.dx * depth, u.dy * depth}, {u.dx * depth, 0}, {0, u.dy * depth}}};
}

}  // namespace

// p0 direction type (see kLight), p1 depth: the distance in pixels of the
// compared samples, 1 to 100; p2 flatness: sum differences smaller than it
// stay flat gray, which keeps faint noise out of smooth areas; p3 colour
// 0x00BBGGRR that tints the relief (white keeps it gray). Each sample is a
// third of the difference between the lit side's three samples and the
// shaded side's, plus 128; pixels too near the border for the window are 128.
GlobalHandle Emboss(GlobalHandle image, const EffectRecord& record) {
  EffectFrame frame(image);
  const int channels = SampleChannels(frame.source());
  if (channels == 0 || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int width = src.width();
  const int height = src.height();
  const int depth = std::clamp(record.p[1], 1, kLargestDepth);
  const std::int64_t flatness = record.p[2];
  const std::array<Offset, 3> lit = LitSide(record.p[0], depth);
  const BackgroundPixel tint = MakeBackgroundPixel(std::uint32_t(record.p[3]), channels);
  // Per channel, each relief level tinted, rounded.
  std::array<std::array<std::uint8_t, 256>, 3> tinted{};
  for (int c = 0; c < channels; ++c) {
    for (int v = 0; v < 256; ++v)
      tinted[std::size_t(c)][std::size_t(v)] = std::uint8_t((v * tint.bytes[c] + 127) / 255);
  }
  const std::size_t step = std::size_t(channels);

  for (int y = 0; y < height; ++y) {
    if (!frame.BeginRow(y)) break;
    std::uint8_t* out = frame.resultRow(y);
    for (int x = 0; x < width; ++x) {
      for (std::size_t c = 0; c < step; ++c)
        out[std::size_t(x) * step + c] = tinted[c][kFlat];
    }
    if (y < depth || y + depth >= height) continue;
    // Each compared sample as a row and a shift of its sample index.
    std::array<const std::uint8_t*, 3> litRow{}, shadedRow{};
    std::array<std::ptrdiff_t, 3> shift{};
    for (std::size_t i = 0; i < 3; ++i) {
      litRow[i] = src.row(y + lit[i].dy);
      shadedRow[i] = src.row(y - lit[i].dy);
      shift[i] = std::ptrdiff_t(lit[i].dx) * std::ptrdiff_t(step);
    }
    for (int x = depth; x + depth < width; ++x) {
      const std::ptrdiff_t at = std::ptrdiff_t(x) * std::ptrdiff_t(step);
      for (std::size_t c = 0; c < step; ++c) {
        const std::ptrdiff_t i = at + std::ptrdiff_t(c);
        int difference = 0;
        for (std::size_t k = 0; k < 3; ++k)
          difference += litRow[k][i + shift[k]] - shadedRow[k][i - shift[k]];
        const int relief =
            std::abs(difference) < flatness ? kFlat : std::clamp(difference / 3 + kFlat, 0, 255);
        out[i] = tinted[c][std::size_t(relief)];
      }
    }
  }
  return frame.Finish();
}

}  // namespace tx::fx
