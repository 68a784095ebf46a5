// Mirror-set geometry, the ease curve and the mirror switch, without a GL context.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "common/random.h"
#include "scene/mirror_scene.h"
#include "scene/mirror_set.h"

namespace {

TEST(MirrorSetTable, SevenSetsOfTheScene) {
  struct Row {
    float angle;
    int32_t copies;
    double edgeLength;
  };
  const Row rows[kMirrorSetCount] = {
      {36.0f, 10, 2.472135}, {30.0f, 12, 2.070552}, {25.714285f, 15, 1.780167}, {22.5f, 16, 1.560722},
      {20.0f, 18, 1.389185}, {18.0f, 20, 1.251476}, {16.363636f, 23, 1.138519},
  };
  for (int32_t n = 0; n < kMirrorSetCount; ++n) {
    SCOPED_TRACE(n);
    MirrorSet set;
    set.build(mirrorSetAngle(n));
    EXPECT_EQ(set.wedgeAngle, rows[n].angle);
    EXPECT_EQ(set.copyCount, rows[n].copies);
    EXPECT_NEAR(set.edgeLength, rows[n].edgeLength, 2e-6);
    // Independent of the angle: apex, start point and first mirror.
    EXPECT_EQ(set.centre.x, 0.0f);
    EXPECT_EQ(set.centre.y, 0.0f);
    EXPECT_EQ(set.edgeStart.y, -4.0f);
    EXPECT_NEAR(set.edgeStart.x, -0.000015211, 1e-9);
    EXPECT_LT(set.edgeStart.x, 0.0f);  // not exactly straight down
    EXPECT_EQ(set.edgeStart.z, 0.0f);
    const double plane0[4] = {1, 0, 0, 0};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(set.clipPlane0[c], plane0[c]);
    EXPECT_EQ(set.clipPlane1[2], 0.0);
    EXPECT_EQ(set.clipPlane1[3], 0.0);
    // The outline's far edge is the chord of the wedge at radius 4.
    EXPECT_NEAR(set.edgeLength, 8.0 * std::sin(rows[n].angle / 2.0 * M_PI / 180.0), 1e-4);
  }
}

TEST(MirrorSetTable, SetZeroExample) {
  MirrorSet set;
  set.build(36.0f);
  EXPECT_NEAR(set.edgeEnd.x, 2.351128, 2e-6);
  EXPECT_NEAR(set.edgeEnd.y, -3.236078, 2e-6);
  EXPECT_NEAR(set.clipPlane1[0], -0.809019, 2e-6);
  EXPECT_NEAR(set.clipPlane1[1], -0.587783, 2e-6);
  // The two planes keep exactly the wedge: its bisector survives both, the directions
  // just outside it are cut by one of them.
  auto keeps = [&](double degrees) {
    const double x = std::cos(degrees * M_PI / 180.0), y = std::sin(degrees * M_PI / 180.0);
    return set.clipPlane0[0] * x + set.clipPlane0[1] * y >= 0 && set.clipPlane1[0] * x + set.clipPlane1[1] * y >= 0;
  };
  EXPECT_TRUE(keeps(288.0));
  EXPECT_TRUE(keeps(271.0));
  EXPECT_TRUE(keeps(305.0));
  EXPECT_FALSE(keeps(269.0));
  EXPECT_FALSE(keeps(307.0));
  EXPECT_FALSE(keeps(108.0));
}

TEST(MirrorSetTable, BuildingTwiceGivesTheSameSet) {
  MirrorSet a, b;
  a.build(25.714285f);
  b.build(30.0f);
  b.build(25.714285f);
  EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));
}

TEST(MirrorSetCopies, TransitionalAnglesStayWithinTheSetRange) {
  MirrorSet set;
  set.build(25.0f);
  EXPECT_EQ(set.copyCount, 15);
  // The quotient must be taken in double: in float 360 / 25.714285f is exactly 14.
  EXPECT_EQ(static_cast<float>(360.0f / 25.714285f), 14.0f);
  for (float angle = mirrorSetAngle(6); angle <= 36.0f; angle += 0.013f) {
    set.build(angle);
    ASSERT_GE(set.copyCount, 10) << angle;
    ASSERT_LE(set.copyCount, 23) << angle;
    ASSERT_EQ(set.copyCount, static_cast<int32_t>(std::ceil(360.0 / angle))) << angle;
  }
}

TEST(MirrorSetCopies, AnglesTheSceneNeverUsesStayFinite) {
  const float odd[] = {0.0f, -5.0f, 1e-30f, 180.0f, 720.0f, NAN, INFINITY};
  for (float angle : odd) {
    MirrorSet set;
    set.build(angle);
    EXPECT_GE(set.copyCount, 1) << angle;
    EXPECT_LE(set.copyCount, 360) << angle;
  }
}

TEST(Ease, SmoothstepValues) {
  EXPECT_EQ(easeFactor(0.0), 0.0);
  EXPECT_EQ(easeFactor(0.25), 0.15625);
  EXPECT_EQ(easeFactor(0.5), 0.5);
  EXPECT_EQ(easeFactor(1.0), 1.0);
}

class MirrorSwitch : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int32_t n = 0; n < kMirrorSetCount; ++n) scene.mirrorSets[n].build(mirrorSetAngle(n));
    scene.currentSet = &scene.mirrorSets[0];
  }
  MirrorScene scene;
};

TEST_F(MirrorSwitch, PickIndexFollowsTheRandomSequence) {
  for (uint32_t seed : {1u, 7u, 12345u, 0xFFFFFFFFu}) {
    orvane::srand(seed);
    const int expected = static_cast<int>(orvane::rand() * orvane::kRandomFactor * 7);
    orvane::srand(seed);
    scene.chooseMirrorSet(false);
    EXPECT_EQ(scene.currentSet, &scene.mirrorSets[expected]) << seed;
    EXPECT_FALSE(scene.mirrorTransition.active);  // an immediate pick never eases
  }
}

// The first seed whose first two picks satisfy `wanted` (a, b: set indexes).
template <typename Wanted>
uint32_t seedPicking(Wanted wanted) {
  for (uint32_t seed = 1;; ++seed) {
    orvane::srand(seed);
    const int a = static_cast<int>(orvane::randomFraction() * 7);
    const int b = static_cast<int>(orvane::randomFraction() * 7);
    if (wanted(a, b)) return seed;
  }
}

TEST_F(MirrorSwitch, AnimatedSwitchEasesFromTheOldAngle) {
  orvane::srand(seedPicking([](int a, int) { return a != 0; }));  // another set than set 0
  scene.sceneTime = 10.0f;
  scene.chooseMirrorSet(true);
  const MirrorTransition& t = scene.mirrorTransition;
  EXPECT_TRUE(t.active);
  EXPECT_EQ(t.fromAngle, 36.0f);
  ASSERT_NE(t.toAngle, 36.0f);
  EXPECT_EQ(t.toAngle, scene.currentSet->wedgeAngle);
  EXPECT_EQ(t.startTime, 10.0f);
  EXPECT_EQ(t.duration, 2.0f);

  // The smoothstep: a quarter of the way in time is 0.15625 of the way in angle, halfway
  // is midway; the frame at the end draws exactly toAngle and ends the ease; the next
  // frame draws currentSet itself.
  const double span = static_cast<double>(t.toAngle) - 36.0;
  scene.sceneTime = 10.5f;
  EXPECT_EQ(scene.pickSetToDraw().wedgeAngle, static_cast<float>(36.0 + 0.15625 * span));
  scene.sceneTime = 11.0f;
  EXPECT_EQ(scene.pickSetToDraw().wedgeAngle, static_cast<float>(36.0 + 0.5 * span));
  EXPECT_TRUE(scene.drawnEased);
  scene.sceneTime = 12.0f;
  const MirrorSet& last = scene.pickSetToDraw();
  EXPECT_EQ(last.wedgeAngle, t.toAngle);
  EXPECT_TRUE(scene.drawnEased);
  EXPECT_FALSE(t.active);
  EXPECT_EQ(&scene.pickSetToDraw(), scene.currentSet);
  EXPECT_FALSE(scene.drawnEased);
}

TEST_F(MirrorSwitch, SwitchDuringAnEaseRestartsFromTheAngleOnScreen) {
  // Two picks that differ from set 0 and from each other, so that the restart is visible.
  orvane::srand(seedPicking([](int a, int b) { return a != 0 && b != a && b != 0; }));
  scene.sceneTime = 4.0f;
  scene.chooseMirrorSet(true);
  scene.sceneTime = 4.5f;  // d = 0.25
  const float onScreen = scene.pickSetToDraw().wedgeAngle;
  const MirrorTransition& t = scene.mirrorTransition;
  EXPECT_EQ(onScreen, static_cast<float>(36.0 + 0.15625 * (static_cast<double>(t.toAngle) - 36.0)));

  scene.chooseMirrorSet(true);
  EXPECT_TRUE(t.active);
  EXPECT_EQ(t.fromAngle, onScreen);
  EXPECT_EQ(t.startTime, 4.5f);
  EXPECT_EQ(t.toAngle, scene.currentSet->wedgeAngle);
  EXPECT_EQ(scene.pickSetToDraw().wedgeAngle, onScreen);  // continuous
  scene.sceneTime = 6.5f;
  EXPECT_EQ(scene.pickSetToDraw().wedgeAngle, scene.currentSet->wedgeAngle);
  EXPECT_FALSE(t.active);
}

// Past the end of an ease that no frame has closed yet, the progress is clamped: the next
// switch starts from the old ease's target, not from its start or beyond its target.
TEST_F(MirrorSwitch, SwitchAfterTheEaseRanOutStartsFromItsTarget) {
  orvane::srand(seedPicking([](int a, int b) { return a != 0 && b != a; }));
  scene.sceneTime = 1.0f;
  scene.chooseMirrorSet(true);
  const float firstTarget = scene.mirrorTransition.toAngle;
  ASSERT_NE(firstTarget, 36.0f);
  scene.sceneTime = 5.0f;  // d = 2, not yet cleared by a frame
  scene.chooseMirrorSet(true);
  EXPECT_EQ(scene.mirrorTransition.fromAngle, firstTarget);
  EXPECT_NE(scene.mirrorTransition.toAngle, firstTarget);
}

}  // namespace
