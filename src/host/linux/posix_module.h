#pragma once
// What the Linux programs that draw the kaleidoscope on a desktop share, whatever their
// display system: the stop signals, the prop files they try, the monotonic clock and a wait
// that wakes for the display's connection, a stop signal or a deadline.
#include <signal.h>

#include <cstdint>
#include <string>

#include "host/linux/module_options.h"

// The stop signals (SIGTERM, SIGINT, SIGHUP) are held back from here on, before any thread
// exists (the GL driver starts some), so that only waitForConnection takes them. Returns
// the mask that wait opens: the present one without the stop signals. SIGPIPE is ignored:
// a write to a dead connection is reported by the connection's own calls instead.
sigset_t holdStopSignals();
// The stop signal taken so far (0: none).
int takenStopSignal();

// Hands the prop files to try to the atlas builder: the one the options name (a warning on
// stderr when it does not open), else the places a Linux desktop has, the installed samples
// (found from where the program lies, `samplesFromProgram` relative to its folder) last.
void choosePropFiles(const ModuleOptions& options, const char* samplesFromProgram);

// CLOCK_MONOTONIC in microseconds.
int64_t monotonicMicros();
// A clock's reading in seconds (wall or process CPU time, for the --fps line).
double clockSeconds(clockid_t clock);

// Waits until `fd` can be read, a stop signal comes (the signals of `openMask` let in) or
// CLOCK_MONOTONIC reaches `deadlineMicros` (kNoDeadline: no deadline), whichever is first.
// `fd` < 0 waits for the signals and the deadline only.
void waitForConnection(int fd, int64_t deadlineMicros, const sigset_t* openMask);
