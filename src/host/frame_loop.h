#pragma once
// The frame loop every host runs, written once: waiting events first (no frame is drawn
// while one waits), then, when a turn is due, one frame of each ready scene in turn with a
// buffer swap for each frame that asks for one, then a wait until the next turn is due or
// an event comes, whichever is first. The host supplies the events, the frames, the swaps,
// its clock and the wait; the pacer decides when a turn is due.
#include <cstdint>

// What taking one event did.
enum class EventStep {
  Idle,     // no event waits: time for a frame
  Handled,  // one event was handled; look for the next before any frame
  Stop,     // the loop is to end
};

// A wait with no deadline: until an event comes.
constexpr int64_t kNoDeadline = INT64_MAX;

// When the next turn of frames is due, on the host's monotonic clock in microseconds.
// A period of 0 makes every turn due at once (the host's own pace, such as a compositor's
// frame callbacks, then sets it).
class FramePacer {
 public:
  void setPeriod(int64_t periodMicros) { period_ = periodMicros > 0 ? periodMicros : 0; }
  int64_t period() const { return period_; }
  // Due from a 32nd of a period before the time: a wait that the system ends a little early
  // (its timer's granularity, a clock of its own) then draws at once instead of waiting
  // again for a remainder it cannot time, and the pace stays even.
  bool isDue(int64_t now) const { return !started_ || now >= due_ - period_ / 32; }
  // The time the next turn is due; only meaningful after the first turn.
  int64_t due() const { return started_ ? due_ : INT64_MIN; }
  // A turn that began at `start` drew its frames. The next is due one period after the last
  // one was due, so a wake-up that comes a little late does not slow the pace; after a turn
  // that came later than that, no sooner than half a period after this one began, so a late
  // turn is never followed by a burst of catch-up turns.
  void turnDrawn(int64_t start);

 private:
  int64_t period_ = 0;
  int64_t due_ = 0;
  bool started_ = false;
};

// What sets a host's pace.
struct FramePace {
  // The display's refresh in hertz; 0 or 1 mean the hardware's default, taken as 60. A
  // negative value: the host is paced by other means and only the limits below apply.
  int32_t refreshHz = 0;
  // The presents wait for the display's refresh (a swap interval the driver accepted): the
  // pacer then aims a little above the refresh, so that the display, not the pacer, sets
  // the final rate (a refresh reported as 59 for 59.94 Hz included) and no frame is shown
  // twice; where the driver ignores the interval the rate stays within 2 % of the refresh.
  bool presentsWaitForRefresh = false;
  // Saving power: 30 frames a second or half the refresh, whichever is less.
  bool savePower = false;
  int32_t maxFps = 0;           // a cap the user chose; 0: none
  int64_t minDelayMicros = 0;   // at least this long between frames
  // The refresh as the system reports it, a rational rate (60000/1001 for 59.94 Hz): when
  // both are above 0 they take the place of refreshHz (which must then not be negative).
  uint32_t refreshNumerator = 0;
  uint32_t refreshDenominator = 0;
  // The presents are held to every nth refresh (a swap interval of n): the period is n
  // refreshes, a little less when the presents wait for them (as above). Above 0 it takes
  // the place of savePower, which a host then expresses through savePowerInterval.
  int32_t presentInterval = 0;
};

// The swap interval that saves power on a display of `pace`'s refresh: every second
// refresh, or every nth where that still gives more than 30 frames a second.
int32_t savePowerInterval(const FramePace& pace);

// The period between turns that `pace` asks for, in microseconds (0: no limit).
int64_t framePeriodMicros(const FramePace& pace);

class FrameLoopHost {
 public:
  virtual ~FrameLoopHost() = default;
  // Takes and handles one waiting event, if there is one.
  virtual EventStep takeEvent() = 0;
  // The scenes drawn in each turn.
  virtual int32_t sceneCount() = 0;
  // Whether scene `index` takes a frame in this turn (its output asked for one, its window
  // can be seen). A turn in which no scene is ready waits for an event.
  virtual bool sceneReady(int32_t) { return true; }
  // Draws one frame of scene `index` (its context made current); true when the frame went
  // into the back buffer and must be swapped.
  virtual bool renderFrame(int32_t index) = 0;
  virtual void swapBuffers(int32_t index) = 0;
  // The host's monotonic clock in microseconds.
  virtual int64_t nowMicros() = 0;
  // Returns when the clock reaches `deadline` or an event comes, whichever is first
  // (kNoDeadline: when an event comes).
  virtual void waitUntil(int64_t deadline) = 0;
};

// Runs turns until takeEvent answers Stop.
void runFrameLoop(FrameLoopHost& host, FramePacer& pacer);

// The frame word for a scene: bit 16 when mirrors are on (any nonzero setting).
uint32_t frameWordFor(int32_t useMirrors);
