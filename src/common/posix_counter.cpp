#include <time.h>

#include "common/counter.h"

namespace {
bool monotonicFrequency(int64_t* countsPerSecond) {
  *countsPerSecond = 1000000000;
  return true;
}
bool monotonicNow(int64_t* counts) {
  timespec ts{};
  if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return false;
  *counts = static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
  return true;
}
uint32_t monotonicMilliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + ts.tv_nsec / 1000000);
}
const CounterSource platform{monotonicFrequency, monotonicNow, monotonicMilliseconds};
}  // namespace

const CounterSource* counterPlatformSource() { return &platform; }

#include "common/counter_dispatch.inc"
