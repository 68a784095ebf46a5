#pragma once
// The module's --fps report: frames per second and CPU time per frame, once a second.
// Pure logic: the caller reads the clocks and prints the line.
#include <cstddef>
#include <cstdint>

struct FrameMeter {
  bool started = false;
  double periodStart = 0.0;  // wall-clock seconds
  double cpuStart = 0.0;     // process CPU seconds
  int64_t frames = 0;

  // Counts one frame ending at wall time `now` with the process at `cpu` seconds of CPU
  // time. When at least a second has passed since the period began, writes the report
  // (no newline) into `line` and starts a new period; returns whether it did.
  bool frame(double now, double cpu, char* line, size_t size);
};
