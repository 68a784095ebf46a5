// Several scenes in one process: each draws what it would draw alone, given the random
// draws it took from the one shared generator, and nothing one does reaches the other.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "common/random.h"
#include "effects/prop_drift_effect.h"
#include "props/prop_atlas.h"
#include "render_fixture.h"
#include "scene/frame_clock.h"
#include "scene/process_state.h"
#include "sim_counter.h"

namespace {

using SceneInstances = SceneTest;

constexpr int kFrames = 60;
constexpr int kEaseFrame = 12;   // scene 0 is told to switch, eased, here
constexpr int kStallFrame = 30;  // the clock jumps to just before a move of the origin

// Scene seconds of frame k: half a second apart, then a stall of hours.
double frameSeconds(int k) {
  const double beforeMove = static_cast<double>(kClockMoveThresholdMs) / 1000.0 - 5.0;
  return k < kStallFrame ? 0.5 * k : beforeMove + 0.5 * (k - kStallFrame);
}

uint64_t hashOf(const std::vector<uint8_t>& rgba) {
  uint64_t h = 14695981039346656037ull;
  for (uint8_t b : rgba) h = (h ^ b) * 1099511628211ull;
  return h;
}

// What one scene saw and drew in a run: the generator before its set-up and before each
// frame, and a hash of each frame.
struct SceneRecord {
  uint32_t setUpState = 0;
  std::vector<uint32_t> frameStates;
  std::vector<uint64_t> frames;
  int64_t originMs = 0;
};

// Two scenes of different sizes on one context, set up one after the other and drawn in
// turn, the first with a forced eased switch and the second with its origin held.
TEST_F(SceneInstances, TwoScenesDrawAsEachWouldAlone) {
  const std::string props = writeSamplePropFile(100);
  setPropFilePaths(props.c_str(), props.c_str());
  const int32_t sizes[2][2] = {{kWidth, kHeight}, {64, 40}};

  // Together.
  SceneRecord together[2];
  MirrorScene* scenes[2] = {};
  const uint32_t seed = 2468;
  renderer::setSeedOverride(&seed);
  simCounterSet(0);
  for (int i = 0; i < 2; ++i) {
    // The first set-up seeds the generator with the override; the second continues it.
    together[i].setUpState = i == 0 ? seed : orvane::randState();
    scenes[i] = new MirrorScene();
    scenes[i]->setUp(sizes[i][0], sizes[i][1]);
  }
  EXPECT_NE(together[1].setUpState, seed);
  scenes[1]->clockOriginMoves = false;
  EXPECT_NE(scenes[0]->feedbackTexture, scenes[1]->feedbackTexture);
  bool sawEase = false;
  for (int k = 0; k < kFrames; ++k) {
    setTime(frameSeconds(k));
    for (int i = 0; i < 2; ++i) {
      MirrorScene* s = scenes[i];
      together[i].frameStates.push_back(orvane::randState());
      if (i == 0 && k == kEaseFrame) s->chooseMirrorSet(true);
      s->reshape(sizes[i][0], sizes[i][1]);
      s->renderFrame(kFrameWordMirrors);
      together[i].frames.push_back(hashOf(readFrame()));
    }
    if (k == kEaseFrame) {
      sawEase = scenes[0]->drawnEased;
      EXPECT_FALSE(scenes[1]->mirrorTransition.active);
      EXPECT_FALSE(scenes[1]->drawnEased);
    }
  }
  EXPECT_TRUE(sawEase);
  for (int i = 0; i < 2; ++i) together[i].originMs = scenes[i]->clockOriginMs;
  EXPECT_EQ(together[0].originMs, kClockMoveMs);  // the first moved its origin ...
  EXPECT_EQ(together[1].originMs, 0);             // ... the second, held, did not
  EXPECT_GT(scenes[1]->sceneTime, 16384.0f);
  for (MirrorScene* s : scenes) {
    s->destroy();
    delete s;
  }

  // Each alone, fed the generator states it saw: every frame is the same, pixel for pixel.
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    renderer::resetForTests();
    renderer::setSeedOverride(&together[i].setUpState);
    simCounterSet(0);
    scene = new MirrorScene();
    scene->setUp(sizes[i][0], sizes[i][1]);
    scene->clockOriginMoves = i == 0;
    for (int k = 0; k < kFrames; ++k) {
      setTime(frameSeconds(k));
      orvane::srand(together[i].frameStates[k]);
      if (i == 0 && k == kEaseFrame) scene->chooseMirrorSet(true);
      scene->reshape(sizes[i][0], sizes[i][1]);
      scene->renderFrame(kFrameWordMirrors);
      ASSERT_EQ(hashOf(readFrame()), together[i].frames[k]) << "frame " << k;
    }
    EXPECT_EQ(scene->clockOriginMs, together[i].originMs);
    scene->destroy();
    delete scene;
    scene = nullptr;
  }
}

}  // namespace
