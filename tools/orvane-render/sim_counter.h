#pragma once
// A simulated high-resolution counter for headless rendering and tests: time moves
// only when told to, so a run is reproducible.
#include <cstdint>

// Installs the simulated counter (frequency as given, now at 0, tick at 0) in the
// counter seam. frequency 0 or less plays a system without a high-resolution counter.
void simCounterInstall(int64_t frequency);
// Restores the platform's counter.
void simCounterRemove();
// Sets the counter reading (counts) and the millisecond tick.
void simCounterSet(int64_t counts);
void simCounterSetTick(uint32_t milliseconds);
