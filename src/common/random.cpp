#include "common/random.h"

#include <atomic>

namespace orvane {

namespace {
// Scenes on several threads draw from the one sequence: each step is taken whole (no two
// draws see the same state), and on one thread the sequence is the plain one.
std::atomic<uint32_t> state{1};
}

void srand(uint32_t seed) { state.store(seed, std::memory_order_relaxed); }

uint32_t randState() { return state.load(std::memory_order_relaxed); }

int rand() {
  uint32_t before = state.load(std::memory_order_relaxed);
  uint32_t after = 0;
  do {
    after = before * 214013u + 2531011u;  // unsigned: wraps modulo 2^32 by definition
  } while (!state.compare_exchange_weak(before, after, std::memory_order_relaxed));
  return static_cast<int>((after >> 16) & 0x7FFFu);
}

double randomFraction() { return static_cast<double>(rand()) * kRandomFactor; }

}  // namespace orvane
