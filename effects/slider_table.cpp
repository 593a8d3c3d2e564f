#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "effects/effects_p.h"

namespace tx::fx {
namespace {

struct SliderRow {
  int id;
  int sub;
  int at0;
  int at100;
  int at50;
};

constexpr int kSliderNeutral = 50;

// What a slider position means for each effect: the value at 0, at 100 and at
// the neutral middle. Searched in order; the first row of (id, sub) wins.
constexpr std::array<SliderRow, 41> kSliderRows = {{
    {1, 0, 1, 100, 50},    {2, 0, -128, 127, 20}, {3, 1, -180, 180, 20}, {3, 2, 100, -100, 0},
    {4, 0, -200, 200, 20}, {5, 0, 0, 0, 0},       {6, 0, 0, 0, 0},       {7, 0, 1, 0, 0},
    {8, 0, 0, 0, 0},       {9, 0, 1, 40, 20},     {10, 0, 80, 500, 200}, {11, 0, 0, 0, 0},
    {12, 0, 2, 32, 17},    {13, 0, 0, 0, 0},      {14, 0, 1, 100, 50},   {15, 0, 20, 225, 128},
    {16, 0, 0, 0, 0},      {17, 0, 0, 0, 0},      {18, 0, 0, 0, 0},      {81, 0, 0, 10, 3},
    {82, 1, 1, 100, 20},   {82, 2, 1, 100, 20},   {83, 0, 1, 100, 50},   {84, 0, 1, 100, 20},
    {85, 0, 1, 100, 50},   {86, 0, 1, 100, 10},   {87, 0, 1, 100, 20},   {88, 0, 1, 100, 50},
    {89, 0, 0, 100, 30},   {90, 1, 1, 5, 3},      {90, 3, 1, 5, 3},      {91, 0, 0, 50, 20},
    {92, 0, 1, 100, 50},   {93, 0, 1, 100, 30},   {94, 0, 1, 100, 50},   {95, 0, 1, 100, 20},
    {96, 0, 1, 100, 10},   {97, 0, 1, 100, 30},   {98, 0, 1, 100, 30},   {99, 0, 0, 0, 0},
    {100, 0, 0, 0, 0},
}};

constexpr std::int32_t kWhite = 0xffffff;

}  // namespace

int MapSliderValue(int id, int sub, int value) {
  for (const SliderRow& row : kSliderRows) {
    if (row.id != id || row.sub != sub) continue;
    std::int64_t target = value >= kSliderNeutral ? row.at100 : row.at0;
    // 64-bit, so that a caller's out-of-range value (the program passes a
    // cell index to the negative) cannot overflow; the division truncates.
    std::int64_t distance = std::llabs(std::int64_t(value) - kSliderNeutral);
    std::int64_t result = row.at50 + distance * (target - row.at50) / kSliderNeutral;
    return int(std::clamp<std::int64_t>(result, std::numeric_limits<int>::min(),
                                        std::numeric_limits<int>::max()));
  }
  return 0;
}

EffectRecord BuildRecordFromValues(int id, int sub, const int* mapped, int count) {
  auto r = [&](int k) { return k < count ? mapped[k] : 0; };
  EffectRecord rec;
  auto set = [&](std::initializer_list<std::int32_t> values) {
    int k = 0;
    for (std::int32_t v : values)
      rec.p[k++] = v;
  };
  switch (id) {
    case 1:
      set({255 - r(0) / 5, 1000 - r(0), r(0) / 5, r(0) / 5, r(0) / 25});
      break;
    case 2:
      set({1, r(0), r(1)});
      break;
    case 3:
      set({r(0), r(1)});
      break;
    case 4:
      set({1, r(0), r(1), r(2)});
      break;
    case 9:
      set({r(0), 2});
      break;
    case 10:
      set({3, r(0), 0});
      break;
    case 12:
    case 14:
    case 81:
    case 83:
    case 84:
    case 85:
    case 86:
    case 88:
    case 97:
      set({r(0)});
      break;
    case 15:
      set({1, 1, r(0)});
      break;
    case 82:
      set({sub, r(0)});
      break;
    case 87:
      set({r(0), kWhite});
      break;
    case 89:
      set({(r(0) + 3) / 4, (r(0) + 3) / 4});
      break;
    case 90:
      set({sub, r(0), 6, kWhite});
      break;
    case 91:
      set({r(0), 4});
      break;
    case 92:
      set({2, r(0)});
      break;
    case 93:
      set({0, r(0)});
      break;
    case 94:
      set({1, r(0)});
      break;
    case 95:
      set({4, r(0)});
      break;
    case 96:
      set({3, r(0)});
      break;
    case 98:
      set({25, r(0), kWhite});
      break;
    default:
      break;  // the effect reads no record
  }
  return rec;
}

}  // namespace tx::fx
