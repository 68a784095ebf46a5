#include "effects/effect.h"

#include <new>

#include "effects/prop_drift_effect.h"

Effect* createEffect(int32_t index, MirrorScene* scene) {
  if (index != 0) return nullptr;
  return new (std::nothrow) PropDriftEffect(scene, false);
}
