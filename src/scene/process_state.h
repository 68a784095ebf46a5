#pragma once
// What a process has once, however many scenes it runs: the clock every scene takes its
// time from (so scenes set up together run in step) and the seeding of the one 15-bit
// random generator (so each scene draws its own picture from the same sequence).
#include <cstdint>

namespace renderer {

// The process clock's start values.
extern bool clockStarted;
extern int64_t counterStart;
extern int64_t counterFrequency;
// Without a high-resolution counter the clock runs on the millisecond tick: the last
// tick seen and the milliseconds counted so far (the tick itself wraps at 2^32).
extern bool clockUsesTick;
extern uint32_t lastTick;
extern int64_t tickElapsedMs;

// Starts the process clock once; true only for the call that started it.
bool startProcessClock();
// Whole milliseconds since the process clock started; false (and nothing written) when
// the clock has not started or the counter cannot be read now.
bool processClockMilliseconds(int64_t* milliseconds);

// Seeds the generator for a scene's set-up: from the time of day, then with the override
// when one is set, once per process; later scenes continue the same sequence. Setting an
// override (tools, tests) makes the next set-up seed again.
void seedForSetUp();
void setSeedOverride(const uint32_t* seed);
const uint32_t* seedOverride();

// Returns every value above to its start-of-process state (tests run many scenes in
// one process).
void resetForTests();

}  // namespace renderer
