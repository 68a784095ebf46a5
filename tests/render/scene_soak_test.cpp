// A long run: 20,000 frames at a simulated 100 frames per second (200 seconds of scene
// time, some 750 births and a dozen switches) with no GL error and no drift of any range.
#include <gtest/gtest.h>

#include "effects/prop_drift_effect.h"
#include "props/prop_atlas.h"
#include "render_fixture.h"
#include "scene/frame_clock.h"
#include "scene/gl_headers.h"
#include "scene/renderer_state.h"

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

}  // namespace
