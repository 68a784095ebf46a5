#pragma once
// The kaleidoscope renderer. The host allocates one scene (default-constructible,
// nothing in it throws), calls setUp with the GL context current, renderFrame once
// per loop turn (swapping buffers when it returns true), destroy at the end with the
// context still current, and then frees it.
#include <cstdint>

#include "scene/mirror_set.h"

class Effect;

// Bit 16 of the frame word: mirrors and replication on.
constexpr uint32_t kFrameWordMirrors = 0x10000u;
// Number of mirror sets of a scene.
constexpr int32_t kMirrorSetCount = 7;

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
  // Starts the process-wide clock once; later calls do nothing.
  void startClock();
  // Advances sceneTime to the whole milliseconds elapsed since the clock's origin, moving
  // the origin (and the stored times of the switch and the effect) on long runs.
  void tickClock();
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
