// orvane --wayland: the kaleidoscope on every output of a compositor with the layer shell.
//
// Each output gets one layer surface (overlay, or background with --background) anchored to
// all four edges at size 0 x 0, so the compositor gives it the output's size; each surface
// its wl_egl_window at the output's physical size, its own desktop OpenGL compatibility
// context and its own scene (wayland_outputs). The compositor paces the frames: an output's
// next frame is drawn when the callback asked with its last one has come; on battery the
// frame loop holds them to 30 a second. Outputs that come while it runs get their surface;
// outputs that go take theirs with them. A key, a button, a touch, a scroll or a pointer
// moved too far ends the saver (wayland_input); the background runs until a signal or the
// connection's end. This file holds the connection, its globals, EGL and the frame loop.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/linux/posix_module.h"
#include "host/wayland/wayland_host.h"
#include "host/wayland/wayland_internal.h"
#include "props/prop_atlas_gl.h"
#include "scene/mirror_scene.h"
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"

const EGLint kContextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                     EGL_NONE};

namespace {

// ------------------------------------------------------------------ globals

template <typename T>
T* bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered, uint32_t wanted) {
  return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  WaylandHost* host = static_cast<WaylandHost*>(data);
  const std::string what = interface;
  if (what == wl_compositor_interface.name && host->compositor == nullptr) {
    host->compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
  } else if (what == zwlr_layer_shell_v1_interface.name && host->layerShell == nullptr) {
    host->layerShell = bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 4);
  } else if (what == wp_fractional_scale_manager_v1_interface.name && host->fractionalScale == nullptr) {
    host->fractionalScale =
        bind<wp_fractional_scale_manager_v1>(registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
  } else if (what == wp_viewporter_interface.name && host->viewporter == nullptr) {
    host->viewporter = bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
  } else if (what == wl_seat_interface.name && host->seat == nullptr && !host->options->background) {
    // One seat: the one the person at the screen uses. The background takes no input.
    host->seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
    wl_seat_add_listener(host->seat, &kSeatListener, host);
  } else if (what == wl_output_interface.name) {
    std::unique_ptr<Output> o(new (std::nothrow) Output());
    if (!o) return;
    o->host = host;
    o->globalName = name;
    o->output = bind<wl_output>(registry, name, &wl_output_interface, version, 4);
    wl_output_add_listener(o->output, &kOutputListener, o.get());
    // An output that comes while the saver runs gets its surface at once; the first ones
    // get theirs once every global and their scales are known.
    if (host->surfacesBegun) addLayerSurface(host, o.get());
    host->outputs.push_back(std::move(o));
  }
}

void onGlobalRemove(void* data, wl_registry*, uint32_t name) {
  WaylandHost* host = static_cast<WaylandHost*>(data);
  for (size_t i = 0; i < host->outputs.size(); ++i) {
    if (host->outputs[i]->globalName == name) {
      releaseOutput(host, host->outputs[i].get());
      host->outputs.erase(host->outputs.begin() + static_cast<std::ptrdiff_t>(i));
      checkSomethingToShow(host);
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
  WaylandLoop(WaylandHost* host, const sigset_t* openMask, FramePacer* pacer)
      : host_(host), openMask_(openMask), pacer_(pacer), power_(host->options->savePower) {
    pace_.refreshHz = -1;  // the compositor's frame callbacks set the pace
    pace_.maxFps = host->options->maxFps;
    pace_.minDelayMicros = host->options->delayGiven ? host->options->delayMicroseconds : 0;
    power_.update(monotonicMicros());
    pace_.savePower = power_.onBattery();
    pacer_->setPeriod(framePeriodMicros(pace_));
  }

  // Queued events first; then what the connection holds, read without waiting.
  EventStep takeEvent() override {
    if (takenStopSignal() != 0 || host_->inputEnded || host_->connectionLost || host_->nothingToShow) {
      return EventStep::Stop;
    }
    const int64_t now = monotonicMicros();
    if (power_.update(now)) {
      pace_.savePower = power_.onBattery();
      pacer_->setPeriod(framePeriodMicros(pace_));
    }
    remade_ = remakeClosedSurfaces(host_, now);
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
    askFrameCallback(&o);
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
      outputFailed(host_, &o);
    }
    frameDone(&o);
  }
  int64_t nowMicros() override { return monotonicMicros(); }
  // Requests go out first; then the wait on the connection, the stop signals and the
  // deadline (no later than a closed surface may be made again, nor than the next look at
  // the power source).
  void waitUntil(int64_t deadline) override {
    deadline = std::min(deadline, remade_);
    if (host_->options->savePower) deadline = std::min(deadline, monotonicMicros() + kPowerCheckMicros);
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
  FramePacer* pacer_;
  FramePace pace_;
  PowerWatch power_;
  int64_t remade_ = kNoDeadline;
};

// One saver per compositor: an idle daemon that starts the saver again while one still shows
// (the person moved the pointer a little, which is no longer idle but does not end the saver)
// gets no second one on top. The lock is a file in the runtime folder named after the
// display, held while the saver runs; -1 when one is held already, else its descriptor (or
// -2 when no lock could be made, which does not stop the saver).
int holdSaverLock() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* display = std::getenv("WAYLAND_DISPLAY");
  if (runtime == nullptr || *runtime != '/') return -2;
  std::string name = display != nullptr && *display != '\0' ? display : "wayland-0";
  std::replace(name.begin(), name.end(), '/', '_');
  const std::string path = std::string(runtime) + "/orvane-saver-" + name + ".lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return -2;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  const bool held = errno == EWOULDBLOCK;
  close(fd);
  return held ? -1 : -2;
}

void releaseAll(WaylandHost* host) {
  for (auto& o : host->outputs) releaseOutput(host, o.get());
  host->outputs.clear();
  releaseInput(host);
  if (host->fractionalScale != nullptr) wp_fractional_scale_manager_v1_destroy(host->fractionalScale);
  if (host->viewporter != nullptr) wp_viewporter_destroy(host->viewporter);
  if (host->layerShell != nullptr) zwlr_layer_shell_v1_destroy(host->layerShell);
  if (host->compositor != nullptr) wl_compositor_destroy(host->compositor);
  if (host->registry != nullptr) wl_registry_destroy(host->registry);
  if (host->eglReady) eglTerminate(host->egl);
  if (!host->connectionLost) wl_display_flush(host->display);
  wl_display_disconnect(host->display);
}

// The host's whole run on one connection; the program's exit code.
int runWaylandHostOnce(const ModuleOptions& options, const sigset_t* openMask) {
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
  // The globals, then what the outputs bound with them tell (their scales).
  if (wl_display_roundtrip(host.display) < 0 || wl_display_roundtrip(host.display) < 0) {
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
  host.surfacesBegun = true;
  for (auto& o : host.outputs) addLayerSurface(&host, o.get());

  FramePacer pacer;
  WaylandLoop loop(&host, openMask, &pacer);
  runFrameLoop(loop, pacer);

  const bool lost = host.connectionLost;
  const bool nothingToShow = host.nothingToShow;
  const int error = lost ? wl_display_get_error(host.display) : 0;
  releaseAll(&host);
  releasePropAtlasPixels();
  if (nothingToShow) {
    std::fprintf(stderr, "orvane: no output could get a drawing surface, so nothing covers the screen\n");
    return 1;
  }
  if (!lost) return 0;
  // A lock screen ends its background by closing the connection: that is the normal end.
  if (options.background && error != EPROTO) return 0;
  std::fprintf(stderr, "orvane: the connection to the Wayland compositor was lost (%s)\n",
               error != 0 ? std::strerror(error) : "closed");
  return 1;
}

}  // namespace

int runWaylandHost(const ModuleOptions& options, const sigset_t* openMask) {
  const int saverLock = options.background ? -2 : holdSaverLock();
  if (saverLock == -1) {
    std::fprintf(stderr, "orvane: the saver already shows on this display\n");
    return 0;
  }
  const int code = runWaylandHostOnce(options, openMask);
  if (saverLock >= 0) close(saverLock);
  return code;
}
