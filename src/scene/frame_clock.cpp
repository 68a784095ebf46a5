#include "scene/frame_clock.h"

#include <cstdint>
#include <limits>

#include "effects/effect.h"
#include "scene/mirror_scene.h"
#include "scene/process_state.h"

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
  if (renderer::startProcessClock()) sceneTime = 0.0f;
}

void MirrorScene::tickClock() {
  int64_t milliseconds = 0;
  if (!renderer::processClockMilliseconds(&milliseconds)) return;  // keep the last time
  if (speedPercent != 100) {
    // Whole scaled milliseconds, the fractions carried: over any run the scene advances
    // by exactly speedPercent / 100 of the process clock, within a millisecond.
    speedRemainder += (milliseconds - lastClockMs) * speedPercent;
    lastClockMs = milliseconds;
    scaledClockMs += speedRemainder / 100;
    speedRemainder %= 100;
    milliseconds = scaledClockMs;
  }
  int64_t sinceOrigin = milliseconds - clockOriginMs;
  if (sinceOrigin >= kClockMoveThresholdMs && clockOriginMoves) {
    const int64_t moves = (sinceOrigin - kClockMoveThresholdMs) / kClockMoveMs + 1;
    clockOriginMs += moves * kClockMoveMs;
    sinceOrigin -= moves * kClockMoveMs;
    // One move is exact; several (after a stall of hours) leave stored times that lie
    // hours in the past, which only ever count as "long ago".
    const double seconds = static_cast<double>(moves) * clockMoveSeconds();
    MirrorTransition& t = mirrorTransition;
    t.startTime = static_cast<float>(static_cast<double>(t.startTime) - seconds);
    activeEffect().moveTimeOrigin(seconds);
  }
  sceneTime = sceneSecondsFromMilliseconds(sinceOrigin);
}
