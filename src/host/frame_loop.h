#pragma once
// The frame loop every host runs, written once: waiting events first (no frame is drawn
// while one waits), then one frame of each of the host's scenes in turn, a buffer swap for
// each frame that asks for one, and one sleep per turn. The host supplies the events, the
// frames, the swaps and the sleep.
#include <cstdint>

// What taking one event did.
enum class EventStep {
  Idle,     // no event waits: time for a frame
  Handled,  // one event was handled; look for the next before any frame
  Stop,     // the loop is to end
};

class FrameLoopHost {
 public:
  virtual ~FrameLoopHost() = default;
  // Takes and handles one waiting event, if there is one.
  virtual EventStep takeEvent() = 0;
  // The scenes drawn in each turn.
  virtual int32_t sceneCount() = 0;
  // Draws one frame of scene `index` (its context made current); true when the frame went
  // into the back buffer and must be swapped.
  virtual bool renderFrame(int32_t index) = 0;
  virtual void swapBuffers(int32_t index) = 0;
  virtual void sleep() = 0;
};

// Runs turns until takeEvent answers Stop.
void runFrameLoop(FrameLoopHost& host);

// The frame word for a scene: bit 16 when mirrors are on (any nonzero setting).
uint32_t frameWordFor(int32_t useMirrors);
