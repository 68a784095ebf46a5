// orvane-render: the real kaleidoscope scene, rendered headless to PNG frames.
//
// It makes an off-screen GL context, sets the scene up and asks it for frames as the
// saver's loop does, on a simulated clock (frame k at k / fps seconds, plus the start time
// when the clock is to have started earlier), so a run is reproducible from its seed. With
// --scenes N it sets up N scenes of the size on the one context (the prop file read once, as
// the saver does for its monitors) and draws a frame of each in turn per frame: the turn the
// saver takes with N monitors; the frames written are the last scene's, and the times are
// of whole turns.
#include <sys/resource.h>
#include <sys/stat.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "effects/effect.h"
#include "effects/prop_drift_effect.h"
#include "egl_context.h"
#include "gles_scene.h"
#include "png_writer.h"
#include "props/prop_atlas.h"
#include "props/prop_atlas_gl.h"
#include "scene/mirror_scene.h"
#include "scene/process_state.h"
#include "sim_counter.h"

namespace {

constexpr const char* kUsage =
    "usage: orvane-render [--props FILE] [--size WxH] [--frames N] [--fps F] [--seed S] "
    "[--start-time SECONDS] [--speed PERCENT] [--no-mirrors] [--out DIR] [--stats] [--empty-effect] [--check-gl]"
    " [--scenes N] [--gl-layer]";

// The most scenes one run draws in turn.
constexpr int64_t kMaxScenes = 32;

// The simulated counter runs at 1 MHz.
constexpr int64_t kCountsPerSecond = 1000000;

struct Options {
  const char* props = nullptr;
  int32_t width = 640;
  int32_t height = 480;
  int64_t frames = 1;
  double fps = 30.0;
  double startTime = 0.0;  // seconds the clock has run before frame 0
  int32_t speed = kSpeedDefaultPercent;
  bool seedGiven = false;
  uint32_t seed = 0;
  bool mirrors = true;
  const char* out = nullptr;
  bool stats = false;
  bool emptyEffect = false;  // an effect that draws nothing: the cost of clear + replication
  bool checkGl = false;      // glGetError after every frame; an error ends the run with 1
  int32_t scenes = 1;        // scenes drawn in turn each frame
  bool glLayer = false;      // through the fixed-function layer over OpenGL ES 3
};

bool parseInteger(const char* text, int64_t low, int64_t high, int64_t* value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}

bool parseSize(const char* text, int32_t* width, int32_t* height) {
  if (text == nullptr) return false;
  const char* x = std::strchr(text, 'x');
  if (x == nullptr) return false;
  const std::string w(text, x);
  int64_t wv = 0, hv = 0;
  if (!parseInteger(w.c_str(), 1, 16384, &wv) || !parseInteger(x + 1, 1, 16384, &hv)) return false;
  *width = static_cast<int32_t>(wv);
  *height = static_cast<int32_t>(hv);
  return true;
}

bool parseArguments(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    int64_t v = 0;
    if (std::strcmp(a, "--props") == 0 && next) {
      o->props = next;
      ++i;
    } else if (std::strcmp(a, "--size") == 0) {
      if (!parseSize(next, &o->width, &o->height)) return false;
      ++i;
    } else if (std::strcmp(a, "--frames") == 0) {
      if (!parseInteger(next, 0, 100000000, &v)) return false;
      o->frames = v;
      ++i;
    } else if (std::strcmp(a, "--fps") == 0) {
      if (next == nullptr) return false;
      char* end = nullptr;
      o->fps = std::strtod(next, &end);
      if (*next == '\0' || *end != '\0' || !(o->fps >= 0.01 && o->fps <= 100000.0)) return false;
      ++i;
    } else if (std::strcmp(a, "--start-time") == 0) {
      // Up to some 31 years: far beyond any run, well inside the counter's range.
      if (next == nullptr) return false;
      char* end = nullptr;
      o->startTime = std::strtod(next, &end);
      if (*next == '\0' || *end != '\0' || !(o->startTime >= 0.0 && o->startTime <= 1e9)) return false;
      ++i;
    } else if (std::strcmp(a, "--speed") == 0) {
      if (!parseInteger(next, kSpeedMinPercent, kSpeedMaxPercent, &v)) return false;
      o->speed = static_cast<int32_t>(v);
      ++i;
    } else if (std::strcmp(a, "--seed") == 0) {
      if (!parseInteger(next, 0, UINT32_MAX, &v)) return false;
      o->seed = static_cast<uint32_t>(v);
      o->seedGiven = true;
      ++i;
    } else if (std::strcmp(a, "--no-mirrors") == 0) {
      o->mirrors = false;
    } else if (std::strcmp(a, "--out") == 0 && next) {
      o->out = next;
      ++i;
    } else if (std::strcmp(a, "--stats") == 0) {
      o->stats = true;
    } else if (std::strcmp(a, "--empty-effect") == 0) {
      o->emptyEffect = true;
    } else if (std::strcmp(a, "--check-gl") == 0) {
      o->checkGl = true;
    } else if (std::strcmp(a, "--gl-layer") == 0) {
      o->glLayer = true;
    } else if (std::strcmp(a, "--scenes") == 0) {
      if (!parseInteger(next, 1, kMaxScenes, &v)) return false;
      o->scenes = static_cast<int32_t>(v);
      ++i;
    } else {
      return false;
    }
  }
  // The layer's scene is one scene with its own effect.
  return !o->glLayer || (o->scenes == 1 && !o->emptyEffect);
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of the whole process (every thread: a software rasteriser's too).
double processCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

long peakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A scene set up on the current context, with the cost of its set-up and of its atlas;
// with emptyEffect its effect is replaced by one that draws nothing. Null when it cannot
// be allocated.
MirrorScene* setUpScene(const Options& o, double* setupMs, double* atlasMs) {
  MirrorScene* scene = new (std::nothrow) MirrorScene();
  if (scene == nullptr) return nullptr;
  const auto setupStart = std::chrono::steady_clock::now();
  scene->setUp(o.width, o.height);
  scene->speedPercent = o.speed;
  glFinish();
  *setupMs = millisecondsSince(setupStart);
  const auto* drift = dynamic_cast<const PropDriftEffect*>(scene->effect);
  *atlasMs = drift ? drift->atlasBuildMs : 0.0;
  if (o.emptyEffect) {
    delete scene->effect;
    scene->effect = new (std::nothrow) Effect(scene);
  }
  return scene;
}

// Writes the frame just drawn (from the buffer it went to) as out/frame-NNNN.png.
bool writeFrame(const HeadlessGl& gl, const char* out, int64_t k, bool backBuffer, std::vector<uint8_t>* pixels) {
  headlessGlRead(gl, !backBuffer, pixels);
  char path[4096];
  std::snprintf(path, sizeof path, "%s/frame-%04lld.png", out, static_cast<long long>(k));
  if (writePngRgba(path, gl.width, gl.height, pixels->data())) return true;
  std::fprintf(stderr, "orvane-render: cannot write %s\n", path);
  return false;
}

void printFrameStats(const MirrorScene& scene, int64_t k, double frameMs) {
  const MirrorSet* drawn = scene.drawnSet;
  std::printf("{\"frame\":%lld,\"sceneTime\":%.9g,\"wedgeAngle\":%.9g,\"copyCount\":%d,\"easing\":%s,"
              "\"frame_ms\":%.3f}\n",
              static_cast<long long>(k), static_cast<double>(scene.sceneTime),
              drawn ? static_cast<double>(drawn->wedgeAngle) : 0.0, drawn ? drawn->copyCount : 0,
              scene.drawnEased ? "true" : "false", frameMs);
}

void printRunStats(int32_t scenes, double setupMs, double atlasMs, std::vector<double> frameTimes, double cpuMs) {
  std::sort(frameTimes.begin(), frameTimes.end());
  double median = 0.0;
  if (!frameTimes.empty()) {
    const size_t n = frameTimes.size();
    median = n % 2 ? frameTimes[n / 2] : (frameTimes[n / 2 - 1] + frameTimes[n / 2]) / 2.0;
  }
  std::printf("{\"setup_ms\":%.3f,\"atlas_ms\":%.3f,\"frames\":%zu,\"median_frame_ms\":%.3f,\"peak_rss_kb\":%ld,"
              "\"scenes\":%d,\"median_turn_ms\":%.3f,\"cpu_frame_ms\":%.3f}\n",
              setupMs, atlasMs, frameTimes.size(), median, peakRssKb(), scenes, median,
              frameTimes.empty() ? 0.0 : cpuMs / static_cast<double>(frameTimes.size()));
}

// Draws the frames on the simulated clock, writing and reporting each as asked; returns the
// exit code (1 after a GL error or a frame that could not be written).
int renderFrames(const Options& o, HeadlessGl* gl, const std::vector<MirrorScene*>& scenes, void* layerScene,
                 std::vector<double>* frameTimes) {
  const uint32_t frameWord = o.mirrors ? kFrameWordMirrors : 0u;
  std::vector<uint8_t> pixels;
  // The clock starts at set-up, at count 0; frame 0 comes startTime seconds later.
  const int64_t startCounts = std::llround(o.startTime * kCountsPerSecond);
  for (int64_t k = 0; k < o.frames; ++k) {
    const int64_t counts =
        startCounts + static_cast<int64_t>(std::llround(static_cast<double>(k) * kCountsPerSecond / o.fps));
    simCounterSet(counts);
    const auto frameStart = std::chrono::steady_clock::now();
    bool backBuffer = false;
    GlesSceneFrame layerFrame{};
    if (layerScene) {
      layerFrame = glesSceneRender(layerScene, frameWord, counts);
      backBuffer = layerFrame.backBuffer != 0;
    }
    for (MirrorScene* scene : scenes) backBuffer = scene->renderFrame(frameWord);
    glFinish();
    const double frameMs = millisecondsSince(frameStart);
    frameTimes->push_back(frameMs);
    if (o.checkGl) {
      const GLenum error = glGetError();
      if (error != GL_NO_ERROR) {
        std::fprintf(stderr, "orvane-render: GL error 0x%x in frame %lld\n", error, static_cast<long long>(k));
        return 1;
      }
    }
    if (o.out && !writeFrame(*gl, o.out, k, backBuffer, &pixels)) return 1;
    if (backBuffer) headlessGlSwap(gl);
    if (o.stats && !layerScene) printFrameStats(*scenes.back(), k, frameMs);
  }
  return 0;
}

// The run through the fixed-function layer: one scene of the layer's library on an ES 3
// context, otherwise as a run over OpenGL 1.1.
int renderThroughLayer(const Options& o) {
  HeadlessGl gl;
  if (!headlessGlesCreate(&gl, o.width, o.height)) {
    std::fprintf(stderr, "orvane-render: no headless OpenGL ES 3 context (EGL surfaceless)\n");
    return 1;
  }
  simCounterInstall(kCountsPerSecond);
  const auto setupStart = std::chrono::steady_clock::now();
  void* scene = glesSceneSetUp(o.width, o.height, o.props, o.seedGiven ? &o.seed : nullptr, o.speed);
  glFinish();
  const double setupMs = millisecondsSince(setupStart);
  int exitCode = 1;
  if (scene) {
    std::vector<double> frameTimes;
    const double cpuStart = processCpuMs();
    exitCode = renderFrames(o, &gl, {}, scene, &frameTimes);
    if (o.stats) printRunStats(1, setupMs, 0.0, std::move(frameTimes), processCpuMs() - cpuStart);
    glesSceneDestroy(scene);
  }
  headlessGlDestroy(&gl);
  simCounterRemove();
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parseArguments(argc, argv, &o)) {
    std::fprintf(stderr, "%s\n", kUsage);
    return 2;
  }
  if (o.props) setPropFileCandidates({o.props});
  if (o.out) mkdir(o.out, 0777);  // an existing folder is fine; failures show on writing

  HeadlessGl gl;
  if (o.glLayer) return renderThroughLayer(o);
  if (!headlessGlCreate(&gl, o.width, o.height)) {
    std::fprintf(stderr, "orvane-render: no headless OpenGL context (EGL surfaceless)\n");
    return 1;
  }
  simCounterInstall(kCountsPerSecond);
  if (o.seedGiven) renderer::setSeedOverride(&o.seed);

  // The set-up and atlas times are the first scene's, which reads the prop file.
  double setupMs = 0.0, atlasMs = 0.0;
  std::vector<MirrorScene*> scenes;
  if (o.scenes > 1) keepPropAtlasPixels();
  for (int32_t i = 0; i < o.scenes; ++i) {
    double ms = 0.0, atlas = 0.0;
    MirrorScene* scene = setUpScene(o, &ms, &atlas);
    if (scene == nullptr) break;
    if (i == 0) setupMs = ms, atlasMs = atlas;
    scenes.push_back(scene);
  }
  releasePropAtlasPixels();
  int exitCode = 1;
  if (static_cast<int32_t>(scenes.size()) == o.scenes) {
    std::vector<double> frameTimes;
    frameTimes.reserve(static_cast<size_t>(std::min<int64_t>(o.frames, 1000000)));
    const double cpuStart = processCpuMs();
    exitCode = renderFrames(o, &gl, scenes, nullptr, &frameTimes);
    if (o.stats) printRunStats(o.scenes, setupMs, atlasMs, std::move(frameTimes), processCpuMs() - cpuStart);
  }

  for (MirrorScene* scene : scenes) {
    scene->destroy();
    delete scene;
  }
  headlessGlDestroy(&gl);
  simCounterRemove();
  return exitCode;
}
