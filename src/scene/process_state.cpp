#include "scene/process_state.h"

#include <ctime>
#include <mutex>

#include "common/counter.h"
#include "common/random.h"
#include "scene/frame_clock.h"

namespace renderer {

bool clockStarted = false;
int64_t counterStart = 0;
int64_t counterFrequency = 0;
bool clockUsesTick = false;
uint32_t lastTick = 0;
int64_t tickElapsedMs = 0;

namespace {
// Scenes on several threads share the clock and the seeding: its start, the tick count it
// may run on and the seeding happen under this lock. (Reading the counter needs none: its
// start values are written once, before any scene draws.)
std::mutex processState;
bool seedFixed = false;
uint32_t fixedSeed = 0;
bool generatorSeeded = false;
}  // namespace

bool startProcessClock() {
  const std::lock_guard<std::mutex> hold(processState);
  if (clockStarted) return false;
  clockStarted = true;
  int64_t frequency = 0;
  int64_t now = 0;
  if (counterQueryFrequency(&frequency) && frequency > 0 && counterQueryNow(&now)) {
    clockUsesTick = false;
    counterFrequency = frequency;
    counterStart = now;
  } else {
    // No high-resolution counter: count the millisecond tick instead of dividing by
    // a frequency of zero.
    clockUsesTick = true;
    counterFrequency = 1000;
    counterStart = 0;
    lastTick = counterMilliseconds();
    tickElapsedMs = 0;
  }
  return true;
}

bool processClockMilliseconds(int64_t* milliseconds) {
  if (!clockStarted) return false;
  if (clockUsesTick) {
    const std::lock_guard<std::mutex> hold(processState);
    // The tick wraps at 2^32; the unsigned difference is the time since the last reading
    // across a wrap, and the sum keeps counting past it.
    const uint32_t tick = counterMilliseconds();
    tickElapsedMs += static_cast<uint32_t>(tick - lastTick);
    lastTick = tick;
    *milliseconds = tickElapsedMs;
    return true;
  }
  int64_t now = 0;
  if (!counterQueryNow(&now)) return false;
  // Difference in unsigned arithmetic: a wrapped counter must not be undefined.
  const int64_t elapsed = static_cast<int64_t>(static_cast<uint64_t>(now) - static_cast<uint64_t>(counterStart));
  *milliseconds = elapsedMilliseconds(elapsed, counterFrequency);
  return true;
}

void seedForSetUp() {
  const std::lock_guard<std::mutex> hold(processState);
  if (generatorSeeded) return;
  generatorSeeded = true;
  orvane::srand(static_cast<uint32_t>(std::time(nullptr)));
  if (seedFixed) orvane::srand(fixedSeed);
}

void setSeedOverride(const uint32_t* seed) {
  seedFixed = seed != nullptr;
  fixedSeed = seed ? *seed : 0;
  generatorSeeded = false;
}

const uint32_t* seedOverride() { return seedFixed ? &fixedSeed : nullptr; }

void resetForTests() {
  clockStarted = false;
  counterStart = 0;
  counterFrequency = 0;
  clockUsesTick = false;
  lastTick = 0;
  tickElapsedMs = 0;
  generatorSeeded = false;
}

}  // namespace renderer
