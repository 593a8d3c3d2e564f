#include "effects/fxkit.h"

#include <algorithm>
#include <array>

#include "effects/effects_p.h"

namespace {

constexpr int kIdMask = 0xff;
constexpr int kSubShift = 8;
constexpr int kSubMask = 0xff;
constexpr int kHueSaturationId = 3;
constexpr int kSliderNeutral = 50;
// The most slider values any effect reads (ToneAdjust).
constexpr int kMostValuesRead = 3;

}  // namespace

extern "C" void* DoEE(void* image, int id, int* record) {
  if (!image || !record) return nullptr;
  tx::fx::EffectFunction run = tx::fx::FindEffect(id);
  if (!run) return nullptr;
  tx::fx::EffectRecord rec;
  std::copy(record, record + tx::fx::kRecordSize, rec.p);
  return run(image, rec);
}

extern "C" void* DoEnhanceAndEffect(void* image, int effectCode, const int* values, int count,
                                    void* record) {
  if (record) return DoEE(image, effectCode & kIdMask, static_cast<int*>(record));
  if (!values) return nullptr;
  int id = effectCode & kIdMask;
  int sub = (effectCode >> kSubShift) & kSubMask;
  // Only the values an effect can read are mapped. A caller that passes fewer
  // gets neutral sliders for the rest rather than reads past its array.
  int given = std::clamp(count, 0, kMostValuesRead);
  std::array<int, kMostValuesRead> mapped{};
  for (int k = 0; k < kMostValuesRead; ++k) {
    int value = k < given ? values[k] : kSliderNeutral;
    // HueSaturation's two sliders have a row each: (3, 1) and (3, 2).
    int rowSub = id == kHueSaturationId ? k + 1 : sub;
    mapped[std::size_t(k)] = tx::fx::MapSliderValue(id, rowSub, value);
  }
  tx::fx::EffectRecord rec = tx::fx::BuildRecordFromValues(id, sub, mapped.data(), kMostValuesRead);
  return DoEE(image, id, rec.p);
}
