// The scene clock: whole milliseconds, the overflow-safe form, the tick fallback and the
// moves of its origin on long runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "common/counter.h"
#include "scene/frame_clock.h"
#include "scene/mirror_scene.h"
#include "scene/process_state.h"

namespace {

int64_t fakeFrequency = 0;
int64_t fakeNow = 0;
uint32_t fakeTick = 0;
bool fakeFrequencyOk = true;

bool frequency(int64_t* f) {
  *f = fakeFrequency;
  return fakeFrequencyOk;
}
bool now(int64_t* c) {
  *c = fakeNow;
  return true;
}
uint32_t tick() { return fakeTick; }
const CounterSource fake{frequency, now, tick};

class SceneClock : public ::testing::Test {
 protected:
  void SetUp() override {
    renderer::resetForTests();
    counterSetSource(&fake);
    fakeFrequencyOk = true;
  }
  void TearDown() override {
    counterSetSource(nullptr);
    renderer::resetForTests();
  }
  float timeAt(int64_t counts) {
    fakeNow = counts;
    scene.tickClock();
    return scene.sceneTime;
  }
  MirrorScene scene;
};

TEST_F(SceneClock, MillisecondsAreWholeBeforeTheyAreScaled) {
  fakeFrequency = 1000000;
  fakeNow = 5000000;
  scene.startClock();
  EXPECT_EQ(scene.sceneTime, 0.0f);
  EXPECT_EQ(timeAt(5000000 + 999), 0.0f);
  EXPECT_EQ(timeAt(5000000 + 1000), 0.001f);
  EXPECT_EQ(timeAt(5000000 + 1999), 0.001f);
  EXPECT_EQ(timeAt(5000000 + 2500000), static_cast<float>(2500.0 * static_cast<double>(0.001f)));
}

TEST_F(SceneClock, StartsOncePerProcess) {
  fakeFrequency = 1000;
  fakeNow = 100;
  scene.startClock();
  fakeNow = 5000;
  scene.startClock();  // ignored: the clock keeps its first start
  EXPECT_EQ(timeAt(1100), 1.0f);
}

// A speed scales the scene's time against the process clock: 100 frames at 100 per second
// advance the scene by the speed's share of the second, in whole milliseconds, with the
// fractions carried (frames 10 ms apart at 25 % take 2 and 3 ms in turn), and a second scene
// at 100 % beside it keeps the process clock's own time.
TEST_F(SceneClock, SpeedScalesTheSceneTime) {
  struct Case {
    int32_t percent;
    int64_t afterOneSecondMs;
  };
  for (const Case c : {Case{50, 500}, Case{25, 250}, Case{200, 2000}, Case{137, 1370}, Case{100, 1000}}) {
    SCOPED_TRACE(c.percent);
    renderer::resetForTests();
    fakeFrequency = 1000000;
    fakeNow = 0;
    MirrorScene scaled, plain;
    scaled.speedPercent = c.percent;
    scaled.startClock();
    for (int k = 1; k <= 100; ++k) {
      fakeNow = k * 10000;
      scaled.tickClock();
      plain.tickClock();
      const double scaledMs = static_cast<double>(k) * 10.0 * c.percent / 100.0;
      ASSERT_LE(std::abs(static_cast<double>(scaled.sceneTime) - scaledMs * 0.001), 0.0011) << k;
      ASSERT_EQ(plain.sceneTime, sceneSecondsFromMilliseconds(10 * k)) << k;
    }
    EXPECT_EQ(scaled.sceneTime, sceneSecondsFromMilliseconds(c.afterOneSecondMs));
  }
}

TEST(ElapsedMilliseconds, MatchesTheDirectFormulaWhereItDoesNotOverflow) {
  const int64_t frequencies[] = {1, 1000, 1000000, 3579545, 10000000, 1000000000, 3000000000LL, 4000000000LL};
  const int64_t counts[] = {0, 1, 999, 1000, 123456789, -1, -999999, 987654321012LL, INT64_MAX / 1000 - 7};
  for (int64_t f : frequencies) {
    for (int64_t c : counts) {
      ASSERT_EQ(elapsedMilliseconds(c, f), (c * 1000) / f) << c << " / " << f;
    }
  }
}

TEST(ElapsedMilliseconds, StaysExactPastTheOverflowOfTheDirectFormula) {
  struct Case {
    int64_t frequency;
    double days;
  };
  // The direct product overflows after 2^63 / 1000 counts: about 36 days at 3 GHz.
  const Case cases[] = {{3000000000LL, 40.0}, {4000000000LL, 30.0}, {2000000000LL, 365.0}, {1000000000, 3650.0}};
  for (const Case& c : cases) {
    const int64_t elapsed = static_cast<int64_t>(c.days * 86400.0 * static_cast<double>(c.frequency)) + 12345;
    ASSERT_GT(elapsed, INT64_MAX / 1000);  // the direct formula would overflow here
    const __int128 exact = static_cast<__int128>(elapsed) * 1000 / c.frequency;
    EXPECT_EQ(elapsedMilliseconds(elapsed, c.frequency), static_cast<int64_t>(exact)) << c.days;
    EXPECT_GT(elapsedMilliseconds(elapsed, c.frequency), 0);
  }
}

TEST_F(SceneClock, NoHighResolutionCounterFallsBackToTheTick) {
  struct Case {
    bool queryOk;
    int64_t frequency;
  };
  for (const Case c : {Case{true, 0}, Case{true, -5}, Case{false, 1000}}) {
    renderer::resetForTests();
    fakeFrequencyOk = c.queryOk;
    fakeFrequency = c.frequency;
    fakeTick = 0xFFFFF000u;  // close to the tick's wrap
    scene.startClock();
    EXPECT_TRUE(renderer::clockUsesTick);
    fakeTick = 0xFFFFF000u + 1500u;
    scene.tickClock();
    EXPECT_EQ(scene.sceneTime, static_cast<float>(1500.0 * static_cast<double>(0.001f)));
    fakeTick += 4096u;  // wraps past 2^32
    scene.tickClock();
    EXPECT_EQ(scene.sceneTime, static_cast<float>(5596.0 * static_cast<double>(0.001f)));
  }
}

// Once the time since the origin reaches the threshold, the origin moves by whole
// 2^23 ms steps, enough to bring it below again, on a millisecond counter, on a processor
// clock counter (whose 40 days overflow the direct formula) and on the tick alike; a
// time stored before the move moves back by exactly the seconds the clock lost.
TEST_F(SceneClock, OriginMovesKeepTheClockBelowTheThreshold) {
  EXPECT_EQ(clockMoveSeconds(), 8388.6083984375f);
  EXPECT_EQ(static_cast<double>(kClockMoveMs) * static_cast<double>(0.001f), 8388.6083984375);
  const int64_t t = kClockMoveThresholdMs, s = kClockMoveMs;
  const int64_t fortyDays = 40LL * 86400000;
  struct Step {
    int64_t ms;
    int64_t origin;  // -1: some multiple of 2^23 ms that brings the clock below the threshold
  };
  const Step steps[] = {{t - 1, 0}, {t, s}, {t + s - 1, s}, {t + s, 2 * s}, {fortyDays, -1}};
  for (int64_t frequency : {1000LL, 3000000000LL, 0LL}) {  // 0: no counter, the tick
    SCOPED_TRACE(frequency);
    renderer::resetForTests();
    scene.clockOriginMs = 0;
    fakeFrequencyOk = frequency > 0;
    fakeFrequency = frequency;
    fakeNow = 0;
    fakeTick = 0;
    scene.startClock();
    for (const Step& step : steps) {
      SCOPED_TRACE(step.ms);
      const int64_t originBefore = scene.clockOriginMs;
      scene.mirrorTransition.startTime = scene.sceneTime - 1.5f;  // an ease under way
      const float startBefore = scene.mirrorTransition.startTime;
      fakeNow = step.ms * (frequency / 1000);
      fakeTick = static_cast<uint32_t>(step.ms);
      scene.tickClock();
      const int64_t origin = scene.clockOriginMs;
      if (step.origin >= 0) {
        EXPECT_EQ(origin, step.origin);
      } else {
        EXPECT_EQ(origin % s, 0);
        EXPECT_GE(step.ms - origin, t - s);
      }
      EXPECT_LT(step.ms - origin, t);
      EXPECT_EQ(scene.sceneTime, sceneSecondsFromMilliseconds(step.ms - origin));
      EXPECT_LE(scene.sceneTime, 16384.0f);
      if (origin - originBefore == s) {
        EXPECT_EQ(static_cast<double>(scene.mirrorTransition.startTime) + clockMoveSeconds(),
                  static_cast<double>(startBefore));
      } else if (origin == originBefore) {
        EXPECT_EQ(scene.mirrorTransition.startTime, startBefore);
      }
    }
  }
}

}  // namespace
