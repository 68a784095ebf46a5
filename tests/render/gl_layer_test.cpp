// The scene through the fixed-function layer over OpenGL ES 3 beside the same scene over
// OpenGL 1.1, in one process on one display: the same seed, props and clock draw the same
// pixels with mirrors on, with mirrors off (the outline, no clipping) and while a switch eases.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "egl_context.h"
#include "gles_scene.h"
#include "props/prop_atlas.h"
#include "render_fixture.h"
#include "scene/mirror_scene.h"
#include "scene/process_state.h"
#include "sim_counter.h"

namespace {

constexpr int32_t kSize = 256;

// Pixels where a channel differs by more than 2 / 255.
int differingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int count = 0;
  for (size_t i = 0; i + 3 < a.size(); i += 4) {
    bool differs = false;
    for (size_t c = 0; c < 3; ++c) differs |= std::abs(int(a[i + c]) - int(b[i + c])) > 2;
    count += differs;
  }
  return count;
}

TEST(GlLayer, DrawsTheFramesOfOpenGl11) {
  const std::string props = writeSamplePropFile(64);
  HeadlessGl desktop, es;
  ASSERT_TRUE(headlessGlCreate(&desktop, kSize, kSize));
  ASSERT_TRUE(headlessGlesCreate(&es, kSize, kSize));
  simCounterInstall(1000000);
  setPropFilePaths(props.c_str(), props.c_str());
  uint32_t seed = 7;
  renderer::setSeedOverride(&seed);
  ASSERT_TRUE(headlessGlMakeCurrent(desktop));
  MirrorScene scene;
  scene.setUp(kSize, kSize);
  ASSERT_TRUE(headlessGlMakeCurrent(es));
  void* layer = glesSceneSetUp(kSize, kSize, props.c_str(), &seed, kSpeedDefaultPercent);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(glesScenePropCount(layer), 64);

  // Twenty seconds at 30 frames a second: mirrors off for frames 300 to 399, switches asked
  // for at frames 150 and 330 (each eases for two seconds).
  enum Kind { kMirrors, kNoMirrors, kSwitching };
  int worst[3] = {0, 0, 0}, compared[3] = {0, 0, 0};
  std::vector<uint8_t> expected, actual;
  for (int k = 0; k < 600; ++k) {
    const int64_t counts = int64_t(k) * 1000000 / 30;
    const uint32_t word = k >= 300 && k < 400 ? 0u : kFrameWordMirrors;
    ASSERT_TRUE(headlessGlMakeCurrent(desktop));
    if (k == 150 || k == 330) scene.chooseMirrorSet(true);
    simCounterSet(counts);
    scene.renderFrame(word);
    ASSERT_TRUE(headlessGlMakeCurrent(es));
    if (k == 150 || k == 330) glesSceneSwitch(layer);
    const GlesSceneFrame frame = glesSceneRender(layer, word, counts);
    ASSERT_EQ(frame.eased != 0, scene.drawnEased) << k;
    if (k % 5 != 0) continue;
    headlessGlRead(es, false, &actual);
    ASSERT_TRUE(headlessGlMakeCurrent(desktop));
    headlessGlRead(desktop, false, &expected);
    const Kind kind = word == 0 ? kNoMirrors : frame.eased ? kSwitching : kMirrors;
    if (k > 30) {
      ASSERT_GT(litPixels(expected), kSize * kSize / 50) << k;
    }
    const int differing = differingPixels(expected, actual);
    worst[kind] = std::max(worst[kind], differing);
    ++compared[kind];
    EXPECT_LE(differing, kSize * kSize / 1000) << "frame " << k << ", kind " << kind;
  }
  for (int kind = 0; kind < 3; ++kind) EXPECT_GT(compared[kind], 5) << kind;
  std::printf("worst differing pixels of %d: mirrors %d, no mirrors %d, switching %d\n", kSize * kSize,
              worst[kMirrors], worst[kNoMirrors], worst[kSwitching]);

  ASSERT_TRUE(headlessGlMakeCurrent(es));
  glesSceneDestroy(layer);
  ASSERT_TRUE(headlessGlMakeCurrent(desktop));
  scene.destroy();
  simCounterRemove();
  headlessGlDestroy(&es);
  headlessGlDestroy(&desktop);
}

}  // namespace
