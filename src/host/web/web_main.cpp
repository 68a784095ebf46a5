// The web page's program: one scene on the page's WebGL 2 canvas, driven by the page's script
// (page.js) through the calls below. The page owns the frames (requestAnimationFrame), the
// clock (it counts only the time the page is shown), the settings and the storage; this side
// draws, and turns pictures the browser decoded into props.
#include <GLES3/gl3.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstdint>
#include <new>
#include <string>
#include <utility>

#include "effects/prop_drift_effect.h"
#include "host/web/web_pictures.h"
#include "props/prop_atlas.h"
#include "scene/mirror_scene.h"
#include "scene/process_state.h"
#include "sim_counter.h"

namespace {

// The page's files in the program's memory: the user's own props (from their pictures), a
// prop file they dropped, and the samples served beside the page; the atlas takes the first
// that holds props.
const char* const kOwnFile = "/own/props.prp";
const char* const kDroppedFile = "/own/dropped.prp";
const char* const kSampleFile = "/samples/props.prp";

// The page's clock: a 1 MHz counter the page sets before each frame.
constexpr int64_t kCountsPerSecond = 1000000;

MirrorScene* scene = nullptr;
int32_t width = 0, height = 0;
int32_t speedPercent = kSpeedDefaultPercent;

// Sets a scene up on the current context; the previous scene's atlas texture is deleted.
void setUpScene() {
  if (scene) {
    if (const auto* drift = dynamic_cast<const PropDriftEffect*>(scene->effect)) {
      if (drift->atlas) glDeleteTextures(1, &drift->atlas->texture);
    }
    scene->destroy();
    delete scene;
  }
  scene = new (std::nothrow) MirrorScene();
  if (scene == nullptr) return;
  scene->setUp(width, height);
  scene->speedPercent = speedPercent;
}

}  // namespace

extern "C" {

// Makes the WebGL 2 context on the page's canvas and sets the scene up at the canvas size,
// the clock at 0; seed below 0 seeds from the time of day. 0 when it draws; 1 without
// WebGL 2.
EMSCRIPTEN_KEEPALIVE int32_t orvane_start(int32_t canvasWidth, int32_t canvasHeight, int32_t seed, int32_t speed) {
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.majorVersion = 2;
  attributes.minorVersion = 0;
  attributes.alpha = false;
  attributes.depth = true;
  attributes.antialias = false;  // the pixels the saver draws, edge for edge
  attributes.preserveDrawingBuffer = true;  // a test, or a screenshot, reads the last frame
  const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context("#canvas", &attributes);
  if (context <= 0 || emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) return 1;

  setPropFileCandidates({kOwnFile, kDroppedFile, kSampleFile});
  simCounterInstall(kCountsPerSecond);
  if (seed >= 0) {
    const uint32_t fixed = static_cast<uint32_t>(seed);
    renderer::setSeedOverride(&fixed);
  }
  width = canvasWidth > 0 ? canvasWidth : 1;
  height = canvasHeight > 0 ? canvasHeight : 1;
  speedPercent = speed;
  setUpScene();
  return scene ? 0 : 1;
}

// Draws the frame at `counts` microseconds of the page's clock.
EMSCRIPTEN_KEEPALIVE void orvane_frame(double counts, int32_t mirrors) {
  if (scene == nullptr) return;
  simCounterSet(static_cast<int64_t>(std::llround(counts)));
  scene->renderFrame(mirrors ? kFrameWordMirrors : 0u);
}

// The canvas has a new size in device pixels.
EMSCRIPTEN_KEEPALIVE void orvane_resize(int32_t canvasWidth, int32_t canvasHeight) {
  if (scene == nullptr || canvasWidth <= 0 || canvasHeight <= 0) return;
  width = canvasWidth;
  height = canvasHeight;
  scene->reshape(width, height);
}

EMSCRIPTEN_KEEPALIVE void orvane_set_speed(int32_t percent) {
  if (percent < kSpeedMinPercent) percent = kSpeedMinPercent;
  if (percent > kSpeedMaxPercent) percent = kSpeedMaxPercent;
  speedPercent = percent;
  if (scene) scene->speedPercent = percent;
}

// Sets the scene up again, so that its atlas is built from the prop files as they are now.
EMSCRIPTEN_KEEPALIVE void orvane_rebuild() { setUpScene(); }

// The props the scene's atlas holds.
EMSCRIPTEN_KEEPALIVE int32_t orvane_prop_count() {
  const auto* drift = scene ? dynamic_cast<const PropDriftEffect*>(scene->effect) : nullptr;
  return drift ? drift->cellCount : 0;
}

// Makes a decoded picture (RGBA, top row first, width x height) a prop of the user's own
// prop file; the page sets the scene up again to show it. A web::AddResult.
EMSCRIPTEN_KEEPALIVE int32_t orvane_add_picture(const uint8_t* rgba, int32_t pictureWidth, int32_t pictureHeight,
                                                const char* name) {
  pictures::RgbaImage picture;
  if (rgba == nullptr || pictureWidth <= 0 || pictureHeight <= 0 ||
      int64_t(pictureWidth) * pictureHeight > web::kWebPictureMaxPixels) {
    return static_cast<int32_t>(web::AddResult::kTooLarge);
  }
  picture.width = pictureWidth;
  picture.height = pictureHeight;
  picture.pixels.assign(rgba, rgba + size_t(pictureWidth) * size_t(pictureHeight) * 4);
  return static_cast<int32_t>(web::addDecodedPicture(kOwnFile, picture, name ? name : ""));
}

// The props in the file at `path` (a prop file the page was given); 0 when it is not one.
EMSCRIPTEN_KEEPALIVE int32_t orvane_props_in_file(const char* path) { return path ? web::propsInFile(path) : 0; }

// Reads the canvas (RGBA, bottom row first) into `out`, width x height x 4 bytes.
EMSCRIPTEN_KEEPALIVE void orvane_read_pixels(uint8_t* out) {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out);
}

}  // extern "C"
