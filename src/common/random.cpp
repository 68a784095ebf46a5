#include "common/random.h"

namespace orvane {

namespace {
uint32_t state = 1;
}

void srand(uint32_t seed) { state = seed; }

uint32_t randState() { return state; }

int rand() {
  state = state * 214013u + 2531011u;  // unsigned: wraps modulo 2^32 by definition
  return static_cast<int>((state >> 16) & 0x7FFFu);
}

double randomFraction() { return static_cast<double>(rand()) * kRandomFactor; }

}  // namespace orvane
