// orvane: the kaleidoscope as a module of the X11 screen-saver daemon.
//
// It draws into the daemon's window (--root), a window named by id, or a window of its own,
// with the same scene, effect and frame loop as the Windows saver: events first, then one
// frame, a swap when the scene asks for it, and a wait until the next frame is due (the
// display's refresh, --max-fps and --delay set the pace). SIGTERM, SIGINT and SIGHUP end
// it at once with exit code 0, the context released. With --wayland the program is the
// Wayland host instead (host/wayland), with the same options, scene and frame loop.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "host/frame_loop.h"
#include "host/linux/posix_module.h"
#include "host/wayland/wayland_host.h"
#include "host/linux/frame_meter.h"
#include "host/linux/module_options.h"
#include "host/linux/power_state.h"
#include "host/x11/x11_fps_overlay.h"
#include "host/x11/x11_host.h"
#include "scene/mirror_scene.h"
#include "scene/process_state.h"

// The installed samples, relative to the folder the program is installed in.
#ifndef ORVANE_SAMPLES_FROM_PROGRAM
#define ORVANE_SAMPLES_FROM_PROGRAM "../../share/orvane/props.prp"
#endif
#ifndef ORVANE_VERSION
#define ORVANE_VERSION "1.0"
#endif

namespace {

// Errors of requests already sent (a window destroyed while a frame was on its way) are
// not fatal: the window's end arrives as an event and ends the loop.
int onXError(Display*, XErrorEvent*) { return 0; }

// The connection is gone (the server ended or the display closed): nothing can be drawn or
// released any more, so the process ends at once, quietly, as the session it served did.
int onXIoError(Display*) { _exit(0); }

// What the window's events ask for.
struct EventOutcome {
  bool stop = false;
  bool windowGone = false;
};

void handleEvent(const XEvent& event, ModuleWindowState* w, MirrorScene* scene, EventOutcome* out) {
  if (event.xany.window != w->window) return;
  switch (event.type) {
    case ConfigureNotify:
      if (event.xconfigure.width != w->width || event.xconfigure.height != w->height) {
        w->width = event.xconfigure.width;
        w->height = event.xconfigure.height;
        scene->reshape(w->width, w->height);
      }
      break;
    case DestroyNotify:
      out->stop = true;
      out->windowGone = true;
      break;
    case KeyPress:
    case ButtonPress:
      // Only the own window asks for input: trying the module out ends with a key or a click.
      if (w->own) out->stop = true;
      break;
    case ClientMessage:
      if (w->own && event.xclient.format == 32 && static_cast<Atom>(event.xclient.data.l[0]) == w->deleteWindow) {
        out->stop = true;
      }
      break;
    default:
      break;  // exposures need nothing: every frame redraws the whole window
  }
}

// The module's turn of the frame loop: the window's events (and the stop signals), its
// one scene with the --fps line, the GLX swap, and a wait on the connection until the next
// frame is due. The pace is the refresh of the output the window is on (taken again when
// RandR reports a change of mode), the swap interval where GLX offers one, the power source
// (looked at again every few seconds), --max-fps and --delay as limits.
class ModuleLoop : public FrameLoopHost {
 public:
  ModuleLoop(Display* display, ModuleWindowState* window, MirrorScene* scene, const ModuleOptions& options,
             const sigset_t* openMask, FramePacer* pacer)
      : display_(display), window_(window), scene_(scene), options_(options), openMask_(openMask),
        frameWord_(frameWordFor(options.mirrors ? 1 : 0)), pacer_(pacer), power_(options.savePower) {
    if (options.fps) overlay_.init(display);
    randrBase_ = watchModeChanges(display, window->window);
    pace_.refreshHz = moduleWindowRefreshHz(display, window->window);
    pace_.presentsWaitForRefresh = setModuleSwapInterval(display, window->window, 1);
    pace_.maxFps = options.maxFps;
    pace_.minDelayMicros = options.delayMicroseconds;
    power_.update(monotonicMicros());
    pace_.savePower = power_.onBattery();
    pacer_->setPeriod(framePeriodMicros(pace_));
  }
  ~ModuleLoop() override { overlay_.destroy(); }

  EventStep takeEvent() override {
    if (takenStopSignal() != 0 || outcome.stop) return EventStep::Stop;
    if (power_.update(monotonicMicros())) {
      pace_.savePower = power_.onBattery();
      pacer_->setPeriod(framePeriodMicros(pace_));
    }
    if (XPending(display_) <= 0) return EventStep::Idle;
    XEvent event;
    XNextEvent(display_, &event);
    if (isModeChange(&event, randrBase_)) {
      pace_.refreshHz = moduleWindowRefreshHz(display_, window_->window);
      pacer_->setPeriod(framePeriodMicros(pace_));
      return EventStep::Handled;
    }
    handleEvent(event, window_, scene_, &outcome);
    return EventStep::Handled;
  }
  int32_t sceneCount() override { return 1; }
  // The frame, and with --fps the meter's latest line over it, in the buffer the frame went
  // to (drawn on every frame until the next line replaces it).
  bool renderFrame(int32_t) override {
    const bool swap = scene_->renderFrame(frameWord_);
    if (options_.fps) {
      if (meter_.frame(clockSeconds(CLOCK_MONOTONIC), clockSeconds(CLOCK_PROCESS_CPUTIME_ID), fpsLine_, sizeof fpsLine_)) {
        std::fprintf(stderr, "%s\n", fpsLine_);
      }
      overlay_.draw(fpsLine_, window_->width, window_->height);
    }
    return swap;
  }
  void swapBuffers(int32_t) override { glXSwapBuffers(display_, window_->window); }
  int64_t nowMicros() override { return monotonicMicros(); }
  // Requests still buffered go out first: the server must have the frame before the wait.
  void waitUntil(int64_t deadline) override {
    XFlush(display_);
    if (XPending(display_) > 0) return;
    waitForConnection(ConnectionNumber(display_), deadline, openMask_);
  }

  EventOutcome outcome;

 private:
  Display* display_;
  ModuleWindowState* window_;
  MirrorScene* scene_;
  const ModuleOptions& options_;
  const sigset_t* openMask_;
  const uint32_t frameWord_;
  FramePacer* pacer_;
  FramePace pace_;
  PowerWatch power_;
  int randrBase_ = -1;
  FrameMeter meter_;
  X11FpsOverlay overlay_;
  char fpsLine_[128] = "";
};

// Sets a scene up in the window and runs the loop until a stop; true when the window was
// destroyed by someone else meanwhile. Without a scene there is nothing to draw: the
// module ends as if it had been told to.
bool runScene(Display* display, ModuleWindowState* window, const ModuleOptions& options, const sigset_t* openMask) {
  MirrorScene* scene = new (std::nothrow) MirrorScene();
  if (!scene) return false;
  scene->setUp(window->width, window->height);
  scene->speedPercent = options.speedPercent;
  FramePacer pacer;
  ModuleLoop loop(display, window, scene, options, openMask, &pacer);
  runFrameLoop(loop, pacer);
  scene->destroy();
  delete scene;
  return loop.outcome.windowGone;
}

}  // namespace

int main(int argc, char** argv) {
  const ModuleOptions options = parseModuleOptions(argc - 1, argv + 1);
  switch (options.action) {
    case ModuleAction::Help:
      std::fputs(moduleUsage(), stdout);
      return 0;
    case ModuleAction::Version:
      std::printf("orvane %s\n", ORVANE_VERSION);
      return 0;
    case ModuleAction::Error:
      std::fprintf(stderr, "orvane: %s (see orvane --help)\n", options.error.c_str());
      return 1;
    case ModuleAction::Run:
      break;
  }
  const sigset_t openMask = holdStopSignals();
  choosePropFiles(options, ORVANE_SAMPLES_FROM_PROGRAM);
  const uint32_t seed = moduleSeed(options, static_cast<uint32_t>(time(nullptr)), static_cast<uint32_t>(getpid()));
  renderer::setSeedOverride(&seed);
  if (options.wayland) return runWaylandHost(options, &openMask);

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "orvane: cannot open display '%s'\n", XDisplayName(nullptr));
    return 1;
  }
  XSetErrorHandler(onXError);
  XSetIOErrorHandler(onXIoError);

  ModuleWindowState window;
  std::string error;
  const char* daemonWindow = std::getenv("XSCREENSAVER_WINDOW");
  if (!openModuleWindow(display, options, daemonWindow, &window, &error)) {
    std::fprintf(stderr, "orvane: %s\n", error.c_str());
    XCloseDisplay(display);
    return 1;
  }
  const bool windowGone = runScene(display, &window, options, &openMask);
  closeModuleWindow(&window, windowGone);
  XCloseDisplay(display);
  return 0;
}
