#include "sim_counter.h"

#include "common/counter.h"

namespace {
int64_t simFrequency = 0;
int64_t simNow = 0;
uint32_t simTick = 0;

bool frequency(int64_t* countsPerSecond) {
  *countsPerSecond = simFrequency;
  return simFrequency > 0;
}
bool now(int64_t* counts) {
  *counts = simNow;
  return true;
}
uint32_t tick() { return simTick; }

const CounterSource simulated{frequency, now, tick};
}  // namespace

void simCounterInstall(int64_t countsPerSecond) {
  simFrequency = countsPerSecond;
  simNow = 0;
  simTick = 0;
  counterSetSource(&simulated);
}

void simCounterRemove() { counterSetSource(nullptr); }
void simCounterSet(int64_t counts) { simNow = counts; }
void simCounterSetTick(uint32_t milliseconds) { simTick = milliseconds; }
