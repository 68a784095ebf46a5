#include "host/frame_loop.h"

#include <algorithm>

#include "scene/mirror_scene.h"

void FramePacer::turnDrawn(int64_t start) {
  if (!started_) {
    started_ = true;
    due_ = start + period_;
    return;
  }
  due_ = std::max(due_ + period_, start + period_ / 2);
}

namespace {

bool hasRationalRefresh(const FramePace& pace) {
  return pace.refreshHz >= 0 && pace.refreshNumerator > 0 && pace.refreshDenominator > 0;
}

// `count` refreshes in microseconds, rounded to the nearest.
int64_t refreshesMicros(const FramePace& pace, int64_t count) {
  if (hasRationalRefresh(pace)) {
    const int64_t numerator = pace.refreshNumerator;
    return (count * 1000000 * pace.refreshDenominator + numerator / 2) / numerator;
  }
  const int64_t hz = pace.refreshHz <= 1 ? 60 : pace.refreshHz;
  return (count * 1000000 + hz / 2) / hz;
}

}  // namespace

int32_t savePowerInterval(const FramePace& pace) {
  // The smallest n >= 2 with refresh / n <= 30, from the exact rate: n = ceil(rate / 30).
  int64_t numerator = pace.refreshHz <= 1 ? 60 : pace.refreshHz;
  int64_t denominator = 1;
  if (hasRationalRefresh(pace)) {
    numerator = pace.refreshNumerator;
    denominator = pace.refreshDenominator;
  }
  const int64_t n = (numerator + 30 * denominator - 1) / (30 * denominator);
  return static_cast<int32_t>(std::max<int64_t>(2, std::min<int64_t>(n, 64)));
}

int64_t framePeriodMicros(const FramePace& pace) {
  int64_t period = 0;
  if (pace.refreshHz >= 0 && pace.presentInterval > 0) {
    period = refreshesMicros(pace, pace.presentInterval);
    if (pace.presentsWaitForRefresh) period = period * 100 / 102;
  } else if (pace.refreshHz >= 0) {
    period = refreshesMicros(pace, 1);
    if (pace.savePower) {
      period = std::max<int64_t>(refreshesMicros(pace, 2), 1000000 / 30);
    } else if (pace.presentsWaitForRefresh) {
      period = period * 100 / 102;
    }
  } else if (pace.savePower) {
    period = 1000000 / 30;
  }
  if (pace.maxFps > 0) period = std::max<int64_t>(period, (1000000 + pace.maxFps - 1) / pace.maxFps);
  return std::max(period, pace.minDelayMicros);
}

void runFrameLoop(FrameLoopHost& host, FramePacer& pacer) {
  for (;;) {
    const EventStep step = host.takeEvent();
    if (step == EventStep::Stop) return;
    if (step == EventStep::Handled) continue;
    const int64_t start = host.nowMicros();
    if (!pacer.isDue(start)) {
      host.waitUntil(pacer.due());
      continue;
    }
    const int32_t scenes = host.sceneCount();
    bool drew = false;
    for (int32_t i = 0; i < scenes; ++i) {
      if (!host.sceneReady(i)) continue;
      drew = true;
      if (host.renderFrame(i)) host.swapBuffers(i);
    }
    if (drew) {
      pacer.turnDrawn(start);
    } else {
      host.waitUntil(kNoDeadline);
    }
  }
}

uint32_t frameWordFor(int32_t useMirrors) { return useMirrors != 0 ? kFrameWordMirrors : 0u; }
