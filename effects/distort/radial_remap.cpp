#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "effects/distort/distort_kernel.h"

namespace tx::fx {
namespace {

// The remaps of the inscribed ellipse. Only p0 picks the type; the effect ids
// that share this function differ only in the record they are given. Types 5
// and 6 have no slider of their own and are reached with a record only.
enum RemapType {
  kPunch = 0,
  kSphere = 1,
  kPinch = 2,
  kTwirl = 3,
  kWhirlpool = 4,
  kFold = 5,
  kBend = 6
};

constexpr int kTableSize = 512;
constexpr int kOne = 16384;  // 1.0 in the fixed point of the tables
// Positions are doubled distances times a table value in 1/16384: shifting
// by 15 brings them back to pixels.
constexpr int kPositionShift = 15;
// The squared distance of a column or row is kept with this many extra
// fraction bits, so that the two halves add up before the index is cut.
constexpr int kFractionBits = 16;
// Limit of a table value: |position| < 2^31 times this stays below 2^61, so
// the sum of two products and the centring term cannot overflow 64 bits.
constexpr double kTableLimit = double(1 << 30);
constexpr double kPi = 3.14159265;

struct Entry {
  std::int32_t c = 0;  // scale factor, or the cosine part of a rotation
  std::int32_t s = 0;  // sine part of a rotation
};
using Table = std::array<Entry, kTableSize>;

bool IsScale(int type) {
  return type == kPunch || type == kSphere || type == kPinch;
}

// A table value in fixed point, truncated towards zero like every conversion
// here. Values too large for the later products are limited; a value that is
// not a number (none of the formulas give one for finite input) reads as 0.
std::int32_t Fixed(double v) {
  if (std::isnan(v)) return 0;
  return std::int32_t(std::clamp(v, -kTableLimit, kTableLimit));
}

// Entry k holds the remap at squared radius r2 = k / 512 (1 = the ellipse's
// edge). Entry 0, the centre, stays 0 for every type.
Table MakeTable(int type, int amount) {
  Table table{};
  const double p = amount;
  for (int k = 1; k < kTableSize; ++k) {
    const double r2 = double(k) / kTableSize;
    const double r = std::sqrt(r2);
    Entry& e = table[std::size_t(k)];
    switch (type) {
      case kPunch: {
        // A large amount drives the power to 0: the factor is then the limit.
        const double power = std::pow(r2, 0.003 * p);
        e.c = power > 0 ? Fixed(kOne / power) : Fixed(kTableLimit);
        break;
      }
      case kPinch:
        e.c = Fixed(kOne * std::pow(r2, 0.0075 * p));
        break;
      case kSphere:
        e.c = Fixed(kOne * ((1 - 0.02 * p) + 0.04 * p * std::asin(r) / (kPi * r)));
        break;
      case kTwirl: {
        const double angle = p * r * 0.125663706;
        e.c = Fixed(std::cos(angle) * kOne);
        e.s = Fixed(std::sin(angle) * kOne);
        break;
      }
      case kWhirlpool: {
        const double angle = -p * (r - 1) * (r - 1) * 0.062831853;
        e.c = Fixed(std::cos(angle) * kOne);
        e.s = Fixed(std::sin(angle) * kOne);
        break;
      }
      case kFold:
        e.c = Fixed((1 - r2) * kOne / (r2 + 1));
        e.s = Fixed(r * 2 * kOne / (r2 + 1));
        break;
      case kBend:
        e.c = Fixed((1 - r) * kOne);
        e.s = Fixed(std::sqrt(2 * r * (1 - r)) * kOne);
        break;
      default:
        break;
    }
  }
  return table;
}

// Squared distances from the centre, as a share of the half-axis squared,
// scaled by 512 << 16: (d / (size - 1))^2 with d = 2 i - size + 1, the doubled
// distance of position i. Computed once per column and per row in double,
// which holds these values (at most 2^25 before the cut) exactly enough that
// the index is within one of the exact one; the edges (d = +-(size - 1))
// come out at exactly 512. A picture one pixel across has its only position
// on the centre line: 0.
std::vector<std::int64_t> AxisParts(int size) {
  std::vector<std::int64_t> parts(std::size_t(size), 0);
  if (size < 2) return parts;
  const double half = double(size) - 1;
  const double scale = double(std::int64_t(kTableSize) << kFractionBits);
  for (int i = 0; i < size; ++i) {
    const double ratio = (2.0 * i - half) / half;
    parts[std::size_t(i)] = std::int64_t(ratio * ratio * scale);
  }
  return parts;
}

}  // namespace

// The radial family: inside the ellipse inscribed in the picture each pixel
// takes the source at its own position scaled (punch, sphere, pinch) or
// rotated (twirl, whirlpool, and the record-only types 5 and 6) about the
// centre by the table entry of its squared radius; the source is limited to
// the picture. Pixels outside the ellipse keep their colour.
//
// p0 outside 0..6 names no remap: the result is null, as for an effect that
// does not exist. p1, the amount, may take any value: the table values are
// limited and every product is 64-bit.
GlobalHandle RadialRemap(GlobalHandle image, const EffectRecord& record) {
  const int type = record.p[0];
  if (type < kPunch || type > kBend) return nullptr;
  const Table table = MakeTable(type, record.p[1]);
  const bool scale = IsScale(type);
  return RunDistortion(image, [&](EffectFrame& frame, auto channels) {
    constexpr int C = decltype(channels)::value;
    const ImageLock& src = frame.source();
    const int width = src.width();
    const int height = src.height();
    const std::vector<std::int64_t> columnPart = AxisParts(width);
    const std::vector<std::int64_t> rowPart = AxisParts(height);
    const std::int64_t limit = std::int64_t(kTableSize) << kFractionBits;
    const std::int64_t centreX = std::int64_t(width) * kOne - kOne / 2;
    const std::int64_t centreY = std::int64_t(height) * kOne - kOne / 2;

    for (int y = 0; y < height; ++y) {
      if (!frame.BeginRow(y)) return;
      std::uint8_t* out = frame.resultRow(y);
      const std::int64_t dy = 2 * std::int64_t(y) - height + 1;
      const std::int64_t rowShare = rowPart[std::size_t(y)];
      for (int x = 0; x < width; ++x, out += C) {
        const std::int64_t share = columnPart[std::size_t(x)] + rowShare;
        if (share >= limit) {
          CopyPixel<C>(out, SourcePixel<C>(src, x, y));
          continue;
        }
        const Entry& e = table[std::size_t(share >> kFractionBits)];
        const std::int64_t dx = 2 * std::int64_t(x) - width + 1;
        std::int64_t sx, sy;
        if (scale) {
          sx = (dx * e.c + centreX) >> kPositionShift;
          sy = (dy * e.c + centreY) >> kPositionShift;
        } else {
          sx = (dx * e.c - dy * e.s + centreX) >> kPositionShift;
          sy = (dy * e.c + dx * e.s + centreY) >> kPositionShift;
        }
        CopyPixel<C>(out, SourcePixel<C>(src, ClampToSize(sx, width), ClampToSize(sy, height)));
      }
    }
  });
}

}  // namespace tx::fx
