#include "scene/renderer_state.h"

namespace renderer {

MirrorTransition mirrorTransition;
bool clockStarted = false;
int64_t counterStart = 0;
int64_t counterFrequency = 0;
bool clockUsesTick = false;
uint32_t lastTick = 0;
int64_t tickElapsedMs = 0;
int64_t clockOriginMs = 0;
bool clockOriginMoves = true;
int32_t firstFramesToClear = 2;
bool feedbackCapable = false;
uint32_t feedbackTexture = 0;

namespace {
bool seedFixed = false;
uint32_t fixedSeed = 0;
}  // namespace

void resetForTests() {
  mirrorTransition = MirrorTransition();
  clockStarted = false;
  counterStart = 0;
  counterFrequency = 0;
  clockUsesTick = false;
  lastTick = 0;
  tickElapsedMs = 0;
  clockOriginMs = 0;
  clockOriginMoves = true;
  firstFramesToClear = 2;
  feedbackCapable = false;
  feedbackTexture = 0;
}

void setSeedOverride(const uint32_t* seed) {
  seedFixed = seed != nullptr;
  fixedSeed = seed ? *seed : 0;
}

const uint32_t* seedOverride() { return seedFixed ? &fixedSeed : nullptr; }

}  // namespace renderer

double easeFactor(double d) { return d * d * (3.0 - 2.0 * d); }
