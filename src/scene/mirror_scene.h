#pragma once
// The kaleidoscope renderer. The host allocates a scene (default-constructible, nothing
// in it throws), calls setUp with its GL context current, renderFrame once per loop turn
// (swapping buffers when it returns true), destroy at the end with the context still
// current, and then frees it. Everything one scene draws with is its own, so several
// scenes, each with its own context, live side by side in one process; they share only
// the process clock and the random generator (scene/process_state.h).
#include <cstdint>

#include "scene/mirror_set.h"

class Effect;

// The eased switch between mirror sets; all zero (no switch easing) at start.
struct MirrorTransition {
  bool active = false;
  float fromAngle = 0.0f;
  float toAngle = 0.0f;
  float startTime = 0.0f;
  float duration = 0.0f;
  MirrorSet transitionalSet;
};

// The smoothstep ease e(d) = d*d*(3 - 2d) in double precision.
double easeFactor(double d);

// Bit 16 of the frame word: mirrors and replication on.
constexpr uint32_t kFrameWordMirrors = 0x10000u;
// Number of mirror sets of a scene.
constexpr int32_t kMirrorSetCount = 7;
// The range of a scene's speed, in percent of the process clock, and its default.
constexpr int32_t kSpeedMinPercent = 25;
constexpr int32_t kSpeedMaxPercent = 200;
constexpr int32_t kSpeedDefaultPercent = 100;

struct MirrorScene {
  MirrorSet mirrorSets[kMirrorSetCount];  // set n from 360 / (10 + 2n) degrees
  Effect* effect = nullptr;               // owned; none when the factory yielded none
  int32_t effectIndex = 0;
  int32_t width = 0;
  int32_t height = 0;
  MirrorSet* currentSet = nullptr;  // one of mirrorSets once set up
  bool mirrorsOn = true;
  bool depthTest = false;
  float sceneTime = 0.0f;  // seconds since the clock's origin, in whole milliseconds

  MirrorTransition mirrorTransition;
  // Frames that still force the back buffer with a full clear.
  int32_t firstFramesToClear = 2;
  // The feedback pass: the driver of this scene's context offers it, and its 128 x 128
  // texture in that context.
  bool feedbackCapable = false;
  uint32_t feedbackTexture = 0;
  // Milliseconds of the process clock at which this scene's time is 0: it starts at the
  // process clock's start and moves forward on long runs. Tests turn the moves off to
  // compare a run with the unmoved clock.
  int64_t clockOriginMs = 0;
  bool clockOriginMoves = true;
  // How fast this scene's time runs against the process clock, in percent (the host's
  // setting, 25 to 200); at 100 scene time is the process clock's own. Otherwise the
  // scene counts its own milliseconds: the process clock's reading at its last tick, the
  // scaled milliseconds so far and the hundredths of one left over.
  int32_t speedPercent = kSpeedDefaultPercent;
  int64_t lastClockMs = 0;
  int64_t scaledClockMs = 0;
  int64_t speedRemainder = 0;

  // What the last frame drew, for tools and tests: the set handed to the replication
  // and whether it was the transitional set of an ease.
  const MirrorSet* drawnSet = nullptr;
  bool drawnEased = false;

  MirrorScene() = default;
  MirrorScene(const MirrorScene&) = delete;
  MirrorScene& operator=(const MirrorScene&) = delete;

  // Sets up the scene and its GL state; the context must be current.
  void setUp(int32_t width, int32_t height);
  // Takes a new drawing size: viewport and projection; the context must be current.
  // setUp calls it; a host whose window changes size calls it again.
  void reshape(int32_t width, int32_t height);
  // Draws one frame; true when it went into the back buffer and must be swapped.
  bool renderFrame(uint32_t frameWord);
  // Releases the effect; deletes no GL object (the context goes with the process).
  void destroy();
  // Picks a random set as currentSet; with animate true the drawing eases into it.
  void chooseMirrorSet(bool animate);

  // Records the set's clip planes and the effect's drawing into display list 1.
  void recordWedge(const MirrorSet& set);
  // Replays list 1 once per wedge pair, rotated, and again mirrored.
  void drawReplicas(const MirrorSet& set);
  // Starts the process clock once; later calls do nothing.
  void startClock();
  // Advances sceneTime to the whole milliseconds elapsed since the clock's origin, moving
  // the origin (and the stored times of the switch and the effect) on long runs.
  void tickClock();
  // Probes this context's driver for the feedback pass and, when it offers it, makes the
  // zeroed 128 x 128 feedback texture (left bound).
  void setUpFeedbackPass();
  // First half of the feedback pass: the kaleidoscope into the 128 x 128 texture.
  void captureFeedback(const MirrorSet& set);
  // Second half: count magnified, fading copies of the texture over the frame.
  void drawFeedbackTrail(int32_t count, float step);

  // The set this frame draws: the transitional set, rebuilt for the present scene
  // time, while a switch eases (the frame that reaches the end of the ease ends it).
  const MirrorSet& pickSetToDraw();

 private:
  // The live effect, or the do-nothing base effect when there is none.
  Effect& activeEffect();
};
