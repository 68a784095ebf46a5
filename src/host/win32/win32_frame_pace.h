#pragma once
// The Windows saver's pace, gathered from the system.
#include <cstdint>

// The performance counter in microseconds (the tick count where there is none).
int64_t PerformanceCounterMicros();
// Returns at `deadlineMicros` on the saverClockMicros clock or when a message comes,
// whichever is first (kNoDeadline: when a message comes). The wait uses a high-resolution
// waitable timer where the system has one.
void WaitForFrameOrMessage(int64_t deadlineMicros);
// The primary display's refresh in hertz as the system reports it (0 or 1: the hardware's
// default; 0 also when it cannot be read).
int32_t PrimaryRefreshHz();
// Sets the swap interval of the current context; true when the driver took it.
bool SetCurrentSwapInterval(int interval);
// Whether the saver draws at the power-saving pace now (the setting and the power source).
bool SystemSavingPower();
