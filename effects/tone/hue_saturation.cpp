#include <algorithm>
#include <array>

#include "effects/tone/tone_kernel.h"

namespace tx::fx {
namespace {

constexpr std::int64_t kDegreesPerSector = 60;
constexpr std::int64_t kSectors = 6;
constexpr int kFixedShift = 7;  // channel values in 1/128 steps
constexpr std::int64_t kFixedOne = 1 << kFixedShift;
constexpr std::int64_t kFixedWhite = 255 * kFixedOne;

// Channel slots of a pixel stored blue, green, red.
constexpr int kB = 0;
constexpr int kG = 1;
constexpr int kR = 2;

// Which channel takes the largest, middle and smallest value in each
// 60-degree sector of the hue circle, red at 0, green at 120, blue at 240.
struct SectorPlacement {
  int largest;
  int middle;
  int smallest;
};
constexpr std::array<SectorPlacement, 6> kPlacement = {{
    {kR, kG, kB},  // red to yellow: green rising
    {kG, kR, kB},  // yellow to green: red falling
    {kG, kB, kR},  // green to cyan: blue rising
    {kB, kG, kR},  // cyan to blue: green falling
    {kB, kR, kG},  // blue to magenta: red rising
    {kR, kB, kG},  // magenta to red: blue falling
}};

// Turns the hue of one pixel by `degrees`, keeping its largest and smallest
// channel. Positions on the hue circle are counted in units of (mx - mn)
// per degree so the arithmetic stays in integers.
void TurnHue(std::uint8_t* bgr, std::int64_t degrees, int mx, int mn) {
  const std::int64_t span = mx - mn;
  const std::int64_t sector = kDegreesPerSector * span;
  const std::int64_t turn = kSectors * sector;
  const int r = bgr[kR], g = bgr[kG], b = bgr[kB];
  std::int64_t position;
  if (r == mx) {
    position = kDegreesPerSector * (g - b);  // sectors 5 and 0
  } else if (g == mx) {
    position = kDegreesPerSector * (b - r) + 2 * sector;
  } else {
    position = kDegreesPerSector * (r - g) + 4 * sector;
  }
  position = ((position + degrees * span) % turn + turn) % turn;
  const std::int64_t index = position / sector;
  const std::int64_t within = position % sector;
  // Odd sectors run from the largest value down, even ones from the smallest up.
  const std::int64_t along = (index & 1) ? within : sector - within;
  const int mid = int(mx - (along + kDegreesPerSector / 2) / kDegreesPerSector);
  const SectorPlacement& place = kPlacement[std::size_t(index)];
  bgr[place.largest] = std::uint8_t(mx);
  bgr[place.middle] = std::uint8_t(std::clamp(mid, mn, mx));
  bgr[place.smallest] = std::uint8_t(mn);
}

}  // namespace

// p0 hue shift in degrees, p1 saturation change in percent (positive draws the
// channels toward the largest, i.e. less colour).
GlobalHandle HueSaturation(GlobalHandle image, const EffectRecord& record) {
  const std::int64_t degrees = record.p[0];
  const std::int64_t percent = record.p[1];
  if (degrees == 0 && percent == 0) return nullptr;

  // c(i) = i * percent / 100 in 1/128 steps, rounded toward zero.
  std::array<std::int64_t, 256> c;
  for (std::int64_t i = 0; i < 256; ++i) {
    c[std::size_t(i)] = (kFixedOne * i * percent + 50) / 100;
  }
  auto adjust = [&](std::uint8_t* bgr) {
    const int mx = std::max({bgr[0], bgr[1], bgr[2]});
    const int mn = std::min({bgr[0], bgr[1], bgr[2]});
    if (mx == mn) return;  // gray has no hue and no colour to change
    if (degrees != 0) TurnHue(bgr, degrees, mx, mn);
    for (int ch = 0; ch < 3; ++ch) {
      const std::int64_t v = bgr[ch];
      const std::int64_t sum = kFixedOne * v - c[std::size_t(v)] + c[std::size_t(mx)];
      bgr[ch] = sum < 0 ? 0 : (sum >= kFixedWhite ? 255 : std::uint8_t(sum >> kFixedShift));
    }
  };
  // Gray images have no colour: they are copied.
  return MapColours(image, adjust, nullptr);
}

}  // namespace tx::fx
