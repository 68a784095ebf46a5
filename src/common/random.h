#pragma once
// The program's own random generator: a 15-bit linear congruential generator whose
// sequence is the same on every platform, so a run is reproducible from its seed.
#include <cstdint>

namespace orvane {

// Sets the generator state.
void srand(uint32_t seed);

// Advances the state (state * 214013 + 2531011 mod 2^32) and returns bits 16..30: 0..32767.
int rand();

// The current state, for tests and tools that save and restore it.
uint32_t randState();

// rand() * (2^-15 + 2^-30), formed in double precision and never rounded to float:
// 0 <= f <= 1 - 2^-30 < 1, so trunc(f * n) always lies in 0 .. n - 1.
double randomFraction();

// The factor above: the single-precision value nearest 1/32767.
constexpr double kRandomFactor = 1.0 / 32768.0 + 1.0 / 1073741824.0;

}  // namespace orvane
