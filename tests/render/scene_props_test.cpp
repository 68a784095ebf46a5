// The shipped scene with a prop file the test makes: visible sprites, mirror symmetry
// of every settled frame with an even copy count, and an unclipped wedge with mirrors off.
#include <gtest/gtest.h>

#include "effects/prop_drift_effect.h"
#include "props/prop_atlas.h"
#include "render_fixture.h"
#include "scene/process_state.h"

namespace {

class SceneProps : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    static const std::string path = writeSamplePropFile(64);
    setPropFilePaths(path.c_str(), path.c_str());
  }
};

TEST_F(SceneProps, SettledFramesWithEvenCopyCountsAreMirrorSymmetric) {
  makeScene(20240);
  EXPECT_EQ(static_cast<PropDriftEffect*>(scene->effect)->cellCount, 64);
  int checked = 0, eased = 0;
  for (int n = 0; n < 240; ++n) {
    setTime(n * 0.25);  // one minute in quarter seconds: births, segments, switches
    if (n == 100) scene->chooseMirrorSet(true);  // at least one eased switch in the run
    ASSERT_TRUE(scene->renderFrame(kFrameWordMirrors));
    const auto frame = readFrame();
    if (n > 4) {
      EXPECT_GT(litPixels(frame), kWidth * kHeight / 100) << n;
    }
    if (scene->drawnEased) {
      ++eased;
      continue;
    }
    if (scene->drawnSet->copyCount % 2 != 0) continue;
    ++checked;
    EXPECT_LT(asymmetry(frame, kWidth, kHeight, 40), 0.01) << "frame " << n << ", " << scene->drawnSet->copyCount
                                                            << " copies";
  }
  EXPECT_GT(checked, 100);
  EXPECT_GT(eased, 0);  // the run took at least one switch
}

TEST_F(SceneProps, MirrorsOffShowsOneUnclippedWedgeAndItsOutline) {
  makeScene(77);
  setTime(5.0);
  scene->renderFrame(0);
  const auto off = readFrame();
  EXPECT_GT(redPixels(off), 20);
  // Sprites that drift beyond the wedge are not cut: pixels left of the centre line
  // (outside the wedge, which opens to the right) are lit.
  int leftLit = 0;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth / 2 - 2; ++x) leftLit += pixel(off, x, y)[0] + pixel(off, x, y)[1] > 16;
  }
  EXPECT_GT(leftLit, 20);
  EXPECT_GT(asymmetry(off, kWidth, kHeight, 40), 0.05);
}

}  // namespace
