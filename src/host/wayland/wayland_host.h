#pragma once
// The Wayland host of the `orvane` program: one layer surface, context and scene on every
// output of a compositor with the layer shell. No Wayland or EGL types here, so that the
// program's main can call it.
#include <signal.h>

#include "host/linux/module_options.h"

// Runs the kaleidoscope on the compositor's outputs until input (unless options.background),
// a stop signal or the connection's end; returns the program's exit code. Every failure is
// one line on stderr and code 1. `openMask` is what holdStopSignals returned.
int runWaylandHost(const ModuleOptions& options, const sigset_t* openMask);
