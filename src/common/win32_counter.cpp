#include <windows.h>

#include "common/counter.h"

namespace {
bool performanceFrequency(int64_t* countsPerSecond) {
  LARGE_INTEGER f;
  if (!QueryPerformanceFrequency(&f)) return false;
  *countsPerSecond = f.QuadPart;
  return true;
}
bool performanceNow(int64_t* counts) {
  LARGE_INTEGER c;
  if (!QueryPerformanceCounter(&c)) return false;
  *counts = c.QuadPart;
  return true;
}
uint32_t tickMilliseconds() { return GetTickCount(); }
const CounterSource platform{performanceFrequency, performanceNow, tickMilliseconds};
}  // namespace

const CounterSource* counterPlatformSource() { return &platform; }

#include "common/counter_dispatch.inc"
