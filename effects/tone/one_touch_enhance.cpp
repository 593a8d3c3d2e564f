#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "effects/tone/tone_kernel.h"

namespace tx::fx {
namespace {

constexpr double kBlackPointGammaStep = 0.06;
constexpr double kGammaUnit = 0.001;
// The sharpen table covers 8F - (sum of 8 neighbours), -2040..2040.
constexpr int kSharpenOffset = 2040;
constexpr int kSharpenTableSize = 2 * kSharpenOffset + 1;
constexpr int kSharpenDivisor = 800;
// A change of a level by more than this saturates it whatever the level.
constexpr std::int64_t kLevelReach = 1024;

struct Parameters {
  int whitePoint;  // p0
  int gammaBase;   // p1, in thousandths
  int sharpen;     // p2
  int saturation;  // p3
  int blackPoint;  // p4
};

// Levels: black below the black point, white from the white point, a gamma
// curve between them that brightens more the higher the black point.
ToneTable LevelsTable(const Parameters& p) {
  const double gamma = (1.0 - kBlackPointGammaStep * p.blackPoint) * p.gammaBase * kGammaUnit;
  ToneTable table;
  for (int i = 0; i < 256; ++i) {
    double v;
    if (i <= p.blackPoint) {
      v = 0;
    } else if (i >= p.whitePoint) {
      v = 255;
    } else {
      v = std::trunc(255.0 * std::pow(double(i) / p.whitePoint, gamma) + 0.5);
    }
    table[std::size_t(i)] = std::uint8_t(std::clamp(v, 0.0, 255.0));
  }
  return table;
}

// Pushes the channels away from the largest one: more colour.
void BoostSaturation(std::uint8_t* bgr, const std::array<int, 256>& step) {
  const int mx = std::max({bgr[0], bgr[1], bgr[2]});
  for (int ch = 0; ch < 3; ++ch) {
    const int c = bgr[ch];
    bgr[ch] = std::uint8_t(std::clamp(c - step[std::size_t(mx - c)], 0, 255));
  }
}

// 3x3 sharpen of every channel in place on `rows` of `samplesPerRow` samples,
// `channels` interleaved. The neighbours are the values before sharpening:
// the previous row is kept in a copy; at the edges a missing neighbour is the
// sample itself.
void Sharpen(EffectFrame& frame, int channels, int strength) {
  std::vector<int> weight(kSharpenTableSize);
  // 64-bit, then held to what can still move a level: a caller's huge
  // strength saturates the sample instead of overflowing.
  for (int j = 0; j < kSharpenTableSize; ++j) {
    const std::int64_t w = std::int64_t{strength} * (j - kSharpenOffset) / kSharpenDivisor;
    weight[std::size_t(j)] = int(std::clamp<std::int64_t>(w, -kLevelReach, kLevelReach));
  }
  const ImageLock& src = frame.source();
  const int width = src.width();
  const int height = src.height();
  const std::size_t rowSamples = std::size_t(width) * std::size_t(channels);
  std::vector<std::uint8_t> previous(rowSamples), current(rowSamples);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = frame.resultRow(y);
    std::memcpy(current.data(), out, rowSamples);
    const std::uint8_t* below = y > 0 ? previous.data() : nullptr;
    const std::uint8_t* above = y + 1 < height ? frame.resultRow(y + 1) : nullptr;
    for (int x = 0; x < width; ++x) {
      for (int ch = 0; ch < channels; ++ch) {
        const std::size_t at = std::size_t(x) * std::size_t(channels) + std::size_t(ch);
        const int f = current[at];
        auto sample = [&](const std::uint8_t* row, int dx) {
          const int nx = x + dx;
          if (!row || nx < 0 || nx >= width) return f;
          return int(row[std::size_t(nx) * std::size_t(channels) + std::size_t(ch)]);
        };
        int sum = 0;
        for (int dx = -1; dx <= 1; ++dx) {
          sum += sample(below, dx) + sample(above, dx);
          if (dx != 0) sum += sample(current.data(), dx);
        }
        out[at] =
            std::uint8_t(std::clamp(f + weight[std::size_t(8 * f - sum + kSharpenOffset)], 0, 255));
      }
    }
    std::swap(previous, current);
  }
}

}  // namespace

// p0 white point, p1 gamma base, p2 sharpen strength, p3 saturation step,
// p4 black point. The result starts as a copy of the image; depths other than
// 24 and 8 bits stay an unchanged copy.
GlobalHandle OneTouchEnhance(GlobalHandle image, const EffectRecord& record) {
  const Parameters p{record.p[0], record.p[1], record.p[2], record.p[3], record.p[4]};
  EffectFrame frame(image);
  if (!frame.sourceOk() || !frame.AllocateResult()) return nullptr;
  const ImageLock& src = frame.source();
  const int bits = src.bitCount();
  const int width = src.width();
  const int height = src.height();
  const bool gray = src.isGray();
  const ToneTable levels = LevelsTable(p);
  std::array<int, 256> step{};
  for (int k = 0; k < 256; ++k) {
    const std::int64_t v = (50 + std::int64_t{k} * p.saturation) / 100;
    step[std::size_t(k)] = int(std::clamp<std::int64_t>(v, -kLevelReach, kLevelReach));
  }

  // A colour-table image other than gray has indices, not levels, in its
  // pixels: its colour table is enhanced instead and nothing is sharpened.
  const bool paletteOnly = bits == 8 && !gray;
  if (paletteOnly) {
    RgbQuad* entries = frame.resultPalette();
    for (std::uint32_t i = 0; i < src.colourCount(); ++i) {
      std::uint8_t* bgr = &entries[i].blue;
      for (int ch = 0; ch < 3; ++ch)
        bgr[ch] = levels[bgr[ch]];
      if (p.saturation != 0) BoostSaturation(bgr, step);
    }
  }
  for (int y = 0; y < height; ++y) {
    if (!frame.BeginRow(y)) return frame.Finish();
    const std::uint8_t* in = src.row(y);
    std::uint8_t* out = frame.resultRow(y);
    std::memcpy(out, in, src.stride());
    if (bits == 24) {
      for (int x = 0; x < width; ++x) {
        std::uint8_t* bgr = out + 3 * std::size_t(x);
        for (int ch = 0; ch < 3; ++ch)
          bgr[ch] = levels[bgr[ch]];
        if (p.saturation != 0) BoostSaturation(bgr, step);
      }
    } else if (bits == 8 && gray) {
      for (int x = 0; x < width; ++x)
        out[x] = levels[out[x]];
    }
  }
  const bool levelsImage = bits == 24 || (bits == 8 && gray);
  if (levelsImage && p.sharpen != 0 && width > 2 && height > 2) {
    Sharpen(frame, bits == 24 ? 3 : 1, p.sharpen);
  }
  return frame.Finish();
}

}  // namespace tx::fx
