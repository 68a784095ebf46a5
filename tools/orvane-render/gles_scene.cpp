#include "gles_scene.h"

#include <new>

#include "effects/prop_drift_effect.h"
#include "props/prop_atlas.h"
#include "scene/mirror_scene.h"
#include "scene/process_state.h"
#include "sim_counter.h"

void* glesSceneSetUp(int32_t width, int32_t height, const char* props, const uint32_t* seed, int32_t speed) {
  if (props) setPropFileCandidates({props});
  simCounterInstall(1000000);
  if (seed) renderer::setSeedOverride(seed);
  MirrorScene* scene = new (std::nothrow) MirrorScene();
  if (scene == nullptr) return nullptr;
  scene->setUp(width, height);
  scene->speedPercent = speed;
  return scene;
}

GlesSceneFrame glesSceneRender(void* opaque, uint32_t frameWord, int64_t counts) {
  MirrorScene* scene = static_cast<MirrorScene*>(opaque);
  simCounterSet(counts);
  GlesSceneFrame frame{};
  frame.backBuffer = scene->renderFrame(frameWord) ? 1 : 0;
  frame.eased = scene->drawnEased ? 1 : 0;
  frame.copyCount = scene->drawnSet ? scene->drawnSet->copyCount : 0;
  return frame;
}

int32_t glesScenePropCount(void* opaque) {
  const auto* drift = dynamic_cast<const PropDriftEffect*>(static_cast<MirrorScene*>(opaque)->effect);
  return drift ? drift->cellCount : 0;
}

void glesSceneDestroy(void* opaque) {
  MirrorScene* scene = static_cast<MirrorScene*>(opaque);
  scene->destroy();
  delete scene;
}

void glesSceneSwitch(void* scene) { static_cast<MirrorScene*>(scene)->chooseMirrorSet(true); }
