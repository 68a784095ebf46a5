#pragma once
// The high-resolution counter seam. Production reads the platform's counter
// (QueryPerformanceCounter on Windows, CLOCK_MONOTONIC elsewhere); tests and the
// headless renderer install a source of their own to drive time exactly.
#include <cstdint>

struct CounterSource {
  // Counts per second; false when the platform has no high-resolution counter.
  bool (*frequency)(int64_t* countsPerSecond);
  // The counter now; false when it cannot be read.
  bool (*now)(int64_t* counts);
  // A millisecond tick (wraps at 2^32), the fallback when there is no counter.
  uint32_t (*milliseconds)();
};

// Installs a source; nullptr restores the platform's own.
void counterSetSource(const CounterSource* source);

bool counterQueryFrequency(int64_t* countsPerSecond);
bool counterQueryNow(int64_t* counts);
uint32_t counterMilliseconds();

// The platform's own source.
const CounterSource* counterPlatformSource();
