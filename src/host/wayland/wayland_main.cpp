// orvane --wayland: the kaleidoscope on every output of a compositor with the layer shell.
//
// Each output gets one layer surface (overlay, or background with --background) anchored to
// all four edges at size 0 x 0, so the compositor gives it the output's size; each surface
// its wl_egl_window, its own desktop OpenGL compatibility context and its own scene. The
// compositor paces the frames: an output's next frame is drawn when the callback asked with
// its last one has come. Outputs that come while it runs get their surface; outputs that go
// take theirs with them. A key, a button or a pointer moved too far ends the saver; the
// background runs until a signal or the connection's end.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "host/frame_loop.h"
#include "host/posix_module.h"
#include "host/wayland/output_frames.h"
#include "host/wayland/wayland_host.h"
#include "host/x11/frame_meter.h"
#include "props/prop_atlas_gl.h"
#include "scene/mirror_scene.h"
// The generated header names a parameter `namespace`, a C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

namespace {

struct WaylandHost;

// One output and what draws on it.
struct Output {
  WaylandHost* host = nullptr;
  uint32_t globalName = 0;
  wl_output* output = nullptr;
  std::string name;  // the compositor's name for it, when it tells one
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  wl_callback* frameCallback = nullptr;
  wl_egl_window* eglWindow = nullptr;
  EGLSurface eglSurface = EGL_NO_SURFACE;
  EGLContext context = EGL_NO_CONTEXT;
  MirrorScene* scene = nullptr;
  OutputFrames frames;
  bool failed = false;  // no drawing surface could be made: the output stays as it is
  FrameMeter meter;
  double cpuSeconds = 0.0;   // process CPU time spent drawing and presenting its frames
  double frameCpuStart = 0.0;
};

struct WaylandHost {
  const ModuleOptions* options = nullptr;
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  zwlr_layer_shell_v1* layerShell = nullptr;
  wl_seat* seat = nullptr;
  wl_keyboard* keyboard = nullptr;
  wl_pointer* pointer = nullptr;
  EGLDisplay egl = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  bool eglReady = false;
  std::vector<std::unique_ptr<Output>> outputs;
  PointerWatch pointerWatch;
  bool inputEnded = false;
  bool connectionLost = false;
  uint32_t frameWord = 0;
};

const EGLint kContextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                     EGL_NONE};

std::string outputLabel(const Output& o) {
  std::string label = o.name.empty() ? "output " + std::to_string(o.globalName) : o.name;
  return label + ", " + std::to_string(o.frames.width()) + "x" + std::to_string(o.frames.height());
}

// ------------------------------------------------------------------ drawing surfaces

// Releases the scene (its context current), the context, the EGL surface and window, and
// the layer surface; the output itself stays bound.
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
  if (o->layer != nullptr) zwlr_layer_surface_v1_destroy(o->layer);
  if (o->surface != nullptr) wl_surface_destroy(o->surface);
  o->context = EGL_NO_CONTEXT;
  o->eglSurface = EGL_NO_SURFACE;
  o->eglWindow = nullptr;
  o->frameCallback = nullptr;
  o->layer = nullptr;
  o->surface = nullptr;
}

// The first usable size came: the EGL window, surface and context, and the scene in it.
// A failure is reported once and leaves the output undrawn.
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
    o->failed = true;
    return;
  }
  // The compositor's frame callbacks pace the frames; a swap never waits for the refresh.
  eglSwapInterval(host->egl, 0);
  o->scene = new (std::nothrow) MirrorScene();
  if (o->scene == nullptr) {
    o->failed = true;
    return;
  }
  o->scene->setUp(w, h);
  o->scene->speedPercent = host->options->speedPercent;
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
  switch (o->frames.configure(w, h)) {
    case SceneChange::SetUp:
      setUpDrawing(o->host, o);
      break;
    case SceneChange::Reshape:
      if (o->scene != nullptr) {
        wl_egl_window_resize(o->eglWindow, w, h, 0, 0);
        eglMakeCurrent(o->host->egl, o->eglSurface, o->eglSurface, o->context);
        o->scene->reshape(w, h);
      }
      break;
    case SceneChange::None:
      break;
  }
}

void onLayerClosed(void* data, zwlr_layer_surface_v1*) {
  Output* o = static_cast<Output*>(data);
  o->frames.close();
  releaseDrawing(o->host, o);
}
const zwlr_layer_surface_v1_listener kLayerListener = {onLayerConfigure, onLayerClosed};

// The output's layer surface, committed without a buffer so that the compositor configures it.
void addLayerSurface(WaylandHost* host, Output* o) {
  const bool background = host->options->background;
  o->surface = wl_compositor_create_surface(host->compositor);
  o->layer = zwlr_layer_shell_v1_get_layer_surface(
      host->layerShell, o->surface, o->output,
      background ? ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND : ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "orvane");
  zwlr_layer_surface_v1_set_anchor(o->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_size(o->layer, 0, 0);
  zwlr_layer_surface_v1_set_exclusive_zone(o->layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(
      o->layer, background ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE
                           : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
  zwlr_layer_surface_v1_add_listener(o->layer, &kLayerListener, o);
  wl_surface_commit(o->surface);
}

// ------------------------------------------------------------------ outputs

void onOutputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                      int32_t) {}
void onOutputMode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
void onOutputDone(void*, wl_output*) {}
void onOutputScale(void*, wl_output*, int32_t) {}
void onOutputName(void* data, wl_output*, const char* name) {
  if (name != nullptr) static_cast<Output*>(data)->name = name;
}
void onOutputDescription(void*, wl_output*, const char*) {}
const wl_output_listener kOutputListener = {onOutputGeometry, onOutputMode,  onOutputDone,
                                            onOutputScale,    onOutputName,  onOutputDescription};

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

// ------------------------------------------------------------------ input

void endByInput(WaylandHost* host) { host->inputEnded = true; }

void onKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
void onKeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void onKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
// Any key pressed ends the saver: which key it was does not matter, so the keymap is not read.
void onKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_KEYBOARD_KEY_STATE_PRESSED) endByInput(static_cast<WaylandHost*>(data));
}
void onModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener = {onKeymap, onKeyboardEnter, onKeyboardLeave,
                                                onKey,    onModifiers,     onRepeatInfo};

// Over the saver the pointer shows nothing.
void onPointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                    wl_fixed_t y) {
  WaylandHost* host = static_cast<WaylandHost*>(data);
  wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  if (host->pointerWatch.enter(reinterpret_cast<uintptr_t>(surface), wl_fixed_to_double(x), wl_fixed_to_double(y))) {
    endByInput(host);
  }
}
void onPointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
void onPointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
  WaylandHost* host = static_cast<WaylandHost*>(data);
  if (host->pointerWatch.motion(wl_fixed_to_double(x), wl_fixed_to_double(y))) endByInput(host);
}
void onButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) endByInput(static_cast<WaylandHost*>(data));
}
void onAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void onPointerFrame(void*, wl_pointer*) {}
void onAxisSource(void*, wl_pointer*, uint32_t) {}
void onAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void onAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void onAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}
// Bound at version 5 at most: later events are not sent.
const wl_pointer_listener kPointerListener = {onPointerEnter, onPointerLeave, onPointerMotion, onButton,
                                              onAxis,         onPointerFrame, onAxisSource,    onAxisStop,
                                              onAxisDiscrete, onAxisValue120};

void onSeatCapabilities(void* data, wl_seat* seat, uint32_t caps) {
  WaylandHost* host = static_cast<WaylandHost*>(data);
  const bool keyboard = (caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  const bool pointer = (caps & WL_SEAT_CAPABILITY_POINTER) != 0;
  if (keyboard && host->keyboard == nullptr) {
    host->keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(host->keyboard, &kKeyboardListener, host);
  } else if (!keyboard && host->keyboard != nullptr) {
    wl_keyboard_destroy(host->keyboard);
    host->keyboard = nullptr;
  }
  if (pointer && host->pointer == nullptr) {
    host->pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(host->pointer, &kPointerListener, host);
  } else if (!pointer && host->pointer != nullptr) {
    wl_pointer_destroy(host->pointer);
    host->pointer = nullptr;
  }
}
void onSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {onSeatCapabilities, onSeatName};

// ------------------------------------------------------------------ globals

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  WaylandHost* host = static_cast<WaylandHost*>(data);
  const std::string what = interface;
  if (what == wl_compositor_interface.name && host->compositor == nullptr) {
    host->compositor =
        static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, 4u)));
  } else if (what == zwlr_layer_shell_v1_interface.name && host->layerShell == nullptr) {
    host->layerShell = static_cast<zwlr_layer_shell_v1*>(
        wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, std::min(version, 4u)));
  } else if (what == wl_seat_interface.name && host->seat == nullptr && !host->options->background) {
    // One seat: the one the person at the screen uses. The background takes no input.
    host->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
    wl_seat_add_listener(host->seat, &kSeatListener, host);
  } else if (what == wl_output_interface.name) {
    std::unique_ptr<Output> o(new (std::nothrow) Output());
    if (!o) return;
    o->host = host;
    o->globalName = name;
    o->output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 4u)));
    wl_output_add_listener(o->output, &kOutputListener, o.get());
    // An output that comes while the saver runs gets its surface at once; the first ones
    // get theirs once every global is known.
    if (host->eglReady) addLayerSurface(host, o.get());
    host->outputs.push_back(std::move(o));
  }
}

void onGlobalRemove(void* data, wl_registry*, uint32_t name) {
  WaylandHost* host = static_cast<WaylandHost*>(data);
  for (size_t i = 0; i < host->outputs.size(); ++i) {
    if (host->outputs[i]->globalName == name) {
      releaseOutput(host, host->outputs[i].get());
      host->outputs.erase(host->outputs.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}
const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

// ------------------------------------------------------------------ EGL

// The EGL display on the connection, desktop OpenGL bound, and an opaque window config (no
// alpha: a translucent buffer would let the desktop through); false with one line on stderr.
bool setUpEgl(WaylandHost* host) {
  host->egl = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, host->display, nullptr);
  EGLint major = 0, minor = 0;
  if (host->egl == EGL_NO_DISPLAY || !eglInitialize(host->egl, &major, &minor)) {
    std::fprintf(stderr, "orvane: no EGL on this Wayland display (EGL error 0x%x)\n",
                 static_cast<unsigned>(eglGetError()));
    return false;
  }
  host->eglReady = true;
  if (!eglBindAPI(EGL_OPENGL_API)) {
    std::fprintf(stderr, "orvane: this EGL offers no desktop OpenGL\n");
    return false;
  }
  const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_RED_SIZE, 8,
                           EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 16, EGL_NONE};
  EGLConfig configs[64];
  EGLint count = 0;
  if (!eglChooseConfig(host->egl, wanted, configs, 64, &count) || count <= 0) {
    std::fprintf(stderr, "orvane: no EGL window config with desktop OpenGL\n");
    return false;
  }
  host->config = configs[0];
  for (EGLint i = 0; i < count; ++i) {
    EGLint alpha = 1;
    if (eglGetConfigAttrib(host->egl, configs[i], EGL_ALPHA_SIZE, &alpha) && alpha == 0) {
      host->config = configs[i];
      break;
    }
  }
  // A compatibility context is what the scene draws with (display lists, immediate mode).
  EGLContext probe = eglCreateContext(host->egl, host->config, EGL_NO_CONTEXT, kContextAttributes);
  if (probe == EGL_NO_CONTEXT) {
    std::fprintf(stderr, "orvane: no OpenGL compatibility context on this display (EGL error 0x%x)\n",
                 static_cast<unsigned>(eglGetError()));
    return false;
  }
  eglDestroyContext(host->egl, probe);
  return true;
}

// ------------------------------------------------------------------ the frame loop

class WaylandLoop : public FrameLoopHost {
 public:
  WaylandLoop(WaylandHost* host, const sigset_t* openMask) : host_(host), openMask_(openMask) {}

  // Queued events first; then what the connection holds, read without waiting.
  EventStep takeEvent() override {
    if (takenStopSignal() != 0 || host_->inputEnded || host_->connectionLost) return EventStep::Stop;
    const int dispatched = wl_display_dispatch_pending(host_->display);
    if (dispatched < 0) return lost();
    if (dispatched > 0) return EventStep::Handled;
    if (wl_display_prepare_read(host_->display) != 0) return EventStep::Handled;  // queued meanwhile
    // The stop signals are let in here too, so that a turn that never has to wait (a
    // compositor that answers frames at once) still takes them.
    pollfd watched{wl_display_get_fd(host_->display), POLLIN, 0};
    const timespec noWait{0, 0};
    if (ppoll(&watched, 1, &noWait, openMask_) > 0) {
      if (wl_display_read_events(host_->display) < 0) return lost();
      return EventStep::Handled;
    }
    wl_display_cancel_read(host_->display);
    return EventStep::Idle;
  }
  int32_t sceneCount() override { return static_cast<int32_t>(host_->outputs.size()); }
  bool sceneReady(int32_t i) override {
    const Output& o = *host_->outputs[static_cast<size_t>(i)];
    return o.scene != nullptr && !o.failed && o.frames.ready();
  }
  // The callback is asked before the frame goes out, so it comes with that frame's commit.
  bool renderFrame(int32_t i) override {
    Output& o = *host_->outputs[static_cast<size_t>(i)];
    eglMakeCurrent(host_->egl, o.eglSurface, o.eglSurface, o.context);
    o.frameCpuStart = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    o.frameCallback = wl_surface_frame(o.surface);
    wl_callback_add_listener(o.frameCallback, &kFrameListener, &o);
    o.frames.frameDrawn();
    if (o.scene->renderFrame(host_->frameWord)) return true;
    // Nothing to present; the commit still sends the callback's request.
    wl_surface_commit(o.surface);
    frameDone(&o);
    return false;
  }
  // A surface that cannot present is reported once and left as it is: retrying it every
  // turn would spin without ever waiting for the compositor.
  void swapBuffers(int32_t i) override {
    Output& o = *host_->outputs[static_cast<size_t>(i)];
    if (!eglSwapBuffers(host_->egl, o.eglSurface)) {
      std::fprintf(stderr, "orvane: %s cannot present (EGL error 0x%x): left as it is\n", outputLabel(o).c_str(),
                   static_cast<unsigned>(eglGetError()));
      o.failed = true;
    }
    frameDone(&o);
  }
  int64_t nowMicros() override { return monotonicMicros(); }
  // Requests go out first; then the wait on the connection, the stop signals and the deadline.
  void waitUntil(int64_t deadline) override {
    if (wl_display_prepare_read(host_->display) != 0) return;
    if (wl_display_flush(host_->display) < 0) {
      if (errno != EAGAIN) {
        wl_display_cancel_read(host_->display);
        lost();
        return;
      }
      // The socket is full: the rest goes out on the next wait, soon.
      deadline = std::min(deadline, monotonicMicros() + 1000);
    }
    waitForConnection(wl_display_get_fd(host_->display), deadline, openMask_);
    // Reads what came, if anything (the socket does not block).
    if (wl_display_read_events(host_->display) < 0) lost();
  }

 private:
  EventStep lost() {
    host_->connectionLost = true;
    return EventStep::Stop;
  }
  void frameDone(Output* o) {
    o->cpuSeconds += clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - o->frameCpuStart;
    if (!host_->options->fps) return;
    char line[128];
    if (o->meter.frame(clockSeconds(CLOCK_MONOTONIC), o->cpuSeconds, line, sizeof line)) {
      std::fprintf(stderr, "%s on %s\n", line, outputLabel(*o).c_str());
    }
  }

  WaylandHost* host_;
  const sigset_t* openMask_;
};

void releaseAll(WaylandHost* host) {
  for (auto& o : host->outputs) releaseOutput(host, o.get());
  host->outputs.clear();
  if (host->keyboard != nullptr) wl_keyboard_destroy(host->keyboard);
  if (host->pointer != nullptr) wl_pointer_destroy(host->pointer);
  if (host->seat != nullptr) wl_seat_destroy(host->seat);
  if (host->layerShell != nullptr) zwlr_layer_shell_v1_destroy(host->layerShell);
  if (host->compositor != nullptr) wl_compositor_destroy(host->compositor);
  if (host->registry != nullptr) wl_registry_destroy(host->registry);
  if (host->eglReady) eglTerminate(host->egl);
  if (!host->connectionLost) wl_display_flush(host->display);
  wl_display_disconnect(host->display);
}

}  // namespace

int runWaylandHost(const ModuleOptions& options, const sigset_t* openMask) {
  WaylandHost host;
  host.options = &options;
  host.frameWord = frameWordFor(options.mirrors ? 1 : 0);
  // The connection a lock screen hands over in WAYLAND_SOCKET, else the one WAYLAND_DISPLAY names.
  host.display = wl_display_connect(nullptr);
  if (host.display == nullptr) {
    const char* socket = std::getenv("WAYLAND_SOCKET");
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "orvane: cannot connect to a Wayland compositor (%s%s)\n",
                 socket ? "WAYLAND_SOCKET " : name ? "WAYLAND_DISPLAY " : "WAYLAND_DISPLAY is not set",
                 socket ? socket : name ? name : "");
    return 1;
  }
  host.registry = wl_display_get_registry(host.display);
  wl_registry_add_listener(host.registry, &kRegistryListener, &host);
  if (wl_display_roundtrip(host.display) < 0) {
    std::fprintf(stderr, "orvane: the Wayland compositor closed the connection\n");
    host.connectionLost = true;
    releaseAll(&host);
    return 1;
  }
  if (host.compositor == nullptr || host.layerShell == nullptr) {
    std::fprintf(stderr,
                 "orvane: this Wayland compositor has no layer shell (zwlr_layer_shell_v1), so nothing can cover "
                 "its outputs; GNOME has none: use an X11 session or another desktop (sway, Hyprland, KDE Plasma)\n");
    releaseAll(&host);
    return 1;
  }
  if (!setUpEgl(&host)) {
    releaseAll(&host);
    return 1;
  }
  // Every output's scene gets the props of one reading of the prop file, whenever its
  // output comes.
  keepPropAtlasPixels();
  for (auto& o : host.outputs) addLayerSurface(&host, o.get());

  FramePace pace;
  pace.refreshHz = -1;  // the compositor's frame callbacks set the pace
  pace.maxFps = options.maxFps;
  pace.minDelayMicros = options.delayGiven ? options.delayMicroseconds : 0;
  FramePacer pacer;
  pacer.setPeriod(framePeriodMicros(pace));
  WaylandLoop loop(&host, openMask);
  runFrameLoop(loop, pacer);

  const bool lost = host.connectionLost;
  const int error = lost ? wl_display_get_error(host.display) : 0;
  releaseAll(&host);
  releasePropAtlasPixels();
  if (!lost) return 0;
  // A lock screen ends its background by closing the connection: that is the normal end.
  if (options.background && error != EPROTO) return 0;
  std::fprintf(stderr, "orvane: the connection to the Wayland compositor was lost (%s)\n",
               error != 0 ? std::strerror(error) : "closed");
  return 1;
}
