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

int64_t framePeriodMicros(const FramePace& pace) {
  int64_t period = 0;
  if (pace.refreshHz >= 0) {
    const int64_t hz = pace.refreshHz <= 1 ? 60 : pace.refreshHz;
    // Rounded to the nearest microsecond.
    period = (1000000 + hz / 2) / hz;
    if (pace.savePower) {
      period = std::max<int64_t>((2000000 + hz / 2) / hz, 1000000 / 30);
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
