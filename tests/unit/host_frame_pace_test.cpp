// The frame pace every host shares: when a turn is due, and the period a host's display and
// settings ask for.
#include <gtest/gtest.h>

#include <vector>

#include "host/frame_loop.h"

namespace {

// Turns starting at the given times (after the first, at 0) and when each makes the next due.
TEST(FramePacer, KeepsAnEvenPaceWithoutCatchingUp) {
  constexpr int64_t p = 16667;
  struct {
    const char* what;
    int64_t period;
    std::vector<int64_t> starts;
    std::vector<int64_t> dues;
  } cases[] = {
      {"on time", p, {0, p, 2 * p}, {p, 2 * p, 3 * p}},
      {"woken a little late: the pace stays", p, {0, p + 900, 2 * p + 50}, {p, 2 * p, 3 * p}},
      {"a turn late by most of a period: half a period after it", p, {0, p + 12000, p + 12000 + p / 2},
       {p, p + 12000 + p / 2, p + 12000 + p / 2 + p}},
      {"a stall of many periods: no burst", p, {0, 10 * p, 10 * p + p / 2}, {p, 10 * p + p / 2, 10 * p + p / 2 + p}},
      {"no period: always due", 0, {0, 5, 5}, {0, 5, 5}},
  };
  for (const auto& c : cases) {
    FramePacer pacer;
    pacer.setPeriod(c.period);
    EXPECT_TRUE(pacer.isDue(-1000000)) << c.what << ": the first turn is due at once";
    for (size_t i = 0; i < c.starts.size(); ++i) {
      ASSERT_TRUE(pacer.isDue(c.starts[i])) << c.what << ", turn " << i;
      pacer.turnDrawn(c.starts[i]);
      EXPECT_EQ(pacer.due(), c.dues[i]) << c.what << ", turn " << i;
      // Due from a 32nd of a period early, never sooner.
      if (c.period > 0) {
        EXPECT_FALSE(pacer.isDue(pacer.due() - c.period / 32 - 1)) << c.what << ", turn " << i;
        EXPECT_TRUE(pacer.isDue(pacer.due() - c.period / 32)) << c.what << ", turn " << i;
      }
    }
  }
}

TEST(FramePace, PeriodFromTheRefreshPowerAndLimits) {
  struct {
    FramePace pace;
    int64_t period;
  } cases[] = {
      {{60, false, false, 0, 0}, 16667},
      {{0, false, false, 0, 0}, 16667},   // the hardware's default
      {{1, false, false, 0, 0}, 16667},
      {{144, false, false, 0, 0}, 6944},
      {{60, true, false, 0, 0}, 16340},   // a little above a refresh the presents wait for
      {{59, true, false, 0, 0}, 16616},   // 60.18 a second: above a 59.94 Hz display too
      {{60, false, true, 0, 0}, 33333},   // on battery: 30 a second
      {{144, true, true, 0, 0}, 33333},
      {{50, false, true, 0, 0}, 40000},   // half the refresh is less than 30
      {{60, false, false, 30, 0}, 33334},
      {{60, false, false, 0, 20000}, 20000},
      {{60, false, false, 0, 10000}, 16667},  // the refresh is a floor under the delay
      {{-1, false, false, 0, 0}, 0},          // paced by other means
      {{-1, false, false, 0, 25000}, 25000},
      {{-1, false, true, 0, 0}, 33333},
      // A rational refresh: 59.94 Hz is not taken as 59.
      {{59, false, false, 0, 0, 60000, 1001, 0}, 16683},
      {{59, true, false, 0, 0, 60000, 1001, 0}, 16355},
      {{59, false, true, 0, 0, 60000, 1001, 0}, 33367},  // battery, old rule: the whole-hertz refresh
      // Presents held to every nth refresh: n refreshes, a little less when they wait.
      {{60, false, false, 0, 0, 0, 0, 2}, 33333},
      {{60, true, false, 0, 0, 0, 0, 2}, 32679},
      {{75, false, true, 0, 0, 75, 1, 3}, 40000},        // the interval, not savePower, decides
      {{60, true, false, 30, 0, 0, 0, 1}, 33334},        // a software renderer's cap on top
  };
  for (const auto& c : cases) {
    EXPECT_EQ(framePeriodMicros(c.pace), c.period)
        << c.pace.refreshHz << " Hz, waits " << c.pace.presentsWaitForRefresh << ", power " << c.pace.savePower
        << ", max " << c.pace.maxFps << ", delay " << c.pace.minDelayMicros;
  }
}

TEST(FramePace, SavingPowerPresentsEverySecondRefreshOrEnoughForAtMost30) {
  struct {
    FramePace pace;
    int32_t interval;
  } cases[] = {{{60}, 2},  {{0}, 2},   {{30}, 2},   {{75}, 3},   {{120}, 4}, {{144}, 5},
               {{240}, 8}, {{59, false, false, 0, 0, 60000, 1001}, 2}, {{144, false, false, 0, 0, 144000, 1001}, 5}};
  for (const auto& c : cases)
    EXPECT_EQ(savePowerInterval(c.pace), c.interval) << c.pace.refreshHz << " " << c.pace.refreshNumerator;
}

}  // namespace
