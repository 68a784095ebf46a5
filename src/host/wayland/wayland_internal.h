#pragma once
// What the Wayland host's files share: the connection and its globals (wayland_connection),
// the outputs and their surfaces (wayland_outputs), the seat's input (wayland_input).
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/frame_loop.h"
#include "host/linux/frame_meter.h"
#include "host/linux/module_options.h"
#include "host/linux/power_state.h"
#include "host/wayland/output_frames.h"

struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct wp_viewporter;
struct wp_viewport;
class MirrorScene;
struct WaylandHost;

// One output and what draws on it.
struct Output {
  WaylandHost* host = nullptr;
  uint32_t globalName = 0;
  wl_output* output = nullptr;
  std::string name;          // the compositor's name for it, when it tells one
  int32_t pendingScale = 1;  // wl_output.scale, applied at the output's next done
  int32_t scale = 1;
  int32_t scale120 = 0;      // the surface's fractional scale, 0 until the compositor tells one
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  wp_fractional_scale_v1* fractional = nullptr;
  wp_viewport* viewport = nullptr;
  wl_callback* frameCallback = nullptr;
  wl_egl_window* eglWindow = nullptr;
  EGLSurface eglSurface = EGL_NO_SURFACE;
  EGLContext context = EGL_NO_CONTEXT;
  MirrorScene* scene = nullptr;
  OutputFrames frames;
  SurfaceRetry retry;
  bool failed = false;         // no drawing surface could be made: the output stays as it is
  bool wantSurface = false;    // its surface was closed: made again when the output announces itself
  bool announced = false;      // a done came since the close
  FrameMeter meter;
  double cpuSeconds = 0.0;     // process CPU time spent drawing and presenting its frames
  double frameCpuStart = 0.0;
};

struct WaylandHost {
  const ModuleOptions* options = nullptr;
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  zwlr_layer_shell_v1* layerShell = nullptr;
  wp_fractional_scale_manager_v1* fractionalScale = nullptr;
  wp_viewporter* viewporter = nullptr;
  wl_seat* seat = nullptr;
  wl_keyboard* keyboard = nullptr;
  wl_pointer* pointer = nullptr;
  wl_touch* touch = nullptr;
  EGLDisplay egl = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  bool eglReady = false;
  bool surfacesBegun = false;  // the first outputs have their surfaces; later ones get theirs at once
  std::vector<std::unique_ptr<Output>> outputs;
  PointerWatch pointerWatch;
  bool inputEnded = false;
  bool connectionLost = false;
  bool nothingToShow = false;  // the saver: every output failed to get a drawing surface
  uint32_t frameWord = 0;
};

// wayland_outputs.cpp
extern const wl_output_listener kOutputListener;
// The output's layer surface, committed without a buffer so that the compositor configures it.
void addLayerSurface(WaylandHost* host, Output* o);
// Makes the surfaces that were closed and whose output has announced itself since, once
// their backoff has passed; the earliest time one is still waiting for (kNoDeadline: none).
int64_t remakeClosedSurfaces(WaylandHost* host, int64_t now);
// The output cannot draw (EGL refused its surface, or it cannot present): it stays as it
// is. In the saver role, once every output has failed so, the saver has nothing to show.
void outputFailed(WaylandHost* host, Output* o);
// Notes whether, in the saver role, every output there is has failed so.
void checkSomethingToShow(WaylandHost* host);
// The output's name and buffer size, for its lines on stderr.
std::string outputLabel(const Output& o);
// Releases the output's drawing and surfaces, and the output itself.
void releaseOutput(WaylandHost* host, Output* o);
// Asks the frame callback that paces the output's next frame (before its frame goes out).
void askFrameCallback(Output* o);

// wayland_input.cpp
extern const wl_seat_listener kSeatListener;
void releaseInput(WaylandHost* host);

// The EGL context attributes every output's context is made with.
extern const EGLint kContextAttributes[];
