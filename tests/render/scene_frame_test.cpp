// The frame pipeline on real pixels: replication, clipping, mirror symmetry, the
// wedge outline, the front-buffer path, the feedback pass and the frame word.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "render_fixture.h"
#include "scene/feedback_pass.h"
#include "scene/gl_headers.h"
#include "scene/process_state.h"

namespace {

constexpr uint8_t kStep = 8;  // green added by one replay of the centre square

void centreSquare(int) {
  glColor4ub(0, kStep, 0, 255);
  glBegin(GL_QUADS);
  glVertex2f(-0.5f, -0.5f);
  glVertex2f(0.5f, -0.5f);
  glVertex2f(0.5f, 0.5f);
  glVertex2f(-0.5f, 0.5f);
  glEnd();
}

// A square straight above the centre: outside the wedge, which hangs below it.
void squareAbove(int) {
  glColor3ub(0, 255, 0);
  glBegin(GL_QUADS);
  glVertex2f(-0.8f, 1.5f);
  glVertex2f(0.8f, 1.5f);
  glVertex2f(0.8f, 3.0f);
  glVertex2f(-0.8f, 3.0f);
  glEnd();
}

// Shapes that overlap the wedge and its borders, in no symmetric arrangement.
void lopsided(int) {
  glBegin(GL_TRIANGLES);
  glColor3ub(255, 128, 0);
  glVertex2f(0.1f, -0.5f);
  glVertex2f(2.5f, -3.0f);
  glVertex2f(0.3f, -3.5f);
  glColor3ub(0, 200, 255);
  glVertex2f(-1.0f, -1.0f);
  glVertex2f(3.0f, -1.2f);
  glVertex2f(1.0f, -2.0f);
  glEnd();
}

// A square whose place moves with the frame number, left to right.
void frameMarker(int frame) {
  const float x = -4.0f + 1.5f * static_cast<float>(frame);
  glColor3ub(0, 255, 0);
  glBegin(GL_QUADS);
  glVertex2f(x - 0.5f, 1.0f);
  glVertex2f(x + 0.5f, 1.0f);
  glVertex2f(x + 0.5f, 2.0f);
  glVertex2f(x - 0.5f, 2.0f);
  glEnd();
}

// Four greys, one per quadrant of the view, brighter with the frame number: a picture
// that shows which way up and which way round a copy of it lies.
uint8_t quadrantGrey(int frame, bool top, bool left) {
  return static_cast<uint8_t>(10 + 5 * frame + (top ? 0 : 30) + (left ? 0 : 15));
}
void quadrants(int frame) {
  glBegin(GL_QUADS);
  for (int q = 0; q < 4; ++q) {
    const bool top = q < 2, left = q % 2 == 0;
    const uint8_t v = quadrantGrey(frame, top, left);
    const float x0 = left ? -20.0f : 0.0f, y0 = top ? 0.0f : -20.0f;
    glColor3ub(v, v, v);
    glVertex2f(x0, y0);
    glVertex2f(x0 + 20.0f, y0);
    glVertex2f(x0 + 20.0f, y0 + 20.0f);
    glVertex2f(x0, y0 + 20.0f);
  }
  glEnd();
}

// Window pixel of a point of the z = 0 plane, top row first.
struct ScreenPoint {
  int x, y;
};
ScreenPoint project(float px, float py) {
  const double halfHeight = 5.5;  // 90 degree view, eye 5.5 away
  const double aspect = static_cast<double>(SceneTest::kWidth) / SceneTest::kHeight;
  const double nx = px / (halfHeight * aspect), ny = py / halfHeight;
  return {static_cast<int>((nx + 1) / 2 * SceneTest::kWidth), static_cast<int>((1 - ny) / 2 * SceneTest::kHeight)};
}

using SceneFrame = SceneTest;

TEST_F(SceneFrame, ReplicationPassesAndReplays) {
  struct Case {
    int set;
    uint32_t frameWord;
    bool mirrorImage;
    int replays;
    int passes;  // mirror queries: one per pass with mirrors on
  };
  const Case cases[] = {
      {0, kFrameWordMirrors, true, 10, 5},  {2, kFrameWordMirrors, true, 16, 8}, {6, kFrameWordMirrors, true, 24, 12},
      {3, kFrameWordMirrors, true, 16, 8},  {0, kFrameWordMirrors, false, 5, 5}, {2, kFrameWordMirrors, false, 8, 8},
      {2, 0, true, 1, 0},                   {6, 0, false, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "set " << c.set << " word " << c.frameWord << " mirror " << c.mirrorImage);
    renderer::resetForTests();
    makeScene();
    scene->currentSet = &scene->mirrorSets[c.set];
    ProbeEffect* probe = installProbe();
    probe->clips = false;
    probe->additive = true;
    probe->mirrorImage = c.mirrorImage;
    probe->drawing = centreSquare;
    EXPECT_TRUE(scene->renderFrame(c.frameWord));
    const auto frame = readFrame();
    // Every replay adds kStep of green at the centre, whatever its rotation or mirror.
    EXPECT_EQ(pixel(frame, kWidth / 2, kHeight / 2)[1], c.replays * kStep);
    EXPECT_EQ(probe->mirrorQueries, c.passes);
    EXPECT_EQ(probe->begins, 1);
    EXPECT_EQ(probe->ends, 1);
    EXPECT_EQ(probe->clipQueries, 1);
    scene->destroy();
    delete scene;
    scene = nullptr;
  }
}

TEST_F(SceneFrame, FifteenCopiesEndWithAPassAtExactly360Degrees) {
  makeScene();
  scene->currentSet = &scene->mirrorSets[2];
  ProbeEffect* probe = installProbe();
  scene->renderFrame(kFrameWordMirrors);
  ASSERT_EQ(probe->mirrorMatrices.size(), 8u);

  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  gluLookAt(0, 0, 5.5, 0, 0, 0, 0, 1, 0);
  glRotatef(360.0f, 0, 0, 1);
  glScalef(-1, 1, 1);
  std::array<float, 16> at360{};
  glGetFloatv(GL_MODELVIEW_MATRIX, at360.data());
  glPopMatrix();
  EXPECT_EQ(probe->mirrorMatrices.back(), at360);
  // ... which lands on the first pair.
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(probe->mirrorMatrices.back()[i], probe->mirrorMatrices.front()[i], 1e-5);
}

TEST_F(SceneFrame, ClippingToTheWedge) {
  struct Case {
    uint32_t frameWord;
    bool clips;
    bool visibleAbove;  // the square above the centre shows
  };
  const Case cases[] = {
      {kFrameWordMirrors, true, false},  // cut away in every replay
      {kFrameWordMirrors, false, true},
      {0, true, true},  // mirrors off: unclipped, whatever the effect says
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "word " << c.frameWord << " clips " << c.clips);
    renderer::resetForTests();
    makeScene();
    scene->currentSet = &scene->mirrorSets[0];
    ProbeEffect* probe = installProbe();
    probe->clips = c.clips;
    probe->drawing = squareAbove;
    scene->renderFrame(c.frameWord);
    const auto frame = readFrame();
    const ScreenPoint above = project(0.0f, 2.2f);
    EXPECT_EQ(pixel(frame, above.x, above.y)[1] == 255, c.visibleAbove);
    if (c.frameWord == kFrameWordMirrors && c.clips) {
      EXPECT_EQ(litPixels(frame), 0);
    }
    scene->destroy();
    delete scene;
    scene = nullptr;
  }
}

TEST_F(SceneFrame, MirrorSymmetricForEvenCopyCounts) {
  for (int set : {0, 1, 3, 4, 5}) {
    SCOPED_TRACE(set);
    renderer::resetForTests();
    makeScene();
    scene->currentSet = &scene->mirrorSets[set];
    ProbeEffect* probe = installProbe();
    probe->drawing = lopsided;
    scene->renderFrame(kFrameWordMirrors);
    const auto frame = readFrame();
    EXPECT_GT(litPixels(frame), kWidth * kHeight / 10);
    EXPECT_LT(asymmetry(frame, kWidth, kHeight, 24), 0.01);

    // Without the mirror images the same drawing is plainly lopsided.
    probe->mirrorImage = false;
    scene->renderFrame(kFrameWordMirrors);
    EXPECT_GT(asymmetry(readFrame(), kWidth, kHeight, 24), 0.05);
    scene->destroy();
    delete scene;
    scene = nullptr;
  }
}

TEST_F(SceneFrame, RedOutlineShowsWithMirrorsOffOnly) {
  // The shipped effect without a prop file: a transparent atlas, invisible sprites.
  makeScene();
  scene->renderFrame(0);
  const auto off = readFrame();
  EXPECT_GT(redPixels(off), 40);
  // The outline runs from the centre straight down.
  const ScreenPoint below = project(0.0f, -2.0f);
  bool redNearby = false;
  for (int dx = -1; dx <= 1; ++dx) {
    const uint8_t* p = pixel(off, below.x + dx, below.y);
    redNearby = redNearby || (p[0] > 200 && p[1] < 60);
  }
  EXPECT_TRUE(redNearby);
  scene->renderFrame(kFrameWordMirrors);
  EXPECT_EQ(redPixels(readFrame()), 0);
}

TEST_F(SceneFrame, FrameWordReadsOnlyBit16) {
  makeScene();
  ProbeEffect* probe = installProbe();
  probe->drawing = lopsided;
  struct Case {
    uint32_t word;
    bool mirrors;
  };
  std::vector<uint8_t> reference;
  for (const Case& c : {Case{0x10000u, true}, Case{0xFFFFFFFFu, true}, Case{0x00010001u, true},
                        Case{0xFFFEFFFFu, false}, Case{0u, false}}) {
    SCOPED_TRACE(c.word);
    scene->renderFrame(c.word);
    EXPECT_EQ(scene->mirrorsOn, c.mirrors);
    const auto frame = readFrame();
    if (c.mirrors) {
      if (reference.empty()) reference = frame;
      EXPECT_EQ(frame, reference);
      EXPECT_EQ(redPixels(frame), 0);
    } else {
      EXPECT_GT(redPixels(frame), 0);
    }
  }
}

TEST_F(SceneFrame, DrawingOverThePreviousFrame) {
  makeScene();
  ProbeEffect* probe = installProbe();
  probe->overPrevious = true;
  probe->drawing = frameMarker;
  auto markerShows = [&](const std::vector<uint8_t>& frame, int n) {
    const float x = -4.0f + 1.5f * static_cast<float>(n);
    const ScreenPoint p = project(x, 1.5f);
    return pixel(frame, p.x, p.y)[1] == 255;
  };
  struct Expect {
    bool result;
    int framesToClearAfter;
    GLint drawBuffer;
    int feedbackQueries;  // asked at the start only once the first two frames are over
  };
  const Expect expected[] = {
      {true, 1, GL_BACK, 2}, {true, 0, GL_BACK, 2}, {false, 0, GL_FRONT, 3}, {false, 0, GL_FRONT, 3}};
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE(n);
    const Expect& e = expected[n - 1];
    probe->feedbackQueries = 0;
    setTime(0.1 * n);
    EXPECT_EQ(scene->renderFrame(0), e.result);
    EXPECT_EQ(scene->firstFramesToClear, e.framesToClearAfter);
    GLint drawBuffer = 0;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    EXPECT_EQ(drawBuffer, e.drawBuffer);
    EXPECT_EQ(probe->feedbackQueries, e.feedbackQueries);
    const auto frame = readFrame();
    EXPECT_TRUE(markerShows(frame, n));
    // A cleared frame has lost the last one's marker; a frame drawn over it keeps it.
    if (n > 1) {
      EXPECT_EQ(markerShows(frame, n - 1), !e.result);
    }
  }
  EXPECT_EQ(probe->overQueries, 4);
}

// ... to its own clear colour, opaque black (without a prop file nothing else shows).
TEST_F(SceneFrame, ShippedEffectAlwaysClearsTheBackBuffer) {
  makeScene();
  for (int n = 0; n < 5; ++n) {
    setTime(0.05 * n);
    EXPECT_TRUE(scene->renderFrame(kFrameWordMirrors));
    GLint drawBuffer = 0;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    EXPECT_EQ(drawBuffer, GL_BACK);
    EXPECT_EQ(litPixels(readFrame()), 0);
  }
  GLfloat clear[4] = {};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(std::vector<GLfloat>(clear, clear + 4), (std::vector<GLfloat>{0, 0, 0, 1}));
  EXPECT_EQ(scene->firstFramesToClear, 0);
}

// Mesa offers the feedback pass; only another driver may lack it.
#define REQUIRE_FEEDBACK_PASS()                                                      \
  if (!scene->feedbackCapable) {                                                  \
    if (driverIsMesa()) FAIL() << "Mesa offers both extensions of the probe";        \
    GTEST_SKIP() << "driver offers no feedback pass";                                \
  }

// In a window larger than the 128 x 128 corner: the texture holds this frame's picture,
// squeezed into the corner and upright, as one grey channel; the frame itself fills the
// whole window again (the viewport is restored), and the trail adds 0.2 + 0.19 + ... +
// 0.01 = 2.1 times the copy onto it, upright and the right way round (the quadrants of
// the picture stay where they are under its magnification about the centre).
TEST_F(SceneFrame, FeedbackPassCapturesThisFrame) {
  constexpr int32_t kW = 160, kH = 144;
  resizeSurface(kW, kH);
  makeScene();
  REQUIRE_FEEDBACK_PASS();
  ProbeEffect* probe = installProbe();
  probe->overPrevious = true;
  probe->feedback = true;
  probe->drawing = quadrants;
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    setTime(0.1 * n);
    // Always a full back-buffer frame while the pass runs; mirrors off: the picture as drawn.
    EXPECT_TRUE(scene->renderFrame(0));
    EXPECT_EQ(probe->updates, n);
    EXPECT_EQ(probe->draws, n);
    EXPECT_EQ(probe->begins, 2 * n);
    EXPECT_EQ(probe->ends, 2 * n);
  }
  glBindTexture(GL_TEXTURE_2D, scene->feedbackTexture);
  GLint format = 0, width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  EXPECT_TRUE(format == GL_LUMINANCE || format == GL_LUMINANCE8) << std::hex << format;
  EXPECT_EQ(width, kFeedbackSize);
  std::vector<uint8_t> grey(kFeedbackSize * kFeedbackSize);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, grey.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  const int half = kFeedbackSize / 2;
  for (int y = 0; y < kFeedbackSize; ++y) {  // texture row 0 is the bottom
    for (int x = 0; x < kFeedbackSize; ++x) {
      if (std::abs(x - half) < 2 || std::abs(y - half) < 2) continue;
      ASSERT_EQ(grey[static_cast<size_t>(y) * kFeedbackSize + x], quadrantGrey(3, y >= half, x < half)) << x << "," << y;
    }
  }
  std::vector<uint8_t> frame;
  headlessGlRead(gl, false, &frame);
  struct Probe {
    int x, y;  // top row first
  };
  // Quadrant middles, and corners outside the 128 x 128 corner the capture drew into.
  for (const Probe p : {Probe{kW / 4, kH / 4}, Probe{3 * kW / 4, kH / 4}, Probe{kW / 4, 3 * kH / 4},
                        Probe{3 * kW / 4, 3 * kH / 4}, Probe{kW - 4, 3}, Probe{3, 3}, Probe{kW - 4, kH - 4}}) {
    const uint8_t* px = frame.data() + (static_cast<size_t>(p.y) * kW + p.x) * 4;
    const double g = quadrantGrey(3, p.y < kH / 2, p.x < kW / 2);
    EXPECT_NEAR(px[0], g * 3.1, 3) << p.x << "," << p.y;
  }
}

// The feedback pass's frames are fixed, mirrors on, pixel for pixel (llvmpipe): taken from
// the renderer before the scene became an instance.
TEST_F(SceneFrame, FeedbackFramesAreGolden) {
  makeScene(77);
  REQUIRE_FEEDBACK_PASS();
  if (!driverIsMesa()) GTEST_SKIP() << "the golden frames are llvmpipe's";
  ProbeEffect* probe = installProbe();
  probe->overPrevious = true;
  probe->feedback = true;
  probe->drawing = lopsided;
  uint64_t h = 14695981039346656037ull;
  for (int n = 1; n <= 6; ++n) {
    setTime(0.25 * n);
    scene->renderFrame(kFrameWordMirrors);
    for (uint8_t b : readFrame()) h = (h ^ b) * 1099511628211ull;
  }
  EXPECT_EQ(h, 0xeacf4c6ecb62c6cdull);
}

TEST_F(SceneFrame, FeedbackTrailIsTwentyFadingMagnifiedQuads) {
  makeScene();
  std::vector<GLfloat> buffer(20000);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
  glRenderMode(GL_FEEDBACK);
  scene->drawFeedbackTrail(20, 0.02f);
  const GLint used = glRenderMode(GL_RENDER);
  ASSERT_GT(used, 0);
  // Polygons grouped by their alpha: one group per quad, with its texture range.
  std::map<float, std::pair<float, float>, std::greater<float>> quads;  // alpha -> (min s, max s)
  for (GLint i = 0; i < used;) {
    const GLfloat token = buffer[i++];
    ASSERT_EQ(token, static_cast<GLfloat>(GL_POLYGON_TOKEN));
    const int vertices = static_cast<int>(buffer[i++]);
    for (int v = 0; v < vertices; ++v, i += 12) {
      const float alpha = buffer[i + 7];
      const float s = buffer[i + 8];
      auto it = quads.find(alpha);
      if (it == quads.end()) it = quads.emplace(alpha, std::make_pair(s, s)).first;
      it->second.first = std::min(it->second.first, s);
      it->second.second = std::max(it->second.second, s);
    }
  }
  ASSERT_EQ(quads.size(), 20u);
  int k = 0;
  for (const auto& [alpha, range] : quads) {
    SCOPED_TRACE(k);
    EXPECT_NEAR(alpha, 0.2 - 0.01 * k, 1e-5);
    EXPECT_NEAR(range.first, 0.02 * k, 1e-5);
    EXPECT_NEAR(range.second, 1.0 - 0.02 * k, 1e-5);
    ++k;
  }
  // And nothing with no quads at all.
  glRenderMode(GL_FEEDBACK);
  scene->drawFeedbackTrail(0, 0.02f);
  EXPECT_EQ(glRenderMode(GL_RENDER), 0);
}

TEST_F(SceneFrame, ShippedEffectNeverRunsTheFeedbackPass) {
  makeScene();
  REQUIRE_FEEDBACK_PASS();
  ASSERT_NE(scene->feedbackTexture, 0u);
  for (int n = 0; n < 3; ++n) scene->renderFrame(kFrameWordMirrors);
  // Made at set-up as 128 x 128 RGBA zeros, and never captured into (a capture would
  // make it luminance).
  glBindTexture(GL_TEXTURE_2D, scene->feedbackTexture);
  GLint format = 0, width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  std::vector<uint8_t> rgba(kFeedbackSize * kFeedbackSize * 4, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  EXPECT_TRUE(format == 4 || format == GL_RGBA || format == GL_RGBA8) << std::hex << format;
  EXPECT_EQ(width, kFeedbackSize);
  EXPECT_EQ(std::count(rgba.begin(), rgba.end(), 0), static_cast<long>(rgba.size()));
}

TEST_F(SceneFrame, SceneWithoutAnEffectDrawsOnlyItsOwnOutline) {
  makeScene();
  scene->destroy();  // as if the factory had yielded none
  ASSERT_EQ(scene->effect, nullptr);
  EXPECT_TRUE(scene->renderFrame(kFrameWordMirrors));
  EXPECT_EQ(litPixels(readFrame()), 0);
  EXPECT_TRUE(scene->renderFrame(0));
  EXPECT_GT(redPixels(readFrame()), 0);
}

TEST(FeedbackProbe, ExtensionStringIsSearchedForSubstrings) {
  struct Case {
    const char* extensions;
    bool capable;
  };
  const Case cases[] = {
      {nullptr, false},
      {"", false},
      {"GL_EXT_compiled_vertex_array", false},
      {"GL_ARB_multitexture GL_EXT_texture", false},
      {"GL_ARB_multitexture GL_EXT_compiled_vertex_array", true},
      {"GL_EXT_compiled_vertex_array_plus GL_ARB_multitexture_extra", true},
      {"GL_EXT_compiled_vertex_arra GL_ARB_multitexture", false},
  };
  for (const Case& c : cases) EXPECT_EQ(extensionsOfferFeedback(c.extensions), c.capable) << (c.extensions ? c.extensions : "(none)");
}

}  // namespace
