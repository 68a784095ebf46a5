// Proves the Windows test rig and the parts of the portable core whose behaviour
// must not depend on the platform: the generator's sequence and the counter.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/counter.h"
#include "common/random.h"

TEST(WindowsPlatform, GeneratorSequenceMatchesEveryPlatform) {
  orvane::srand(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169};
  for (int e : expected) EXPECT_EQ(orvane::rand(), e);
}

TEST(WindowsPlatform, PerformanceCounterAdvances) {
  int64_t frequency = 0, a = 0, b = 0;
  ASSERT_TRUE(counterQueryFrequency(&frequency));
  EXPECT_GT(frequency, 0);
  ASSERT_TRUE(counterQueryNow(&a));
  Sleep(20);
  ASSERT_TRUE(counterQueryNow(&b));
  EXPECT_GT(b, a);
  // At least ~15 ms must have passed.
  EXPECT_GE((b - a) * 1000 / frequency, 15);
}
