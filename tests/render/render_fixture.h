#pragma once
// A scene on a headless GL context, on the simulated counter and a fixed seed.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "effects/effect.h"
#include "egl_context.h"
#include "scene/mirror_scene.h"

// An effect whose four answers and drawing the test chooses, and which counts the calls
// the scene makes.
class ProbeEffect : public Effect {
 public:
  explicit ProbeEffect(MirrorScene* owner) : Effect(owner) {}

  void update() override { ++updates; }
  void draw() override {
    ++draws;
    if (drawing) drawing(draws);
  }
  void beginDraw() override;
  void endDraw() override;
  bool clipsToWedge() override {
    ++clipQueries;
    return clips;
  }
  bool drawsOverPreviousFrame() override {
    ++overQueries;
    return overPrevious;
  }
  bool drawsMirrorImage() override;
  bool wantsFeedbackPass() override {
    ++feedbackQueries;
    return feedback;
  }

  bool clips = true;
  bool overPrevious = false;
  bool mirrorImage = true;
  bool feedback = false;
  bool additive = false;  // blend GL_ONE, GL_ONE: every replay adds up
  void (*drawing)(int frame) = nullptr;

  int updates = 0, draws = 0, begins = 0, ends = 0;
  int clipQueries = 0, overQueries = 0, mirrorQueries = 0, feedbackQueries = 0;
  std::vector<std::array<float, 16>> mirrorMatrices;  // modelview at each mirror query
};

class SceneTest : public ::testing::Test {
 public:
  static constexpr int32_t kWidth = 96;
  static constexpr int32_t kHeight = 72;

 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // A scene set up on the shared context (the size of its surface), with the seed fixed.
  MirrorScene* makeScene(uint32_t seed = 1234);
  // Makes the shared surface width x height for this test (kWidth x kHeight again after it).
  void resizeSurface(int32_t width, int32_t height);
  // Replaces the scene's effect with a probe.
  ProbeEffect* installProbe();
  // Moves the simulated clock to the given scene seconds.
  void setTime(double seconds);
  // The colour buffer, top row first.
  std::vector<uint8_t> readFrame();
  // Pixel (x, y), top row first.
  static const uint8_t* pixel(const std::vector<uint8_t>& rgba, int32_t x, int32_t y) {
    return rgba.data() + (static_cast<size_t>(y) * kWidth + x) * 4;
  }

  static HeadlessGl gl;
  MirrorScene* scene = nullptr;
};

// True when the GL driver is Mesa's, which offers everything the scene can use.
bool driverIsMesa();

// A sample prop file of count props in a fresh temporary folder; returns its path.
std::string writeSamplePropFile(int32_t count);

// Fraction of pixels whose colour differs by more than tolerance from their mirror
// across the vertical axis through the centre.
double asymmetry(const std::vector<uint8_t>& rgba, int32_t width, int32_t height, int tolerance);
// Number of pixels that are bright red (the wedge outline).
int redPixels(const std::vector<uint8_t>& rgba);
// Number of pixels that are not black.
int litPixels(const std::vector<uint8_t>& rgba);
