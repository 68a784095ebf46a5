#include "render_fixture.h"

#include <cstdlib>
#include <cstring>

#include "props/prop_atlas.h"
#include "proptool/sample_props.h"
#include "support/prop_files.h"
#include "props/prop_atlas_gl.h"
#include "scene/gl_headers.h"
#include "scene/process_state.h"
#include "sim_counter.h"

HeadlessGl SceneTest::gl;

void ProbeEffect::beginDraw() {
  ++begins;
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_2D);
  if (additive) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
  }
}

void ProbeEffect::endDraw() {
  ++ends;
  glDisable(GL_BLEND);
}

bool ProbeEffect::drawsMirrorImage() {
  ++mirrorQueries;
  std::array<float, 16> m{};
  glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
  mirrorMatrices.push_back(m);
  return mirrorImage;
}

void SceneTest::SetUpTestSuite() {
  if (gl.display == nullptr && !headlessGlCreate(&gl, kWidth, kHeight)) {
    std::fprintf(stderr, "no headless GL context\n");
    std::abort();
  }
}

void SceneTest::TearDownTestSuite() {}

void SceneTest::SetUp() {
  renderer::resetForTests();
  simCounterInstall(1000000);
  setAtlasSizeProbe(nullptr);
  setPropFilePaths("/nonexistent/korrin.prp", "/nonexistent/korrin.prp");
  // Leave nothing of an earlier test's GL state behind.
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CLIP_PLANE0);
  glDisable(GL_CLIP_PLANE1);
  glDrawBuffer(GL_BACK);
  // A clear colour no effect uses: the black of a scene's frames must be its effect's own.
  glClearColor(0.5f, 0.25f, 0.75f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  while (glGetError() != GL_NO_ERROR) {
  }
}

void SceneTest::TearDown() {
  if (scene) {
    scene->destroy();
    delete scene;
    scene = nullptr;
  }
  if (gl.width != kWidth || gl.height != kHeight) {
    ASSERT_TRUE(headlessGlResize(&gl, kWidth, kHeight));
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  renderer::setSeedOverride(nullptr);
  setAtlasSizeProbe(nullptr);
  releasePropAtlasPixels();
  simCounterRemove();
  renderer::resetForTests();
}

MirrorScene* SceneTest::makeScene(uint32_t seed) {
  renderer::setSeedOverride(&seed);
  scene = new MirrorScene();
  simCounterSet(0);
  scene->setUp(gl.width, gl.height);
  return scene;
}

void SceneTest::resizeSurface(int32_t width, int32_t height) {
  ASSERT_TRUE(headlessGlResize(&gl, width, height));
  glViewport(0, 0, width, height);
}

bool driverIsMesa() {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  return version != nullptr && std::strstr(version, "Mesa") != nullptr;
}

ProbeEffect* SceneTest::installProbe() {
  delete scene->effect;
  auto* probe = new ProbeEffect(scene);
  scene->effect = probe;
  return probe;
}

void SceneTest::setTime(double seconds) { simCounterSet(static_cast<int64_t>(seconds * 1000000.0 + 0.5)); }

std::vector<uint8_t> SceneTest::readFrame() {
  std::vector<uint8_t> rgba;
  headlessGlRead(gl, false, &rgba);
  return rgba;
}

double asymmetry(const std::vector<uint8_t>& rgba, int32_t width, int32_t height, int tolerance) {
  int64_t differing = 0;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width / 2; ++x) {
      const uint8_t* a = rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
      const uint8_t* b = rgba.data() + (static_cast<size_t>(y) * width + (width - 1 - x)) * 4;
      for (int c = 0; c < 3; ++c) {
        if (std::abs(a[c] - b[c]) > tolerance) {
          ++differing;
          break;
        }
      }
    }
  }
  return static_cast<double>(differing) / (static_cast<double>(width / 2) * height);
}

int redPixels(const std::vector<uint8_t>& rgba) {
  int n = 0;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    if (rgba[i] > 200 && rgba[i + 1] < 60 && rgba[i + 2] < 60) ++n;
  }
  return n;
}

int litPixels(const std::vector<uint8_t>& rgba) {
  int n = 0;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    if (rgba[i] > 8 || rgba[i + 1] > 8 || rgba[i + 2] > 8) ++n;
  }
  return n;
}

std::string writeSamplePropFile(int32_t count) {
  const std::string path = proptest::makeTempDir() + "/korrin.prp";
  const bool written =
      proptest::writeFile(path, ResBuildFile(proptool::makeSampleProps(count)));
  EXPECT_TRUE(written) << path;
  return path;
}
