// The Wayland host's outputs and their surfaces: one layer surface on each output, its
// buffer at the output's physical size (the integer scale, or the fractional one with a
// viewport), its EGL window, context and scene, made again when the compositor closed it.

#include <algorithm>
#include <cstdio>
#include <new>

#include "host/linux/posix_module.h"
#include "host/wayland/wayland_internal.h"
#include "scene/mirror_scene.h"
// The generated header names a parameter `namespace`, a C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"

namespace {

// The saver's and the background's layer surfaces are told apart by their namespace, so
// that compositor rules can treat each role on its own.
constexpr const char* kSaverNamespace = "orvane";
constexpr const char* kBackgroundNamespace = "orvane-background";

// Releases the scene (its context current), the context, the EGL surface and window, and
// the surface with its role and scale objects; the output itself stays bound.
void releaseDrawing(WaylandHost* host, Output* o) {
  if (o->scene != nullptr) {
    eglMakeCurrent(host->egl, o->eglSurface, o->eglSurface, o->context);
    o->scene->destroy();
    delete o->scene;
    o->scene = nullptr;
  }
  if (host->eglReady) eglMakeCurrent(host->egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (o->context != EGL_NO_CONTEXT) eglDestroyContext(host->egl, o->context);
  if (o->eglSurface != EGL_NO_SURFACE) eglDestroySurface(host->egl, o->eglSurface);
  if (o->eglWindow != nullptr) wl_egl_window_destroy(o->eglWindow);
  if (o->frameCallback != nullptr) wl_callback_destroy(o->frameCallback);
  if (o->fractional != nullptr) wp_fractional_scale_v1_destroy(o->fractional);
  if (o->viewport != nullptr) wp_viewport_destroy(o->viewport);
  if (o->layer != nullptr) zwlr_layer_surface_v1_destroy(o->layer);
  if (o->surface != nullptr) wl_surface_destroy(o->surface);
  o->context = EGL_NO_CONTEXT;
  o->eglSurface = EGL_NO_SURFACE;
  o->eglWindow = nullptr;
  o->frameCallback = nullptr;
  o->fractional = nullptr;
  o->viewport = nullptr;
  o->layer = nullptr;
  o->surface = nullptr;
  o->scale120 = 0;
}

// The first usable size came: the EGL window, surface and context, and the scene in it,
// all in buffer pixels. A failure is reported once and leaves the output undrawn.
void setUpDrawing(WaylandHost* host, Output* o) {
  const int32_t w = o->frames.width(), h = o->frames.height();
  o->eglWindow = wl_egl_window_create(o->surface, w, h);
  if (o->eglWindow != nullptr) {
    o->eglSurface = eglCreatePlatformWindowSurface(host->egl, host->config, o->eglWindow, nullptr);
  }
  if (o->eglSurface != EGL_NO_SURFACE) {
    o->context = eglCreateContext(host->egl, host->config, EGL_NO_CONTEXT, kContextAttributes);
  }
  if (o->context == EGL_NO_CONTEXT || !eglMakeCurrent(host->egl, o->eglSurface, o->eglSurface, o->context)) {
    std::fprintf(stderr, "orvane: no drawing surface on %s (EGL error 0x%x)\n", outputLabel(*o).c_str(),
                 static_cast<unsigned>(eglGetError()));
    outputFailed(host, o);
    return;
  }
  // The compositor's frame callbacks pace the frames; a swap never waits for the refresh.
  eglSwapInterval(host->egl, 0);
  o->scene = new (std::nothrow) MirrorScene();
  if (o->scene == nullptr) {
    outputFailed(host, o);
    return;
  }
  o->scene->setUp(w, h);
  o->scene->speedPercent = host->options->speedPercent;
}

// The surface's size or scale changed: the buffer scale or viewport for its next commit,
// and the scene set up or reshaped in buffer pixels. A new size is drawn at once: a callback
// still awaited is dropped, as the compositor may hold it back until the new size comes.
void applySize(WaylandHost* host, Output* o, SceneChange change) {
  if (o->surface == nullptr) return;
  const BufferSize& buffer = o->frames.buffer();
  wl_surface_set_buffer_scale(o->surface, buffer.bufferScale);
  if (o->viewport != nullptr) {
    if (buffer.viewport) {
      wp_viewport_set_destination(o->viewport, o->frames.logicalWidth(), o->frames.logicalHeight());
    } else {
      wp_viewport_set_destination(o->viewport, -1, -1);
    }
  }
  switch (change) {
    case SceneChange::SetUp:
      setUpDrawing(host, o);
      break;
    case SceneChange::Reshape:
      if (o->frameCallback != nullptr) {
        wl_callback_destroy(o->frameCallback);
        o->frameCallback = nullptr;
      }
      if (o->scene != nullptr) {
        wl_egl_window_resize(o->eglWindow, buffer.width, buffer.height, 0, 0);
        eglMakeCurrent(host->egl, o->eglSurface, o->eglSurface, o->context);
        o->scene->reshape(buffer.width, buffer.height);
      }
      break;
    case SceneChange::None:
      break;
  }
}

void onFrameDone(void* data, wl_callback* callback, uint32_t) {
  Output* o = static_cast<Output*>(data);
  wl_callback_destroy(callback);
  o->frameCallback = nullptr;
  o->frames.callbackCame();
}
const wl_callback_listener kFrameListener = {onFrameDone};

void onLayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
  Output* o = static_cast<Output*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  const int32_t w = static_cast<int32_t>(std::min<uint32_t>(width, INT32_MAX));
  const int32_t h = static_cast<int32_t>(std::min<uint32_t>(height, INT32_MAX));
  applySize(o->host, o, o->frames.configure(w, h));
}

void onLayerClosed(void* data, zwlr_layer_surface_v1*) {
  Output* o = static_cast<Output*>(data);
  o->frames.close();
  releaseDrawing(o->host, o);
  o->retry.closed(monotonicMicros());
  o->wantSurface = true;
  o->announced = false;
}
const zwlr_layer_surface_v1_listener kLayerListener = {onLayerConfigure, onLayerClosed};

void onPreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
  Output* o = static_cast<Output*>(data);
  o->scale120 = static_cast<int32_t>(std::min<uint32_t>(scale, 120 * 64));
  applySize(o->host, o, o->frames.setScale(o->scale, o->scale120));
}
const wp_fractional_scale_v1_listener kFractionalListener = {onPreferredScale};

// ------------------------------------------------------------------ outputs

void onOutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                      int32_t) {}
void onOutputMode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
void onOutputScale(void* data, wl_output*, int32_t factor) { static_cast<Output*>(data)->pendingScale = factor; }
// The output's properties are complete: its scale applies, and a surface the compositor
// closed is made again (once its backoff has passed).
void onOutputDone(void* data, wl_output*) {
  Output* o = static_cast<Output*>(data);
  o->scale = std::max(1, o->pendingScale);
  if (o->surface != nullptr) applySize(o->host, o, o->frames.setScale(o->scale, o->scale120));
  if (o->wantSurface) {
    o->announced = true;
    remakeClosedSurfaces(o->host, monotonicMicros());
  }
}
void onOutputName(void* data, wl_output*, const char* name) {
  if (name != nullptr) static_cast<Output*>(data)->name = name;
}
void onOutputDescription(void*, wl_output*, const char*) {}

}  // namespace

void outputFailed(WaylandHost* host, Output* o) {
  o->failed = true;
  checkSomethingToShow(host);
}

void checkSomethingToShow(WaylandHost* host) {
  if (host->options->background || host->outputs.empty()) return;
  host->nothingToShow =
      std::all_of(host->outputs.begin(), host->outputs.end(), [](const std::unique_ptr<Output>& each) {
        return each->failed;
      });
}

const wl_output_listener kOutputListener = {onOutputGeometry, onOutputMode, onOutputDone,
                                            onOutputScale,    onOutputName, onOutputDescription};

std::string outputLabel(const Output& o) {
  std::string label = o.name.empty() ? "output " + std::to_string(o.globalName) : o.name;
  return label + ", " + std::to_string(o.frames.width()) + "x" + std::to_string(o.frames.height());
}

void addLayerSurface(WaylandHost* host, Output* o) {
  const bool background = host->options->background;
  o->wantSurface = false;
  o->announced = false;
  o->failed = false;
  o->frames = OutputFrames();
  o->frames.setScale(o->scale, 0);
  o->retry.made(monotonicMicros());
  o->surface = wl_compositor_create_surface(host->compositor);
  if (background) {
    // An empty input region: pointer and touch go to the desktop beneath.
    wl_region* none = wl_compositor_create_region(host->compositor);
    wl_surface_set_input_region(o->surface, none);
    wl_region_destroy(none);
  }
  // The fractional scale needs the viewport that shows the buffer at the logical size;
  // until its first preferred scale comes, the output's integer scale holds.
  if (host->fractionalScale != nullptr && host->viewporter != nullptr) {
    o->viewport = wp_viewporter_get_viewport(host->viewporter, o->surface);
    o->fractional = wp_fractional_scale_manager_v1_get_fractional_scale(host->fractionalScale, o->surface);
    wp_fractional_scale_v1_add_listener(o->fractional, &kFractionalListener, o);
  }
  o->layer = zwlr_layer_shell_v1_get_layer_surface(
      host->layerShell, o->surface, o->output,
      background ? ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND : ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
      background ? kBackgroundNamespace : kSaverNamespace);
  zwlr_layer_surface_v1_set_anchor(o->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_size(o->layer, 0, 0);
  zwlr_layer_surface_v1_set_exclusive_zone(o->layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(
      o->layer, background ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE
                           : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
  zwlr_layer_surface_v1_add_listener(o->layer, &kLayerListener, o);
  wl_surface_set_buffer_scale(o->surface, o->frames.buffer().bufferScale);
  wl_surface_commit(o->surface);
}

int64_t remakeClosedSurfaces(WaylandHost* host, int64_t now) {
  int64_t next = kNoDeadline;
  if (!host->surfacesBegun) return next;
  for (auto& o : host->outputs) {
    if (!o->wantSurface || !o->announced) continue;
    if (o->retry.mayMake(now)) {
      addLayerSurface(host, o.get());
    } else {
      next = std::min(next, o->retry.earliest());
    }
  }
  return next;
}

void askFrameCallback(Output* o) {
  o->frameCallback = wl_surface_frame(o->surface);
  wl_callback_add_listener(o->frameCallback, &kFrameListener, o);
  o->frames.frameDrawn();
}

void releaseOutput(WaylandHost* host, Output* o) {
  releaseDrawing(host, o);
  if (o->output != nullptr) {
    if (wl_output_get_version(o->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
      wl_output_release(o->output);
    } else {
      wl_output_destroy(o->output);
    }
    o->output = nullptr;
  }
}
