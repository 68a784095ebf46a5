#pragma once
// The Linux module's X11 side: the window it draws into and its GLX context.
#include <X11/Xlib.h>
#include <GL/glx.h>

#include <cstdint>
#include <string>

#include "host/linux/module_options.h"

struct ModuleWindowState {
  Display* display = nullptr;
  Window window = 0;
  bool own = false;            // made here (and destroyed here); else another client's
  Colormap colormap = 0;       // the own window's colormap
  Atom deleteWindow = 0;       // WM_DELETE_WINDOW, for the own window
  GLXContext context = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// Finds or makes the window the options name and makes a double-buffered RGBA GLX context
// current on it, in the visual of that window. `daemonWindow` is $XSCREENSAVER_WINDOW (null
// when unset). On failure returns false with one line in `error` and nothing left open
// but the display.
bool openModuleWindow(Display* display, const ModuleOptions& options, const char* daemonWindow,
                      ModuleWindowState* state, std::string* error);

// Releases the context, and destroys the window when it is the module's own. A window
// already destroyed by someone else (`windowGone`) is not touched again.
void closeModuleWindow(ModuleWindowState* state, bool windowGone);

// The refresh in hertz of the output under the middle of `window` (RandR); 0 when it cannot
// be told (no RandR, no output there, a mode without timings, as Xvfb's).
int32_t moduleWindowRefreshHz(Display* display, Window window);
// Asks RandR for the changes of the screen's outputs (a new mode, a new layout) on
// `window`'s root; the event base to hand to isModeChange, or -1 without RandR.
int watchModeChanges(Display* display, Window window);
// Whether `event` is such a change (the library's idea of the screen is brought up to date).
bool isModeChange(XEvent* event, int eventBase);
// Asks GLX for `interval` refreshes between presents on `window` (the context current);
// true when the server offers a swap-control extension and took the request.
bool setModuleSwapInterval(Display* display, Window window, int interval);
