// Long runs: 20,000 frames at a simulated 100 frames per second (200 seconds of scene
// time, some 750 births and a dozen switches) with no GL error and no drift of any range;
// and runs of months, across which the scene clock moves its origin.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "effects/prop_drift_effect.h"
#include "props/prop_atlas.h"
#include "render_fixture.h"
#include "scene/frame_clock.h"
#include "scene/gl_headers.h"
#include "scene/process_state.h"
#include "sim_counter.h"

namespace {

using SceneSoak = SceneTest;

TEST_F(SceneSoak, TwentyThousandFrames) {
  const std::string props = writeSamplePropFile(64);
  setPropFilePaths(props.c_str(), props.c_str());
  makeScene(31337);
  auto* e = static_cast<PropDriftEffect*>(scene->effect);
  ASSERT_EQ(e->cellCount, 64);
  const float longestEdge = scene->mirrorSets[0].edgeLength;
  int eased = 0;
  for (int k = 0; k < 20000; ++k) {
    setTime(k * 0.01);
    ASSERT_TRUE(scene->renderFrame(k % 1000 < 10 ? 0u : kFrameWordMirrors)) << k;
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << k;
    ASSERT_EQ(scene->sceneTime, sceneSecondsFromMilliseconds(static_cast<int64_t>(k) * 10)) << k;
    ASSERT_GE(scene->drawnSet->copyCount, 10) << k;
    ASSERT_LE(scene->drawnSet->copyCount, 23) << k;
    eased += scene->drawnEased;
    ASSERT_GE(e->size, 0.25f) << k;
    ASSERT_LE(e->size, 1.0f) << k;
    ASSERT_GE(e->spin, 0.0f) << k;
    ASSERT_LE(e->spin, 360.0f) << k;
    for (int i = 0; i < kSpriteCount; ++i) {
      const PropSprite& s = e->sprites[i];
      ASSERT_GE(s.life, 0.0f) << k << " sprite " << i;
      ASSERT_LE(s.life, 1.0f) << k << " sprite " << i;
      ASSERT_GE(s.position.x, -longestEdge) << k << " sprite " << i;
      ASSERT_LE(s.position.x, 2.0f * longestEdge) << k << " sprite " << i;
      ASSERT_GE(s.scale, 0.25f) << k;
      ASSERT_LE(s.scale, 1.25f) << k;
      ASSERT_GE(s.cell, 0) << k;
      ASSERT_LT(s.cell, 64) << k;
    }
  }
  EXPECT_GT(eased, 0);
}

using SceneLongRun = SceneTest;

void setMilliseconds(int64_t ms) { simCounterSet(ms * 1000); }

// After a month and after half a year, frames 10 ms apart stay 10 +- 1 ms apart, every
// sprite moves in every frame at its steady pace, and neither the sprites nor an ease
// under way notice the move of the clock's origin in the middle of the run: the ease
// still ends at exactly its target, two seconds after it began.
TEST_F(SceneLongRun, MonthsOfRunningKeepTheMotionSmooth) {
  for (double days : {30.0, 200.0}) {
    SCOPED_TRACE(days);
    renderer::resetForTests();
    makeScene(4242);
    auto* e = static_cast<PropDriftEffect*>(scene->effect);
    e->segmentStep = 0;
    e->segmentLength = 100000;  // no segment opens, so no switch of the effect's own
    // Frame 0 comes 0.5 s before a move of the origin (after a stall, as if the clock had
    // been running since set-up; the stall's own moves come first).
    const int64_t moves = std::llround((days * 86400000.0 - kClockMoveThresholdMs) / kClockMoveMs);
    const int64_t start = moves * kClockMoveMs + kClockMoveThresholdMs - 500;
    setMilliseconds(start);
    scene->renderFrame(kFrameWordMirrors);
    ASSERT_EQ(scene->clockOriginMs, moves * kClockMoveMs);
    // Born again once each after the stall, the lives are still spread apart (sprites 0 and
    // 29 started a whole lifetime apart, in step).
    std::set<float> lives;
    for (int i = 0; i < kSpriteCount; ++i) lives.insert(e->sprites[i].life);
    EXPECT_EQ(lives.size(), static_cast<size_t>(kSpriteCount - 1));

    // An ease from set 0 to set 6 that began 1.3 s ago: it spans the move.
    MirrorTransition& t = scene->mirrorTransition;
    scene->currentSet = &scene->mirrorSets[6];
    t.active = true;
    t.fromAngle = scene->mirrorSets[0].wedgeAngle;
    t.toAngle = scene->mirrorSets[6].wedgeAngle;
    t.startTime = scene->sceneTime - 1.3f;
    t.duration = 2.0f;

    const double maxAngleStep = 1.5 * (t.fromAngle - t.toAngle) / 2.0 * 0.011;  // steepest ease slope
    PropSprite before[kSpriteCount];
    std::copy(e->sprites, e->sprites + kSpriteCount, before);
    float timeBefore = scene->sceneTime;
    float angleBefore = static_cast<float>(t.fromAngle + easeFactor(0.65) * (t.toAngle - t.fromAngle));
    int64_t originBefore = scene->clockOriginMs;
    int originMoves = 0, easeEnd = -1;
    for (int k = 1; k <= 100; ++k) {
      SCOPED_TRACE(k);
      setMilliseconds(start + 10 * k);
      scene->renderFrame(kFrameWordMirrors);
      const int64_t moved = scene->clockOriginMs - originBefore;
      originMoves += moved != 0;
      // The step as the stored times see it: the move's seconds come back in.
      const double shift = static_cast<double>(moved / kClockMoveMs) * clockMoveSeconds();
      const double step = static_cast<double>(scene->sceneTime) - timeBefore + shift;
      EXPECT_NEAR(step, 0.010, 0.001);
      for (int i = 0; i < kSpriteCount; ++i) {
        const PropSprite& s = e->sprites[i];
        const PropSprite& was = before[i];
        EXPECT_NE(s.position.x, was.position.x) << "sprite " << i;
        ASSERT_GE(s.life, 0.0f) << "sprite " << i;
        ASSERT_LE(s.life, 1.0f) << "sprite " << i;
        const bool reborn = s.life < was.life;
        EXPECT_NEAR(8.0 * (s.life - was.life + (reborn ? 1.0 : 0.0)), 0.010, 0.001) << "sprite " << i;
        // A moved birth time is moved exactly.
        if (moved != 0 && !reborn) {
          EXPECT_EQ(static_cast<double>(s.birthTime) + shift, static_cast<double>(was.birthTime)) << i;
        }
      }
      const float angle = scene->drawnSet->wedgeAngle;
      if (easeEnd < 0) {
        EXPECT_TRUE(scene->drawnEased);
        EXPECT_LE(angle, angleBefore);
        EXPECT_LE(angleBefore - angle, maxAngleStep);
        if (!t.active) {
          easeEnd = k;
          EXPECT_EQ(angle, t.toAngle);
        }
      } else {
        EXPECT_FALSE(scene->drawnEased);
      }
      std::copy(e->sprites, e->sprites + kSpriteCount, before);
      timeBefore = scene->sceneTime;
      angleBefore = angle;
      originBefore = scene->clockOriginMs;
    }
    EXPECT_EQ(originMoves, 1);
    EXPECT_GE(easeEnd, 69);  // 2 s after its start, give or take a millisecond
    EXPECT_LE(easeEnd, 71);
    scene->destroy();
    delete scene;
    scene = nullptr;
  }
}

// The state after every frame of a run, for comparing runs.
struct Trace {
  std::vector<uint8_t> bytes;
  template <typename T>
  void add(const T& value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), p, p + sizeof value);
  }
};

// Until the time since the origin reaches the threshold, the clock and everything it
// drives are exactly what they would be without its moves.
TEST_F(SceneLongRun, RunsShorterThanTheThresholdAreUnchanged) {
  Trace traces[2];
  for (bool moves : {true, false}) {
    renderer::resetForTests();
    makeScene(777);
    scene->clockOriginMoves = moves;
    auto* e = static_cast<PropDriftEffect*>(scene->effect);
    Trace& trace = traces[moves ? 0 : 1];
    for (int k = 0; k < 400; ++k) {
      // Two seconds from the start, then the last two before the threshold.
      const int64_t ms = k < 200 ? 10 * k : kClockMoveThresholdMs - 4000 + 10 * k;
      setMilliseconds(ms);
      scene->renderFrame(k % 50 == 7 ? 0u : kFrameWordMirrors);
      trace.add(scene->sceneTime);
      for (int i = 0; i < kSpriteCount; ++i) trace.add(e->sprites[i]);
      trace.add(e->size);
      trace.add(e->spin);
      trace.add(e->segmentStep);
      trace.add(scene->mirrorTransition.startTime);
      trace.add(scene->drawnSet->wedgeAngle);
      const auto frame = readFrame();
      trace.bytes.insert(trace.bytes.end(), frame.begin(), frame.end());
    }
    EXPECT_EQ(scene->clockOriginMs, 0);
    scene->destroy();
    delete scene;
    scene = nullptr;
  }
  EXPECT_TRUE(traces[0].bytes == traces[1].bytes);
}

}  // namespace
