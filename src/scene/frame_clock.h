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
