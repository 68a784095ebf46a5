#pragma once
// The scene clock's arithmetic, apart from the counter it reads.
#include <cstdint>

// Whole milliseconds in elapsedCounts at frequency counts per second, truncated toward
// zero: the value of (elapsedCounts * 1000) / frequency, but formed as whole seconds
// times 1000 plus the remainder's milliseconds, so it does not overflow after weeks of
// running on a counter at processor clock rates. frequency must be positive.
int64_t elapsedMilliseconds(int64_t elapsedCounts, int64_t frequency);

// Scene seconds from whole milliseconds: ms * 0.001 (the float constant, product in
// double), rounded to float.
float sceneSecondsFromMilliseconds(int64_t milliseconds);

// The clock keeps its precision however long it runs: once the time since its origin
// reaches kClockMoveThresholdMs, the origin moves forward by kClockMoveMs (as many times
// as that takes), and every stored time compared with sceneTime moves back by as much.
// The threshold keeps sceneTime below 16384 s, where a float still resolves every
// millisecond (a step of 2^-10 s), so frames 10 ms apart stay 10 +- 1 ms apart.
constexpr int64_t kClockMoveThresholdMs = 16384000;
// 2^23 ms. Scaled like the clock it is exactly a float, clockMoveSeconds() =
// 8388.6083984375 s, so a move takes as much off the clock as off the stored times, and
// those subtractions are exact: the stored times lie within a factor of two of it. (A
// round 2^13 s of milliseconds would scale to 8192.00039 s and step time back at each move.)
constexpr int64_t kClockMoveMs = int64_t(1) << 23;
float clockMoveSeconds();
