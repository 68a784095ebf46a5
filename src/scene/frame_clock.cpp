#include "scene/frame_clock.h"

#include <cstdint>
#include <limits>

#include "common/counter.h"
#include "effects/effect.h"
#include "scene/mirror_scene.h"
#include "scene/renderer_state.h"

int64_t elapsedMilliseconds(int64_t elapsedCounts, int64_t frequency) {
  const int64_t seconds = elapsedCounts / frequency;
  const int64_t remainder = elapsedCounts % frequency;  // same sign as elapsedCounts
  int64_t remainderMs;
  if (frequency <= std::numeric_limits<int64_t>::max() / 1000) {
    remainderMs = (remainder * 1000) / frequency;
  } else {
    // No real counter runs this fast; split once more so nothing overflows.
    const int64_t perMs = frequency / 1000;
    remainderMs = remainder / perMs;
    if (remainderMs > 999) remainderMs = 999;
    if (remainderMs < -999) remainderMs = -999;
  }
  // Saturate rather than wrap for counts no run can reach.
  const int64_t limit = std::numeric_limits<int64_t>::max() / 1000 - 1;
  if (seconds > limit) return limit * 1000;
  if (seconds < -limit) return -limit * 1000;
  return seconds * 1000 + remainderMs;
}

float sceneSecondsFromMilliseconds(int64_t milliseconds) {
  return static_cast<float>(static_cast<double>(milliseconds) * static_cast<double>(0.001f));
}

float clockMoveSeconds() { return sceneSecondsFromMilliseconds(kClockMoveMs); }

void MirrorScene::startClock() {
  if (renderer::clockStarted) return;
  renderer::clockStarted = true;
  int64_t frequency = 0;
  int64_t now = 0;
  if (counterQueryFrequency(&frequency) && frequency > 0 && counterQueryNow(&now)) {
    renderer::clockUsesTick = false;
    renderer::counterFrequency = frequency;
    renderer::counterStart = now;
  } else {
    // No high-resolution counter: count the millisecond tick instead of dividing by
    // a frequency of zero.
    renderer::clockUsesTick = true;
    renderer::counterFrequency = 1000;
    renderer::counterStart = 0;
    renderer::lastTick = counterMilliseconds();
    renderer::tickElapsedMs = 0;
  }
  sceneTime = 0.0f;
}

void MirrorScene::tickClock() {
  if (!renderer::clockStarted) return;
  int64_t milliseconds;
  if (renderer::clockUsesTick) {
    // The tick wraps at 2^32; the unsigned difference is the time since the last frame
    // across a wrap, and the sum keeps counting past it.
    const uint32_t tick = counterMilliseconds();
    renderer::tickElapsedMs += static_cast<uint32_t>(tick - renderer::lastTick);
    renderer::lastTick = tick;
    milliseconds = renderer::tickElapsedMs;
  } else {
    int64_t now = 0;
    if (!counterQueryNow(&now)) return;  // keep the last time
    // Difference in unsigned arithmetic: a wrapped counter must not be undefined.
    const int64_t elapsed = static_cast<int64_t>(static_cast<uint64_t>(now) -
                                                 static_cast<uint64_t>(renderer::counterStart));
    milliseconds = elapsedMilliseconds(elapsed, renderer::counterFrequency);
  }
  int64_t sinceOrigin = milliseconds - renderer::clockOriginMs;
  if (sinceOrigin >= kClockMoveThresholdMs && renderer::clockOriginMoves) {
    const int64_t moves = (sinceOrigin - kClockMoveThresholdMs) / kClockMoveMs + 1;
    renderer::clockOriginMs += moves * kClockMoveMs;
    sinceOrigin -= moves * kClockMoveMs;
    // One move is exact; several (after a stall of hours) leave stored times that lie
    // hours in the past, which only ever count as "long ago".
    const double seconds = static_cast<double>(moves) * clockMoveSeconds();
    MirrorTransition& t = renderer::mirrorTransition;
    t.startTime = static_cast<float>(static_cast<double>(t.startTime) - seconds);
    activeEffect().moveTimeOrigin(seconds);
  }
  sceneTime = sceneSecondsFromMilliseconds(sinceOrigin);
}
