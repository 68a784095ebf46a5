// The drifting props effect inside a real scene: sprite lives, births, the segment
// machine's ranges, cells and the atlas texture.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "common/random.h"
#include "effects/prop_drift_effect.h"
#include "props/prop_atlas.h"
#include "props/prop_atlas_gl.h"
#include "render_fixture.h"
#include "scene/gl_headers.h"
#include "scene/process_state.h"

namespace {

using PropDrift = SceneTest;

PropDriftEffect* drift(MirrorScene* scene) { return static_cast<PropDriftEffect*>(scene->effect); }

TEST_F(PropDrift, FactoryMakesTheDriftEffectForIndexZeroOnly) {
  makeScene();
  ASSERT_NE(scene->effect, nullptr);
  EXPECT_NE(dynamic_cast<PropDriftEffect*>(scene->effect), nullptr);
  EXPECT_EQ(scene->effect->scene, scene);
  for (int32_t index : {1, -1, 7}) EXPECT_EQ(createEffect(index, scene), nullptr);
  // A base effect answers as the scene's defaults say.
  Effect plain(scene);
  EXPECT_TRUE(plain.clipsToWedge());
  EXPECT_FALSE(plain.drawsOverPreviousFrame());
  EXPECT_TRUE(plain.drawsMirrorImage());
  EXPECT_FALSE(plain.wantsFeedbackPass());
  scene->destroy();
  EXPECT_EQ(scene->effect, nullptr);
}

TEST_F(PropDrift, FirstGenerationIsSpreadOverOneLifetime) {
  makeScene();
  PropDriftEffect* e = drift(scene);
  ASSERT_NE(e->sprites, nullptr);
  EXPECT_EQ(e->segmentLength, 0);
  EXPECT_EQ(e->segmentStep, 0);
  EXPECT_GE(e->sharedCell, 0);
  EXPECT_LT(e->sharedCell, 16);
  EXPECT_GE(e->size, 0.25f);
  EXPECT_LE(e->size, 1.0f);
  for (int i = 0; i < kSpriteCount; ++i) {
    SCOPED_TRACE(i);
    const PropSprite& s = e->sprites[i];
    EXPECT_EQ(s.life, static_cast<float>(i * static_cast<double>(kSpriteLifeSpacing)));
    EXPECT_NEAR(s.life, i / 29.0, 1e-7);
    EXPECT_EQ(s.birthTime, static_cast<float>(-8.0 * s.life));
    EXPECT_EQ(s.cell, e->sharedCell);  // every sprite of the first generation
    EXPECT_EQ(s.texW, 0.04296875f);
    EXPECT_EQ(s.texH, 0.04296875f);
    EXPECT_GE(s.position.y, -2.4f);
    EXPECT_LE(s.position.y, 0.0f);
    EXPECT_GE(s.position.z, 0.0f);
    EXPECT_LE(s.position.z, 2.0f);
  }
  EXPECT_EQ(e->sprites[29].life, 1.0f);

  // A life of exactly 1 is not wrapped: at scene time 0 sprite 29 stands at x = 2L.
  scene->renderFrame(kFrameWordMirrors);
  const float edge = scene->currentSet->edgeLength;
  EXPECT_EQ(e->sprites[29].life, 1.0f);
  EXPECT_EQ(e->sprites[29].birthTime, -8.0f);
  EXPECT_EQ(e->sprites[29].position.x, static_cast<float>(3.0 * edge - edge));
  EXPECT_EQ(e->sprites[0].position.x, -edge);
  EXPECT_EQ(e->segmentLength, 0);  // no birth yet
  EXPECT_TRUE(e->randomCells);
}

TEST_F(PropDrift, StallWrapsTheLifeOnceWithOneBirthAndOneStep) {
  makeScene();
  PropDriftEffect* e = drift(scene);
  PropSprite& s = e->sprites[3];
  scene->sceneTime = 100.0f;
  s.birthTime = static_cast<float>(100.0 - 20.8);  // life 2.6
  const float spinRateBefore = s.spinRate;
  s.update(*e);
  EXPECT_NEAR(s.life, 0.6, 1e-5);
  EXPECT_LT(s.life, 1.0f);
  // Born again with the phase kept: the new life began 0.6 lifetimes ago.
  EXPECT_EQ(s.birthTime, static_cast<float>(100.0 - 8.0 * s.life));
  EXPECT_NE(s.spinRate, spinRateBefore);
  // The first step after construction opens a segment: step 0 of 1..30.
  EXPECT_EQ(e->segmentStep, 0);
  EXPECT_GE(e->segmentLength, 1);
  EXPECT_LE(e->segmentLength, 30);
  const int32_t length = e->segmentLength;
  // The same scene time again: no second birth, no second step.
  const float birth = s.birthTime;
  s.update(*e);
  EXPECT_EQ(s.birthTime, birth);
  EXPECT_EQ(e->segmentStep, 0);
  EXPECT_EQ(e->segmentLength, length);
}

TEST_F(PropDrift, SizeAndSpinStayInRangeOverALongRun) {
  makeScene();
  PropDriftEffect* e = drift(scene);
  orvane::srand(99);
  int opened = 0, switches = 0;
  const MirrorSet* set = scene->currentSet;
  for (int n = 0; n < 200000; ++n) {
    const bool opens = e->segmentStep + 1 > e->segmentLength;
    const float size = e->size, spin = e->spin;
    e->stepSegment();
    if (scene->currentSet != set || scene->mirrorTransition.active) ++switches;
    scene->mirrorTransition.active = false;
    set = scene->currentSet;
    ASSERT_GE(e->size, 0.25f) << n;
    ASSERT_LE(e->size, 1.0f) << n;
    ASSERT_GE(e->spin, 0.0f) << n;
    ASSERT_LE(e->spin, 360.0f) << n;
    if (!opens) continue;
    ++opened;
    ASSERT_EQ(e->size, size);  // the opening step leaves both where they were
    ASSERT_EQ(e->spin, spin);
    ASSERT_GE(e->segmentLength, 1);
    ASSERT_LE(e->segmentLength, 30);
    // A size in the lower half heads for the upper half and the other way round;
    // 0.625 itself counts as upper, a spin of 180 as lower.
    if (e->sizeDelta != 0.0f) {
      const float target = e->sizeFrom + e->sizeDelta;
      if (size < 0.625f) {
        ASSERT_GE(target, 0.625f - 1e-6f);
      } else {
        ASSERT_LE(target, 0.625f + 1e-6f);
      }
    }
    if (e->spinDelta != 0.0f) {
      const float target = e->spinFrom + e->spinDelta;
      if (spin <= 180.0f) {
        ASSERT_GE(target, 180.0f - 1e-4f);
      } else {
        ASSERT_LE(target, 180.0f + 1e-4f);
      }
    }
  }
  EXPECT_GT(opened, 5000);
  // About one segment in ten asks for a switch.
  EXPECT_NEAR(static_cast<double>(switches) / opened, 0.1, 0.02);
}

TEST_F(PropDrift, BoundaryValuesPickTheirHalf) {
  makeScene();
  PropDriftEffect* e = drift(scene);
  int sizeTargets = 0, spinTargets = 0;
  for (uint32_t seed = 1; seed < 400; ++seed) {
    orvane::srand(seed);
    e->size = 0.625f;
    e->spin = 180.0f;
    e->segmentStep = e->segmentLength = 3;  // the next step opens a segment
    scene->mirrorTransition.active = false;
    e->stepSegment();
    if (e->sizeDelta != 0.0f) {
      ++sizeTargets;
      const float target = e->sizeFrom + e->sizeDelta;
      EXPECT_GE(target, 0.25f);
      EXPECT_LE(target, 0.625f);
    }
    if (e->spinDelta != 0.0f) {
      ++spinTargets;
      const float target = e->spinFrom + e->spinDelta;
      EXPECT_GE(target, 180.0f);
      EXPECT_LE(target, 360.0f);
    }
  }
  EXPECT_GT(sizeTargets, 100);
  EXPECT_GT(spinTargets, 100);
}

TEST_F(PropDrift, SegmentOfOneStepReachesItsTargetsAtOnce) {
  makeScene();
  PropDriftEffect* e = drift(scene);
  for (uint32_t seed = 1; seed < 2000; ++seed) {
    orvane::srand(seed);
    e->segmentStep = e->segmentLength = 0;
    e->stepSegment();
    if (e->segmentLength != 1 || e->sizeDelta == 0.0f) continue;
    const float from = e->size;
    e->stepSegment();
    EXPECT_EQ(e->size, static_cast<float>(from + static_cast<double>(e->sizeDelta)));
    EXPECT_EQ(e->segmentStep, 1);
    e->stepSegment();
    EXPECT_EQ(e->segmentStep, 0);  // the next segment opens
    return;
  }
  FAIL() << "no one-step segment with a size target found";
}

TEST_F(PropDrift, BirthsAfterTheFirstUpdatePickAnyLoadedCell) {
  makeScene();
  PropDriftEffect* e = drift(scene);
  e->cellCount = 529;
  e->randomCells = true;
  bool sawLast = false;
  for (int n = 0; n < 40000; ++n) {
    PropSprite& s = e->sprites[n % kSpriteCount];
    s.respawn(*e);
    ASSERT_GE(s.cell, 0);
    ASSERT_LE(s.cell, 528);
    if (s.cell == 528) {
      sawLast = true;
      EXPECT_EQ(s.texU, 0.9453125f);
      EXPECT_EQ(s.texV, 0.9453125f);
    }
  }
  EXPECT_TRUE(sawLast);
}

// The random draws of the effect come in a fixed order: construction (size, spin), a
// birth (spin rate, scale, cell only once cells are random, height, depth) and the
// opening of a segment (length, switch chance, then chance and target of size and of
// spin). A run is reproducible from its seed only with this order.
TEST_F(PropDrift, RandomDrawsComeInTheirFixedOrder) {
  makeScene();
  PropDriftEffect* e = drift(scene);
  for (uint32_t seed : {5u, 77u, 4096u, 123456789u}) {
    SCOPED_TRACE(seed);
    orvane::srand(seed);
    std::vector<double> f(5);
    for (double& v : f) v = orvane::randomFraction();

    orvane::srand(seed);
    {
      PropDriftEffect fresh(scene, false);
      EXPECT_EQ(fresh.size, static_cast<float>(0.25 + 0.75 * f[0]));
      EXPECT_EQ(fresh.spin, static_cast<float>(360.0 * f[1]));
    }

    for (bool randomCells : {false, true}) {
      SCOPED_TRACE(randomCells);
      e->randomCells = randomCells;
      e->cellCount = 529;
      e->size = 0.5f;
      e->spin = 100.0f;
      PropSprite& s = e->sprites[0];
      orvane::srand(seed);
      s.respawn(*e);
      const int d = randomCells ? 1 : 0;  // the cell takes a draw of its own
      EXPECT_EQ(s.spinRate, static_cast<float>(2.0 * f[0] * 100.0));
      EXPECT_EQ(s.scale, static_cast<float>(f[1] * 0.5 + 0.25));
      EXPECT_EQ(s.cell, randomCells ? static_cast<int32_t>(f[2] * 529) : e->sharedCell);
      EXPECT_EQ(s.position.y, static_cast<float>(-2.4 * f[2 + d]));
      EXPECT_EQ(s.position.z, static_cast<float>(2.0 * f[3 + d]));
    }
  }

  // The opening of a segment, over seeds that together take every branch: with and
  // without a switch, with and without a size target, with and without a spin target.
  std::set<int> branches;
  for (uint32_t seed = 1; branches.size() < 8 && seed < 2000; ++seed) {
    SCOPED_TRACE(seed);
    orvane::srand(seed);
    std::vector<double> f(8);
    for (double& v : f) v = orvane::randomFraction();
    e->size = 0.3f;
    e->spin = 200.0f;
    e->segmentStep = e->segmentLength = 4;  // the next step opens a segment
    scene->currentSet = &scene->mirrorSets[0];
    scene->mirrorTransition.active = false;
    orvane::srand(seed);
    e->stepSegment();
    size_t next = 0;
    EXPECT_EQ(e->segmentLength, 1 + static_cast<int32_t>(30.0 * f[next++]));
    const bool switches = f[next++] < 0.1;
    EXPECT_EQ(scene->mirrorTransition.active, switches);
    if (switches) {
      EXPECT_EQ(scene->currentSet, &scene->mirrorSets[static_cast<int>(f[next++] * 7)]);  // its own pick
    }
    const bool sizeTarget = f[next++] < 0.5;
    const float sizeDelta = sizeTarget ? static_cast<float>(0.25 + 0.375 * f[next++] + 0.375 - 0.3f) : 0.0f;
    const bool spinTarget = f[next++] < 0.5;
    const float spinDelta = spinTarget ? static_cast<float>(180.0 * f[next++] - 200.0) : 0.0f;
    EXPECT_EQ(e->sizeDelta, sizeDelta);
    EXPECT_EQ(e->spinDelta, spinDelta);
    const uint32_t after = orvane::randState();
    orvane::srand(seed);
    for (size_t n = 0; n < next; ++n) orvane::rand();
    EXPECT_EQ(after, orvane::randState()) << "not one draw more";
    branches.insert(switches * 4 + sizeTarget * 2 + spinTarget);
  }
  EXPECT_EQ(branches.size(), 8u);
}

// A sprite reads the edge length before its own birth: a switch that its segment step
// asks for moves it from the next frame on, but the sprites after it at once, and they
// follow the new set itself, not the eased one drawn.
TEST_F(PropDrift, SwitchAskedByABirthReachesLaterSpritesAtOnce) {
  makeScene();
  PropDriftEffect* e = drift(scene);
  MirrorSet* const start = &scene->mirrorSets[0];
  scene->sceneTime = 50.0f;
  for (uint32_t seed = 1; seed < 5000; ++seed) {
    scene->currentSet = start;
    scene->mirrorTransition = MirrorTransition();
    e->segmentStep = e->segmentLength = 2;  // the next birth opens a segment
    e->sprites[0].birthTime = 40.0f;        // life 1.25: born again in this update
    e->sprites[1].birthTime = 46.0f;        // life 0.5: not
    orvane::srand(seed);
    e->sprites[0].update(*e);
    if (scene->currentSet == start) continue;  // no switch, or the same set again
    e->sprites[1].update(*e);
    const double oldEdge = start->edgeLength, newEdge = scene->currentSet->edgeLength;
    ASSERT_NE(oldEdge, newEdge);
    EXPECT_EQ(e->sprites[0].position.x, static_cast<float>(3.0 * oldEdge * e->sprites[0].life - oldEdge));
    EXPECT_EQ(e->sprites[1].life, 0.5f);
    EXPECT_EQ(e->sprites[1].position.x, static_cast<float>(3.0 * newEdge * 0.5 - newEdge));
    return;
  }
  FAIL() << "no seed made a birth switch to another set";
}

// Reads the bound texture's level 0 as RGBA.
std::vector<uint8_t> textureImage(uint32_t texture, GLint* width) {
  glBindTexture(GL_TEXTURE_2D, texture);
  GLint w = 0, h = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4, 0xAB);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  *width = w;
  return rgba;
}

TEST_F(PropDrift, AtlasWithoutPropsOrRoomIsTransparent) {
  struct Case {
    const char* name;
    AtlasSizeProbe probe;
    GLint width;
  };
  const Case cases[] = {
      {"no prop file", nullptr, 1024},
      {"driver too small for 1024", [](int32_t size) { return size < 1024; }, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    renderer::resetForTests();
    setAtlasSizeProbe(c.probe);
    makeScene();
    PropDriftEffect* e = drift(scene);
    EXPECT_EQ(e->cellCount, 0);
    ASSERT_NE(e->atlas, nullptr);
    EXPECT_NE(e->atlas->texture, 0u);
    GLint width = 0;
    const auto rgba = textureImage(e->atlas->texture, &width);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(e->atlas->width, c.width);
    size_t opaque = 0;
    for (size_t i = 3; i < rgba.size(); i += 4) opaque += rgba[i] != 0;
    EXPECT_EQ(opaque, 0u);
    // Nothing of the sprites shows, mirrors on or off (but the outline).
    for (int n = 0; n < 3; ++n) {
      setTime(n * 3.0);
      scene->renderFrame(kFrameWordMirrors);
      EXPECT_EQ(litPixels(readFrame()), 0);
    }
    scene->destroy();
    delete scene;
    scene = nullptr;
    setAtlasSizeProbe(nullptr);
  }
}

}  // namespace

namespace {

// A prop file's atlas reaches the GL as built: the texture holds exactly the CPU pixels,
// linear-filtered both ways, one level only, wrap modes left at the GL defaults; the
// effect learns how many props were loaded, and the prop file is closed again.
TEST_F(PropDrift, AtlasTextureHoldsTheBuiltPixelsWithLinearFiltering) {
  const std::string path = writeSamplePropFile(10);
  setPropFilePaths(path.c_str(), path.c_str());
  std::vector<uint8_t> built(kPropAtlasBytes);
  ASSERT_EQ(buildPropAtlasPixels(built.data()), 10);  // every prop of a small file, in file order

  makeScene();
  PropDriftEffect* e = drift(scene);
  EXPECT_EQ(e->cellCount, 10);
  EXPECT_EQ(ResCurrentFile(), 0);
  ASSERT_NE(e->atlas, nullptr);
  EXPECT_EQ(e->atlas->width, 1024);
  EXPECT_EQ(e->atlas->height, 1024);
  GLint width = 0;
  const auto rgba = textureImage(e->atlas->texture, &width);
  ASSERT_EQ(width, 1024);
  EXPECT_TRUE(rgba == built) << "the uploaded texture differs from the built pixels";

  glBindTexture(GL_TEXTURE_2D, e->atlas->texture);
  struct Param {
    GLenum name;
    GLint expected;
  } params[] = {
      {GL_TEXTURE_MIN_FILTER, GL_LINEAR},
      {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
      {GL_TEXTURE_WRAP_S, GL_REPEAT},
      {GL_TEXTURE_WRAP_T, GL_REPEAT},
  };
  for (const Param& p : params) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, p.name, &value);
    EXPECT_EQ(value, p.expected) << std::hex << p.name;
  }
  GLint level1 = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
  EXPECT_EQ(level1, 0) << "no mipmaps are made";
  glBindTexture(GL_TEXTURE_2D, 0);
}

// While the host keeps the atlas, the first build reads the prop file and every later one
// (another scene's) uploads the same pixels into a texture of its own, without opening a
// file or drawing from the generator; once released, the next build reads the file again.
TEST_F(PropDrift, KeptAtlasIsReadOnceForEveryScene) {
  const std::string path = writeSamplePropFile(10);
  setPropFilePaths(path.c_str(), path.c_str());
  std::vector<uint8_t> built(kPropAtlasBytes);
  ASSERT_EQ(buildPropAtlasPixels(built.data()), 10);

  keepPropAtlasPixels();
  PropAtlas first{0, 0, 0}, second{0, 0, 0}, third{0, 0, 0};
  EXPECT_EQ(buildPropAtlas(&first).cellCount, 10);
  setPropFilePaths("/nonexistent/a.prp", "/nonexistent/b.prp");  // a second read finds nothing
  const uint32_t state = orvane::randState();
  EXPECT_EQ(buildPropAtlas(&second).cellCount, 10);
  EXPECT_EQ(orvane::randState(), state);
  EXPECT_NE(second.texture, first.texture);
  GLint width = 0;
  EXPECT_TRUE(textureImage(second.texture, &width) == built);
  EXPECT_EQ(second.width, 1024);

  releasePropAtlasPixels();
  EXPECT_EQ(buildPropAtlas(&third).cellCount, 0);
  const GLuint textures[] = {first.texture, second.texture, third.texture};
  glDeleteTextures(3, textures);
}

}  // namespace
