#pragma once
// The renderer's process-wide state: one scene at a time, so the clock start values,
// the switch ease, the feedback pass and the first-frames counter live here.
#include <cstdint>

#include "scene/mirror_set.h"

// The eased switch between mirror sets; all zero (no switch easing) at start.
struct MirrorTransition {
  bool active = false;
  float fromAngle = 0.0f;
  float toAngle = 0.0f;
  float startTime = 0.0f;
  float duration = 0.0f;
  MirrorSet transitionalSet;
};

namespace renderer {

extern MirrorTransition mirrorTransition;

// The frame clock's start values.
extern bool clockStarted;
extern int64_t counterStart;
extern int64_t counterFrequency;
// Without a high-resolution counter the clock runs on the millisecond tick: the last
// tick seen and the milliseconds counted so far (the tick itself wraps at 2^32).
extern bool clockUsesTick;
extern uint32_t lastTick;
extern int64_t tickElapsedMs;
// Milliseconds by which the clock's origin has moved forward since it started; sceneTime
// counts from there. Tests turn the moves off to compare a run with the unmoved clock.
extern int64_t clockOriginMs;
extern bool clockOriginMoves;

// Frames that still force the back buffer with a full clear.
extern int32_t firstFramesToClear;

// The feedback pass: the driver offers it, and its 128 x 128 texture.
extern bool feedbackCapable;
extern uint32_t feedbackTexture;

// Returns every value above to its start-of-process state (tests run many scenes in
// one process).
void resetForTests();

// Tools and tests fix the random sequence: when a seed is set, set-up reseeds with it
// right after its own time-based seeding. nullptr goes back to the time seed.
void setSeedOverride(const uint32_t* seed);
const uint32_t* seedOverride();

}  // namespace renderer

// The smoothstep ease e(d) = d*d*(3 - 2d) in double precision.
double easeFactor(double d);
