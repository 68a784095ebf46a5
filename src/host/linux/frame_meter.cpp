// The module's frame-rate report.
#include "host/linux/frame_meter.h"

#include <cstdio>

bool FrameMeter::frame(double now, double cpu, char* line, size_t size) {
  if (!started) {
    // The first frame opens the first period; it is not counted, since its cost
    // includes the set-up.
    started = true;
    periodStart = now;
    cpuStart = cpu;
    frames = 0;
    return false;
  }
  ++frames;
  const double elapsed = now - periodStart;
  if (elapsed < 1.0) return false;
  const double cpuPerFrameMs = (cpu - cpuStart) * 1000.0 / static_cast<double>(frames);
  std::snprintf(line, size, "orvane: %.1f frames/s, %.2f ms CPU per frame", static_cast<double>(frames) / elapsed,
                cpuPerFrameMs);
  periodStart = now;
  cpuStart = cpu;
  frames = 0;
  return true;
}
