#pragma once
// fxkit: whole-image enhancements and effects.
//
// Every effect reads one packed image (image/packed_image.h), leaves it as it
// was and returns a new packed image the caller owns and frees with
// GlobalFree, or null. The library keeps no state from one call to the next
// apart from the per-thread random generator. Both entry points may run on
// any thread.

#include <cstdint>
#include <span>

extern "C" {

/// Runs effect `effectCode & 0xff` with sub-selector `(effectCode >> 8) & 0xff`
/// on `image`. With a non-null `record` (five ints) the record goes unchanged
/// to DoEE and `values`/`count` are ignored. Otherwise `count` slider values
/// (0 to 100, 50 neutral) are mapped to the effect's parameters; values the
/// effect needs beyond `count` read as 50. Null `values` and `record` give
/// null. `image` is never freed or changed.
void* DoEnhanceAndEffect(void* image, int effectCode, const int* values, int count, void* record);

/// Runs effect `id` (taken whole) with the five-int parameter `record`. Null
/// for a null image or record, an id without an effect, a depth the effect
/// does not take, or exhausted memory (which shows the memory message).
void* DoEE(void* image, int id, int* record);
}

namespace tx::fx {

/// One entry of the effect catalogue.
struct EffectInfo {
  int id;
  const char* name;
  bool available;  // false: the id is catalogued but its effect is not built yet
};

/// Every catalogued effect id in ascending order.
std::span<const EffectInfo> EffectCatalogue();

}  // namespace tx::fx
