#include "effects/effects_p.h"

namespace tx::fx {

GlobalHandle Cylinder(GlobalHandle /*image*/, const EffectRecord& /*record*/) {
  return nullptr;
}

}  // namespace tx::fx
