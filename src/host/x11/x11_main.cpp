// orvane: the kaleidoscope as a module of the X11 screen-saver daemon.
//
// It draws into the daemon's window (--root), a window named by id, or a window of its own,
// with the same scene, effect and frame loop as the Windows saver: events first, then one
// frame, a swap when the scene asks for it, and the sleep. SIGTERM, SIGINT and SIGHUP end
// it at once with exit code 0, the context released.
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "host/frame_loop.h"
#include "host/posix_home.h"
#include "host/x11/frame_meter.h"
#include "host/x11/module_options.h"
#include "host/prop_places.h"
#include "host/x11/x11_fps_overlay.h"
#include "host/x11/x11_host.h"
#include "props/prop_atlas.h"
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

volatile sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) { stopSignal = signal; }

// Errors of requests already sent (a window destroyed while a frame was on its way) are
// not fatal: the window's end arrives as an event and ends the loop.
int onXError(Display*, XErrorEvent*) { return 0; }

// The connection is gone (the server ended or the display closed): nothing can be drawn or
// released any more, so the process ends at once, quietly, as the session it served did.
int onXIoError(Display*) { _exit(0); }

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The installed sample prop file, found from where the program lies, so that an install
// under any prefix (or unpacked anywhere) finds its own samples.
std::string samplesPath() {
  char program[4096];
  const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
  if (length <= 0) return "";
  program[length] = '\0';
  std::string folder(program);
  folder.erase(folder.rfind('/') + 1);
  return folder + ORVANE_SAMPLES_FROM_PROGRAM;
}

double clockSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Sleeps the frame delay with the stop signals let through, so that one arriving during the
// sleep ends it at once. Outside this call they are held back: a signal that arrives while a
// frame draws is taken here, right after the frame.
void sleepLettingSignalsIn(int64_t microseconds, const sigset_t* openMask) {
  timespec wait{};
  wait.tv_sec = static_cast<time_t>(microseconds / 1000000);
  wait.tv_nsec = static_cast<long>(microseconds % 1000000) * 1000;
  ppoll(nullptr, 0, &wait, openMask);
}

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

// The stop signals are held back from here on, before any thread exists (the GL driver
// starts some), so that only the loop's sleep takes them. Returns the mask the sleep
// opens: the present one without the stop signals.
sigset_t holdStopSignals() {
  sigset_t stopSet, openMask;
  sigemptyset(&stopSet);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stopSet, s);
  sigprocmask(SIG_BLOCK, &stopSet, &openMask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigdelset(&openMask, s);
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
  // A write to a dead connection is reported through the I/O error handler instead.
  signal(SIGPIPE, SIG_IGN);
  return openMask;
}

// The prop files the atlas builder tries: the one named (a warning when it does not open),
// else the places a Linux desktop has.
void choosePropFiles(const ModuleOptions& options) {
  if (!options.props.empty()) {
    if (FILE* f = std::fopen(options.props.c_str(), "rb")) {
      std::fclose(f);
    } else {
      std::fprintf(stderr, "orvane: cannot open '%s' (%s): no sprites\n", options.props.c_str(), std::strerror(errno));
    }
    setPropFileCandidates({options.props});
    return;
  }
  PropPlaceInputs places;
  places.xdgDataHome = environment("XDG_DATA_HOME");
  places.home = posixHomeFolder();
  places.winePrefix = environment("WINEPREFIX");
  places.samples = samplesPath();
  setPropFileCandidates(linuxPropPlaces(places));
}

// The module's turn of the frame loop: the window's events (and the stop signals), its
// one scene with the --fps line, the GLX swap and the frame delay.
class ModuleLoop : public FrameLoopHost {
 public:
  ModuleLoop(Display* display, ModuleWindowState* window, MirrorScene* scene, const ModuleOptions& options,
             const sigset_t* openMask)
      : display_(display), window_(window), scene_(scene), options_(options), openMask_(openMask),
        frameWord_(frameWordFor(options.mirrors ? 1 : 0)) {
    if (options.fps) overlay_.init(display);
  }
  ~ModuleLoop() override { overlay_.destroy(); }

  EventStep takeEvent() override {
    if (stopSignal != 0 || outcome.stop) return EventStep::Stop;
    if (XPending(display_) <= 0) return EventStep::Idle;
    XEvent event;
    XNextEvent(display_, &event);
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
  void sleep() override { sleepLettingSignalsIn(options_.delayMicroseconds, openMask_); }

  EventOutcome outcome;

 private:
  Display* display_;
  ModuleWindowState* window_;
  MirrorScene* scene_;
  const ModuleOptions& options_;
  const sigset_t* openMask_;
  const uint32_t frameWord_;
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
  ModuleLoop loop(display, window, scene, options, openMask);
  runFrameLoop(loop);
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
  choosePropFiles(options);
  const uint32_t seed = moduleSeed(options, static_cast<uint32_t>(time(nullptr)), static_cast<uint32_t>(getpid()));
  renderer::setSeedOverride(&seed);

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
