#pragma once
// The Windows saver's pace, gathered from the system.
#include <windows.h>

#include <cstdint>

// The performance counter in microseconds (the tick count where there is none).
int64_t PerformanceCounterMicros();
// Returns at `deadlineMicros` on the saverClockMicros clock or when a message comes to the
// calling thread, whichever is first (kNoDeadline: when a message comes). The wait uses a
// high-resolution waitable timer of the thread's own where the system has one.
void WaitForFrameOrMessage(int64_t deadlineMicros);
// Closes the calling thread's timer, if it made one (a drawing thread that ends).
void ReleaseFrameTimer();
// A monitor's refresh as the system reports it: the rational rate of the active display
// path whose source is the monitor's device (so 59.94 Hz is not 59), else the device's
// current mode's frequency in hertz; both 0 when neither can be read (the hardware's
// default, taken as 60).
struct DisplayRefresh {
  uint32_t numerator;
  uint32_t denominator;
  int32_t hz;
};
DisplayRefresh MonitorRefresh(HMONITOR monitor);
// Sets the swap interval of the current context; true when the driver took it.
bool SetCurrentSwapInterval(int interval);
// Whether the saver draws at the power-saving pace now, asked of the system at once (the
// setting, the power source and the battery saver): the preview, which gets no power
// broadcasts, looks on its wake-ups.
bool SystemSavingPower();
