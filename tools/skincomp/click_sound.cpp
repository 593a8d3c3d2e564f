#include "tools/skincomp/click_sound.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tx::skincomp {
namespace {

constexpr std::uint32_t kSampleRate = 22050;
constexpr std::uint32_t kSamples = kSampleRate * 30 / 1000;
constexpr std::uint16_t kBitsPerSample = 16;
constexpr std::uint16_t kChannels = 1;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, std::uint16_t(v));
  Put16(out, std::uint16_t(v >> 16));
}
void PutTag(std::vector<std::uint8_t>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

}  // namespace

std::vector<std::uint8_t> ClickWav() {
  const std::uint32_t dataBytes = kSamples * kChannels * kBitsPerSample / 8;
  std::vector<std::uint8_t> out;
  out.reserve(44 + dataBytes);
  PutTag(out, "RIFF");
  Put32(out, 36 + dataBytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, kChannels);
  Put32(out, kSampleRate);
  Put32(out, kSampleRate * kChannels * kBitsPerSample / 8);
  Put16(out, std::uint16_t(kChannels * kBitsPerSample / 8));
  Put16(out, kBitsPerSample);
  PutTag(out, "data");
  Put32(out, dataBytes);

  // Two damped tones and a burst of fixed pseudo-random noise at the start:
  // a short, soft tick. Integer noise keeps the bytes the same everywhere.
  std::uint32_t noise = 0x1234567u;
  for (std::uint32_t i = 0; i < kSamples; ++i) {
    const double t = double(i) / kSampleRate;
    noise = noise * 1103515245u + 12345u;
    const double n = (double((noise >> 16) & 0x7FFF) / 16383.5 - 1.0) * std::exp(-t * 900.0);
    const double tone = 0.6 * std::sin(2 * std::numbers::pi * 2400.0 * t) * std::exp(-t * 220.0) +
                        0.3 * std::sin(2 * std::numbers::pi * 1200.0 * t) * std::exp(-t * 160.0);
    const double fadeIn = std::min(1.0, double(i) / 8.0);
    const double v = std::clamp((0.5 * n + tone) * fadeIn * 0.45, -1.0, 1.0);
    Put16(out, std::uint16_t(std::int16_t(std::lround(v * 32000.0))));
  }
  return out;
}

}  // namespace tx::skincomp
